#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/json/json_document.h"

namespace brasswick {
namespace {

// Parses text that must fail and returns the error.
JsonError ParseError(const std::string& text, int flags = 0) {
  JsonError error;
  EXPECT_EQ(ParseJsonText(text, flags, &error), nullptr) << text;
  return error;
}

TEST(JsonParser, ReportsEachMessage) {
  EXPECT_EQ(ParseError("").message, "Unexpected end of input");
  EXPECT_EQ(ParseError("   ").message, "Unexpected end of input");
  EXPECT_EQ(ParseError("[1, 2").message, "Unexpected end of input");
  EXPECT_EQ(ParseError("\"abc").message, "Unexpected end of input");
  EXPECT_EQ(ParseError("tru").message, "Unexpected end of input");
  EXPECT_EQ(ParseError("\"a\\x\"").message, "Invalid escape sequence");
  EXPECT_EQ(ParseError("\"\\u12g4\"").message, "Invalid escape sequence");
  EXPECT_EQ(ParseError("-").message, "Invalid numeric value");
  EXPECT_EQ(ParseError("1.").message, "Invalid numeric value");
  EXPECT_EQ(ParseError("1.e5").message, "Invalid numeric value");
  EXPECT_EQ(ParseError("1e").message, "Invalid numeric value");
  EXPECT_EQ(ParseError("1e+").message, "Invalid numeric value");
  EXPECT_EQ(ParseError("{\"a\" 1}").message, "Expected a ':' character");
  EXPECT_EQ(ParseError("+1").message, "Unexpected character");
  EXPECT_EQ(ParseError(".5").message, "Unexpected character");
  EXPECT_EQ(ParseError("truex").message, "Unexpected character");
  EXPECT_EQ(ParseError("nul1").message, "Unexpected character");
  EXPECT_EQ(ParseError("[1 2]").message, "Unexpected character");
  EXPECT_EQ(ParseError("[1,]").message, "Unexpected character");
  EXPECT_EQ(ParseError("{\"a\":1 \"b\":2}").message, "Unexpected character");
  EXPECT_EQ(ParseError("{\"a\":1,}").message, "A member name (string) is expected");
  EXPECT_EQ(ParseError("{a:1}").message, "A member name (string) is expected");
  EXPECT_EQ(ParseError("1 2").message, "Unexpected character");
}

TEST(JsonParser, ErrorStateIsResetAndKeptPerParse) {
  ParseError("[");
  EXPECT_EQ(LastJsonErrorMessage(), "Unexpected end of input");
  ASSERT_NE(ParseJsonText("[]", 0), nullptr);
  EXPECT_EQ(LastJsonErrorMessage(), "");
  EXPECT_EQ(LastJsonErrorLine(), -1);
  EXPECT_EQ(LastJsonErrorColumn(), -1);
}

TEST(JsonParser, CountsLinesAtTheError) {
  EXPECT_EQ(ParseError("").line, 1);
  EXPECT_EQ(ParseError("{\n\"a\": 1,\n\"b\" 2}").line, 3);
  EXPECT_EQ(ParseError("{\r\n\"a\": 1,\r\n\"b\" 2}").line, 3);
  // A lone CR is a line break as well, and CR CR LF is two.
  EXPECT_EQ(ParseError("[1,\r2,\r\r\n x]").line, 4);
  EXPECT_EQ(ParseError("[1,\n\n\n").line, 4);
  JsonError error = ParseError("[1,\n  x]");
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.column, 3);
  // At the very start of a line the column is reported as 1.
  EXPECT_EQ(ParseError("[1,\n").column, 1);
  // Columns count characters: a two-byte character, blanks and tabs are one each.
  error = ParseError("{\"\xC3\xA9\\tb\":  \t x}");
  EXPECT_EQ(error.line, 1);
  EXPECT_EQ(error.column, 13);
  error = ParseError("[\"a\nb\",\n\t\t  \"\xE2\x82\xAC\" x]");
  EXPECT_EQ(error.line, 3);
  EXPECT_EQ(error.column, 9);
}

TEST(JsonParser, LargeObjectsKeepFirstPlacesAndFindEveryMember) {
  std::string text = "{";
  for (int i = 0; i < 40; ++i) text += "\"k" + std::to_string(i) + "\": " + std::to_string(i) + ",";
  text += "\"K5\": 99, \"k39\": 7}";
  auto document = ParseJsonText(text, kJsonNoCase);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  ASSERT_EQ(root->member_count(), 40u);
  EXPECT_EQ(root->member_name(5), "k5");
  EXPECT_EQ(JsonIntegerOf(JsonMember(root, "k5")), 99);
  EXPECT_EQ(JsonIntegerOf(JsonMember(root, "K39")), 7);
  for (int i = 0; i < 39; ++i) {
    if (i == 5) continue;
    EXPECT_EQ(JsonIntegerOf(JsonMember(root, "K" + std::to_string(i))), i) << i;
  }
  EXPECT_EQ(JsonMember(root, "k40"), nullptr);
}

TEST(JsonParser, NumbersKeepTheirKind) {
  auto document = ParseJsonText("[12, 12.0, 1e3, -2.7, 007, -0, 2E-2]", 0);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  ASSERT_EQ(JsonArrayLength(root), 7u);
  EXPECT_FALSE(JsonElement(root, 0)->is_float());
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 0)), 12);
  EXPECT_TRUE(JsonElement(root, 1)->is_float());
  EXPECT_TRUE(JsonElement(root, 2)->is_float());
  EXPECT_DOUBLE_EQ(JsonFloatOf(JsonElement(root, 2)), 1000.0);
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 3)), -2);
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 4)), 7);
  EXPECT_FALSE(JsonElement(root, 4)->is_float());
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 5)), 0);
  EXPECT_DOUBLE_EQ(JsonFloatOf(JsonElement(root, 6)), 0.02);
}

