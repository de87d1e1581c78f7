// The console's code characters: one byte a character in the ROM, and in .p8 text the
// printable ASCII bytes as themselves and every glyph byte as the Unicode character
// that shows it.
//
// Nothing here prints.
#ifndef BRASSWICK_CART_CODE_CHARS_H_
#define BRASSWICK_CART_CODE_CHARS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brasswick {

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

#endif  // BRASSWICK_CART_CODE_CHARS_H_
