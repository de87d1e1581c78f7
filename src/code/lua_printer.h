// Writing tokens back as code, with only the separation they need to read back the same.
#ifndef BRASSWICK_CODE_LUA_PRINTER_H_
#define BRASSWICK_CODE_LUA_PRINTER_H_

#include <string>

#include "code/lua_lexer.h"
#include "code/lua_syntax.h"

namespace brasswick {

// Whether two tokens written with nothing between would read back as other tokens
// (`a` `b`, `-` `-`, `[` `[`, `1` `..`, `<` `=`), so that a space must separate them.
bool NeedsSpaceBetween(const LexedCode& lexed, const Token& left, const Token& right);

// The code's tokens without comments and white space, each in its own text, separated
// only where NeedsSpaceBetween says. Line breaks: with a tree, only after the tokens in
// tree->line_breaks (where a short form ends with its line); without one, wherever the
// original code broke the line between two tokens. Reading the result back gives the
// same tokens (kinds and values) and, with a tree, the same tree.
std::string PrintCode(const LexedCode& lexed, const SyntaxTree* tree = nullptr);

}  // namespace brasswick

#endif  // BRASSWICK_CODE_LUA_PRINTER_H_
