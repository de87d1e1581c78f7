#include "cart/code_compressor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cart/cart_code.h"
#include "cart/greedy_code_encoder.h"
#include "cart/lua_corpus.h"

namespace brasswick {
namespace {

// A stream that fits goes through the area's decoder, as a cartridge holds it.
std::optional<std::string> Decode(const std::string& stream) {
  std::vector<uint8_t> bytes(stream.begin(), stream.end());
  if (bytes.size() > kCodeAreaSize) return DecodeCodeStream(bytes);
  bytes.resize(kCodeAreaSize, 0);
  return DecodeCodeArea(bytes);
}

constexpr CompressSearch kSearches[] = {CompressSearch::kQuick, CompressSearch::kThorough};

// Compresses (by one search, or keeping the smaller of both), checks the header and
// that the stream decodes to the code; the stream.
std::string RoundTrip(const std::string& code, std::optional<CompressSearch> search = {}) {
  const std::optional<std::string> stream =
      search ? CompressCodeBySearch(code, *search) : CompressCode(code);
  if (!stream) {
    ADD_FAILURE() << "refused " << code.size() << " bytes";
    return "";
  }
  EXPECT_GE(stream->size(), 8u);
  if (stream->size() < 8) return "";
  auto field = [&](size_t at) {
    return size_t{static_cast<uint8_t>((*stream)[at])} << 8 |
           static_cast<uint8_t>((*stream)[at + 1]);
  };
  EXPECT_EQ(stream->substr(0, 4), std::string("\0pxa", 4));
  EXPECT_EQ(field(4), code.size());
  EXPECT_EQ(field(6), std::min<size_t>(stream->size(), 0xFFFF));
  EXPECT_EQ(Decode(*stream), code) << code.size() << " bytes";
  return *stream;
}

// Deterministic bytes drawn from [low, low + span).
std::string Noise(uint32_t seed, size_t size, int low, int span) {
  std::string bytes;
  uint32_t state = seed * 2654435761u + 1;
  for (size_t k = 0; k < size; ++k) {
    state = state * 1103515245u + 12345u;
    bytes += static_cast<char>(low + static_cast<int>((state >> 16) % span));
  }
  return bytes;
}

std::string Repeat(const std::string& unit, size_t size) {
  std::string text;
  while (text.size() < size) text += unit;
  text.resize(size);
  return text;
}

TEST(CodeCompressor, RoundTripsChosenCodes) {
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  const std::string far_block = Noise(1, 40, 0x80, 128);
  const struct {
    const char* name;
    std::string code;
  } cases[] = {
      {"empty", ""},
      {"one byte", "a"},
      {"two bytes", "aa"},
      {"every byte value", every_byte},
      {"every byte value twice", every_byte + every_byte},
      {"equal bytes at the limit", std::string(kMaxCodeLength, 'e')},
      {"overlapping pattern", "x=" + Repeat("ab1", 1000) + "\n"},
      {"high bytes", Noise(2, 3000, 0x80, 128) + Repeat("\x8b\x83\xff", 50)},
      {"15-bit distances", far_block + Noise(3, 20000, 'a', 26) + far_block},
      {"Lua at the limit", testing::LuaLikeProgram(7, kMaxCodeLength)},
      {"noise at the limit", Noise(4, kMaxCodeLength, 1, 255)},
  };
  for (const CompressSearch search : kSearches) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      RoundTrip(c.code, search);
    }
  }
}

TEST(CodeCompressor, RefusesCodePastTheLimit) {
  EXPECT_FALSE(CompressCode(std::string(kMaxCodeLength + 1, 'a')));
  for (const CompressSearch search : kSearches) {
    EXPECT_FALSE(CompressCodeBySearch(std::string(kMaxCodeLength + 1, 'a'), search));
  }
}

