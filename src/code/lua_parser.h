// Parsing the console's Lua dialect into a syntax tree with its names resolved.
#ifndef BRASSWICK_CODE_LUA_PARSER_H_
#define BRASSWICK_CODE_LUA_PARSER_H_

#include <optional>
#include <string>

#include "code/lua_lexer.h"
#include "code/lua_syntax.h"

namespace brasswick {

// Blocks and expressions nested deeper than this are refused ("too deeply nested").
inline constexpr int kMaxSyntaxDepth = 200;

// The tree of lexed code; std::nullopt with *error set on a syntax error, or on the
// lexical error the tokens stopped at. `lexed` must outlive the tree's use.
std::optional<SyntaxTree> ParseCode(const LexedCode& lexed, CodeError* error);

// A compact s-expression of the tree for comparing shapes: kinds, operators, the texts
// of names and literals, and each name's binding ("x:L0" local 0, "x:U0" upvalue,
// "x:G" global, ".x" field).
std::string DumpSyntax(const SyntaxTree& tree, const LexedCode& lexed);

}  // namespace brasswick

#endif  // BRASSWICK_CODE_LUA_PARSER_H_
