#include "cart/cart_rom_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cart/cart_image.h"
#include "cart/sha1.h"

namespace brasswick {
namespace {

constexpr char kHeader[] = "pico-8 cartridge // http://www.pico-8.com\n";

// The ROM the console starts from: zeros, every sound effect's speed 16 (1 in effect 0),
// every music pattern four silent channels 0x41-0x44.
std::vector<uint8_t> BlankRom() {
  std::vector<uint8_t> rom(kCartRomSize, 0);
  for (int sfx = 0; sfx < 64; ++sfx) rom[0x3200 + 68 * sfx + 65] = sfx == 0 ? 1 : 16;
  for (int pattern = 0; pattern < 64; ++pattern) {
    for (int channel = 0; channel < 4; ++channel)
      rom[0x3100 + 4 * pattern + channel] = 0x41 + channel;
  }
  return rom;
}

// The text cut at its marker lines: the header lines under "", then each section's.
std::vector<std::pair<std::string, std::vector<std::string>>> Sections(const std::string& text) {
  std::vector<std::pair<std::string, std::vector<std::string>>> sections = {{"", {}}};
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() > 4 && line.starts_with("__") && line.ends_with("__")) {
      sections.push_back({line, {}});
    } else {
      sections.back().second.push_back(line);
    }
  }
  return sections;
}

std::string Hex2(int value) {
  static constexpr char kHex[] = "0123456789abcdef";
  return {kHex[(value >> 4) & 15], kHex[value & 15]};
}

struct Note {
  int pitch, waveform, volume, effect;
};
void PutNote(std::vector<uint8_t>& rom, int sfx, int index, Note n) {
  const int word = n.pitch | ((n.waveform & 7) << 6) | (n.volume << 9) | (n.effect << 12) |
                   ((n.waveform >> 3) << 15);
  rom[0x3200 + 68 * sfx + 2 * index] = static_cast<uint8_t>(word);
  rom[0x3200 + 68 * sfx + 2 * index + 1] = static_cast<uint8_t>(word >> 8);
}
std::string NoteText(Note n) {
  return Hex2(n.pitch) + Hex2(n.waveform).substr(1) + Hex2(n.volume).substr(1) +
         Hex2(n.effect).substr(1);
}

TEST(CartRomText, WritesEverySectionInTheConsolesOrderAndForm) {
  std::vector<uint8_t> rom = BlankRom();
  rom[64 * 5] = 0x21;        // sprite row 5: left pixel 1, right pixel 2
  rom[64 * 5 + 63] = 0xF0;   // its last two pixels 0 and 15
  rom[0x3000 + 200] = 0xAB;  // flags of sprite 200, on the second line
  rom[0x2000 + 128 * 31 + 127] = 0x5C;
  const std::vector<Note> notes = {{63, 15, 7, 7}, {0, 8, 0, 0}, {0, 7, 0, 0}, {1, 0, 5, 2}};
  for (int i = 0; i < 4; ++i) PutNote(rom, 3, i, notes[i]);
  PutNote(rom, 3, 31, {63, 0, 0, 0});
  rom[0x3200 + 68 * 3 + 64] = 0x01;
  rom[0x3200 + 68 * 3 + 65] = 0xFF;
  rom[0x3200 + 68 * 3 + 66] = 0x00;
  rom[0x3200 + 68 * 3 + 67] = 0x20;
  const uint8_t pattern[4] = {0x80 | 0x05, 0x3F, 0x80 | 0x40, 0xFF};
  std::copy(pattern, pattern + 4, rom.begin() + 0x3100 + 4 * 2);

  LabelPixels label(kLabelPixelCount);
  for (int i = 0; i < kLabelPixelCount; ++i) label[i] = static_cast<uint8_t>((i / 128 + i) % 32);

  const std::string code = "print(\"\u2588\")\n-- end";
  std::optional<std::string> text = RomToP8Text(rom, code, &label, 41);
  ASSERT_TRUE(text);
  const auto sections = Sections(*text);
  ASSERT_EQ(sections.size(), 8u);
  const std::vector<std::string> order = {"",        "__lua__", "__gfx__", "__label__",
                                          "__gff__", "__map__", "__sfx__", "__music__"};
  for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(sections[i].first, order[i]);
  EXPECT_TRUE(
      text->starts_with(std::string(kHeader) + "version 41\n__lua__\n" + code + "\n__gfx__\n"));
  EXPECT_TRUE(text->ends_with("\n"));

  const std::vector<std::string>& gfx = sections[2].second;
  ASSERT_EQ(gfx.size(), 6u);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(gfx[y], std::string(128, '0'));
  EXPECT_EQ(gfx[5], "12" + std::string(124, '0') + "0f");

  const std::vector<std::string>& label_lines = sections[3].second;
  ASSERT_EQ(label_lines.size(), 129u);
  EXPECT_EQ(label_lines[128], "");
  const std::string digits = "0123456789abcdefghijklmnopqrstuv";
  for (int y = 0; y < 128; ++y) {
    ASSERT_EQ(label_lines[y].size(), 128u);
    for (int x = 0; x < 128; ++x) ASSERT_EQ(label_lines[y][x], digits[(y + y * 128 + x) % 32]);
  }

  const std::vector<std::string>& gff = sections[4].second;
  ASSERT_EQ(gff.size(), 2u);
  EXPECT_EQ(gff[0], std::string(256, '0'));
  EXPECT_EQ(gff[1], std::string(2 * 72, '0') + "ab" + std::string(2 * 55, '0'));

  const std::vector<std::string>& map = sections[5].second;
  ASSERT_EQ(map.size(), 32u);
  EXPECT_EQ(map[0], std::string(256, '0'));
  EXPECT_EQ(map[31], std::string(254, '0') + "5c");

  const std::vector<std::string>& sfx = sections[6].second;
  ASSERT_EQ(sfx.size(), 4u);
  EXPECT_EQ(sfx[0], "00010000" + std::string(160, '0'));
  EXPECT_EQ(sfx[1], "00100000" + std::string(160, '0'));
  std::string effect3 = "01ff0020";
  for (const Note& n : notes) effect3 += NoteText(n);
  effect3 += std::string(5 * 27, '0') + "3f000";
  EXPECT_EQ(sfx[3], effect3);
  EXPECT_EQ(NoteText(notes[0]), "3ff77");

  const std::vector<std::string>& music = sections[7].second;
  ASSERT_EQ(music.size(), 3u);
  EXPECT_EQ(music[0], "00 41424344");
  EXPECT_EQ(music[1], "00 41424344");
  EXPECT_EQ(music[2], "0d 053f407f");
}