// Sizes worked out by hand from the format's bit costs, where the best parse is plain.
TEST(CodeCompressor, FindsTheCheapestParseOfPlainCodes) {
  // One literal ('e' at list position 101: two unary bits, 10 bits), then one copy of
  // distance 1 (8 bits) for the other 65 534 bytes: 3 length bits per 7 bytes beyond 3.
  const size_t equal_bits = 10 + 8 + 3 * ((kMaxCodeLength - 1 - 3) / 7 + 1);
  EXPECT_EQ(RoundTrip(std::string(kMaxCodeLength, 'e')).size(), 8 + (equal_bits + 7) / 8);

  // Bytes 1-255 once each: byte b sits at list position b when it comes. Literals cost
  // 6 bits up to 15, 8 up to 47 (as much as a raw byte); after that one raw run (13 bits,
  // 8 a byte and 8 for the zero that ends it, at the code's end too) is cheaper.
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  const size_t every_bits = 15 * 6 + 13 + 240 * 8 + 8;
  EXPECT_EQ(RoundTrip(every_byte).size(), 8 + (every_bits + 7) / 8);

  // Bytes at list positions from 200 on cost 12 bits each as literals; one raw run
  // costs 13, 8 a byte and 8 for its zero: for four bytes 48 against 53, for nine 108
  // against 93.
  EXPECT_EQ(RoundTrip("\xC8\xC9\xCA\xCB").size(), 8 + (48 + 7) / 8);
  EXPECT_EQ(RoundTrip("\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0").size(), 8 + (93 + 7) / 8);
}

// A copy's distance takes 5 bits up to 32, 10 bits up to 1 024 and 15 beyond. The code
// is five bytes, a filler of one byte, and the five bytes again at distance d. The five
// (list positions 32-36) and the filler's byte (47) cost 8 bits each as literals, the
// rest of the filler one copy at distance 1 (8 bits and 3 a seven of length beyond 3),
// and the repeat one copy of 5 (3 length bits) through the width its distance needs.
TEST(CodeCompressor, ChoosesTheDistanceWidthAtEachEdge) {
  const auto length_bits = [](size_t length) { return 3 * ((length - 3) / 7 + 1); };
  const std::string five = "\x20\x21\x22\x23\x24";
  const struct {
    size_t distance;
    size_t head_bits;  // the copy's kind, width bits and distance
  } cases[] = {
      {32, 1 + 2 + 5},
      {33, 1 + 2 + 10},
      {1024, 1 + 2 + 10},
      {1025, 1 + 1 + 15},
  };
  for (const auto& c : cases) {
    const size_t filler = c.distance - five.size();
    const std::string code = five + std::string(filler, '\x2F') + five;
    const size_t bits =
        5 * 8 + 8 + (1 + 2 + 5 + length_bits(filler - 1)) + c.head_bits + length_bits(five.size());
    EXPECT_EQ(RoundTrip(code).size(), 8 + (bits + 7) / 8) << c.distance;
  }
}

// A copy reaches 32 768 bytes back and no further: the same 60 bytes at that distance
// cost a few bytes, one byte farther they are written out again.
TEST(CodeCompressor, CopiesReachTheWholeWindowAndNoFurther) {
  const std::string block = Noise(5, 60, 0x80, 128);
  auto with_gap = [&](size_t distance) {
    return block + Noise(6, distance - block.size(), 'a', 16) + block;
  };
  const size_t within = RoundTrip(with_gap(32768)).size();
  const size_t beyond = RoundTrip(with_gap(32769)).size();
  EXPECT_GT(beyond, within + 40);
}

