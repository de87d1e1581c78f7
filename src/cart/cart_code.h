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

#include "cart/cart_memory.h"

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

// Code bytes (one a character) as .p8 text: 0x20-0x7E, tab, LF and CR as themselves,
// every other byte as its character of the table (UTF-8; the emoji glyphs with the
// variation selector U+FE0F). Byte 0, which code never holds, is written as the NUL
// character, which CodeTextToBytes refuses.
std::string CodeBytesToText(std::string_view bytes);

// Where .p8 code text holds a character that no byte stands for.
struct CodeTextFault {
  size_t offset = 0;        // the character's byte offset in the text
  uint32_t code_point = 0;  // the character itself
};

// .p8 code text back to bytes by the same table. An emoji glyph is taken with or
// without its variation selector; a line break written as CR LF is one byte 0x0A; a
// byte that does not begin a well-formed UTF-8 character is that byte itself (older
// .p8 files hold the glyphs as raw bytes 0x80-0xFF). None when a well-formed character
// is not in the table, the NUL character included (no cartridge can hold byte 0 in its
// code); *fault then tells which and where (when fault is not null).
std::optional<std::string> CodeTextToBytes(std::string_view text, CodeTextFault* fault = nullptr);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_CODE_H_
