#include "cart/cart_code.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace brasswick {
namespace {

// Writes a current-format stream token by token, bit by bit as the format lays them
// out, and keeps the code those tokens stand for.
class StreamWriter {
 public:
  StreamWriter() { std::iota(order_.begin(), order_.end(), 0); }

  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (bit_count_ % 8 == 0) bytes_.push_back(0);
      bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1) << (bit_count_ % 8));
      ++bit_count_;
    }
  }

  // A literal taking the byte at `position` of the move-to-front list, with the fewest
  // unary bits that reach it.
  void LiteralAt(int position) {
    int unary = 0;
    while (position >= 16 * ((1 << (unary + 1)) - 1)) ++unary;
    Bits(1, 1);
    Bits((1u << unary) - 1, unary);
    Bits(0, 1);
    Bits(position - 16 * ((1 << unary) - 1), 4 + unary);
    const uint8_t byte = order_[position];
    order_.erase(order_.begin() + position);
    order_.insert(order_.begin(), byte);
    code_ += static_cast<char>(byte);
  }
  void Literal(char c) {
    const auto it = std::find(order_.begin(), order_.end(), static_cast<uint8_t>(c));
    LiteralAt(static_cast<int>(it - order_.begin()));
  }

  // A copy with the distance written in `width` bits (5, 10 or 15).
  void Copy(int distance, int length, int width) {
    Bits(0, 1);
    if (width == 15) {
      Bits(0, 1);
    } else {
      Bits(1, 1);
      Bits(width == 5 ? 1 : 0, 1);
    }
    Bits(distance - 1, width);
    int rest = length - 3;
    while (rest >= 7) {
      Bits(7, 3);
      rest -= 7;
    }
    Bits(rest, 3);
    for (int i = 0; i < length; ++i) code_ += code_[code_.size() - distance];
  }

  void RawRun(const std::string& bytes, bool terminated) {
    Bits(0, 1);
    Bits(1, 1);
    Bits(0, 1);
    Bits(0, 10);
    for (char c : bytes) Bits(static_cast<uint8_t>(c), 8);
    if (terminated) Bits(0, 8);
    code_ += bytes;
  }

  const std::string& code() const { return code_; }
  size_t byte_count() const { return bytes_.size(); }

  // The code area: header with the given lengths (by default those of the stream),
  // the stream, zeros up to the area's size.
  std::vector<uint8_t> Area(int code_length = -1, int compressed = -1) const {
    if (code_length < 0) code_length = static_cast<int>(code_.size());
    if (compressed < 0) compressed = static_cast<int>(8 + bytes_.size());
    std::vector<uint8_t> area = {0x00, 0x70, 0x78, 0x61};
    for (int v : {code_length, compressed}) {
      area.push_back(static_cast<uint8_t>(v >> 8));
      area.push_back(static_cast<uint8_t>(v));
    }
    area.insert(area.end(), bytes_.begin(), bytes_.end());
    area.resize(kCodeAreaSize, 0);
    return area;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t bit_count_ = 0;
  std::vector<uint8_t> order_ = std::vector<uint8_t>(256);
  std::string code_;
};

TEST(CartCode, DecodesEveryKindOfTokenOfTheCurrentFormat) {
  StreamWriter stream;
  // List positions on each side of every unary step: 0-15 take none, 16-47 one,
  // 48-111 two, 112-239 three, 240-255 four.
  for (int position : {0, 15, 16, 47, 48, 111, 112, 239, 240, 255, 1}) stream.LiteralAt(position);
  stream.Literal('x');
  stream.Copy(1, 10, 5);  // overlapping: repeats the 'x'
  stream.Copy(2, 3, 10);  // the nearest a 10-bit one can (1 would be a raw run)
  stream.Copy(21, 3 + 7 + 7 + 7 + 2, 15);
  stream.Copy(32, 4, 5);       // the farthest a 5-bit distance reaches
  stream.Copy(20, 3 + 7, 10);  // a chain of 7 then 0
  stream.RawRun(std::string(1100, 'r') + "\x01\xff", true);
  stream.Copy(1024, 5, 10);
  stream.Copy(1100, 6, 15);
  stream.Literal('e');
  stream.RawRun("tail", false);  // ended by the code's length

  std::optional<std::string> code = DecodeCodeArea(stream.Area());
  ASSERT_TRUE(code);
  EXPECT_EQ(code->size(), stream.code().size());
  EXPECT_EQ(*code, stream.code());
  EXPECT_EQ(code->substr(code->size() - 4), "tail");
}

