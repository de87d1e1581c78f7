#include "code/lua_printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code/lua_parser.h"
#include "code/lua_program_generator.h"

namespace brasswick {
namespace {

struct Lexeme {
  Tok kind;
  int32_t number;
  std::string text;  // a string's value; a name's or operator's text
  bool operator==(const Lexeme&) const = default;
};

std::vector<Lexeme> Lexemes(const LexedCode& lexed) {
  std::vector<Lexeme> out;
  for (const Token& token : lexed.tokens) {
    if (IsTrivia(token.kind)) continue;
    Lexeme lexeme{token.kind, 0, std::string(lexed.Text(token))};
    if (token.kind == Tok::kNumber) lexeme.number = token.value;
    if (token.kind == Tok::kString) lexeme.text = lexed.StringValue(token);
    out.push_back(lexeme);
  }
  return out;
}

// Pairs that must not touch, and pairs that need nothing between them.
TEST(LuaPrinter, SeparatesOnlyWhatWouldRunTogether) {
  struct Case {
    const char* code;
    const char* printed;
  };
  const Case cases[] = {
      {"local a = b", "local a=b"},
      {"x = a - -1", "x=a- -1"},          // `--` would start a comment
      {"x = a / / b", "x=a/ /b"},         // so would `//`
      {"x = t[ [[s]] ]", "x=t[ [[s]]]"},  // `[[` would open a long string
      {"x = t[ [=[s]=] ]", "x=t[ [=[s]=]]"},
      {"a [ = [ b", "a[ =[b"},      // `[=[` would too
      {"x = a .. .5", "x=a.. .5"},  // `...` then 5
      {"x = 1 .. 2", "x=1 ..2"},    // `1.` then `.`
      {"x = 0x1 .. y", "x=0x1 ..y"},
      {"x = 1 and 2", "x=1 and 2"},
      {"x = a < = b", "x=a< =b"},  // not `<=`
      {"x = a > > b", "x=a> >b"},
      {"x = a >> < b", "x=a>> <b"},  // not `>><`
      {"x = a ~ = b", "x=a~ =b"},
      {"x = a .. . b", "x=a.. .b"},
      {"x = a ^ ^ b", "x=a^ ^b"},
      {"x = - - 1", "x=- -1"},
      {"x = @ @ a", "x=@@a"},
      {"f ( \"s\" ) { }", "f(\"s\"){}"},
      {"return ... , 1", "return...,1"},
      {"a = 0 e = 1", "a=0 e=1"},  // `0e` is not a number, but `0x` would be
      {"a = 0 x1 = 1", "a=0 x1=1"},
      {"a = \x8b x = 1", "a=\x8b x=1"},  // glyphs are name bytes
      {"-- gone\nx = 1 --[[ gone ]] y = 2", "x=1 y=2"},
      {"x = a.b . c", "x=a.b.c"},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    ASSERT_FALSE(lexed.error) << c.code;
    EXPECT_EQ(PrintCode(lexed, nullptr), c.printed) << c.code;
  }
}

// Tokens given new texts (as a minifier renames) are separated by what they now are.
TEST(LuaPrinter, PrintsTokensInTheirNewTexts) {
  const PrintToken tokens[] = {
      {Tok::kLocal, "local"}, {Tok::kName, "a"},    {Tok::kAssign, "="},
      {Tok::kNumber, "1"},    {Tok::kName, "b"},    {Tok::kAssign, "="},
      {Tok::kName, "a"},      {Tok::kConcat, ".."}, {Tok::kNumber, "2", true},
      {Tok::kSpace, " \n "},  {Tok::kName, "c"},    {Tok::kMinusAssign, "-="},
      {Tok::kMinus, "-"},     {Tok::kNumber, "1"},
  };
  EXPECT_EQ(PrintTokens(tokens), "local a=1 b=a..2\nc-=-1");
}

TEST(LuaPrinter, KeepsTheLineBreaksShortFormsNeed) {
  struct Case {
    const char* code;
    const char* printed;
  };
  const Case cases[] = {
      {"if (a) b = 1\nc = 2", "if(a)b=1\nc=2"},
      {"if (a) b = 1 else c = 2\nd = 3", "if(a)b=1 else c=2\nd=3"},
      {"while (a) a -= 1\nb()", "while(a)a-=1\nb()"},
      {"? a\nb()", "?a\nb()"},
      {"if (a) if (b) c()\nd()", "if(a)if(b)c()\nd()"},
      {"if (a)\nb()", "if(a)\nb()"},
      // Closed by `end` on its line, not by the line's end: no break needed.
      {"function f() if (a) g() end\nh()", "function f()if(a)g()end h()"},
      {"if (a) b() -- note\n-- more\n\nc()", "if(a)b()\nc()"},
      // Ordinary forms lose their line breaks.
      {"if a then\n b()\nend\nc()", "if a then b()end c()"},
      {"x = 1\ny = 2", "x=1 y=2"},
      // The last statement needs no break.
      {"if (a) b()\n", "if(a)b()"},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    const std::optional<SyntaxTree> tree = ParseCode(lexed, nullptr);
    ASSERT_TRUE(tree) << c.code;
    EXPECT_EQ(PrintCode(lexed, &*tree), c.printed) << c.code;
  }
  // Without a tree every original line break between tokens is kept.
  EXPECT_EQ(PrintCode(LexCode("a = 1 -- c\n\n b = 2 --[[\n]] c = 3")), "a=1\nb=2\nc=3");
}

// The round trip over generated programs: printed code reads back as the same tokens and
// parses to the same tree, and printing it again changes nothing.
TEST(LuaPrinter, RoundTripOverGeneratedPrograms) {
  size_t total = 0;
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    const std::string code = testing::GenerateLuaProgram(seed, 300 + seed * 40);
    total += code.size();
    const LexedCode lexed = LexCode(code);
    ASSERT_FALSE(lexed.error) << "seed " << seed << ": " << lexed.error->message;
    CodeError error;
    const std::optional<SyntaxTree> tree = ParseCode(lexed, &error);
    ASSERT_TRUE(tree) << "seed " << seed << ": " << FormatCodeError(lexed, error) << "\n" << code;

    const std::string printed = PrintCode(lexed, &*tree);
    EXPECT_LT(printed.size(), code.size()) << seed;
    const LexedCode again = LexCode(printed);
    ASSERT_FALSE(again.error) << seed;
    EXPECT_TRUE(Lexemes(again) == Lexemes(lexed)) << "seed " << seed << "\n" << printed;
    const std::optional<SyntaxTree> tree_again = ParseCode(again, &error);
    ASSERT_TRUE(tree_again) << "seed " << seed << ": " << FormatCodeError(again, error) << "\n"
                            << printed;
    EXPECT_EQ(DumpSyntax(*tree_again, again), DumpSyntax(*tree, lexed)) << seed;
    EXPECT_EQ(PrintCode(again, &*tree_again), printed) << seed;

    // Without the tree, the original's line breaks keep the same tokens too.
    const std::string plain_text = PrintCode(lexed);
    const LexedCode plain = LexCode(plain_text);
    EXPECT_TRUE(Lexemes(plain) == Lexemes(lexed)) << seed;
  }
  EXPECT_GT(total, 300000u);
}

// The generator's programs hold every construct the round trip is meant to cover.
TEST(LuaPrinter, GeneratedProgramsCoverTheDialect) {
  std::string all;
  for (uint32_t seed = 1; seed <= 150; ++seed)
    all += testing::GenerateLuaProgram(seed, 300 + seed * 40);
  const LexedCode lexed = LexCode(all);
  std::vector<bool> seen(256);
  for (const Token& token : lexed.tokens) seen[static_cast<size_t>(token.kind)] = true;
  for (int kind = 0; kind <= static_cast<int>(Tok::kRotateRightAssign); ++kind) {
    EXPECT_TRUE(seen[kind]) << "kind " << kind << " " << TokSpelling(static_cast<Tok>(kind));
  }
  for (const char* piece :
       {"if (", "while (", "\\z", "\\x4a", "\\*", "\\^", "[==[", "//", "--[[", "0b", "0X", "!="}) {
    EXPECT_NE(all.find(piece), std::string::npos) << piece;
  }
}

}  // namespace
}  // namespace brasswick