TEST(CartRomText, WritesNoDataSectionsForTheBlankCartridge) {
  const std::vector<uint8_t> blank = BlankRom();
  EXPECT_EQ(RomToP8Text(blank, "x=1", nullptr, kDefaultP8Version),
            std::string(kHeader) + "version 42\n__lua__\nx=1\n");
  // Code that ends in a break keeps it: the text adds one of its own.
  EXPECT_EQ(RomToP8Text(blank, "x=1\n", nullptr, 8),
            std::string(kHeader) + "version 8\n__lua__\nx=1\n\n");
  EXPECT_EQ(RomToP8Text(blank, "", nullptr, 42), std::string(kHeader) + "version 42\n__lua__\n");
  // The code area is not written from the ROM: the text given stands for it.
  std::vector<uint8_t> coded = blank;
  std::fill(coded.begin() + 0x4300, coded.end(), 0xFF);
  EXPECT_EQ(RomToP8Text(coded, "", nullptr, 42), RomToP8Text(blank, "", nullptr, 42));
  EXPECT_FALSE(RomToP8Text(std::span(blank).first(kCartRomSize - 1), "", nullptr, 42));
}

// One byte changed from the blank cartridge: the one section that shows it, and how
// many lines it runs to.
TEST(CartRomText, TrimsEachSectionAfterItsLastChangedLine) {
  struct Case {
    size_t address;
    uint8_t value;
    const char* section;
    size_t lines;
  };
  const std::vector<Case> cases = {
      {0x0000, 0x01, "__gfx__", 1},
      {0x1FFF, 0x10, "__gfx__", 128},
      {0x3000 + 127, 0x01, "__gff__", 1},
      {0x3000 + 128, 0x01, "__gff__", 2},
      {0x2000, 0x01, "__map__", 1},
      {0x2FFF, 0x01, "__map__", 32},
      {0x3200 + 65, 16, "__sfx__", 1},  // effect 0's speed as the others' blank one
      {0x3200 + 68 * 5 + 65, 1, "__sfx__", 6},
      {0x3200 + 68 * 63 + 67, 1, "__sfx__", 64},
      {0x3200 + 68 * 63 + 1, 0x80, "__sfx__", 64},
      {0x3100, 0x41 | 0x80, "__music__", 1},
      {0x3100, 0x40, "__music__", 1},
      {0x31FF, 0x00, "__music__", 64},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> rom = BlankRom();
    rom[c.address] = c.value;
    const auto sections = Sections(*RomToP8Text(rom, "", nullptr, 42));
    ASSERT_EQ(sections.size(), 3u) << c.address;
    EXPECT_EQ(sections[2].first, c.section) << c.address;
    EXPECT_EQ(sections[2].second.size(), c.lines) << c.address;
  }

  // All zero is not the blank cartridge: every sound effect but the first and every
  // pattern differ from it.
  const auto zero = Sections(*RomToP8Text(std::vector<uint8_t>(kCartRomSize), "", nullptr, 42));
  ASSERT_EQ(zero.size(), 4u);
  EXPECT_EQ(zero[2].first, "__sfx__");
  EXPECT_EQ(zero[2].second.size(), 64u);
  EXPECT_EQ(zero[3].second.back(), "00 00000000");
}

