// count: the editor's figures for a cartridge's code in each form. Token counts are
// worked out by hand from the counting rule, characters are byte lengths, the compressed
// figure is the stream a convert to .rom writes (its header's bytes 6-7), and what a
// compressed cartridge stores is the stream the test itself wrote into it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cart_builder.h"
#include "cart_picture.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::kCodeAreaSize;
using testing::kCodeStart;
using testing::kP8Header;
using testing::kPayloadSize;
using testing::kRomSize;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

// The .p8's own code: 17 tokens (comment and `end` free; `-2` after `=` is one token;
// `()` a pair is one), its last line the include.
constexpr std::string_view kMainCode =
    "-- shooter\n"
    "function _update()\n"  // function _update ( : 3
    " x+=1 y=-2\n"          // x += 1, y = 2 : 6
    " if (btn(4)) x-=1\n"   // if ( btn ( 4, x -= 1 : 8
    "end\n";
// The included file: 15 tokens (`local` and `,` free, the long string one, `-s` two,
// `1-1` three as a value ends before its minus).
constexpr std::string_view kIncludedCode =
    "local s=\"hi\"..[[long\n"  // s = "hi" .. [[...]] : 5
    "string]]\n"
    "print(s, -s, 1-1, #s)\n";  // print ( s - s 1 - 1 # s : 10
constexpr int kTokens = 32;

std::string Code() { return std::string(kMainCode) + std::string(kIncludedCode); }

std::string P8Text(std::string_view lua) {
  return std::string(kP8Header) + "version 41\n__lua__\n" + std::string(lua) +
         "\n__gfx__\n00000000000000000000000000000000\n00700700000000000000000000000000\n";
}

std::string Percent(size_t value, size_t limit) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(value) / limit);
  return text;
}

std::string Line(const std::string& name, size_t value, size_t limit) {
  return name + ": " + std::to_string(value) + " of " + std::to_string(limit) + " (" +
         Percent(value, limit) + ")\n";
}

std::string Figures(size_t tokens, size_t characters, size_t compressed) {
  return Line("tokens", tokens, 8192) + Line("characters", characters, 65535) +
         Line("compressed", compressed, 15616);
}

size_t ReadBe16(const std::string& bytes, size_t at) {
  return static_cast<size_t>(static_cast<uint8_t>(bytes[at])) << 8 |
         static_cast<uint8_t>(bytes[at + 1]);
}

// The size of the stream a convert to .rom writes for the .p8 at path.
size_t ConvertedStreamSize(const TempDir& dir, const std::string& p8) {
  const ProcessResult converted = RunBrasswick({"convert", p8, dir.File("sized.rom")});
  EXPECT_EQ(converted.exit_code, 0) << converted.err;
  const std::string rom = ReadTestFile(dir.File("sized.rom"));
  EXPECT_EQ(rom.size(), kRomSize);
  return rom.size() == kRomSize ? ReadBe16(rom, kCodeStart + 6) : 0;
}

void PutBe16(std::vector<uint8_t>& bytes, size_t at, size_t value) {
  bytes[at] = static_cast<uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<uint8_t>(value);
}

// A current-format area of literals only: each a 1 bit, the unary width, and the byte's
// place in the move-to-front list, lowest bit first.
std::vector<uint8_t> CurrentFormatArea(std::string_view code) {
  std::vector<uint8_t> area = {0x00, 0x70, 0x78, 0x61, 0, 0, 0, 0};
  std::vector<int> list(256);
  std::iota(list.begin(), list.end(), 0);
  size_t bit = 0;
  auto put = [&](unsigned value, int width) {
    for (int i = 0; i < width; ++i, ++bit) {
      if (bit % 8 == 0) area.push_back(0);
      if ((value >> i) & 1) area.back() |= static_cast<uint8_t>(1 << (bit % 8));
    }
  };
  for (const char c : code) {
    const auto at = std::find(list.begin(), list.end(), static_cast<uint8_t>(c));
    const unsigned position = static_cast<unsigned>(at - list.begin());
    int unary = 0;
    while (position >= 16u * ((2u << unary) - 1)) ++unary;
    put(1, 1);
    put((1u << unary) - 1, unary);
    put(0, 1);
    put(position - 16u * ((1u << unary) - 1), 4 + unary);
    list.erase(at);
    list.insert(list.begin(), static_cast<uint8_t>(c));
  }
  PutBe16(area, 4, code.size());
  PutBe16(area, 6, area.size());
  return area;
}

