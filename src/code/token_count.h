// The editor's token count: how much of the console's token limit a piece of code uses.
#ifndef BRASSWICK_CODE_TOKEN_COUNT_H_
#define BRASSWICK_CODE_TOKEN_COUNT_H_

#include <optional>
#include <string_view>

#include "code/lua_lexer.h"

namespace brasswick {

inline constexpr int kTokenLimit = 8192;

struct TokenCount {
  int tokens = 0;
  // The lexical error the count stopped at: the count covers the code before it.
  std::optional<CodeError> warning;
};

// Counts the tokens as the editor does: every name, keyword, number, string, operator and
// bracket is 1, except the free `, . : ; :: ) ] } end local`, and a `-` or `~` written
// right before a number when the token before it is not a value's end (a name, number,
// string, `)`, `]`, `}`, `;` or `end`). Needs no parse: code with syntax errors counts.
TokenCount CountTokens(const LexedCode& lexed);
TokenCount CountTokens(std::string_view code);

}  // namespace brasswick

#endif  // BRASSWICK_CODE_TOKEN_COUNT_H_
