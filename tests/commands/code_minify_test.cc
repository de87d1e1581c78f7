// The minified code convert writes is never larger, compressed, than renaming locals
// alone would make it, on generated games of every style and on random programs.
#include "commands/code_minify.h"

#include <gtest/gtest.h>

#include <string>

#include "cart/code_compressor.h"
#include "code/game_code_generator.h"
#include "code/lua_minifier.h"
#include "code/lua_parser.h"
#include "code/lua_program_generator.h"

namespace brasswick {
namespace {

size_t Compressed(const std::string& code) { return CompressCode(code)->size(); }

TEST(CodeMinify, NeverLargerCompressedThanRenamingLocalsAlone) {
  std::vector<std::string> programs;
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    programs.push_back(testing::GenerateGameCode(seed, 9000 + 2500 * seed));
    programs.push_back(testing::GenerateLuaProgram(seed, 4000));
  }
  for (const std::string& code : programs) {
    const LexedCode lexed = LexCode(code);
    CodeError error;
    const std::optional<SyntaxTree> tree = ParseCode(lexed, &error);
    ASSERT_TRUE(tree) << error.message;
    MinifyOptions locals;
    locals.level = MinifyLevel::kLocals;
    const std::string locals_only = MinifyCode(lexed, *tree, locals).code;
    const std::optional<std::string> minified = MinifyCartCode(code, SourceMap());
    ASSERT_TRUE(minified);
    EXPECT_LE(Compressed(*minified), Compressed(locals_only));
    EXPECT_LE(minified->size(), code.size());
  }
}

}  // namespace
}  // namespace brasswick
