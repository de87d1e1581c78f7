#include "code/token_count.h"

namespace brasswick {
namespace {

bool IsFree(Tok kind) {
  switch (kind) {
    case Tok::kComma:
    case Tok::kDot:
    case Tok::kColon:
    case Tok::kSemicolon:
    case Tok::kDoubleColon:
    case Tok::kCloseParen:
    case Tok::kCloseBracket:
    case Tok::kCloseBrace:
    case Tok::kEnd:
    case Tok::kLocal:
      return true;
    default:
      return false;
  }
}

// Tokens after which a `-` or `~` is a binary operator, so it still counts before a number.
bool EndsValue(Tok kind) {
  return kind == Tok::kName || kind == Tok::kNumber || kind == Tok::kString ||
         kind == Tok::kCloseParen || kind == Tok::kCloseBracket || kind == Tok::kCloseBrace ||
         kind == Tok::kSemicolon || kind == Tok::kEnd;
}

}  // namespace

TokenCount CountTokens(const LexedCode& lexed) {
  TokenCount count;
  count.warning = lexed.error;
  const std::vector<Token>& tokens = lexed.tokens;
  const Token* previous = nullptr;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (IsTrivia(token.kind)) continue;
    bool free = IsFree(token.kind);
    if ((token.kind == Tok::kMinus || token.kind == Tok::kTilde) && i + 1 < tokens.size() &&
        tokens[i + 1].kind == Tok::kNumber && (!previous || !EndsValue(previous->kind))) {
      free = true;
    }
    if (!free) ++count.tokens;
    previous = &token;
  }
  return count;
}

TokenCount CountTokens(std::string_view code) { return CountTokens(LexCode(code)); }

}  // namespace brasswick
