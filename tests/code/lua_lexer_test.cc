#include "code/lua_lexer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brasswick {
namespace {

// The 16.16 value of whole + fraction / 65536, as the 32 bits the console holds.
int32_t Fixed(uint32_t whole, uint32_t fraction) {
  return static_cast<int32_t>(((whole & 0xFFFF) << 16) | (fraction & 0xFFFF));
}

std::vector<Token> Significant(const LexedCode& lexed) {
  std::vector<Token> out;
  for (const Token& token : lexed.tokens) {
    if (!IsTrivia(token.kind)) out.push_back(token);
  }
  return out;
}

TEST(LuaLexer, TokensJoinedAreTheCode) {
  const std::string code =
      "-- c\nfunction _draw() // x\n --[==[ ]] \n]==] x+=0x1f.8 ?\"\\65\" end\n";
  const LexedCode lexed = LexCode(code);
  ASSERT_FALSE(lexed.error);
  std::string joined;
  for (const Token& token : lexed.tokens) joined += lexed.Text(token);
  EXPECT_EQ(joined, code);
}

TEST(LuaLexer, ReadsEachOperatorLongestFirst) {
  struct Case {
    const char* code;
    std::vector<Tok> kinds;
  };
  const Case cases[] = {
      {">>>=", {Tok::kShiftRightLogicalAssign}},
      {"<<>=", {Tok::kRotateLeftAssign}},
      {">><=", {Tok::kRotateRightAssign}},
      {">>>", {Tok::kShiftRightLogical}},
      {"<<>", {Tok::kRotateLeft}},
      {">><", {Tok::kRotateRight}},
      {">>", {Tok::kShiftRight}},
      {"<<", {Tok::kShiftLeft}},
      {"^^=", {Tok::kCaretCaretAssign}},
      {"^^", {Tok::kCaretCaret}},
      {"^=", {Tok::kCaretAssign}},
      {"..=", {Tok::kConcatAssign}},
      {"...", {Tok::kDots}},
      {"....", {Tok::kDots, Tok::kDot}},
      {"..", {Tok::kConcat}},
      {"::", {Tok::kDoubleColon}},
      {":", {Tok::kColon}},
      {"!=", {Tok::kNotEqual}},
      {"~=", {Tok::kNotEqual}},
      {"~", {Tok::kTilde}},
      {"==", {Tok::kEqual}},
      {"<=", {Tok::kLessEqual}},
      {">=", {Tok::kGreaterEqual}},
      {"\\=", {Tok::kBackslashAssign}},
      {"\\", {Tok::kBackslash}},
      {"+= -= *= /= %= |= &=",
       {Tok::kPlusAssign, Tok::kMinusAssign, Tok::kStarAssign, Tok::kSlashAssign,
        Tok::kPercentAssign, Tok::kBarAssign, Tok::kAmpersandAssign}},
      {"<<= >>=", {Tok::kShiftLeftAssign, Tok::kShiftRightAssign}},
      {"@a%b$c#d?",
       {Tok::kAt, Tok::kName, Tok::kPercent, Tok::kName, Tok::kDollar, Tok::kName, Tok::kHash,
        Tok::kName, Tok::kQuestion}},
      {"(){}[];,.",
       {Tok::kOpenParen, Tok::kCloseParen, Tok::kOpenBrace, Tok::kCloseBrace, Tok::kOpenBracket,
        Tok::kCloseBracket, Tok::kSemicolon, Tok::kComma, Tok::kDot}},
      {"a-b*c/d^e&f|g<h>i=j",
       {Tok::kName, Tok::kMinus, Tok::kName, Tok::kStar, Tok::kName, Tok::kSlash, Tok::kName,
        Tok::kCaret, Tok::kName, Tok::kAmpersand, Tok::kName, Tok::kBar, Tok::kName, Tok::kLess,
        Tok::kName, Tok::kGreater, Tok::kName, Tok::kAssign, Tok::kName}},
      // Names: glyph bytes and 0x1E/0x1F are name bytes; keywords are whole words only.
      {"\x8b\x83 a\x1e\x1f b9 If end_ elseif",
       {Tok::kName, Tok::kName, Tok::kName, Tok::kName, Tok::kName, Tok::kElseIf}},
      // No exponent: `0eo=1` is the number 0 then the name eo.
      {"n=0eo=1", {Tok::kName, Tok::kAssign, Tok::kNumber, Tok::kName, Tok::kAssign, Tok::kNumber}},
      {"1..2", {Tok::kNumber, Tok::kConcat, Tok::kNumber}},
      {"a.b", {Tok::kName, Tok::kDot, Tok::kName}},
      {"[=a", {Tok::kOpenBracket, Tok::kAssign, Tok::kName}},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    ASSERT_FALSE(lexed.error) << c.code;
    std::vector<Tok> kinds;
    for (const Token& token : Significant(lexed)) kinds.push_back(token.kind);
    EXPECT_EQ(kinds, c.kinds) << c.code;
  }
}

TEST(LuaLexer, EveryKeyword) {
  const char* words[] = {"and",      "break",  "do",   "else", "elseif", "end",  "false", "for",
                         "function", "goto",   "if",   "in",   "local",  "nil",  "not",   "or",
                         "repeat",   "return", "then", "true", "until",  "while"};
  for (const char* word : words) {
    const LexedCode lexed = LexCode(word);
    ASSERT_EQ(lexed.tokens.size(), 1u);
    EXPECT_TRUE(IsKeyword(lexed.tokens[0].kind)) << word;
    EXPECT_EQ(TokSpelling(lexed.tokens[0].kind), word);
  }
}

TEST(LuaLexer, NumberValuesInSixteenSixteen) {
  struct Case {
    const char* code;
    int32_t value;
    bool wrapped;
  };
  const Case cases[] = {
      {"0", Fixed(0, 0), false},
      {"12", Fixed(12, 0), false},
      {"1.5", Fixed(1, 0x8000), false},
      {".5", Fixed(0, 0x8000), false},
      {"3.", Fixed(3, 0), false},
      {"0.25", Fixed(0, 0x4000), false},
      // 0.1 * 65536 = 6553.6, nearest 6554; 0.00001 * 65536 = 0.65536, nearest 1.
      {"0.1", Fixed(0, 6554), false},
      {"0.00001", Fixed(0, 1), false},
      // Exactly half of 1/65536 (0.5 / 65536 = 0.00000762939453125) rounds up.
      {"0.00000762939453125", Fixed(0, 1), false},
      {"0.00000762939453124", Fixed(0, 0), false},
      {"32767", Fixed(32767, 0), false},
      {"32767.99999", Fixed(32767, 65535), false},
      {"32768", Fixed(32768, 0), true},
      {"65535", Fixed(65535, 0), true},
      {"65536", Fixed(0, 0), true},
      {"65537.5", Fixed(1, 0x8000), true},
      {"0x1f", Fixed(0x1f, 0), false},
      {"0X1F", Fixed(0x1f, 0), false},
      {"0x1f.8", Fixed(0x1f, 0x8000), false},
      {"0x.c", Fixed(0, 0xc000), false},
      {"0x7fff", Fixed(0x7fff, 0), false},
      {"0xffff", Fixed(0xffff, 0), false},
      {"0x10001", Fixed(1, 0), false},
      {"0x1.23456", Fixed(1, 0x2345), false},
      {"0b101", Fixed(5, 0), false},
      {"0B101.1", Fixed(5, 0x8000), false},
      {"0b.01", Fixed(0, 0x4000), false},
      {"0b11111111111111111", Fixed(0xffff, 0), false},
      {"0b0.10000000000000001", Fixed(0, 0x8000), false},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    ASSERT_FALSE(lexed.error) << c.code;
    ASSERT_EQ(lexed.tokens.size(), 1u) << c.code;
    EXPECT_EQ(lexed.tokens[0].kind, Tok::kNumber) << c.code;
    EXPECT_EQ(lexed.tokens[0].value, c.value) << c.code;
    EXPECT_EQ((lexed.tokens[0].flags & kNumberWrapped) != 0, c.wrapped) << c.code;
  }
  // 0xffff is -1.
  EXPECT_EQ(LexCode("0xffff").tokens[0].value, -65536);
}

TEST(LuaLexer, StringValuesWithEveryEscape) {
  struct Case {
    std::string code;
    std::string value;
  };
  const Case cases[] = {
      {"\"\\a\\b\\t\\n\\v\\f\\r\"", "\a\b\t\n\v\f\r"},
      {"'\\\\\\\"\\''", "\\\"'"},
      {"\"a\\\nb\"", "a\nb"},
      {"\"a\\z  \n\t b\"", "ab"},
      {"\"\\x4a\\x4A\\xff\"", "JJ\xff"},
      {"\"\\7\\65\\255\\0659\"", std::string("\x07"
                                             "A\xff"
                                             "A9")},
      {"\"\\*\\#\\-\\|\\+\\^\"", "\x01\x02\x03\x04\x05\x06"},
      {"'\"'", "\""},
      {"\"\x8b\x83\"", "\x8b\x83"},
      {"[[a]]", "a"},
      {"[[\nfirst]]", "first"},
      {"[[\r\nfirst]]", "first"},
      {"[[\n\nsecond]]", "\nsecond"},
      {"[==[a]]b]=]c]==]", "a]]b]=]c"},
      {"[=[\n]]]=]", "]]"},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    ASSERT_FALSE(lexed.error) << c.code << ": " << lexed.error->message;
    ASSERT_EQ(lexed.tokens.size(), 1u) << c.code;
    EXPECT_EQ(lexed.tokens[0].kind, Tok::kString) << c.code;
    EXPECT_EQ(lexed.StringValue(lexed.tokens[0]), c.value) << c.code;
    EXPECT_EQ((lexed.tokens[0].flags & kLongString) != 0, c.code[0] == '[') << c.code;
  }
}

TEST(LuaLexer, CommentsOfEveryKind) {
  struct Case {
    const char* code;
    size_t comment_length;  // the comment is the first token
  };
  const Case cases[] = {
      {"-- to the end\nx", 13},
      {"// slashes\nx", 10},
      {"--[[ long\n ]]x", 13},
      {"--[==[ ]] ]=] \n]==]x", 19},
      {"--[=x\nx", 5},  // not a long bracket: a line comment
      {"--", 2},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    ASSERT_FALSE(lexed.error) << c.code;
    EXPECT_EQ(lexed.tokens[0].kind, Tok::kComment) << c.code;
    EXPECT_EQ(lexed.tokens[0].length, c.comment_length) << c.code;
  }
}

TEST(LuaLexer, ErrorsStopTheTokensWithTheirPlace) {
  struct Case {
    const char* code;
    uint32_t offset;
    const char* message;
    size_t tokens_before;  // trivia included
  };
  const Case cases[] = {
      {"x=\"abc", 2, "unfinished string", 2},
      {"x='a\nb'", 2, "unfinished string", 2},
      {"x=[[abc]", 2, "unfinished long string", 2},
      {"x=[==[abc]=]", 2, "unfinished long string", 2},
      {"a --[[ never closed", 2, "unfinished long comment", 2},
      {"s=\"\\q\"", 3, "bad escape in string", 2},
      {"s=\"\\xg0\"", 3, "bad escape in string", 2},
      {"s=\"\\256\"", 3, "bad escape in string", 2},
      {"n=0x", 2, "malformed number", 2},
      {"n=0b2", 2, "malformed number", 2},
      {"a ! b", 2, "unexpected character", 2},
      {"a `", 2, "unexpected character", 2},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    ASSERT_TRUE(lexed.error) << c.code;
    EXPECT_EQ(lexed.error->offset, c.offset) << c.code;
    EXPECT_EQ(lexed.error->message, c.message) << c.code;
    EXPECT_EQ(lexed.tokens.size(), c.tokens_before) << c.code;
  }
}

TEST(LuaLexer, PlacesCountLinesAndColumnsInBytes) {
  const LexedCode lexed = LexCode("a\n  \x8b\x83=[[\n]] b\n\nc");
  std::vector<std::pair<uint32_t, uint32_t>> places;
  for (const Token& token : Significant(lexed)) places.push_back({token.line, token.column});
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {{1, 1}, {2, 3}, {2, 5},
                                                               {2, 6}, {3, 4}, {5, 1}};
  EXPECT_EQ(places, expected);
}

TEST(LuaLexer, PlacesGoThroughTheSourceMap) {
  // main.lua lines 1-2, then lib.lua from its line 1 (two lines), then main.lua from line 4.
  const std::string code = "a=1\nb=2\nc=3\nd=4\ne=5\n";
  SourceMap map;
  map.segments = {{0, "main.lua", 1, 0}, {8, "lib.lua", 1, 0}, {16, "main.lua", 4, 0}};
  const LexedCode lexed = LexCode(code);
  struct Case {
    uint32_t offset;
    std::string_view file;
    uint32_t line;
    uint32_t column;
  };
  const Case cases[] = {{0, "main.lua", 1, 1}, {6, "main.lua", 2, 3},  {8, "lib.lua", 1, 1},
                        {15, "lib.lua", 2, 4}, {16, "main.lua", 4, 1}, {18, "main.lua", 4, 3},
                        {20, "main.lua", 5, 1}};
  for (const Case& c : cases) {
    const CodePlace place = PlaceOf(lexed, c.offset, &map);
    EXPECT_EQ(place.file, c.file) << c.offset;
    EXPECT_EQ(place.line, c.line) << c.offset;
    EXPECT_EQ(place.column, c.column) << c.offset;
  }
  // A segment that starts mid-line shifts its first line's columns only.
  SourceMap shifted;
  shifted.segments = {{0, "a.lua", 1, 0}, {2, "b.lua", 7, 10}};
  EXPECT_EQ(PlaceOf(lexed, 2, &shifted).column, 13u);
  EXPECT_EQ(PlaceOf(lexed, 5, &shifted).column, 2u);
  EXPECT_EQ(PlaceOf(lexed, 5, &shifted).line, 8u);
  // Without a map: file "", lines from 1.
  EXPECT_EQ(FormatCodeError(lexed, CodeError{13, "oops"}), ":4:2: oops");
}

}  // namespace
}  // namespace brasswick