// An old-format area: table characters as their place, every other byte after a 0.
std::vector<uint8_t> OldFormatArea(std::string_view code) {
  constexpr std::string_view kTable =
      "^\n 0123456789abcdefghijklmnopqrstuvwxyz!#%(){}[]<>+=/*:;.,~_";
  std::vector<uint8_t> area = {0x3A, 0x63, 0x3A, 0x00, 0, 0, 0, 0};
  for (const char c : code) {
    const size_t place = kTable.find(c, 1);
    if (place == std::string_view::npos) area.push_back(0);
    area.push_back(static_cast<uint8_t>(place == std::string_view::npos ? c : place));
  }
  PutBe16(area, 4, code.size());
  return area;
}

// Random data sections, the area given, zeros after it, version 41 and no hash.
std::vector<uint8_t> PayloadHolding(const std::vector<uint8_t>& area, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> payload(kPayloadSize, 0);
  for (size_t a = 0; a < kCodeStart; ++a) payload[a] = static_cast<uint8_t>(random());
  std::copy(area.begin(), area.end(), payload.begin() + kCodeStart);
  payload[kRomSize] = 41;
  return payload;
}

std::string ListOf(const std::vector<uint8_t>& bytes) {
  std::string list;
  for (const uint8_t b : bytes) list += (list.empty() ? "" : ",") + std::to_string(b);
  return list;
}

// Each form gives the same three figures for the same code; the forms that hold their
// code compressed add what their stream takes, the plain ROM does not.
TEST(Count, GivesTheFiguresOfEveryForm) {
  TempDir dir;
  const std::string code = Code();
  WriteTestFile(dir.File("game.p8"), P8Text(std::string(kMainCode) + "#include inc.lua"));
  WriteTestFile(dir.File("inc.lua"), std::string(kIncludedCode));
  const size_t compressed = ConvertedStreamSize(dir, dir.File("game.p8"));
  const std::string figures = Figures(kTokens, code.size(), compressed);

  const std::vector<uint8_t> current = CurrentFormatArea(code);
  CartPicture picture = CartPicture::Template();
  ASSERT_FALSE(picture.pixels.empty());
  picture.WritePayload(PayloadHolding(current, 1));
  ASSERT_TRUE(picture.Save(dir.File("game.p8.png")));

  // A player from before the current format holds the old one.
  const std::vector<uint8_t> old = OldFormatArea(code);
  WriteTestFile(dir.File("old.js"), "var _cartname=['game.p8'];\nvar _cartdat=[" +
                                        ListOf(PayloadHolding(old, 2)) + "];\n");

  std::vector<uint8_t> rom = PayloadHolding(std::vector<uint8_t>(code.begin(), code.end()), 3);
  rom.resize(kRomSize);
  WriteTestFile(dir.File("game.rom"), std::string(rom.begin(), rom.end()));

  struct Case {
    std::string file;
    std::string stored;
  };
  const Case cases[] = {
      {"game.p8", ""},
      {"game.p8.png", Line("stored", current.size(), 15616)},
      {"old.js", Line("stored", old.size(), 15616)},
      {"game.rom", ""},
  };
  for (const Case& c : cases) {
    const ProcessResult counted = RunBrasswick({"count", dir.File(c.file)});
    EXPECT_EQ(counted.exit_code, 0) << c.file << counted.err;
    EXPECT_EQ(counted.out, figures + c.stored) << c.file;
    EXPECT_EQ(counted.err, "") << c.file;
    // convert --count prints the same lines after the input's path.
    const ProcessResult converted = RunBrasswick({"convert", dir.File(c.file), "--count"});
    EXPECT_EQ(converted.exit_code, 0) << c.file << converted.err;
    EXPECT_EQ(converted.out, dir.File(c.file) + "\n" + figures + c.stored) << c.file;
  }
  const ProcessResult verbose = RunBrasswick({"count", dir.File("game.p8"), "--verbose"});
  EXPECT_EQ(verbose.exit_code, 0);
  EXPECT_NE(verbose.out.find(dir.File("game.p8") + "\n" + figures), std::string::npos)
      << verbose.out;
}

