// Writing tokens back as code, with only the separation they need to read back the same.
#ifndef BRASSWICK_CODE_LUA_PRINTER_H_
#define BRASSWICK_CODE_LUA_PRINTER_H_

#include <span>
#include <string>
#include <string_view>

#include "code/lua_lexer.h"
#include "code/lua_syntax.h"

namespace brasswick {

// A token to write: its kind, the text to write for it (a renamed name, a shorter
// number), and whether the code must break the line after it.
struct PrintToken {
  Tok kind = Tok::kName;
  std::string_view text;
  bool line_break_after = false;
};

// Whether two tokens written with nothing between would read back as other tokens
// (`a` `b`, `-` `-`, `[` `[`, `1` `..`, `<` `=`), so that a space must separate them.
bool NeedsSpaceBetween(Tok left_kind, std::string_view left, Tok right_kind,
                       std::string_view right);

// The tokens' texts (trivia skipped) joined by a space only where NeedsSpaceBetween
// says, and by a line break after each token that asks for one (none after the last).
std::string PrintTokens(std::span<const PrintToken> tokens);

// The code's tokens in their own texts, through PrintTokens. Line breaks: with a tree,
// only after the tokens in tree->line_breaks (where a short form ends with its line);
// without one, wherever the original code broke the line between two tokens. Reading
// the result back gives the same tokens (kinds and values) and, with a tree, the same
// tree.
std::string PrintCode(const LexedCode& lexed, const SyntaxTree* tree = nullptr);

}  // namespace brasswick

#endif  // BRASSWICK_CODE_LUA_PRINTER_H_
