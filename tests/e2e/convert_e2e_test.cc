// The convert command as a user runs it: one cartridge, built here from the memory
// layout and code rules, carried through every form, each result checked against what
// the rules say it must hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cart_builder.h"
#include "cart_picture.h"
#include "player_page.h"
#include "png_writer.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::kCodeStart;
using testing::kP8Header;
using testing::kPayloadSize;
using testing::kRomSize;
using testing::LabelDigit;
using testing::LabelRgb;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

// The code in the plain format: its bytes, then zero. Byte 0x8E is the O-button glyph.
const std::string kCode = "-- my game\n-- by me\nprint(\"\x8E\")\n";
const std::string kCodeText = "-- my game\n-- by me\nprint(\"\xF0\x9F\x85\xBE\xEF\xB8\x8F\")\n";

// A ROM that differs from the blank cartridge in a few known places of each section.
std::vector<uint8_t> TestRom() {
  std::vector<uint8_t> rom(kRomSize, 0);
  for (int k = 0; k < 64; ++k) rom[0x3200 + 68 * k + 65] = k == 0 ? 1 : 16;  // speeds
  for (int k = 0; k < 64; ++k)
    for (int c = 0; c < 4; ++c) rom[0x3100 + 4 * k + c] = static_cast<uint8_t>(0x41 + c);
  rom[0] = 0x21;                 // sprite row 0: pixels 1, 2
  rom[64 * 3 + 1] = 0xF0;        // sprite row 3: pixels 0, 15 at x = 2, 3
  rom[0x3000 + 129] = 0x5A;      // flags of sprite 129
  rom[0x2000 + 128 + 2] = 0x7E;  // map cell (2, 1)
  // Effect 1, note 0: pitch 12, waveform 13 (low bits 5, bit 3 in bit 15), volume 3,
  // effect 2.
  const int note = 12 | (5 << 6) | (3 << 9) | (2 << 12) | (1 << 15);
  rom[0x3200 + 68] = static_cast<uint8_t>(note & 0xFF);
  rom[0x3200 + 68 + 1] = static_cast<uint8_t>(note >> 8);
  rom[0x3100] = 0x80 | 0x01;          // pattern 0: begin loop, channel 0 plays effect 1
  rom[0x3100 + 4 + 1] = 0x80 | 0x42;  // pattern 1: end loop (flag bit 1 in channel 1)
  for (size_t i = 0; i < kCode.size(); ++i) rom[kCodeStart + i] = static_cast<uint8_t>(kCode[i]);
  return rom;
}

std::string Zeros(size_t count) { return std::string(count, '0'); }

// The .p8 text of TestRom() with the label given (colours 0-31, 128 rows), as the
// console writes each section up to its last line that is not the blank cartridge's.
std::string ExpectedP8(int version, const std::vector<std::vector<int>>* label) {
  std::string text = kP8Header + std::string("version ") + std::to_string(version) + "\n";
  // The code, then a break of its own.
  text += "__lua__\n" + kCodeText + "\n";
  text += "__gfx__\n";
  text += "12" + Zeros(126) + "\n" + Zeros(128) + "\n" + Zeros(128) + "\n";
  text += "000f" + Zeros(124) + "\n";
  if (label) {
    text += "__label__\n";
    for (const std::vector<int>& row : *label) {
      for (int color : row) text += LabelDigit(color);
      text += "\n";
    }
    text += "\n";
  }
  text += "__gff__\n" + Zeros(256) + "\n00" + "5a" + Zeros(252) + "\n";
  text += "__map__\n" + Zeros(256) + "\n0000" + "7e" + Zeros(250) + "\n";
  text += "__sfx__\n00010000" + Zeros(160) + "\n";
  text += "00100000" + std::string("0cd32") + Zeros(155) + "\n";
  text += "__music__\n01 01424344\n02 41424344\n";
  return text;
}

// Every colour 0-31, in a pattern that differs from row to row.
std::vector<std::vector<int>> TestLabel() {
  std::vector<std::vector<int>> label(128, std::vector<int>(128));
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) label[y][x] = (x / 4 + y * 3) % 32;
  return label;
}

std::vector<uint8_t> WithTrailer(std::vector<uint8_t> rom, int version) {
  rom.resize(kPayloadSize, 0);
  rom[kRomSize] = static_cast<uint8_t>(version);
  return rom;
}