// Any bytes, zero included, of any length: the stream decodes back to them, and is no
// larger than the greedy encoder's.
TEST(CodeCompressor, RoundTripsGeneratedCodesNoLargerThanGreedy) {
  for (uint32_t seed = 0; seed < 60; ++seed) {
    const size_t size = (seed * seed * 37) % 9000;
    std::string code;
    switch (seed % 6) {
      case 0:
        code = Noise(seed, size, 0, 256);
        break;
      case 1:
        code = Noise(seed, size, 'a', 2);
        break;
      case 2:
        code = Noise(seed, size, 0, 4) + Noise(seed + 1, size / 2, 250, 6);
        break;
      case 3:
        code = Repeat(Noise(seed, 1 + seed % 40, 0, 256), size);
        break;
      case 4:
        code = testing::LuaLikeProgram(seed, size);
        break;
      default:
        code = Repeat(Noise(seed, 7, 'x', 3) + std::string(seed % 50, ' '), size) +
               Noise(seed, seed, 0x80, 128);
    }
    SCOPED_TRACE(::testing::Message() << "seed " << seed << ", " << code.size() << " bytes");
    const std::string greedy = testing::GreedyEncodeCode(code);
    EXPECT_EQ(Decode(greedy), code);
    for (const CompressSearch search : kSearches) {
      EXPECT_LE(RoundTrip(code, search).size(), greedy.size());
    }
  }
}

// A repeat of 300 bytes costs one copy, also amid code the greedy parse does worse on:
// 17 bits of distance and 3 for every 7 bytes of length, about 18 bytes.
TEST(CodeCompressor, TakesLongRepeatsInTheCheapestParse) {
  const std::string block = Noise(8, 300, 0x80, 128);
  const std::string once =
      testing::LuaLikeProgram(9, 12000) + block + testing::LuaLikeProgram(10, 12000);
  for (const CompressSearch search : kSearches) {
    EXPECT_LE(RoundTrip(once + block, search).size(), RoundTrip(once, search).size() + 20);
  }
}

// Code made of near-identical blocks, as generated code and tables in code are: each
// block the same lines around numbers of its own.
std::string Blocks(size_t count, int numbers) {
  std::string text;
  uint32_t state = 1;
  auto number = [&] {
    state = state * 1103515245u + 12345u;
    return std::to_string((state >> 16) % 1000);
  };
  for (size_t k = 0; k < count; ++k) {
    text += "function update_" + std::to_string(k) + "(o)\n  o.x+=o.dx*" + number() +
            "\n  if o.x>" + number() + " then o.dx=-o.dx sfx(" + number() + ") end\n  spr(" +
            number() + ",o.x,o.y)\n";
    for (int m = 4; m < numbers; ++m) text += "  o.v" + std::to_string(m) + "=" + number() + "\n";
    text += "end\n";
  }
  return text;
}

// Neither search is always the smaller: on near-identical blocks the thorough one
// wins, on some Lua the quick one. The stream kept is the smaller, however roomy.
TEST(CodeCompressor, KeepsTheSmallerOfBothSearches) {
  const struct {
    const char* name;
    std::string code;
    bool thorough_wins;
  } cases[] = {
      {"blocks", Blocks(300, 4), true},
      {"nearly full blocks", Blocks(380, 10), true},
      {"Lua", testing::LuaLikeProgram(25, 40000), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string quick = RoundTrip(c.code, CompressSearch::kQuick);
    const std::string thorough = RoundTrip(c.code, CompressSearch::kThorough);
    ASSERT_EQ(thorough.size() < quick.size(), c.thorough_wins);
    ASSERT_NE(thorough.size(), quick.size());
    EXPECT_EQ(RoundTrip(c.code), c.thorough_wins ? thorough : quick);
  }
}

TEST(CodeCompressor, BeatsTheGreedyEncoderOnLuaByFivePercent) {
  size_t greedy_total = 0;
  size_t ours_total = 0;
  for (const std::string& code : testing::LuaCorpus(20)) {
    const std::string greedy = testing::GreedyEncodeCode(code);
    EXPECT_EQ(Decode(greedy), code);
    const size_t ours = RoundTrip(code).size();
    EXPECT_LE(ours, greedy.size()) << code.size() << " bytes";
    greedy_total += greedy.size();
    ours_total += ours;
  }
  EXPECT_LE(ours_total * 100, greedy_total * 95)
      << "greedy " << greedy_total << " bytes, ours " << ours_total;
}

}  // namespace
}  // namespace brasswick