TEST(JsonParser, ExtremeNumbersStayDefined) {
  auto document =
      ParseJsonText("[9223372036854775807, -9223372036854775808, 99999999999999999999, 1e999]", 0);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 0)), INT64_MAX);
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 1)), INT64_MIN);
  EXPECT_TRUE(JsonElement(root, 2)->is_float());
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 2)), INT64_MAX);
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 3)), INT64_MAX);
}

TEST(JsonParser, StringEscapes) {
  auto document = ParseJsonText(
      R"(["\u0022", "a\/b\\c\b\f\n\r\t", "\u00e9\u20AC", "\ud83d\ude00", "ab\u0000cd", "x\ud800y", ""])",
      0);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  EXPECT_EQ(JsonStringOf(JsonElement(root, 0)), "\"");
  EXPECT_EQ(JsonStringOf(JsonElement(root, 1)), "a/b\\c\b\f\n\r\t");
  EXPECT_EQ(JsonStringOf(JsonElement(root, 2)), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(JsonStringOf(JsonElement(root, 3)), "\xF0\x9F\x98\x80");
  EXPECT_EQ(JsonStringOf(JsonElement(root, 4)), "ab");
  EXPECT_EQ(JsonStringOf(JsonElement(root, 5)), "x\xED\xA0\x80y");
  EXPECT_EQ(JsonKindOf(JsonElement(root, 6)), JsonKind::kString);
  EXPECT_EQ(JsonStringOf(JsonElement(root, 6)), "");
}

TEST(JsonParser, RawControlCharactersStayInStrings) {
  auto document = ParseJsonText("\"a\tb\nc\"", 0);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(JsonStringOf(JsonRoot(document.get())), "a\tb\nc");
}

TEST(JsonParser, ZeroByteEndsTheInput) {
  std::string text("[1]\0garbage", 11);
  EXPECT_NE(ParseJsonText(text, 0), nullptr);
}

TEST(JsonParser, LiteralsAndKinds) {
  auto document =
      ParseJsonText(" {\"t\": true, \"f\": false, \"n\": null, \"o\": {}, \"a\": []} ", 0);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  EXPECT_EQ(JsonKindOf(root), JsonKind::kObject);
  EXPECT_TRUE(JsonBooleanOf(JsonMember(root, "t")));
  EXPECT_EQ(JsonKindOf(JsonMember(root, "f")), JsonKind::kBoolean);
  EXPECT_FALSE(JsonBooleanOf(JsonMember(root, "f")));
  EXPECT_EQ(JsonIntegerOf(JsonMember(root, "t")), 1);
  EXPECT_EQ(JsonKindOf(JsonMember(root, "n")), JsonKind::kNull);
  EXPECT_NE(JsonMember(root, "n"), nullptr);
  EXPECT_EQ(JsonKindOf(JsonMember(root, "o")), JsonKind::kObject);
  EXPECT_EQ(JsonKindOf(JsonMember(root, "a")), JsonKind::kArray);
  EXPECT_EQ(JsonMember(root, "T"), nullptr);  // case matters without the flag
}

TEST(JsonParser, LargeObjectsMergeRepeatsUnderEitherCaseRule) {
  // Members k0..k29, then each even one again: the later value wins, the first place
  // stays, and every name is found through the index of a large object.
  std::string text = "{\"\": \"blank\",";
  for (int i = 0; i < 30; ++i) text += "\"k" + std::to_string(i) + "\": " + std::to_string(i) + ",";
  for (int i = 0; i < 30; i += 2)
    text += "\"K" + std::to_string(i) + "\": -" + std::to_string(i) + ",";
  text += "\"k7\": \"last\"}";
  for (int flags : {0, kJsonNoCase}) {
    auto document = ParseJsonText(text, flags);
    ASSERT_NE(document, nullptr);
    const JsonValue* root = JsonRoot(document.get());
    const bool folded = flags == kJsonNoCase;
    ASSERT_EQ(root->member_count(), folded ? 31u : 46u);
    EXPECT_EQ(JsonStringOf(JsonMember(root, "")), "blank");
    EXPECT_EQ(JsonStringOf(JsonMember(root, "k7")), "last");
    for (int i = 0; i < 30; ++i) {
      const std::string name = "k" + std::to_string(i);
      const int64_t expected = folded && i % 2 == 0 ? -i : i;
      EXPECT_EQ(root->member_name(static_cast<size_t>(i) + 1), name);
      if (i != 7) {
        EXPECT_EQ(JsonIntegerOf(JsonMember(root, name)), expected) << name;
      }
    }
    EXPECT_EQ(JsonMember(root, "K3") != nullptr, folded);
    EXPECT_EQ(JsonMember(root, "k30"), nullptr);
    EXPECT_EQ(JsonMember(root, "k"), nullptr);
  }
}

TEST(JsonParser, ReadersTolerateWrongKinds) {
  auto document = ParseJsonText("[\"text\", 5]", 0);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  EXPECT_EQ(JsonStringOf(JsonElement(root, 1)), "");
  EXPECT_EQ(JsonIntegerOf(JsonElement(root, 0)), 0);
  EXPECT_EQ(JsonMember(root, "x"), nullptr);
  EXPECT_EQ(JsonElement(root, 2), nullptr);
  EXPECT_EQ(JsonArrayLength(JsonElement(root, 0)), 0u);
  EXPECT_EQ(JsonKindOf(nullptr), JsonKind::kNull);
  EXPECT_EQ(JsonStringOf(nullptr), "");
  JsonMemberWalk walk(root);
  EXPECT_FALSE(walk.Next());
  EXPECT_EQ(walk.name(), "");
  EXPECT_EQ(walk.value(), nullptr);
}

TEST(JsonParser, NoCaseMembersMergeAndKeepTheLaterValue) {
  auto document =
      ParseJsonText("{\"Name\": 1, \"other\": {\"Inner\": 3}, \"name\": 2}", kJsonNoCase);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  EXPECT_EQ(JsonIntegerOf(JsonMember(root, "NAME")), 2);
  EXPECT_EQ(JsonIntegerOf(JsonMember(JsonMember(root, "OTHER"), "inner")), 3);
  int members = 0;
  for (JsonMemberWalk walk(root); walk.Next();) ++members;
  EXPECT_EQ(members, 2);
}

TEST(JsonParser, CaseSensitiveRepeatedMemberKeepsTheLaterValue) {
  auto document = ParseJsonText("{\"a\": [1], \"A\": 5, \"a\": \"x\"}", 0);
  ASSERT_NE(document, nullptr);
  const JsonValue* root = JsonRoot(document.get());
  EXPECT_EQ(JsonStringOf(JsonMember(root, "a")), "x");
  EXPECT_EQ(JsonIntegerOf(JsonMember(root, "A")), 5);
}

TEST(JsonParser, WalksEveryMember) {
  auto document = ParseJsonText("{\"x\": 1, \"y\": \"two\", \"z\": null}", 0);
  ASSERT_NE(document, nullptr);
  std::string seen;
  for (JsonMemberWalk walk(JsonRoot(document.get())); walk.Next();) {
    seen += std::string(walk.name()) + "=" +
            std::to_string(static_cast<int>(JsonKindOf(walk.value()))) + ";";
  }
  EXPECT_EQ(seen, "x=2;y=1;z=0;");
}

TEST(JsonParser, DeepNestingFailsCleanly) {
  std::string deep(100000, '[');
  EXPECT_EQ(ParseError(deep).message, "Out of memory");
  std::string allowed = std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']');
  EXPECT_NE(ParseJsonText(allowed, 0), nullptr);
}

