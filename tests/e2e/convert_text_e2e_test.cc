// convert from a .p8 to the forms that hold the ROM: its sections become ROM bytes, its
// includes are put in, its code is compressed; and each form reads back as the same
// cartridge. The cartridges are generated: a picture carrying random data and code of
// every character, made by the bit layout, is the start of each round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
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
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

// Random data sections, and code in the plain format holding every byte 1-255 (so
// every character of the table) among random ones, then zero; version 41, no hash.
std::vector<uint8_t> RandomCartridge(uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> payload(kPayloadSize, 0);
  for (size_t a = 0; a < kCodeStart; ++a) payload[a] = static_cast<uint8_t>(random());
  std::vector<uint8_t> code;
  for (int byte = 1; byte < 256; ++byte) code.push_back(static_cast<uint8_t>(byte));
  while (code.size() < 3000) code.push_back(static_cast<uint8_t>(1 + random() % 255));
  std::shuffle(code.begin(), code.end(), random);
  std::copy(code.begin(), code.end(), payload.begin() + kCodeStart);
  payload[kRomSize] = 41;
  return payload;
}

ProcessResult Convert(const std::vector<std::string>& words) {
  std::vector<std::string> args = {"convert"};
  args.insert(args.end(), words.begin(), words.end());
  return RunBrasswick(args);
}

std::vector<uint8_t> BytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

size_t ReadBe16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1];
}

// The list of numbers between "_cartdat=[" and "]" of a script.
std::vector<uint8_t> ListBytes(const std::string& script) {
  const size_t start = script.find("_cartdat=[") + 10;
  std::vector<uint8_t> bytes;
  int value = -1;
  for (size_t i = start; i < script.size() && script[i] != ']'; ++i) {
    if (script[i] >= '0' && script[i] <= '9') {
      value = (value < 0 ? 0 : value * 10) + (script[i] - '0');
    } else if (script[i] == ',' && value >= 0) {
      bytes.push_back(static_cast<uint8_t>(value));
      value = -1;
    }
  }
  if (value >= 0) bytes.push_back(static_cast<uint8_t>(value));
  return bytes;
}