std::string Bytes(const std::vector<uint8_t>& bytes, size_t count) {
  return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

// A cartridge picture showing the label and carrying the payload.
bool WritePicture(const std::string& path, const std::vector<uint8_t>& payload,
                  const std::vector<std::vector<int>>& label) {
  CartPicture picture = CartPicture::Template();
  if (picture.pixels.empty()) return false;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const testing::Rgb rgb = LabelRgb(label[y][x]);
      picture.At(16 + x, 24 + y) = {rgb.r, rgb.g, rgb.b, 255};
    }
  }
  picture.WritePayload(payload);
  return picture.Save(path);
}

std::string ListOf(const std::vector<uint8_t>& bytes) {
  std::string list;
  for (size_t i = 0; i < bytes.size(); ++i) list += (i ? "," : "") + std::to_string(bytes[i]);
  return list;
}

ProcessResult Convert(const std::string& input, const std::string& output,
                      std::vector<std::string> extra = {}) {
  std::vector<std::string> args = {"convert", input, output};
  args.insert(args.end(), extra.begin(), extra.end());
  return RunBrasswick(args);
}

TEST(Convert, PictureGivesTheTextTheCodeAndTheRom) {
  TempDir dir;
  const std::vector<uint8_t> rom = TestRom();
  const std::vector<std::vector<int>> label = TestLabel();
  ASSERT_TRUE(WritePicture(dir.File("game.p8.png"), WithTrailer(rom, 41), label));

  ProcessResult result = Convert(dir.File("game.p8.png"), dir.File("out.p8"), {"--verbose"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "brasswick 1.1\n\nLoading cartridge...\nConverting...\nConverted: " +
                            dir.File("out.p8") + "\n");
  EXPECT_EQ(ReadTestFile(dir.File("out.p8")), ExpectedP8(41, &label));

  result = Convert(dir.File("game.p8.png"), dir.File("out.lua"));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(dir.File("out.lua")), kCodeText);

  for (const char* name : {"out.rom", "OUT.ROM"}) {
    result = Convert(dir.File("game.p8.png"), dir.File(name));
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(ReadTestFile(dir.File(name)), Bytes(rom, kRomSize)) << name;
  }
}

TEST(Convert, PlayerPageGivesTheTextWithThePagesLabel) {
  TempDir dir;
  const std::vector<std::vector<int>> label = TestLabel();
  testing::TestPng png;
  png.width = png.height = 128;
  for (const std::vector<int>& row : label) {
    std::vector<uint8_t> bytes;
    for (int color : row) {
      const testing::Rgb rgb = LabelRgb(color);
      bytes.insert(bytes.end(), {static_cast<uint8_t>(rgb.r), static_cast<uint8_t>(rgb.g),
                                 static_cast<uint8_t>(rgb.b)});
    }
    png.rows.push_back(bytes);
  }
  ASSERT_TRUE(testing::WriteTestPng(dir.File("label.png"), png));
  WriteTestFile(
      dir.File("game.html"),
      testing::PlayerPageText({{"png", testing::TestBase64(ReadTestFile(dir.File("label.png")))}}));
  // A list without the 32 bytes after the ROM: the version is the default.
  WriteTestFile(dir.File("game.js"), testing::PlayerScriptText(ListOf(TestRom())));

  ProcessResult result = Convert(dir.File("game.html"), dir.File("out.p8"));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out + result.err, "");
  EXPECT_EQ(ReadTestFile(dir.File("out.p8")), ExpectedP8(42, &label));
}