TEST(JsonBuilders, TurnAStringIntoAnArray) {
  auto document = ParseJsonText("{\"sets\": \"a,b\"}", kJsonNoCase);
  ASSERT_NE(document, nullptr);
  JsonValue* sets = JsonMember(JsonRoot(document.get()), "sets");
  std::string text = JsonStringOf(sets);
  MakeJsonArray(sets);
  EXPECT_EQ(JsonArrayLength(sets), 0u);
  JsonValue* element = AppendJsonElement(sets);
  ASSERT_NE(element, nullptr);
  EXPECT_TRUE(element->no_case());
  SetJsonString(element, text);
  EXPECT_EQ(JsonStringOf(JsonElement(sets, 0)), "a,b");
  EXPECT_EQ(AppendJsonElement(element), nullptr);
}

TEST(JsonBuilders, GrowingAnArrayKeepsEveryElementInPlace) {
  auto document = ParseJsonText("[1, 2]", 0);
  ASSERT_NE(document, nullptr);
  JsonValue* root = JsonRoot(document.get());
  JsonValue* second = JsonElement(root, 1);
  std::vector<JsonValue*> added;
  for (int i = 0; i < 100; ++i) {
    added.push_back(AppendJsonElement(root));
    ASSERT_NE(added.back(), nullptr);
    SetJsonString(added.back(), std::string(static_cast<size_t>(i), 'x'));
  }
  ASSERT_EQ(JsonArrayLength(root), 102u);
  EXPECT_EQ(JsonElement(root, 1), second);
  EXPECT_EQ(JsonIntegerOf(second), 2);
  for (size_t i = 0; i < added.size(); ++i) {
    EXPECT_EQ(JsonElement(root, i + 2), added[i]);
    EXPECT_EQ(JsonStringOf(added[i]), std::string(i, 'x'));
  }
}

}  // namespace
}  // namespace brasswick
