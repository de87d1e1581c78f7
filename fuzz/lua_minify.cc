// The minifier on any code that parses: at every level, with the first byte choosing
// names to keep by hand, the result has no more characters and tokens than the code,
// reads back without error, and parses to the same tree once the names are mapped back.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "code/lua_lexer.h"
#include "code/lua_minifier.h"
#include "code/lua_parser.h"
#include "code/syntax_shape.h"
#include "code/token_count.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The console holds at most 65 535 characters of code.
  if (size > 65535) return 0;
  const std::string_view code = brasswick::fuzz::AsText(data, size);
  const brasswick::LexedCode lexed = brasswick::LexCode(code);
  brasswick::CodeError error;
  const std::optional<brasswick::SyntaxTree> tree = brasswick::ParseCode(lexed, &error);
  if (!tree) return 0;
  const int tokens = brasswick::CountTokens(lexed).tokens;

  std::vector<std::string> keep;
  if (size > 0 && (data[0] & 1)) keep = {"x", "a", "b"};
  for (brasswick::MinifyLevel level :
       {brasswick::MinifyLevel::kSpaces, brasswick::MinifyLevel::kLocals,
        brasswick::MinifyLevel::kAll}) {
    const brasswick::MinifyResult result =
        brasswick::MinifyCode(lexed, *tree, brasswick::MinifyOptions{level, keep});
    FUZZ_CHECK(result.code.size() <= size);
    const brasswick::LexedCode again = brasswick::LexCode(result.code);
    FUZZ_CHECK(!again.error);
    FUZZ_CHECK(brasswick::CountTokens(again).tokens <= tokens);
    const std::optional<brasswick::SyntaxTree> tree_again = brasswick::ParseCode(again, &error);
    FUZZ_CHECK(tree_again.has_value());
    std::map<std::string, std::string> renamed;
    FUZZ_CHECK(
        brasswick::testing::CompareRenamed(*tree, lexed, *tree_again, again, &renamed).empty());
    for (const brasswick::KeptName& kept : result.kept_names) {
      const auto it = renamed.find(kept.name);
      FUZZ_CHECK(it != renamed.end() && it->second == kept.name && !kept.reason.empty());
    }
    for (const std::string& name : keep) {
      const auto it = renamed.find(name);
      FUZZ_CHECK(it == renamed.end() || it->second == name);
    }
  }
  return 0;
}
