// A cartridge's code: how the ROM's code area holds it, and how a .p8 writes it.
//
// The ROM holds code as one byte a character, in one of three encodings told by the
// area's first four bytes: "\0pxa" (a bit stream of literals through a move-to-front
// list and copies), ":c:\0" (an older byte stream of table characters and copies), or
// plain bytes. A .p8 writes the same bytes as UTF-8 text, the printable ASCII bytes as
// themselves and the console's glyph bytes as the Unicode characters that show them.
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

namespace brasswick {

inline constexpr size_t kCodeAreaStart = 0x4300;
inline constexpr size_t kCodeAreaSize = 0x3D00;  // 15 616
inline constexpr size_t kMaxCodeLength = 65535;

// The code the area holds (the ROM's bytes 0x4300-0x7FFF, exactly kCodeAreaSize bytes
// given), as one byte a character: "\0pxa" current format, ":c:\0" old format (the
// ending an older console appended for _update60 removed), else plain bytes up to the
// first zero. Never longer than kMaxCodeLength. None when the stream is damaged: it
// runs past the area or past its stated compressed length (a compressed length below
// the 8-byte header included), a copy reaches before the start (or has distance 0), a
// literal's list position is above 255, a literal has more than 16 unary bits; and none
// for an area of the wrong size or when memory runs out. A copy that would pass the
// stated code length is cut at it. A current-format stream whose bits are used up at
// the end of a token gives the code decoded so far.
std::optional<std::string> DecodeCodeArea(std::span<const uint8_t> area);

// A current-format stream ("\0pxa", its 8-byte header, its bits) of any length, decoded
// by the same rules as DecodeCodeArea; a compressed length of 0xFFFF (the most the field
// holds) means the stream runs to the end of the bytes given, as a stream longer than
// the field can state is written. DecodeCodeArea reads its current-format areas through
// this. None for a stream shorter than its header or of another format, and on the
// failures DecodeCodeArea lists.
std::optional<std::string> DecodeCodeStream(std::span<const uint8_t> stream);

// Code bytes (one a character) as .p8 text: 0x20-0x7E, tab, LF and CR as themselves,
// every other byte as its character of the table (UTF-8; the emoji glyphs with the
// variation selector U+FE0F). Byte 0, which code never holds, is kept as the NUL
// character so that CodeTextToBytes gives it back. Empty when memory runs out.
std::string CodeBytesToText(std::string_view bytes);

// .p8 code text back to bytes by the same table; the NUL character gives byte 0, and
// an emoji glyph is taken with or without its variation selector. None when a
// character is not in the table (or the text is not UTF-8); *bad_offset then gets the
// byte offset in text of the first such character (when bad_offset is not null). None
// also when memory runs out (bad_offset then untouched).
std::optional<std::string> CodeTextToBytes(std::string_view text, size_t* bad_offset = nullptr);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_CODE_H_