// One section's lines are exactly those of the whole text, trimmed alike, without
// the marker; a section the ROM does not hold has none.
TEST(CartRomText, GivesOneSectionsLinesAsTheTextHasThem) {
  std::vector<uint8_t> rom = BlankRom();
  rom[0] = 0x21;                 // sheet pixels 0 and 1: 1 then 2
  rom[63 * 64 + 63] = 0xF0;      // pixel 127 of row 63: the last line written
  rom[0x2000 + 128 * 2] = 0xAB;  // map line 2
  const auto sections = Sections(*RomToP8Text(rom, "", nullptr, 42));
  for (const auto& [marker, lines] : sections) {
    if (marker.empty() || marker == "__lua__") continue;
    std::string joined;
    for (const std::string& line : lines) joined += line + "\n";
    EXPECT_EQ(RomSectionLines(rom, marker), joined) << marker;
  }
  const std::optional<std::string> gfx = RomSectionLines(rom, "GFX");
  ASSERT_TRUE(gfx);
  EXPECT_EQ(gfx->size(), 64u * 129);
  EXPECT_TRUE(gfx->starts_with("12000"));
  EXPECT_EQ(gfx->substr(63 * 129 + 126, 3), "0f\n");
  EXPECT_EQ(RomSectionLines(rom, "map")->size(), 3u * 257);
  EXPECT_EQ(RomSectionLines(BlankRom(), "music"), "");
  EXPECT_FALSE(RomSectionLines(rom, "label"));
  EXPECT_FALSE(RomSectionLines(rom, "lua"));
  EXPECT_FALSE(RomSectionLines(std::span(rom).first(kCartRomSize - 1), "gfx"));
}