// A syntax error is a warning placed in the file and line it came from, through the
// include and after it; the figures are still printed and the count succeeds.
TEST(Count, WarnsOfASyntaxErrorWhereItWasWritten) {
  TempDir dir;
  // The .p8's code starts on its fourth line, after the header's two and "__lua__".
  WriteTestFile(dir.File("ok.lua"), "a=1\nb=2\n");
  WriteTestFile(dir.File("bad.lua"), "a=1\nb=2\nc=)\n");
  // An included .p8 gives its code, whose lines count from its own "__lua__", here
  // after a sheet section as a hand-edited file may put it.
  WriteTestFile(dir.File("lib.p8"),
                std::string(kP8Header) + "version 41\n__gfx__\n00700700\n__lua__\na=1\nb=)\n");
  struct Case {
    std::string lua;
    std::string place;
    size_t tokens;
  };
  const Case cases[] = {
      // a = 1, then the include's a = 1 b = 2 c = ), then d = 1
      {"a=1\n#include bad.lua\nd=1", dir.File("bad.lua") + ":3:3: ", 14},
      // a = 1, a = 1 b = 2, then d = ) on the .p8's sixth line
      {"a=1\n#include ok.lua\nd=)", dir.File("game.p8") + ":6:3: ", 11},
      // a = 1, then the .p8's a = 1 b = ) on its seventh line
      {"a=1\n#include lib.p8", dir.File("lib.p8") + ":7:3: ", 8},
  };
  for (const Case& c : cases) {
    WriteTestFile(dir.File("game.p8"), P8Text(c.lua));
    const ProcessResult counted = RunBrasswick({"count", dir.File("game.p8")});
    EXPECT_EQ(counted.exit_code, 0) << counted.err;
    const std::string warning = "Warning: " + c.place;
    ASSERT_TRUE(counted.out.starts_with(warning)) << counted.out;
    const size_t end = counted.out.find('\n');
    const std::string tokens = "tokens: " + std::to_string(c.tokens) + " of 8192 (";
    EXPECT_EQ(counted.out.substr(end + 1, tokens.size()), tokens) << counted.out;
    const ProcessResult silent = RunBrasswick({"count", dir.File("game.p8"), "--silent"});
    EXPECT_EQ(silent.exit_code, 0);
    EXPECT_EQ(silent.out + silent.err, "");
  }
}

// At its limit a figure fits; one more fails with 168, the figures still printed. Each
// `f()` is two tokens (a name and a pair of brackets), `f(1)` three.
TEST(Count, FailsPastALimitAndStillPrints) {
  TempDir dir;
  std::string calls;  // 8190 tokens
  for (int i = 0; i < 4095; ++i) calls += "f()\n";
  std::string padding = "--";
  padding.resize(65535, 'a');
  struct Case {
    std::string lua;
    size_t tokens;
    std::string past;  // "" when every figure fits
  };
  const Case cases[] = {
      {calls + "f()", 8192, ""},
      {calls + "f(1)", 8193, "8193 tokens, 8192 fit"},
      {padding, 0, ""},
      {padding + "a", 0, "65536 characters, 65535 fit"},
  };
  for (const Case& c : cases) {
    WriteTestFile(dir.File("game.p8"), P8Text(c.lua));
    const ProcessResult counted = RunBrasswick({"count", dir.File("game.p8")});
    EXPECT_EQ(counted.exit_code, c.past.empty() ? 0 : 168) << c.past;
    std::string lines = Line("tokens", c.tokens, 8192) + Line("characters", c.lua.size(), 65535);
    EXPECT_TRUE(counted.out.starts_with(lines)) << counted.out;
    if (c.past.empty()) {
      EXPECT_EQ(counted.out,
                lines + Line("compressed", ConvertedStreamSize(dir, dir.File("game.p8")), 15616));
      EXPECT_EQ(counted.err, "");
    } else {
      EXPECT_EQ(counted.err, "Failed to fit the code in a cartridge: " + c.past + ":\n" +
                                 dir.File("game.p8") + "\n");
      const ProcessResult silent = RunBrasswick({"count", dir.File("game.p8"), "--silent"});
      EXPECT_EQ(silent.exit_code, 168);
      EXPECT_EQ(silent.out + silent.err, "");
    }
  }
  // Code past the characters' limit has no compressed figure: no stream can state it.
  WriteTestFile(dir.File("game.p8"), P8Text(padding + "a"));
  EXPECT_EQ(RunBrasswick({"count", dir.File("game.p8")}).out.find("compressed"), std::string::npos);

  // Code that hardly compresses passes the code area.
  std::mt19937 random(7);
  std::string noise = "--";
  while (noise.size() < 40000) noise += static_cast<char>('a' + random() % 26);
  WriteTestFile(dir.File("noise.p8"), P8Text(noise));
  const ProcessResult noisy = RunBrasswick({"count", dir.File("noise.p8")});
  EXPECT_EQ(noisy.exit_code, 168);
  const size_t at = noisy.out.find("compressed: ");
  ASSERT_NE(at, std::string::npos) << noisy.out;
  const size_t size = std::stoul(noisy.out.substr(at + 12));
  EXPECT_GT(size, 15616u);
  EXPECT_EQ(noisy.err, "Failed to fit the code in a cartridge: " + std::to_string(size) +
                           " compressed bytes, 15616 fit:\n" + dir.File("noise.p8") + "\n");
}

}  // namespace
}  // namespace brasswick