// A .p8 with includes goes to a picture, a ROM and a player; each holds the data
// sections' bytes and the code with its includes put in, and each reads back as the
// .p8 the includes would have been written into.
TEST(ConvertText, EveryRomFormHoldsTheTextsCartridgeAndReadsBackAsIt) {
  TempDir dir;
  const std::vector<uint8_t> source = RandomCartridge(11);
  CartPicture picture = CartPicture::Template();
  ASSERT_FALSE(picture.pixels.empty());
  picture.WritePayload(source);
  ASSERT_TRUE(picture.Save(dir.File("source.p8.png")));
  ASSERT_EQ(Convert({dir.File("source.p8.png"), dir.File("plain.p8")}).exit_code, 0);
  ASSERT_EQ(Convert({dir.File("source.p8.png"), dir.File("plain.lua")}).exit_code, 0);
  const std::string plain = ReadTestFile(dir.File("plain.p8"));
  const std::string plain_code = ReadTestFile(dir.File("plain.lua"));

  // Includes at the top: a .lua's text, a .p8's code (itself including one more file),
  // and one in a subfolder, named relative to the cartridge's folder.
  WriteTestFile(dir.File("lib.lua"), "x=1\n");
  WriteTestFile(dir.File("more.p8"), std::string(kP8Header) +
                                         "version 41\n__lua__\nfunction more() end\n"
                                         "  #include sub/deep.lua\n__gfx__\n00\n");
  std::filesystem::create_directories(dir.File("sub"));
  WriteTestFile(dir.File("sub/deep.lua"), "deep=2");
  const std::string includes = "#include lib.lua\n#include more.p8\n";
  const std::string inlined = "x=1\nfunction more() end\ndeep=2\n";
  std::string game = plain;
  const size_t code_at = game.find("__lua__\n") + 8;
  game.insert(code_at, includes);
  WriteTestFile(dir.File("game.p8"), game);
  const std::string before = "var _cartname=[`game.p8`];\nvar _cartdat=[";
  const std::string after = "];\nfunction go(){}\n";
  WriteTestFile(dir.File("player.js"), before + "1,2,3" + after);

  for (const char* name : {"game.p8.png", "game.rom", "player.js"}) {
    const ProcessResult result = Convert({dir.File("game.p8"), dir.File(name)});
    ASSERT_EQ(result.exit_code, 0) << name << ": " << result.err;
  }
  const std::vector<uint8_t> rom = BytesOf(ReadTestFile(dir.File("game.rom")));
  ASSERT_EQ(rom.size(), kRomSize);
  // The data sections are the source's bytes.
  EXPECT_TRUE(std::equal(source.begin(), source.begin() + kCodeStart, rom.begin()));
  // The code area holds a current-format stream of the code's length, no longer than
  // the area, then zeros.
  EXPECT_EQ(std::string(rom.begin() + kCodeStart, rom.begin() + kCodeStart + 4),
            std::string("\0pxa", 4));
  const size_t stream = ReadBe16(rom, kCodeStart + 6);
  ASSERT_LE(stream, kCodeAreaSize);
  EXPECT_TRUE(
      std::all_of(rom.begin() + kCodeStart + stream, rom.end(), [](uint8_t b) { return b == 0; }));

  // The picture carries the same ROM, with the version and a hash the reader accepts.
  const std::vector<uint8_t> payload = CartPicture::Load(dir.File("game.p8.png")).Payload();
  ASSERT_EQ(payload.size(), kPayloadSize);
  EXPECT_TRUE(std::equal(rom.begin(), rom.end(), payload.begin()));
  EXPECT_EQ(payload[kRomSize], 41);
  EXPECT_TRUE(std::any_of(payload.begin() + kRomSize + 6, payload.begin() + kRomSize + 26,
                          [](uint8_t b) { return b != 0; }));
  // The player's list holds the same payload, the rest of its script as it was.
  const std::string script = ReadTestFile(dir.File("player.js"));
  EXPECT_TRUE(script.starts_with(before));
  EXPECT_TRUE(script.ends_with(after));
  EXPECT_EQ(ListBytes(script), payload);

  // Back to text: every form gives the .p8 with its includes put in. A player without
  // a page shows no label, and a bare ROM has neither label nor version.
  std::string expected = plain;
  expected.insert(code_at, inlined);
  std::string unlabelled = expected;
  const size_t label = unlabelled.find("__label__\n");
  ASSERT_NE(label, std::string::npos);
  unlabelled.erase(label, unlabelled.find("__", label + 9) - label);
  std::string bare = unlabelled;
  bare.replace(bare.find("version 41"), 10, "version 42");
  const std::pair<const char*, const std::string*> backs[] = {
      {"game.p8.png", &expected}, {"player.js", &unlabelled}, {"game.rom", &bare}};
  for (const auto& [name, text] : backs) {
    const std::string out = dir.File(std::string("back-") + name + ".p8");
    const ProcessResult result = Convert({dir.File(name), out});
    ASSERT_EQ(result.exit_code, 0) << name << ": " << result.err;
    EXPECT_EQ(ReadTestFile(out), *text) << name;
  }
  ASSERT_EQ(Convert({dir.File("game.rom"), dir.File("back.lua")}).exit_code, 0);
  EXPECT_EQ(ReadTestFile(dir.File("back.lua")), inlined + plain_code);
}