TEST(Convert, RomGivesAPictureWithAMadeTrailerAndTheCodesTitles) {
  TempDir dir;
  const std::vector<uint8_t> rom = TestRom();
  WriteTestFile(dir.File("game.rom"), Bytes(rom, kRomSize));

  ProcessResult result = Convert(dir.File("game.rom"), dir.File("out.p8.png"));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  CartPicture picture = CartPicture::Load(dir.File("out.p8.png"));
  ASSERT_FALSE(picture.pixels.empty());
  const std::vector<uint8_t> payload = picture.Payload();
  ASSERT_EQ(payload.size(), kPayloadSize);
  EXPECT_EQ(Bytes(payload, kRomSize), Bytes(rom, kRomSize));
  // Version 42 is console 0.2.6; platform and build unknown; the ROM's SHA-1; zeros.
  const std::vector<uint8_t> trailer(payload.begin() + kRomSize, payload.end());
  EXPECT_EQ(std::vector<uint8_t>(trailer.begin(), trailer.begin() + 6),
            (std::vector<uint8_t>{42, 0, 2, 6, 0, 0}));
  ProcessResult sha = testing::RunProgram("sha1sum", {dir.File("game.rom")});
  ASSERT_EQ(sha.exit_code, 0);
  std::string hash;
  for (size_t i = 6; i < 26; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", trailer[i]);
    hash += hex;
  }
  EXPECT_EQ(hash, sha.out.substr(0, 40));
  EXPECT_EQ(std::vector<uint8_t>(trailer.begin() + 26, trailer.end()), std::vector<uint8_t>(6, 0));
  // No label: the template's grey window stays.
  EXPECT_EQ(picture.At(80, 90)[0] & 0xFC, 136);

  // The titles come from the two comment lines: the same picture as when given.
  result = Convert(dir.File("game.rom"), dir.File("given.p8.png"),
                   {"--title", "my game", "--subtitle", "by me"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  CartPicture given = CartPicture::Load(dir.File("given.p8.png"));
  int title_pixels = 0;
  for (int y = 167; y < 180; ++y)
    for (int x = 16; x < 144; ++x) title_pixels += (picture.At(x, y)[0] & 0xFC) == 252;
  EXPECT_GT(title_pixels, 20);
  EXPECT_EQ(picture.pixels, given.pixels);
}

TEST(Convert, PictureReplacesAPlayersListAndNothingElse) {
  TempDir dir;
  const std::vector<uint8_t> payload = WithTrailer(TestRom(), 40);
  ASSERT_TRUE(WritePicture(dir.File("game.p8.png"), payload, TestLabel()));
  const std::string before = "// exported\r\nvar _cartname=['old.p8'];\r\nvar _cartdat=[";
  const std::string after = "];\r\nfunction _start(){ return 1; }\r\n";
  WriteTestFile(dir.File("player.js"), before + "1,2,\n3" + after);

  ProcessResult result = Convert(dir.File("game.p8.png"), dir.File("player.js"));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string script = ReadTestFile(dir.File("player.js"));
  ASSERT_TRUE(script.starts_with(before)) << script.substr(0, 80);
  ASSERT_TRUE(script.ends_with(after));
  std::string list = script.substr(before.size(), script.size() - before.size() - after.size());
  std::erase(list, '\n');
  EXPECT_EQ(list, ListOf(payload));
}

TEST(Convert, TextGoesToTextAndCodeOnly) {
  TempDir dir;
  // CRLF breaks, an unknown section and no final break: all kept.
  const std::string code = "-- hi\r\nprint(1)\r\n";
  const std::string p8 = "pico-8 cartridge // http://www.pico-8.com\r\nversion 29\r\n__lua__\r\n" +
                         code + "__meta:tool__\r\nx=1\r\n__gfx__\r\n0123";
  WriteTestFile(dir.File("game.p8"), p8);

  ProcessResult result = Convert(dir.File("game.p8"), dir.File("copy.p8"));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(dir.File("copy.p8")), p8);
  result = Convert(dir.File("game.p8"), dir.File("game.lua"));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(dir.File("game.lua")), code);
}