TEST(CartCode, CutsWhatPassesTheStatedLength) {
  StreamWriter stream;
  stream.Literal('a');
  stream.Copy(1, 20, 5);
  EXPECT_EQ(DecodeCodeArea(stream.Area(5)), "aaaaa");

  // A header whose code length the bits never reach is refused, whether the bits run
  // out at a token's end or inside one (a byte of zero padding is a cut-off copy).
  StreamWriter exact;
  exact.RawRun("a", true);
  exact.Copy(1, 3, 5);
  ASSERT_EQ(exact.byte_count(), 5u);  // 13 + 16 + 8 + 3 bits: the last byte is full
  EXPECT_EQ(DecodeCodeArea(exact.Area(4)), "aaaa");
  EXPECT_FALSE(DecodeCodeArea(exact.Area(5)));
  EXPECT_FALSE(DecodeCodeArea(exact.Area(1000)));
  EXPECT_FALSE(DecodeCodeArea(exact.Area(1000, 8 + 6)));
  // The same with the padding bits of a last byte that is not full: zeros there read
  // as the start of a copy, ones as the start of a literal; neither reaches the length.
  for (const uint32_t padding : {0u, 0x7Fu}) {
    StreamWriter padded;
    padded.Literal('a');
    padded.Copy(1, 7, 5);  // 10 + 11 bits: three padding bits in the third byte
    padded.Bits(padding, 3);
    ASSERT_EQ(padded.byte_count(), 3u);
    EXPECT_EQ(DecodeCodeArea(padded.Area(8)), "aaaaaaaa") << padding;
    EXPECT_FALSE(DecodeCodeArea(padded.Area(1000))) << padding;
  }

  StreamWriter run;
  run.RawRun("abcdef", true);
  EXPECT_EQ(DecodeCodeArea(run.Area(3)), "abc");
  EXPECT_EQ(DecodeCodeArea(run.Area(0)), "");
}

TEST(CartCode, RefusesDamagedCurrentStreams) {
  std::vector<std::pair<const char*, std::vector<uint8_t>>> cases;

  StreamWriter too_far;  // a copy from before the start
  too_far.Literal('a');
  too_far.Literal('b');
  too_far.Bits(0, 1);
  too_far.Bits(0b11, 2);
  too_far.Bits(2, 5);  // distance 3
  too_far.Bits(0, 3);
  cases.push_back({"distance past the output", too_far.Area(5)});

  StreamWriter first_copy;
  first_copy.Bits(0b11 << 1, 3);
  first_copy.Bits(0, 5 + 3);
  cases.push_back({"copy before any output", first_copy.Area(3)});

  StreamWriter position;  // four unary bits, value 16: position 256
  position.Bits(0b011111, 6);
  position.Bits(16, 8);
  cases.push_back({"list position 256", position.Area(1)});

  StreamWriter unary;
  unary.Bits(1, 1);
  unary.Bits(0x1FFFF, 17);
  unary.Bits(0, 24);
  cases.push_back({"17 unary bits", unary.Area(1)});

  StreamWriter cut;
  cut.Literal('a');
  cut.RawRun("bcdefgh", true);
  // The compressed length ends inside the run, though the area still holds the rest.
  cases.push_back({"past the compressed length", cut.Area(-1, 8 + 3)});
  cases.push_back({"compressed length inside the header", cut.Area(-1, 7)});

  StreamWriter endless;  // a raw run that never ends before the area does
  endless.RawRun(std::string(kCodeAreaSize, 'z'), false);
  std::vector<uint8_t> area = endless.Area(kMaxCodeLength, 0xFFFF);
  cases.push_back({"past the area", area});

  for (const auto& [name, bytes] : cases) {
    ASSERT_EQ(bytes.size(), kCodeAreaSize) << name;
    EXPECT_FALSE(DecodeCodeArea(bytes)) << name;
  }

  // The same run inside the area's bytes decodes: the refusals are the limits'.
  endless = StreamWriter();
  endless.RawRun(std::string(kCodeAreaSize - 8 - 2, 'z'), false);
  EXPECT_EQ(DecodeCodeArea(endless.Area(-1, 0xFFFF))->size(), kCodeAreaSize - 10);
}

TEST(CartCode, RefusesAnAreaOfTheWrongSize) {
  StreamWriter stream;
  stream.Literal('a');
  std::vector<uint8_t> area = stream.Area();
  EXPECT_TRUE(DecodeCodeArea(area));
  area.push_back(0);
  EXPECT_FALSE(DecodeCodeArea(area));
  area.resize(kCodeAreaSize - 1);
  EXPECT_FALSE(DecodeCodeArea(area));
}

constexpr std::string_view kOldTable =
    "^\n 0123456789abcdefghijklmnopqrstuvwxyz!#%(){}[]<>+=/*:;.,~_";