// Code at the console's limits: 65 535 bytes go in and come back; one more, code that
// compresses past the area, a missing or self-including file and a character with no
// byte are refused with their codes and messages, and nothing is written.
TEST(ConvertText, RefusesWhatNoCartridgeCanHoldWritingNothing) {
  TempDir dir;
  std::string repetitive;
  for (int i = 0; repetitive.size() < 70000; ++i) {
    repetitive += "x" + std::to_string(i % 97) + "=y+" + std::to_string(i % 13) + "\n";
  }
  std::string noise;
  std::mt19937 random(3);
  while (noise.size() < 20000) noise += static_cast<char>(' ' + random() % 95);
  const auto cart = [](const std::string& code) {
    return std::string(kP8Header) + "version 41\n__lua__\n" + code + "\n__gfx__\n00\n";
  };
  WriteTestFile(dir.File("self.lua"), "a=1\n#include self.lua\n");
  WriteTestFile(dir.File("ping.lua"), "#include pong.lua\n");
  WriteTestFile(dir.File("pong.lua"), "#include ping.lua\n");

  const struct {
    std::string name;
    std::string code;
    int exit_code;
    std::string message;  // its start; the path follows
  } cases[] = {
      {"limit", repetitive.substr(0, 65535), 0, ""},
      {"long", repetitive.substr(0, 65536), 159,
       "Failed to fit the code in a cartridge (65536 bytes, 65535 fit):\n"},
      {"noise", noise, 158, "Failed to fit the compressed code in a cartridge ("},
      {"missing", "#include gone.lua", 160, "Failed to read the included file:\n"},
      {"self", "#include self.lua", 161, "Failed to include a file that includes itself:\n"},
      {"ping", "#include ping.lua", 161, "Failed to include a file that includes itself:\n"},
      {"euro", "x=1\nprint('\xE2\x82\xAC')", 155,
       "Failed to find a cartridge character for the code's line 2, column 8 (U+20AC):\n"},
      // Columns count characters, a raw glyph byte as one; a line break CR LF is one.
      {"acute", "x=1\r\n\u2588\x8b\xe3\x81 s='\xC3\xA9'", 155,
       "Failed to find a cartridge character for the code's line 2, column 9 (U+00E9):\n"},
      {"nul", std::string("s='\0'", 5), 155,
       "Failed to find a cartridge character for the code's line 1, column 4 (U+0000):\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteTestFile(dir.File(c.name + ".p8"), cart(c.code));
    const std::string out = dir.File(c.name + ".rom");
    const ProcessResult result = Convert({dir.File(c.name + ".p8"), out});
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_TRUE(result.err.starts_with(c.message)) << result.err;
    EXPECT_EQ(PathExists(out), c.exit_code == 0);
  }
  // The limit's code comes back whole.
  ASSERT_EQ(Convert({dir.File("limit.rom"), dir.File("limit.lua")}).exit_code, 0);
  EXPECT_EQ(ReadTestFile(dir.File("limit.lua")), repetitive.substr(0, 65535));
  // Both sizes are said for code that does not fit.
  const ProcessResult noisy = Convert({dir.File("noise.p8"), dir.File("noise.rom")});
  EXPECT_NE(noisy.err.find(" bytes, 15616 fit):\n" + dir.File("noise.p8")), std::string::npos)
      << noisy.err;
}

// --count says how big the code is, with or without an output, and the compressed size
// it gives is the stream a ROM output holds, with --count or without: on code that
// repeats itself in long runs, as this does, the searches' streams differ, and both
// paths keep the smaller.
TEST(ConvertText, CountsTheCodeAndItsCompressedSize) {
  TempDir dir;
  std::string code = "-- count me\n";
  for (int k = 0; k < 300; ++k) {
    code += "function f" + std::to_string(k) + "(o)\n  o.x+=" + std::to_string(k * 7919 % 1000) +
            "\n  if o.x>" + std::to_string(k * 104729 % 997) + " then o.dx=-o.dx sfx(" +
            std::to_string(k % 61) + ") end\nend\n";
  }
  WriteTestFile(dir.File("game.p8"), std::string(kP8Header) + "version 41\n__lua__\n" + code);
  const ProcessResult counted = Convert({dir.File("game.p8"), "--count"});
  ASSERT_EQ(counted.exit_code, 0) << counted.err;
  ProcessResult written = Convert({dir.File("game.p8"), dir.File("game.rom"), "--count"});
  ASSERT_EQ(written.exit_code, 0) << written.err;
  EXPECT_EQ(written.out, counted.out);
  const std::vector<uint8_t> rom = BytesOf(ReadTestFile(dir.File("game.rom")));
  ASSERT_EQ(rom.size(), kRomSize);
  const size_t stream = ReadBe16(rom, kCodeStart + 6);
  ASSERT_EQ(Convert({dir.File("game.p8"), dir.File("plain.rom")}).exit_code, 0);
  EXPECT_EQ(BytesOf(ReadTestFile(dir.File("plain.rom"))), rom);
  // The code as read is the section without the break the text ends it with.
  const size_t length = code.size() - 1;
  EXPECT_EQ(ReadBe16(rom, kCodeStart + 4), length);
  // Each function is 23 tokens: `function fK ( o` 4, `o . x += A` 4, `if o . x > B then` 6,
  // `o . dx = - o . dx` 6 (a minus before a name counts), `sfx ( C` 3; `end`, `.`, `)` free.
  const size_t tokens = 300 * 23;
  auto line = [](const std::string& name, size_t value, size_t limit) {
    char percent[16];
    std::snprintf(percent, sizeof percent, "%.1f%%", 100.0 * value / limit);
    return name + ": " + std::to_string(value) + " of " + std::to_string(limit) + " (" + percent +
           ")\n";
  };
  EXPECT_EQ(counted.out, dir.File("game.p8") + "\n" + line("tokens", tokens, 8192) +
                             line("characters", length, 65535) +
                             line("compressed", stream, kCodeAreaSize));
  // Neither an output nor --count: nothing to do.
  const ProcessResult idle = Convert({dir.File("game.p8")});
  EXPECT_EQ(idle.exit_code, 156);
}

// Code as .p8 files hold it that are not written as this tool writes: an old file's
// glyphs as raw bytes, CR LF and CR line breaks. Each gives the ROM its bytes say: one
// byte a glyph, one 0x0A a line break, and the data sections after the code.
TEST(ConvertText, ReadsOldAndOddCodeText) {
  TempDir dir;
  const std::string gfx = "__gfx__\n0123\n";
  // The arrow glyphs 0x8B, 0x91 and 0x83 as .p8 text writes them: U+2B05, U+27A1 and
  // U+2B07, each with the selector U+FE0F.
  const std::string left = "\xE2\xAC\x85\xEF\xB8\x8F";
  const std::string right = "\xE2\x9E\xA1\xEF\xB8\x8F";
  const std::string down = "\xE2\xAC\x87\xEF\xB8\x8F";
  const struct {
    std::string name;
    std::string file;
    size_t length;     // the code's bytes in the ROM
    std::string text;  // that code written back as text
  } cases[] = {
      {"raw", std::string(kP8Header) + "version 8\n__lua__\nprint(\"\x8b\x91\x83\")\n" + gfx, 12,
       "print(\"" + left + right + down + "\")"},
      {"mixed", std::string(kP8Header) + "version 8\n__lua__\n?\"" + down + "\x83\"\n" + gfx, 5,
       "?\"" + down + down + "\""},
      {"crlf",
       "pico-8 cartridge // http://www.pico-8.com\r\nversion 41\r\n__lua__\r\n"
       "a=1\r\nb=2\r\n__gfx__\r\n0123\r\n",
       7, "a=1\nb=2"},
      {"cr",
       "pico-8 cartridge // http://www.pico-8.com\rversion 41\r__lua__\r"
       "a=1\rb=2\r__gfx__\r0123\r",
       7, "a=1\nb=2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteTestFile(dir.File(c.name + ".p8"), c.file);
    const std::string rom_path = dir.File(c.name + ".rom");
    const ProcessResult result = Convert({dir.File(c.name + ".p8"), rom_path});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::vector<uint8_t> rom = BytesOf(ReadTestFile(rom_path));
    ASSERT_EQ(rom.size(), kRomSize);
    EXPECT_EQ(ReadBe16(rom, kCodeStart + 4), c.length);
    // The sheet's first two bytes: pixels 0, 1 and 2, 3, the left one low.
    EXPECT_EQ(rom[0], 0x10);
    EXPECT_EQ(rom[1], 0x32);
    ASSERT_EQ(Convert({rom_path, dir.File(c.name + ".lua")}).exit_code, 0);
    EXPECT_EQ(ReadTestFile(dir.File(c.name + ".lua")), c.text);
  }
}

// Code whose last byte is CR keeps it through .p8 text and back.
TEST(ConvertText, KeepsACarriageReturnThatEndsTheCode) {
  TempDir dir;
  std::vector<uint8_t> payload(kPayloadSize, 0);
  const std::string code = "x=1\r";
  std::copy(code.begin(), code.end(), payload.begin() + kCodeStart);
  CartPicture picture = CartPicture::Template();
  ASSERT_FALSE(picture.pixels.empty());
  picture.WritePayload(payload);
  ASSERT_TRUE(picture.Save(dir.File("cr.p8.png")));
  ASSERT_EQ(Convert({dir.File("cr.p8.png"), dir.File("cr.p8")}).exit_code, 0);
  ASSERT_EQ(Convert({dir.File("cr.p8"), dir.File("cr.rom")}).exit_code, 0);
  ASSERT_EQ(Convert({dir.File("cr.rom"), dir.File("cr.lua")}).exit_code, 0);
  EXPECT_EQ(ReadTestFile(dir.File("cr.lua")), code);
}

}  // namespace
}  // namespace brasswick
