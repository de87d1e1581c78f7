#include "code/game_code_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "code/lua_parser.h"
#include "code/token_count.h"

namespace brasswick {
namespace {

// What a game's tokens show of its style, read off the lexed code.
struct Traits {
  bool comments = false;
  bool gotos = false;
  bool local_env = false;     // `local _ENV` or a parameter named `_ENV`
  bool metatables = false;    // `setmetatable` and `__index`
  bool bang = false;          // `!=` written
  bool tilde = false;         // `~=` written
  bool string_field = false;  // a string (or a comma piece of one) names a field
};

Traits TraitsOf(const LexedCode& lexed) {
  Traits traits;
  std::set<std::string, std::less<>> fields, strings;
  bool setmetatable = false, index = false;
  const Token* before = nullptr;
  for (const Token& token : lexed.tokens) {
    if (token.kind == Tok::kComment) traits.comments = true;
    if (IsTrivia(token.kind)) continue;
    const std::string_view text = lexed.Text(token);
    if (token.kind == Tok::kGoto) traits.gotos = true;
    if (token.kind == Tok::kNotEqual) (text == "!=" ? traits.bang : traits.tilde) = true;
    if (token.kind == Tok::kName) {
      if (text == "setmetatable") setmetatable = true;
      if (text == "__index") index = true;
      if (before && before->kind == Tok::kDot) fields.emplace(text);
      if (text == "_ENV" && before &&
          (before->kind == Tok::kLocal || before->kind == Tok::kOpenParen)) {
        traits.local_env = true;
      }
    }
    if (token.kind == Tok::kString) {
      std::string_view value = lexed.StringValue(token);
      for (size_t comma; (comma = value.find(',')) != std::string_view::npos;) {
        strings.emplace(value.substr(0, comma));
        value.remove_prefix(comma + 1);
      }
      strings.emplace(value);
    }
    before = &token;
  }
  traits.metatables = setmetatable && index;
  for (const std::string& field : fields) traits.string_field |= strings.contains(field);
  return traits;
}

// Indentation as the style states it: every indented line starts with the style's unit,
// and some line is indented unless the unit is none.
bool IndentedAs(const std::string& code, std::string_view indent) {
  bool indented = false;
  for (size_t start = 0; start < code.size();) {
    const size_t end = std::min(code.find('\n', start), code.size());
    const std::string_view line(code.data() + start, end - start);
    start = end + 1;
    if (line.empty() || (line[0] != ' ' && line[0] != '\t')) continue;
    if (indent.empty() || !line.starts_with(indent)) return false;
    indented = true;
  }
  return indented || indent.empty();
}

TEST(GameCodeGenerator, GamesParseStayInTheirLimitsAndShowTheirStyle) {
  const auto& styles = testing::GameStyles();
  std::string previous;
  for (uint32_t seed = 0; seed < 36; ++seed) {
    const size_t size = 2000 + seed * 1800;  // 2 000 to 65 000 bytes
    const testing::GameStyle& style = testing::GameStyleOf(seed);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", style " + style.name + ", size " +
                 std::to_string(size));
    EXPECT_STREQ(style.name, styles[seed % styles.size()].name);
    const std::string code = testing::GenerateGameCode(seed, size);
    EXPECT_NE(code, previous);
    previous = code;

    EXPECT_LE(code.size(), std::max(size, testing::kSmallestGame));
    if (size >= testing::kSmallestGame) {
      EXPECT_GE(code.size() + 500, size);
    }

    const LexedCode lexed = LexCode(code);
    ASSERT_FALSE(lexed.error.has_value()) << FormatCodeError(lexed, *lexed.error);
    CodeError error;
    ASSERT_TRUE(ParseCode(lexed, &error).has_value()) << FormatCodeError(lexed, error);
    if (size <= style.within_token_limit) {
      EXPECT_LE(CountTokens(lexed).tokens, kTokenLimit);
    }

    const Traits traits = TraitsOf(lexed);
    EXPECT_EQ(traits.comments, style.comments);
    EXPECT_EQ(traits.gotos, style.gotos);
    EXPECT_EQ(traits.local_env, style.env);
    EXPECT_EQ(traits.string_field, style.string_fields);
    if (style.classes) {
      EXPECT_TRUE(traits.metatables);
    }
    EXPECT_FALSE(style.bang_not_equal ? traits.tilde : traits.bang);
    EXPECT_TRUE(IndentedAs(code, style.indent));
    EXPECT_NE(code.find("function _init()"), std::string::npos);
    EXPECT_NE(code.find("function _draw()"), std::string::npos);
  }
}

TEST(GameCodeGenerator, SameSeedSameGame) {
  EXPECT_EQ(testing::GenerateGameCode(17, 20000), testing::GenerateGameCode(17, 20000));
}

TEST(TrapSnippets, EachParsesUnderItsOwnName) {
  std::set<std::string> names;
  for (const auto& [name, code] : testing::TrapSnippets()) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(names.insert(name).second);
    const LexedCode lexed = LexCode(code);
    CodeError error;
    EXPECT_TRUE(ParseCode(lexed, &error).has_value()) << FormatCodeError(lexed, error);
  }
  EXPECT_GE(names.size(), 12u);
}

}  // namespace
}  // namespace brasswick
