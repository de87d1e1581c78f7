#include "cart/player_script.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
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
    EXPECT_EQ(ParseCartData(c.list), Padded(c.head)) << c.list;
  }
}

TEST(ParseCartData, FillsTheBufferAndIgnoresTheRest) {
  std::string list;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 40000; ++i) {
    list += std::to_string(i * 7) + (i % 100 == 99 ? ",\n" : ",");
    if (expected.size() < kCartPayloadSize) expected.push_back(static_cast<uint8_t>((i * 7) % 256));
  }
  EXPECT_EQ(ParseCartData(list), expected);
}

TEST(ParseCartData, ToleratesJunkWithoutReadingPastIt) {
  // Every byte value, and a list of nothing but commas far longer than the buffer.
  std::string junk;
  for (int i = 0; i < 256 * 4; ++i) junk += static_cast<char>(i);
  EXPECT_EQ(ParseCartData(junk).size(), kCartPayloadSize);
  EXPECT_EQ(ParseCartData(std::string(100000, ',')), CartPayload(kCartPayloadSize, 0));
}

// n values, each written in one of the ways real lists are (decimal, hex, binary, signs,
// blanks and breaks around and inside), value i of cart c reading as ValueOf(c, i).
uint8_t ValueOf(size_t cart, size_t i) {
  return static_cast<uint8_t>(i * 7 + cart * 101 + i / 300);
}
std::string ListOf(size_t n) {
  std::string list;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = ValueOf(i / kCartRomSize, i % kCartRomSize);
    if (i > 0) list += i % 25 == 0 ? ",\r\n" : ",";
    switch (i % 6) {
      case 0:
        list += std::to_string(b);
        break;
      case 1:
        list += " " + std::to_string(b) + " ";
        break;
      case 2:
        list += "$" + std::string(1, "0123456789ABCDEF"[b >> 4]) + "0123456789abcdef"[b & 15];
        break;
      case 3:
        list += b == 0 ? std::string("-0") : "-" + std::to_string(256 - b);
        break;
      case 4:
        list += "+" + std::to_string(b + 256);
        break;
      default:
        list += "\t" + std::to_string(b);
        break;
    }
  }
  return list;
}

std::string Script(const std::string& list) {
  return "var _cartname=[`a.p8`,`b.p8`];\r\nvar _cartdat=[" + list + "];\r\nvar x=[1];\r\n";
}

// The list's values as numbers, split at commas, for checking what a rewrite wrote.
std::vector<std::string> Values(const std::string& script) {
  const size_t start = script.find("_cartdat=[") + 10;
  const std::string list = script.substr(start, script.find(']', start) - start);
  std::vector<std::string> values;
  size_t at = 0;
  for (;;) {
    const size_t comma = list.find(',', at);
    values.push_back(list.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return values;
}

TEST(CartListShape, CountsWholeRomsAsCartsAndAnyOtherLengthAsOneWithATrailer) {
  struct Case {
    size_t values;
    size_t carts;
    bool trailer;
  };
  const Case cases[] = {
      {0, 1, true},
      {3, 1, true},
      {kCartRomSize - 1, 1, true},
      {kCartRomSize, 1, false},
      {kCartRomSize + 1, 1, true},
      {kCartPayloadSize, 1, true},
      {2 * kCartRomSize - 1, 1, true},
      {2 * kCartRomSize, 2, false},
      {3 * kCartRomSize, 3, false},
  };
  for (const Case& c : cases) {
    // Empty values count as values; blanks after the last comma do not.
    for (const std::string tail : {"", ", \n"}) {
      const std::string list = c.values == 0 ? (tail.empty() ? tail : tail.substr(1))
                                             : std::string(c.values - 1, ',') + "1" + tail;
      const CartListShape shape = ShapeOfCartList(list);
      EXPECT_EQ(shape.value_count, c.values) << c.values << tail;
      EXPECT_EQ(shape.cart_count, c.carts) << c.values;
      EXPECT_EQ(shape.has_trailer, c.trailer) << c.values;
      EXPECT_EQ(shape.first_cart_values, c.trailer ? kCartPayloadSize : kCartRomSize) << c.values;
    }
  }
}

TEST(IsOldPlayerScript, TellsTheConsoleByHowTheCartridgeIsNamed) {
  const std::pair<const char*, bool> cases[] = {
      {"var _cartname=['game.p8'];", true},
      {"var _cartname = [ \n'game.p8', 'two.p8'];", true},
      {"var _cartname=[`game.p8`,`level2.p8`];", false},
      {"var _cartname=[\"game.p8\"];", false},
      {"if(_cartname.length>0){}; var _cartname=['g.p8'];", true},
      {"var _cartdat=[1,2];", false},
      {"_cartname=[", false},
  };
  for (const auto& [script, old] : cases) EXPECT_EQ(IsOldPlayerScript(script), old) << script;
}

TEST(ReplaceCartData, PutsBackUnchangedBytesAsTheSameTextForEveryShape) {
  for (const size_t n : {kCartRomSize, kCartPayloadSize, 2 * kCartRomSize}) {
    const std::string script = Script(ListOf(n));
    CartPayload bytes(kCartPayloadSize, 0);
    for (size_t i = 0; i < kCartPayloadSize; ++i) {
      bytes[i] = ValueOf(i / kCartRomSize, i % kCartRomSize);
    }
    EXPECT_EQ(ReplaceCartData(script, bytes), script) << n;

    // One byte of the first cart's ROM, and the first of what follows it, changed.
    bytes[1] ^= 0xFF;  // a value written " b "
    bytes[kCartRomSize] ^= 0x0F;
    std::optional<std::string> written = ReplaceCartData(script, bytes);
    ASSERT_TRUE(written) << n;
    const std::vector<std::string> before = Values(script);
    const std::vector<std::string> after = Values(*written);
    ASSERT_EQ(after.size(), n) << n;
    for (size_t i = 0; i < n; ++i) {
      std::string expected = before[i];
      if (i == 1) expected = " " + std::to_string(bytes[1]) + " ";
      // Past the ROM is a trailer only when the list keeps one: else the next cart's.
      if (i == kCartRomSize && n == kCartPayloadSize) {
        expected = std::to_string(bytes[kCartRomSize]);
      }
      ASSERT_EQ(after[i], expected) << n << " value " << i;
    }
  }
}

TEST(ReplaceCartData, FillsAShortListAndKeepsEverythingOutsideIt) {
  const std::vector<uint8_t> bytes = {0, 9, 255};
  struct Case {
    const char* script;
    std::optional<std::string> written;
  };
  const Case cases[] = {
      {"a;_cartdat=[1,\n2];b=[3];", "a;_cartdat=[0,\n9,255];b=[3];"},
      {"a;_cartdat=[0,9,255,7];", "a;_cartdat=[0,9,255,7];"},
      {"a;_cartdat=[0,9, ];", "a;_cartdat=[0,9, 255];"},
      // A value whose byte is right keeps its text, an empty one included.
      {"a;_cartdat=[,,];", "a;_cartdat=[,9,255];"},
      {"x _CartDat=[];_cartdat=[4]", "x _CartDat=[0,9,255];_cartdat=[4]"},
      {"_cartdat=[ ]", "_cartdat=[ 0,9,255]"},
      {"_cartdat=[1,2", std::nullopt},
      {"_cartdat =[1]", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceCartData(c.script, bytes), c.written) << c.script;
  // A cart given fewer bytes than it holds keeps the rest.
  EXPECT_EQ(ReplaceCartData("_cartdat=[7,8]", {}), "_cartdat=[7,8]");
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
