// A cartridge's ROM as .p8 text, and the 32 bytes a cartridge carries after its ROM.
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

// The lines of one of the ROM's data sections as RomToP8Text writes them, without the
// marker: section is "gfx", "gff", "map", "sfx" or "music" (as NormalizeSectionName
// reads a name); each line is followed by "\n", and the lines run up to the last one
// that differs from the blank cartridge's, so a section the blank cartridge holds gives
// "". None for another section or a rom shorter than kCartRomSize.
std::optional<std::string> RomSectionLines(std::span<const uint8_t> rom, std::string_view section);

// The ROM a .p8's data sections give, the way back of RomToP8Text: line y of "gfx",
// "gff", "map", "sfx" and "music" is row y of its area. Hex digits are read case-blind,
// a character that is none reads as 0, what follows a line's digits is ignored, a short
// line is zero-padded, lines past the area's count and empty lines ending a section are
// ignored, and missing lines and sections are those of the blank cartridge. A music
// line's third character (the blank) is skipped. kCartPayloadSize bytes, the code area
// and the 32 after the ROM zero.
CartPayload P8DataToRom(const CartDocument& document);

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

// The 32 bytes after the ROM: version id, the console's major, minor and patch numbers,
// a platform letter, a build number, the SHA-1 of the ROM (or zeros), six zeros.
inline constexpr size_t kCartTrailerSize = 32;
inline constexpr size_t kTrailerHashOffset = 6;

// Whether the trailer's hash is all zero or the SHA-1 of the first kCartRomSize bytes of
// rom; false for a hash that does not match (a damaged cartridge), and for a rom or
// trailer too short to hold them.
bool TrailerHashMatches(std::span<const uint8_t> rom, std::span<const uint8_t> trailer);

// A trailer for rom: version id (its low 8 bits), the console's major, minor and patch
// numbers of that id when it is a known one (28-43), else zeros; platform and build
// zero; the SHA-1 of the first kCartRomSize bytes of rom (zeros when rom is shorter).
std::array<uint8_t, kCartTrailerSize> MakeTrailer(std::span<const uint8_t> rom, int version);

// After the ROM was changed: a trailer's hash that is not all zero becomes the SHA-1 of
// the first kCartRomSize bytes of rom, else a reader takes the cartridge for damaged. An
// all-zero hash (none kept) stays so, and so does everything but the hash. Nothing
// changes for a rom or trailer too short to hold them.
void RefreshTrailerHash(std::span<const uint8_t> rom, std::span<uint8_t> trailer);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_ROM_TEXT_H_
