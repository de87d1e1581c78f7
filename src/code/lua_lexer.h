// Reading the console's Lua dialect into tokens. The code is console characters, one
// byte each (glyphs are bytes 0x80-0xFF), with `#include` lines already expanded.
#ifndef BRASSWICK_CODE_LUA_LEXER_H_
#define BRASSWICK_CODE_LUA_LEXER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "code/lua_token.h"

namespace brasswick {

// Where each stretch of the code came from, for code assembled from several files: a
// segment runs from its code offset to the next segment's. `column_offset` is added to
// the columns of the segment's first line only (for a segment that starts mid-line).
struct SourceSegment {
  uint32_t code_offset = 0;
  std::string file;
  uint32_t line = 1;  // the line, in `file`, of the segment's first line
  int32_t column_offset = 0;
};
struct SourceMap {
  std::vector<SourceSegment> segments;  // in increasing code_offset
};

struct CodePlace {
  std::string_view file;  // "" without a source map
  uint32_t line = 1;
  uint32_t column = 1;
};

// A lexical or syntax error: the code offset it was found at and what is wrong.
struct CodeError {
  uint32_t offset = 0;
  std::string message;
};

// The tokens of a piece of code, trivia (white space, comments) included, so that the
// tokens' texts one after another are the code up to the error, if any.
struct LexedCode {
  std::string_view code;              // not owned: the caller keeps the code alive
  std::vector<Token> tokens;          // in code order, trivia included
  std::vector<std::string> strings;   // the byte values of the string tokens
  std::vector<uint32_t> line_starts;  // code offset of each line's first byte
  // The first lexical error; the tokens stop before it.
  std::optional<CodeError> error;

  std::string_view Text(const Token& token) const {
    return code.substr(token.offset, token.length);
  }
  const std::string& StringValue(const Token& token) const {
    return strings[static_cast<uint32_t>(token.value)];
  }
};

// Reads code into tokens. Never fails as a whole: a malformed number, a bad escape or an
// unterminated string or long comment stops the tokens there and sets `error`.
// Decimal numbers whose integer part exceeds 32767 wrap to 16 bits like hexadecimal
// ones (32768 is -32768) and carry kNumberWrapped; decimal fractions are rounded to the
// nearest 1/65536 (halves up), reading at most 18 fraction digits. A number takes a `.`
// only when no second `.` follows (`1..2` is 1 `..` 2). Bytes outside names, numbers,
// strings, comments and operators (controls other than white space, `!` alone, `` ` ``)
// are an "unexpected character".
LexedCode LexCode(std::string_view code);

// The name of a kind's spelling, or the text of the token, as messages quote it.
std::string DescribeToken(const LexedCode& lexed, const Token& token);

// The place of a code offset (an offset past the end is the end): through the source
// map when one is given, else file "" counting lines from 1.
CodePlace PlaceOf(const LexedCode& lexed, uint32_t offset, const SourceMap* map = nullptr);

// "FILE:LINE:COLUMN: message".
std::string FormatCodeError(const LexedCode& lexed, const CodeError& error,
                            const SourceMap* map = nullptr);

// Whether a name's text is one of the keywords (and so can be no name).
bool IsKeywordText(std::string_view text);

// Whether a byte may appear in a name (letters, digits, `_`, 0x1E, 0x1F and 0x80-0xFF).
bool IsNameByte(uint8_t byte);

}  // namespace brasswick

#endif  // BRASSWICK_CODE_LUA_LEXER_H_
