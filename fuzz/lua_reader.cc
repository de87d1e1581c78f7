// The console's Lua on any bytes: the tokens always cover the code up to the token an
// error stops them at, the token count never passes the tokens, and code that parses prints back
// as code that reads as the same tokens and parses to the same tree, and prints the same
// again.
#include <optional>
#include <string>
#include <vector>

#include "code/lua_lexer.h"
#include "code/lua_parser.h"
#include "code/lua_printer.h"
#include "code/token_count.h"
#include "fuzz_support.h"

namespace {

using brasswick::LexedCode;
using brasswick::Token;

bool SameTokens(const LexedCode& a, const LexedCode& b) {
  std::vector<const Token*> left;
  std::vector<const Token*> right;
  for (const Token& token : a.tokens) {
    if (!brasswick::IsTrivia(token.kind)) left.push_back(&token);
  }
  for (const Token& token : b.tokens) {
    if (!brasswick::IsTrivia(token.kind)) right.push_back(&token);
  }
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    const Token& x = *left[i];
    const Token& y = *right[i];
    if (x.kind != y.kind || a.Text(x) != b.Text(y)) return false;
    if (x.kind == brasswick::Tok::kNumber && x.value != y.value) return false;
    if (x.kind == brasswick::Tok::kString && a.StringValue(x) != b.StringValue(y)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The console holds at most 65 535 characters of code.
  if (size > 65535) return 0;
  const std::string_view code = brasswick::fuzz::AsText(data, size);
  const LexedCode lexed = brasswick::LexCode(code);

  size_t covered = 0;
  int significant = 0;
  for (const Token& token : lexed.tokens) {
    FUZZ_CHECK(token.offset == covered && token.length > 0);
    covered += token.length;
    if (!brasswick::IsTrivia(token.kind)) ++significant;
  }
  // An error inside a token (a bad escape) lies past the token's start.
  FUZZ_CHECK(lexed.error ? covered <= lexed.error->offset && lexed.error->offset < size
                         : covered == size);

  const brasswick::TokenCount count = brasswick::CountTokens(lexed);
  FUZZ_CHECK(count.tokens >= 0 && count.tokens <= significant);
  FUZZ_CHECK(count.warning.has_value() == lexed.error.has_value());

  brasswick::CodeError error;
  const std::optional<brasswick::SyntaxTree> tree = brasswick::ParseCode(lexed, &error);
  if (!tree) {
    FUZZ_CHECK(error.offset <= size && !error.message.empty());
    return 0;
  }
  FUZZ_CHECK(!lexed.error);
  const std::string printed = brasswick::PrintCode(lexed, &*tree);
  const LexedCode again = brasswick::LexCode(printed);
  FUZZ_CHECK(!again.error);
  FUZZ_CHECK(SameTokens(lexed, again));
  const std::optional<brasswick::SyntaxTree> tree_again = brasswick::ParseCode(again, &error);
  FUZZ_CHECK(tree_again.has_value());
  FUZZ_CHECK(brasswick::DumpSyntax(*tree_again, again) == brasswick::DumpSyntax(*tree, lexed));
  FUZZ_CHECK(brasswick::PrintCode(again, &*tree_again) == printed);

  const std::string plain = brasswick::PrintCode(lexed);
  FUZZ_CHECK(SameTokens(lexed, brasswick::LexCode(plain)));
  return 0;
}
