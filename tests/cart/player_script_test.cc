#include "cart/player_script.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cart/text_file.h"
#include "player_page.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::TempDir;
using testing::WriteTestFile;

CartPayload Padded(std::vector<uint8_t> head) {
  head.resize(kCartPayloadSize, 0);
  return head;
}

TEST(ParseCartData, ReadsEachValueByItsSyntax) {
  struct Case {
    const char* list;
    std::vector<uint8_t> head;
  };
  const Case cases[] = {
      {"1, 2,\n3", {1, 2, 3}},
      {"1,,3,", {1, 0, 3}},
      {"$FF,%101,-2,300", {0xFF, 5, 0xFE, 0x2C}},
      {"$ff,$1f,-1,256,+7,-$01", {0xFF, 0x1F, 0xFF, 0, 7, 0xFF}},
      // Reading stops at the first character that does not fit.
      {"0x1F,12ab,%1021,$1g2,-+3,+", {0, 12, 2, 1, 0, 0}},
      // Blanks inside a value are removed before it is read.
      {"1 2,\t$ F,\r\n- 1", {12, 15, 0xFF}},
      {"", {}},
      {" \r\n\t", {}},
      {",,5", {0, 0, 5}},
      // 10^23 is a multiple of 256, so 10^23 - 1 ends in eight one bits.
      {"99999999999999999999999", {0xFF}},
  };
  for (const Case& c : cases) {
    std::optional<CartPayload> bytes = ParseCartData(c.list);
    ASSERT_TRUE(bytes) << c.list;
    EXPECT_EQ(*bytes, Padded(c.head)) << c.list;
  }
}

TEST(ParseCartData, FillsTheBufferAndIgnoresTheRest) {
  std::string list;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 40000; ++i) {
    list += std::to_string(i * 7) + (i % 100 == 99 ? ",\n" : ",");
    if (expected.size() < kCartPayloadSize) expected.push_back(static_cast<uint8_t>((i * 7) % 256));
  }
  std::optional<CartPayload> bytes = ParseCartData(list);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, expected);
}

TEST(ParseCartData, ToleratesJunkWithoutReadingPastIt) {
  // Every byte value, and a list of nothing but commas far longer than the buffer.
  std::string junk;
  for (int i = 0; i < 256 * 4; ++i) junk += static_cast<char>(i);
  EXPECT_TRUE(ParseCartData(junk));
  std::optional<CartPayload> commas = ParseCartData(std::string(100000, ','));
  ASSERT_TRUE(commas);
  EXPECT_EQ(*commas, CartPayload(kCartPayloadSize, 0));
}

TEST(ReplaceCartData, ReplacesTheFirstListAndKeepsEverythingElse) {
  const std::vector<uint8_t> bytes = {0, 9, 255};
  struct Case {
    const char* script;
    std::optional<std::string> written;
  };
  const Case cases[] = {
      {"a;_cartdat=[1,\n2];b=[3];", "a;_cartdat=[0,9,255];b=[3];"},
      {"x _CartDat=[];_cartdat=[4]", "x _CartDat=[0,9,255];_cartdat=[4]"},
      {"_cartdat=[]", "_cartdat=[0,9,255]"},
      {"_cartdat=[1,2", std::nullopt},
      {"_cartdat =[1]", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceCartData(c.script, bytes), c.written) << c.script;
  EXPECT_EQ(ReplaceCartData("_cartdat=[7]", {}), "_cartdat=[]");
}

TEST(TextBetween, FindsMarkersIgnoringCaseAndKeepsTheTextsCase) {
  struct Case {
    const char* text;
    const char* start;
    const char* end;
    std::optional<std::string> between;
  };
  const Case cases[] = {
      {"var _CARTDAT=[1,2];", "_cartdat=[", "]", "1,2"},
      {"x=[Ab]", "X=[", "]", "Ab"},
      {"abc", "", "c", "ab"},
      {"abc", "a", "", "bc"},
      {"]x[1]", "[", "]", "1"},  // the end is searched after the start
      {"no marker", "[", "]", std::nullopt},
      {"_cartdat=[1,2", "_cartdat=[", "]", std::nullopt},
      {"[]", "[", "]", ""},
  };
  for (const Case& c : cases) {
    std::optional<std::string_view> found = FindTextBetween(c.text, c.start, c.end);
    EXPECT_EQ(found.has_value(), c.between.has_value()) << c.text;
    if (found && c.between) {
      EXPECT_EQ(*found, *c.between) << c.text;
    }
  }
}

TEST(TextHelpers, ReplaceExtensionAndRemoveCharacters) {
  EXPECT_EQ(ReplaceExtension("/a/b.c.html", "js"), "/a/b.c.js");
  EXPECT_EQ(ReplaceExtension("/a/game", "js"), "/a/game.js");
  EXPECT_EQ(ReplaceExtension("/a.b/game", "js"), "/a.b/game.js");
  EXPECT_EQ(ReplaceExtension("game.p8", ""), "game");
  EXPECT_EQ(ReplaceExtension("", "js"), "");
  EXPECT_EQ(RemoveCharacters("a b\r\nc\td", " \r\n\t"), "abcd");
  EXPECT_EQ(RemoveCharacters("\xC3\xA9-x-", "-"), "\xC3\xA9x");
}

TEST(ReadTextFile, ChoosesTheEncodingByTheMark) {
  TempDir dir;
  struct Case {
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"plain\r\ntext", "plain\r\ntext"},
      {"\xEF\xBB\xBF"
       "caf\xC3\xA9",
       "caf\xC3\xA9"},
      // "aé€" and U+1F600 as a surrogate pair.
      {std::string("\xFF\xFE"
                   "a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE",
                   12),
       "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {std::string("\xFF\xFE\x00\xD8"
                   "b\0",
                   6),
       "\xEF\xBF\xBD"
       "b"},  // a lone surrogate
      // Big-endian: "a", U+1F600, and an odd last byte that is dropped.
      {std::string("\xFE\xFF\0a\xD8\x3D\xDE\x00\x20", 9), "a\xF0\x9F\x98\x80"},
      {std::string("\xFF\xFE\0\0a\0\0\0", 8), ""},
      {"", ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string path = dir.File("t" + std::to_string(n++));
    WriteTestFile(path, c.bytes);
    EXPECT_EQ(ReadTextFile(path), c.text) << n;
  }
  EXPECT_EQ(ReadTextFile(dir.File("missing")), "");
  EXPECT_EQ(ReadTextFile(dir.path()), "");
}

}  // namespace
}  // namespace brasswick