TEST(Convert, RefusesDamagedInputsAndWrongOutputsWritingNothing) {
  TempDir dir;
  std::vector<uint8_t> damaged = TestRom();
  // A current-format stream whose first token copies from before the start.
  const uint8_t pxa[] = {0x00, 0x70, 0x78, 0x61, 0x00, 0x64, 0x00, 0x10, 0x00, 0x00};
  std::copy(std::begin(pxa), std::end(pxa), damaged.begin() + kCodeStart);
  WriteTestFile(dir.File("damaged.rom"), Bytes(damaged, kRomSize));
  // An old-format stream holding byte 0: the escape, then 0.
  std::vector<uint8_t> zero = TestRom();
  const uint8_t old[] = {0x3A, 0x63, 0x3A, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  std::copy(std::begin(old), std::end(old), zero.begin() + kCodeStart);
  WriteTestFile(dir.File("zero.rom"), Bytes(zero, kRomSize));
  // A hash that is not the ROM's.
  std::vector<uint8_t> hashed = WithTrailer(TestRom(), 42);
  hashed[kRomSize + 6] = 0x12;
  WriteTestFile(dir.File("hashed.bin"), Bytes(hashed, kPayloadSize));
  WriteTestFile(dir.File("good.rom"), Bytes(TestRom(), kRomSize));
  WriteTestFile(dir.File("notes.txt"), "just some text\n");
  WriteTestFile(dir.File("other.js"), "var x = [1, 2];\n");

  struct Case {
    const char* input;
    const char* output;
    int code;
    std::string message;  // the path follows on its own line
    const char* path;
  };
  const Case cases[] = {
      {"damaged.rom", "out.p8", 154, "Failed to decode the cartridge's code:", "damaged.rom"},
      {"damaged.rom", "out.rom", 154, "Failed to decode the cartridge's code:", "damaged.rom"},
      {"hashed.bin", "out.p8.png", 154, "Failed to match the cartridge's hash:", "hashed.bin"},
      {"zero.rom", "out.lua", 155, "Failed to write the cartridge's code as text:", "zero.rom"},
      {"notes.txt", "out.p8", 153, "Failed to read a cartridge from:", "notes.txt"},
      {"good.rom", "out.png", 156, "Failed to tell the output's kind by its ending:", "out.png"},
      {"good.rom", "other.js", 157, "Failed to find a player's cartridge list in:", "other.js"},
      {"good.rom", "good.rom", 131, "Output file is the input cartridge:", "good.rom"},
  };
  for (const Case& c : cases) {
    const std::string output = dir.File(c.output);
    const std::string before = PathExists(output) ? ReadTestFile(output) : "";
    ProcessResult result = Convert(dir.File(c.input), output);
    EXPECT_EQ(result.exit_code, c.code) << c.input << " " << c.output;
    EXPECT_EQ(result.err, c.message + "\n" + dir.File(c.path) + "\n");
    if (before.empty()) {
      EXPECT_FALSE(PathExists(output)) << c.output;
    } else {
      EXPECT_EQ(ReadTestFile(output), before) << c.output;
    }
  }
  // Whatever was refused, only the inputs are there.
  EXPECT_EQ(testing::FolderNames(dir.path()),
            (std::set<std::string>{"damaged.rom", "zero.rom", "hashed.bin", "good.rom", "notes.txt",
                                   "other.js"}));
}

// Reading a raw ROM is convert's: the commands that edit or export a game's three
// forms refuse one as before, rather than pass it by unchanged.
TEST(Convert, OtherCommandsStillRefuseARawRom) {
  TempDir dir;
  WriteTestFile(dir.File("game.rom"), Bytes(TestRom(), kRomSize));
  testing::TestPng png;
  png.width = png.height = 1;
  png.rows = {{0, 0, 0}};
  ASSERT_TRUE(testing::WriteTestPng(dir.File("label.png"), png));
  const std::vector<std::string> runs[] = {
      {"setlabel", dir.File("game.rom"), dir.File("label.png")},
      {"map", dir.File("game.rom"), dir.File("map.png")},
  };
  for (const std::vector<std::string>& args : runs) {
    ProcessResult result = RunBrasswick(args);
    EXPECT_EQ(result.exit_code, 129) << args[0] << ": " << result.err;
    EXPECT_EQ(ReadTestFile(dir.File("game.rom")), Bytes(TestRom(), kRomSize)) << args[0];
  }
  EXPECT_FALSE(PathExists(dir.File("map.png")));
}

TEST(Convert, IsFoundByItsPrefixAndListedWithItsEndings) {
  ProcessResult result = RunBrasswick({"conv"});
  EXPECT_EQ(result.exit_code, 40);
  EXPECT_EQ(result.err, "Arg 'input' is required\n");
  result = RunBrasswick({"help"});
  EXPECT_NE(result.out.find("\n    convert  "), std::string::npos) << result.out;
  result = RunBrasswick({"help", "convert"});
  EXPECT_EQ(result.exit_code, 0);
  for (const char* ending : {".p8.png", ".rom", ".lua", ".js"}) {
    EXPECT_NE(result.out.find(ending), std::string::npos) << ending;
  }
}

}  // namespace
}  // namespace brasswick
