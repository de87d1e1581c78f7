// A cartridge's code as the ROM's code area holds it, decoded.
//
// The ROM holds code as one byte a character, in one of three encodings told by the
// area's first four bytes: "\0pxa" (a bit stream of literals through a move-to-front
// list and copies), ":c:\0" (an older byte stream of table characters and copies), or
// plain bytes (code_format.h states the formats). How a .p8 writes the same bytes as
// text is code_chars.h, which this header brings along.
//
// Nothing here prints or throws.
#ifndef BRASSWICK_CART_CART_CODE_H_
#define BRASSWICK_CART_CART_CODE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cart/cart_memory.h"
#include "cart/code_chars.h"

namespace brasswick {

inline constexpr size_t kMaxCodeLength = 65535;

// The code the area holds (the ROM's bytes 0x4300-0x7FFF, exactly kCodeAreaSize bytes
// given), as one byte a character: "\0pxa" current format, ":c:\0" old format (the
// ending an older console appended for _update60 removed), else plain bytes up to the
// first zero. Never longer than kMaxCodeLength. None when the stream is damaged: it
// runs past the area or past its stated compressed length (a compressed length below
// the 8-byte header included), a copy reaches before the start (or has distance 0), a
// literal's list position is above 255, a literal has more than 16 unary bits; and none
// for an area of the wrong size; and none for a current-format
// stream whose bits are used up before the stated code length (whatever its last
// byte's padding bits hold). A copy that would pass the stated code length is cut at
// it.
std::optional<std::string> DecodeCodeArea(std::span<const uint8_t> area);

// The bytes of the code area (exactly kCodeAreaSize given) its compressed code takes
// now: a current-format stream's stated compressed length (the whole area when it
// states more), an old-format stream's header and every byte its decoding reads. None
// for plain code, which is not compressed, for a current-format length below its
// header, and for an old-format stream that cannot be decoded.
std::optional<size_t> StoredCodeSize(std::span<const uint8_t> area);

// A current-format stream ("\0pxa", its 8-byte header, its bits) of any length, decoded
// by the same rules as DecodeCodeArea; a compressed length of 0xFFFF (the most the field
// holds) means the stream runs to the end of the bytes given, as a stream longer than
// the field can state is written. DecodeCodeArea reads its current-format areas through
// this. None for a stream shorter than its header or of another format, and on the
// failures DecodeCodeArea lists.
std::optional<std::string> DecodeCodeStream(std::span<const uint8_t> stream);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_CODE_H_
