// A cartridge's ROM as .p8 text, and the code and version a .p8 holds.
//
// Nothing here prints or throws.
#ifndef BRASSWICK_CART_CART_ROM_TEXT_H_
#define BRASSWICK_CART_CART_ROM_TEXT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_source.h"
#include "cart/cart_trailer.h"

namespace brasswick {

inline constexpr int kDefaultP8Version = 42;

// The .p8 text of a cartridge: "pico-8 cartridge // http://www.pico-8.com", "version N",
// then __lua__ with code_text (UTF-8, as CodeBytesToText gives it) and a line break
// after it (nothing at all for empty code), __gfx__, __label__ (only when
// label is given: 128 lines of 128 digits 0-9 a-v, then one empty line; a pixel
// outside 0-31 or missing is written as 0), __gff__, __map__, __sfx__, __music__. Each
// data section runs up to its last line that differs from the blank cartridge's and is
// left out when none differs; sprite lines hold 128 digits. Digits are lower case, line
// breaks "\n". None when rom holds fewer than kCartRomSize bytes.
std::optional<std::string> RomToP8Text(std::span<const uint8_t> rom, std::string_view code_text,
                                       const LabelPixels* label, int version);

// The code of a .p8's "lua" section as text: its bytes as read, without the line break
// that ends its last line (RomToP8Text writes one after any code). That break is "\n",
// or "\r\n" when the section's marker line ends with "\r\n"; after a marker ending in
// "\n" a CR before the last "\n" stays, so code whose last byte is CR comes back whole.
// When the code's lines end at a lone "\r" (see CartLines), each such break becomes
// "\n". Other breaks stay as read ("\r\n" is one line break to CodeTextToBytes).
// Empty when there is no such section.
std::string P8CodeText(const CartDocument& document);

// The "version N" of a .p8's second line; kDefaultP8Version when that line is missing
// or N is not a number from 0 to 255.
int P8Version(const CartDocument& document);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_ROM_TEXT_H_