constexpr std::string_view kEnding = "if(_update60)_update=function()_update60()_update60()end";
constexpr std::string_view kButtonsEnding =
    "if(_update60)_update=function()_update60()_update_buttons()_update60()end";

std::vector<uint8_t> OldArea(size_t code_length, const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> area = {0x3A,
                               0x63,
                               0x3A,
                               0x00,
                               static_cast<uint8_t>(code_length >> 8),
                               static_cast<uint8_t>(code_length),
                               0xAA,
                               0xBB};
  area.insert(area.end(), stream.begin(), stream.end());
  area.resize(kCodeAreaSize, 0);
  return area;
}

// Every character as a literal escape.
std::vector<uint8_t> Escaped(std::string_view text) {
  std::vector<uint8_t> stream;
  for (char c : text) {
    stream.push_back(0);
    stream.push_back(static_cast<uint8_t>(c));
  }
  return stream;
}

TEST(CartCode, DecodesTheOldFormat) {
  std::vector<uint8_t> stream;
  for (uint8_t v = 1; v < 60; ++v) stream.push_back(v);
  std::string expected(kOldTable.substr(1));
  stream.insert(stream.end(), {0, 'A', 0, 0xC0, 0, 0});
  expected += "A\xC0";
  expected += '\0';
  // Distance (61 - 60) * 16 + 3 = 19, length 4 + 2; then distance 2, length 15 + 2.
  stream.insert(stream.end(), {61, 0x43, 60, 0xF2});
  for (int i = 0; i < 6; ++i) expected += expected[expected.size() - 19];
  for (int i = 0; i < 17; ++i) expected += expected[expected.size() - 2];
  EXPECT_EQ(DecodeCodeArea(OldArea(expected.size(), stream)), expected);
  // A copy is cut at the stated length.
  EXPECT_EQ(DecodeCodeArea(OldArea(expected.size() - 5, stream)),
            expected.substr(0, expected.size() - 5));

  std::vector<std::pair<const char*, std::vector<uint8_t>>> damaged = {
      {"distance 0", OldArea(3, {13, 60, 0x10})},
      {"distance past the output", OldArea(4, {13, 14, 60, 0x03})},
      {"far distance past the output", OldArea(4, {13, 14, 255, 0x01})},
  };
  std::vector<uint8_t> full(kCodeAreaSize - 8, 20);
  damaged.push_back({"past the area", OldArea(kCodeAreaSize, full)});
  std::vector<uint8_t> cut_escape(kCodeAreaSize - 9, 20);
  cut_escape.push_back(0);
  damaged.push_back({"escape at the area's end", OldArea(kCodeAreaSize, cut_escape)});
  for (const auto& [name, area] : damaged) EXPECT_FALSE(DecodeCodeArea(area)) << name;
  EXPECT_EQ(DecodeCodeArea(OldArea(kCodeAreaSize - 8, full))->size(), kCodeAreaSize - 8);
}

TEST(CartCode, RemovesTheAppendedEndingOnlyAtTheEnd) {
  const std::string code = "x=1\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {code + std::string(kEnding), code},
      {code + std::string(kButtonsEnding), code},
      {std::string(kEnding), ""},
      {code + std::string(kButtonsEnding) + std::string(kEnding),
       code + std::string(kButtonsEnding)},
      {code + std::string(kEnding) + "\n", code + std::string(kEnding) + "\n"},
      {code + std::string(kEnding.substr(1)), code + std::string(kEnding.substr(1))},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(DecodeCodeArea(OldArea(text.size(), Escaped(text))), expected) << text;
  }
  // The current format keeps such an ending: it is the code.
  StreamWriter stream;
  for (char c : kEnding) stream.Literal(c);
  EXPECT_EQ(DecodeCodeArea(stream.Area()), std::string(kEnding));
}

TEST(CartCode, ReadsPlainBytesUpToTheFirstZero) {
  std::vector<uint8_t> area(kCodeAreaSize, 0);
  const std::string code = "print(\"\x80\")";
  std::copy(code.begin(), code.end(), area.begin());
  area[code.size() + 1] = 'z';
  EXPECT_EQ(DecodeCodeArea(area), code);

  std::fill(area.begin(), area.end(), 'q');
  EXPECT_EQ(DecodeCodeArea(area), std::string(kCodeAreaSize, 'q'));

  // Near misses of the signatures are plain code too.
  const std::vector<uint8_t> near = {0x3A, 0x63, 0x3B, 0x00};
  std::copy(near.begin(), near.end(), area.begin());
  area[4] = 0;
  EXPECT_EQ(DecodeCodeArea(area), ":c;");
  area[0] = 0;
  EXPECT_EQ(DecodeCodeArea(area), "");
}

}  // namespace
}  // namespace brasswick
