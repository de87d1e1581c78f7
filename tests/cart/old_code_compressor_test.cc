#include "cart/old_code_compressor.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "cart/cart_code.h"
#include "lua_corpus.h"

namespace brasswick {
namespace {

// The characters the stream's bytes 1-59 stand for.
constexpr std::string_view kTable = "\n 0123456789abcdefghijklmnopqrstuvwxyz!#%(){}[]<>+=/*:;.,~_";
// The farthest copy: the largest first byte (255) and the largest low four bits.
constexpr size_t kFarthest = (255 - 60) * 16 + 15;
constexpr std::string_view kEnding = "if(_update60)_update=function()_update60()_update60()end";
constexpr std::string_view kButtonsEnding =
    "if(_update60)_update=function()_update60()_update_buttons()_update60()end";

std::optional<std::string> Decoded(const std::string& stream) {
  std::string area = stream;
  area.resize(kCodeAreaSize, '\0');
  return DecodeCodeArea(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(area.data()), area.size()));
}

size_t StreamSize(std::string_view code) {
  std::optional<std::string> stream = CompressOldCode(code);
  return stream ? stream->size() : 0;
}

// Random code of size bytes drawn from alphabet (every byte value when empty).
std::string RandomCode(std::mt19937& random, size_t size, std::string_view alphabet) {
  std::string code(size, '\0');
  for (char& c : code) {
    c = alphabet.empty() ? static_cast<char>(random() & 0xFF)
                         : alphabet[random() % alphabet.size()];
  }
  return code;
}

TEST(CompressOldCode, WritesTheHeaderAndReadsBackAsAnyCode) {
  std::mt19937 random(2024);
  std::vector<std::string> codes = {"",
                                    "a",
                                    "^",
                                    std::string(1, '\0'),
                                    "aa",
                                    "abab",
                                    std::string(3000, 'x'),
                                    testing::LuaLikeProgram(3, 9000)};
  const std::string_view alphabets[] = {"", "ab", "ab^\x80", kTable, "aA\x01\xff "};
  for (int round = 0; round < 60; ++round) {
    const size_t size = round < 20 ? random() % 40 : random() % 5000;
    codes.push_back(RandomCode(random, size, alphabets[round % 5]));
  }
  // Repeats just inside and just past the farthest and longest copy.
  for (const size_t gap : {kFarthest - 1, kFarthest, kFarthest + 1}) {
    const std::string block = RandomCode(random, 40, "");
    codes.push_back(block + RandomCode(random, gap - block.size(), "ABC") + block);
  }
  for (const std::string& code : codes) {
    std::optional<std::string> stream = CompressOldCode(code);
    ASSERT_TRUE(stream) << code.size();
    ASSERT_GE(stream->size(), 8u);
    EXPECT_EQ(stream->substr(0, 4), std::string(":c:\0", 4));
    EXPECT_EQ(static_cast<uint8_t>((*stream)[4]), code.size() >> 8);
    EXPECT_EQ(static_cast<uint8_t>((*stream)[5]), code.size() & 0xFF);
    EXPECT_EQ(stream->substr(6, 2), std::string(2, '\0'));
    if (stream->size() > kCodeAreaSize) continue;
    EXPECT_EQ(Decoded(*stream), code) << code.size();
  }
  EXPECT_FALSE(CompressOldCode(std::string(kMaxCodeLength + 1, 'a')));
  EXPECT_TRUE(CompressOldCode(std::string(kMaxCodeLength, 'a')));
}

// What each step costs by the format: a table character 1 byte, any other 2, a copy 2.
TEST(CompressOldCode, TakesTheLongestCopyWithinReach) {
  constexpr size_t kHeader = 8;
  // One literal, then copies of 17 from one back: 1 + 17k bytes cost 1 + 2k.
  for (const size_t k : {1, 2, 10}) {
    EXPECT_EQ(StreamSize(std::string(1 + 17 * k, 'a')), kHeader + 1 + 2 * k) << k;
  }
  // A copy of two bytes is worth it only when they are no table characters.
  EXPECT_EQ(StreamSize("\x80\x81\x80\x81"), kHeader + 4 + 2);
  EXPECT_EQ(StreamSize("abab"), kHeader + 4);
  // A block of 17 distinct table characters again exactly as far back as a copy
  // reaches costs one copy; one byte farther, each character alone.
  const std::string block = "abcdefghijklmnopq";
  for (const size_t distance : {kFarthest, kFarthest + 1}) {
    std::string filler;
    for (size_t i = 0; filler.size() < distance - block.size(); ++i) {
      filler += static_cast<char>('A' + i % 26);
    }
    const std::string head = block + filler;
    const size_t extra = StreamSize(head + block) - StreamSize(head);
    EXPECT_EQ(extra, distance == kFarthest ? 2 : block.size()) << distance;
  }
}

TEST(OldConsoleCodeArea, PlainWhenItFitsElseTheOldStreamElseNone) {
  size_t stream_size = 1;
  // Plain: the bytes, zero-padded, up to the whole area.
  for (const size_t size : {size_t{0}, size_t{5}, kCodeAreaSize}) {
    const std::string code(size, 'Q');
    std::optional<std::string> area = OldConsoleCodeArea(code, &stream_size);
    ASSERT_TRUE(area) << size;
    EXPECT_EQ(stream_size, 0u);
    std::string expected = code;
    expected.resize(kCodeAreaSize, '\0');
    EXPECT_EQ(*area, expected) << size;
  }
  // One byte more, or a zero byte, takes the old stream.
  const std::string cases[] = {std::string(kCodeAreaSize + 1, 'Q'), std::string("a\0b", 3),
                               std::string(kEnding) + std::string(kCodeAreaSize, 'Q')};
  for (const std::string& code : cases) {
    std::optional<std::string> area = OldConsoleCodeArea(code, &stream_size);
    ASSERT_TRUE(area) << code.size();
    EXPECT_EQ(area->size(), kCodeAreaSize);
    EXPECT_EQ(area->substr(0, 4), std::string(":c:\0", 4));
    EXPECT_EQ(stream_size, StreamSize(code));
    EXPECT_EQ(Decoded(*area), code);
  }
  // Code that ends with an ending the reader removes: plain keeps it; the old stream
  // cannot, so without plain there is none.
  for (const std::string_view ending : {kEnding, kButtonsEnding}) {
    const std::string small = "x=1\n" + std::string(ending);
    std::optional<std::string> area = OldConsoleCodeArea(small, &stream_size);
    ASSERT_TRUE(area);
    EXPECT_EQ(area->substr(0, small.size()), small);
    const std::string big = std::string(kCodeAreaSize, 'Q') + std::string(ending);
    EXPECT_FALSE(OldConsoleCodeArea(big, &stream_size));
    EXPECT_GT(stream_size, 0u);
    EXPECT_LE(stream_size, kCodeAreaSize);
  }
  // Code that hardly compresses fits neither way; the stream's size is told.
  std::mt19937 random(7);
  const std::string noise = RandomCode(random, kCodeAreaSize, "");
  EXPECT_FALSE(OldConsoleCodeArea(noise, &stream_size));
  EXPECT_GT(stream_size, kCodeAreaSize);
}

}  // namespace
}  // namespace brasswick