TEST(CartRomText, RefreshesOnlyAHashThatIsKept) {
  std::vector<uint8_t> payload(kCartPayloadSize);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 13 + 1);
  const std::span<uint8_t> rom = std::span(payload).first(kCartRomSize);
  const std::span<uint8_t> trailer = std::span(payload).subspan(kCartRomSize);
  const std::vector<uint8_t> before(trailer.begin(), trailer.end());
  RefreshTrailerHash(rom, trailer);
  const std::array<uint8_t, kSha1Size> hash = Sha1(rom);
  EXPECT_TRUE(std::equal(hash.begin(), hash.end(), trailer.begin() + 6));
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 6, trailer.begin()));
  EXPECT_TRUE(std::equal(before.begin() + 26, before.end(), trailer.begin() + 26));

  // A hash of zeros with a single byte set is kept, so it is refreshed too.
  std::fill(trailer.begin() + 6, trailer.begin() + 26, 0);
  trailer[25] = 1;
  RefreshTrailerHash(rom, trailer);
  EXPECT_TRUE(TrailerHashMatches(rom, trailer));
  std::fill(trailer.begin() + 6, trailer.begin() + 26, 0);
  RefreshTrailerHash(rom, trailer);
  EXPECT_TRUE(
      std::all_of(trailer.begin() + 6, trailer.begin() + 26, [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace brasswick

namespace brasswick {
namespace {

CartDocument Document(const std::string& text) {
  std::optional<CartDocument> document =
      LoadCartDocumentFromBytes("game.p8", std::make_shared<std::string>(text));
  EXPECT_TRUE(document);
  return document ? std::move(*document) : CartDocument();
}

// Each line is one row of its area, read by the rules whatever its shape: short lines
// padded with zeros, letters in either case, what is no digit as 0, what follows the
// digits ignored, missing lines the blank cartridge's.
// The sections of plain bytes are digit pairs in order across their lines, each read as
// hex up to its first other character, as the exports read them; the sound's sections
// are read a line a row.
TEST(P8DataToRom, ReadsPairsAcrossLinesAndSoundALineARow) {
  const std::string text = std::string(kHeader) +
                           "version 41\n__gfx__\n1f\nzA\n__gff__\nFF\n\n01\n__map__\n\n00c5\n"
                           "__sfx__\n\n\n01ff1f3f3ff7700001zz\n\n__music__\n07 7fc0ff00x\n"
                           "00\n";
  std::vector<uint8_t> expected = BlankRom();
  expected[0] = 0xF1;  // left pixel 1 in the low nibble
  expected[1] = 0x0A;  // the next pair, whatever line it stands on: "Az" reads as A
  expected[0x3000] = 0xFF;
  expected[0x3001] = 0x01;  // an empty line holds no pair
  expected[0x2000 + 1] = 0xC5;
  for (int sfx = 0; sfx < 2; ++sfx) expected[0x3200 + 68 * sfx + 65] = 0;  // empty lines
  const size_t third = 0x3200 + 68 * 2;
  expected[third + 64] = 0x01;
  expected[third + 65] = 0xFF;
  expected[third + 66] = 0x1F;
  expected[third + 67] = 0x3F;
  PutNote(expected, 2, 0, {0x3F, 15, 7, 7});
  PutNote(expected, 2, 1, {0, 0, 0, 1});
  for (int note = 2; note < 32; ++note) PutNote(expected, 2, note, {0, 0, 0, 0});
  // Flags 7: bits 0-2 go to channels 0-2; channel bytes keep their low seven bits.
  expected[0x3100] = 0x80 | 0x7F;
  expected[0x3101] = 0x80 | 0x40;
  expected[0x3102] = 0x80 | 0x7F;
  expected[0x3103] = 0x00;
  for (int channel = 0; channel < 4; ++channel) expected[0x3104 + channel] = 0;

  std::optional<CartPayload> payload = P8DataToRom(Document(text));
  ASSERT_TRUE(payload);
  ASSERT_EQ(payload->size(), kCartPayloadSize);
  EXPECT_EQ(std::vector<uint8_t>(payload->begin(), payload->begin() + kCartRomSize), expected);
  EXPECT_EQ(std::count(payload->begin() + kCartRomSize, payload->end(), 0), 32);
}

// Whatever the ROM's data, the text written for it reads back as the same bytes.
TEST(P8DataToRom, ReadsBackEveryRomTheTextWasWrittenFor) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    std::vector<uint8_t> rom = BlankRom();
    // Some rounds leave whole areas blank, so that trimmed sections read back too.
    const int density = round % 4;
    for (size_t a = 0; a < 0x4300; ++a) {
      if (density > 0 && random() % 4 < static_cast<unsigned>(density)) {
        rom[a] = static_cast<uint8_t>(random());
      }
    }
    std::optional<std::string> text = RomToP8Text(rom, "x=1", nullptr, 41);
    ASSERT_TRUE(text);
    std::optional<CartPayload> payload = P8DataToRom(Document(*text));
    ASSERT_TRUE(payload);
    EXPECT_TRUE(std::equal(rom.begin(), rom.begin() + 0x4300, payload->begin())) << round;
  }
}

TEST(P8CodeText, GivesTheCodeWithoutTheBreakTheTextAddsAndTheVersion) {
  const struct {
    std::string text;
    std::string code;
    int version;
  } cases[] = {
      {"version 41\n__lua__\na\n\n__gfx__\n", "a\n", 41},
      {"version 7\n__lua__\na\nb", "a\nb", 7},
      {"version 300\n__lua__\n__gfx__\n", "", kDefaultP8Version},
      {"version\r\n__lua__\r\na\r\nb\r\n__gfx__\r\n", "a\r\nb", kDefaultP8Version},
      {"__lua__\nx\n", "x", kDefaultP8Version},
      // After a marker ending in LF the last break is LF alone: a CR before it is the
      // code's last byte, though the file's first characters hold a CR LF.
      {"version 41\n__lua__\nx\r\n__gfx__\n", "x\r", 41},
      {"version 41\r\n__lua__\nx\r\r\n", "x\r\r", 41},
      {"version 41\r\n__lua__\r\nx\r\r\n", "x\r", 41},
  };
  for (const auto& c : cases) {
    const CartDocument document = Document(kHeader + c.text);
    EXPECT_EQ(P8CodeText(document), c.code) << c.text;
    EXPECT_EQ(P8Version(document), c.version) << c.text;
  }
  EXPECT_EQ(P8CodeText(Document(std::string(kHeader) + "version 1\n")), "");
}

// A file whose lines all end with a lone CR: its code ends at the next marker, each
// break one LF, and its data sections are read as such.
TEST(P8CodeText, ReadsAFileOfCrBreaks) {
  const CartDocument document = Document(
      "pico-8 cartridge // http://www.pico-8.com\rversion 8\r__lua__\r"
      "a=1\r\rb=2\r\n c=3\r__gfx__\r0123\r__gff__\r05\r");
  EXPECT_EQ(P8CodeText(document), "a=1\n\nb=2\n c=3");
  EXPECT_EQ(P8Version(document), 8);
  const std::optional<CartPayload> payload = P8DataToRom(document);
  ASSERT_TRUE(payload);
  EXPECT_EQ((*payload)[0], 0x10);
  EXPECT_EQ((*payload)[1], 0x32);
  EXPECT_EQ((*payload)[0x3000], 0x05);
}

}  // namespace
}  // namespace brasswick
