#include "cart/cart_layout.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace brasswick {
namespace {

CartDocument NewDocument() {
  CartDocument document;
  document.sections.push_back(CartSection{"", {"pico-8 cartridge"}});
  return document;
}

CartSection& AddSection(CartDocument& document, const std::string& name,
                        const std::vector<std::string>& lines) {
  CartSection section{name, {}};
  for (const std::string& line : lines) section.lines.push_back(line);
  document.sections.push_back(std::move(section));
  return document.sections.back();
}

std::vector<std::string> Lines(const CartSection* section) {
  return std::vector<std::string>(section->lines.begin(), section->lines.end());
}

int DigitValue(char c) { return std::stoi(std::string(1, c), nullptr, 16); }

// `count` lines of `digits` random hex digits.
std::vector<std::string> RandomHexLines(std::mt19937& random, int count, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::vector<std::string> lines(count);
  for (std::string& line : lines) {
    for (int i = 0; i < digits; ++i) line += kHex[random() % 16];
  }
  return lines;
}

TEST(CartLayout, SectionByteCountHalvesTheTotalCharacters) {
  CartSection section{"__gfx__", {"abc", "d", ""}};
  EXPECT_EQ(SectionByteCount(&section), 2);
  EXPECT_EQ(SectionByteCount(nullptr), 0);
}

TEST(CartLayout, DecodeReadsPairsByTheHexRule) {
  CartSection section{"__label__", {"7zz7AbfG", "12"}};
  std::vector<uint8_t> buffer(5, 0xEE);
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 5, 0, false, false), 5);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0x07, 0x00, 0xAB, 0x0F, 0x12}));

  // Swapped: "7z" reads "z7" and so on.
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 5, 0, true, false), 5);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0x00, 0x07, 0xBA, 0x00, 0x21}));
}

TEST(CartLayout, DecodeSkipsCountsPadsAndIgnoresOddLastCharacters) {
  CartSection section{"__gfx__", {"01020", "0304", "0"}};  // 10 characters, 4 pairs
  std::vector<uint8_t> buffer(8, 0xEE);
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 3, 1, false, false), 3);
  EXPECT_EQ(buffer[0], 0x02);
  EXPECT_EQ(buffer[1], 0x03);
  EXPECT_EQ(buffer[2], 0x04);

  // Five bytes by count of characters, but only four pairs.
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 5, 0, false, false), 4);
  // More than the section holds: nothing without pad, zero-filled with it.
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 6, 0, false, false), 0);
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 8, 0, false, true), 8);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 0}));
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 2, -3, false, false), 2);
  EXPECT_EQ(buffer[0], 0x01);

  EXPECT_EQ(DecodeSectionHex(nullptr, buffer, 2, 0, false, true), 0);
  EXPECT_EQ(DecodeSectionHex(&section, buffer, 0, 0, false, true), 0);
  // Never past the end of the buffer.
  std::vector<uint8_t> small(2);
  EXPECT_EQ(DecodeSectionHex(&section, small, 100, 0, false, true), 2);
}

TEST(CartLayout, ReadSectionBytes) {
  CartDocument document = NewDocument();
  AddSection(document, "__sfx__", {"0a0b", "0c0d"});
  AddSection(document, "__odd__", {"abc", "d"});
  auto whole = ReadSectionBytes(document, "sfx", 0, 0, false);
  ASSERT_TRUE(whole);
  EXPECT_EQ(*whole, (std::vector<uint8_t>{0x0A, 0x0B, 0x0C, 0x0D}));
  auto offset = ReadSectionBytes(document, "sfx", 2, 1, false);
  ASSERT_TRUE(offset);
  EXPECT_EQ(*offset, (std::vector<uint8_t>{0x0B, 0x0C}));
  EXPECT_FALSE(ReadSectionBytes(document, "sfx", 5, 0, false));
  auto short_read = ReadSectionBytes(document, "sfx", 6, 0, true);
  ASSERT_TRUE(short_read);
  EXPECT_EQ(*short_read, (std::vector<uint8_t>{0x0A, 0x0B, 0x0C, 0x0D, 0, 0}));
  // Counts 2 bytes by characters, holds 1 pair.
  EXPECT_FALSE(ReadSectionBytes(document, "odd", 0, 0, false));
  EXPECT_FALSE(ReadSectionBytes(document, "map", 0, 0, true));
  EXPECT_FALSE(ReadSectionBytes(document, "", 0, 0, true));
  EXPECT_FALSE(ReadSectionBytes(document, "sfx", -1, 0, true));
}

// In data sections a lone CR or a NUL ends a line, so no pair spans one; in the code
// section they are characters of the line, and not hex digits.
TEST(CartLayout, HexLinesAsTheDocumentCutsThem) {
  using namespace std::string_literals;
  auto document = LoadCartDocumentFromBytes(
      "/cart.p8", std::make_shared<const std::string>("pico-8 cartridge\n__lua__\n1\r23\0"
                                                      "45\r\n__gfx__\n01\r23\0"
                                                      "45\r\n67"s));
  ASSERT_TRUE(document);
  auto sheet = ReadSectionBytes(*document, "gfx", 0, 0, false);
  ASSERT_TRUE(sheet);
  EXPECT_EQ(*sheet, (ByteBuffer{0x01, 0x23, 0x45, 0x67}));
  auto code = ReadSectionBytes(*document, "lua", 0, 0, false);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, (ByteBuffer{0x01, 0x23, 0x00}));
}

TEST(CartLayout, SheetBytesZeroFillsAShortSheet) {
  std::mt19937 random(1);
  CartDocument document = NewDocument();
  const std::vector<std::string> gfx = RandomHexLines(random, 64, 128);
  AddSection(document, "__gfx__", gfx);
  auto sheet = SheetBytes(document, false);
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->size(), 8192u);
  // Row y, byte k: digit 2k in the high nibble, digit 2k + 1 in the low nibble.
  for (int y = 0; y < 64; ++y) {
    for (int k = 0; k < 64; ++k) {
      ASSERT_EQ((*sheet)[y * 64 + k],
                DigitValue(gfx[y][2 * k]) * 16 + DigitValue(gfx[y][2 * k + 1]));
    }
  }
  for (int i = 4096; i < 8192; ++i) ASSERT_EQ((*sheet)[i], 0);
  auto upper = SheetBytes(document, true);
  ASSERT_TRUE(upper);
  EXPECT_EQ(upper->size(), 4096u);

  // The map's shared half then shows sprite 0 everywhere.
  AddSection(document, "__map__", {"01"});
  auto map = MapBytes(document, true);
  ASSERT_TRUE(map);
  EXPECT_EQ((*map)[0], 1);
  for (int i = 4096; i < 8192; ++i) ASSERT_EQ((*map)[i], 0);
}

TEST(CartLayout, MissingOrEmptyGfxGivesNoSheet) {
  CartDocument document = NewDocument();
  EXPECT_FALSE(SheetBytes(document, false));
  AddSection(document, "__gfx__", {});
  EXPECT_FALSE(SheetBytes(document, false));
  EXPECT_FALSE(SheetBytes(document, true));
}

TEST(CartLayout, MapSharesTheSheetsLowerHalfWithNibblesSwapped) {
  std::mt19937 random(2);
  CartDocument document = NewDocument();
  const std::vector<std::string> gfx = RandomHexLines(random, 128, 128);
  const std::vector<std::string> map_lines = RandomHexLines(random, 32, 256);
  AddSection(document, "__gfx__", gfx);
  AddSection(document, "__map__", map_lines);
  auto map = MapBytes(document, true);
  ASSERT_TRUE(map);
  ASSERT_EQ(map->size(), 8192u);
  for (int row = 0; row < 32; ++row) {
    for (int cell = 0; cell < 128; ++cell) {
      const std::string& line = map_lines[row];
      ASSERT_EQ((*map)[row * 128 + cell],
                DigitValue(line[2 * cell]) * 16 + DigitValue(line[2 * cell + 1]));
    }
  }
  // Cell row 32 + r: cells 0-63 from pixel row 64 + 2r, cells 64-127 from 65 + 2r;
  // digits a then b make the byte 0xBA.
  for (int r = 0; r < 32; ++r) {
    for (int cell = 0; cell < 128; ++cell) {
      const std::string& line = gfx[64 + 2 * r + cell / 64];
      const int k = cell % 64;
      ASSERT_EQ((*map)[(32 + r) * 128 + cell],
                DigitValue(line[2 * k + 1]) * 16 + DigitValue(line[2 * k]))
          << r << "," << cell;
    }
  }
  auto upper = MapBytes(document, false);
  ASSERT_TRUE(upper);
  EXPECT_EQ(*upper, std::vector<uint8_t>(map->begin(), map->begin() + 4096));
}

TEST(CartLayout, MapNeedsItsSections) {
  std::mt19937 random(3);
  CartDocument document = NewDocument();
  AddSection(document, "__gfx__", RandomHexLines(random, 128, 128));
  EXPECT_FALSE(MapBytes(document, true));
  EXPECT_FALSE(MapBytes(document, false));

  CartDocument no_gfx = NewDocument();
  AddSection(no_gfx, "__map__", {"0102"});
  EXPECT_FALSE(MapBytes(no_gfx, true));
  auto upper = MapBytes(no_gfx, false);
  ASSERT_TRUE(upper);
  EXPECT_EQ((*upper)[1], 2);
  EXPECT_EQ((*upper)[2], 0);
}

TEST(CartLayout, SpriteBlankness) {
  std::vector<uint8_t> sheet(8192, 0);
  EXPECT_TRUE(IsSpriteBlank(sheet, 0));
  EXPECT_TRUE(IsSpriteBlank(sheet, 255));
  // Pixel (127, 127) is the low nibble of the last byte.
  sheet[127 * 64 + 63] = 0x01;
  EXPECT_FALSE(IsSpriteBlank(sheet, 255));
  EXPECT_TRUE(IsSpriteBlank(sheet, 254));
  EXPECT_TRUE(IsSpriteBlank(sheet, 239));
  // Pixel (8, 0) belongs to sprite 1 only.
  sheet[4] = 0x10;
  EXPECT_FALSE(IsSpriteBlank(sheet, 1));
  EXPECT_TRUE(IsSpriteBlank(sheet, 0));
  EXPECT_FALSE(IsSpriteBlank(sheet, 256));
  EXPECT_FALSE(IsSpriteBlank(sheet, -1));
  std::vector<uint8_t> upper(4096, 0);
  EXPECT_TRUE(IsSpriteBlank(upper, 200));
}

TEST(CartLayout, WriteSectionBytesLayouts) {
  CartDocument document = NewDocument();
  AddSection(document, "__gfx__", {"old"});
  std::vector<uint8_t> bytes(8192);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);

  ASSERT_TRUE(WriteSectionBytes(document, "label", bytes));
  const CartSection* label = FindSection(document, "label");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(&document.sections.back(), label);
  std::vector<std::string> label_lines = Lines(label);
  ASSERT_EQ(label_lines.size(), 129u);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(label_lines[i].size(), 128u);
  EXPECT_EQ(label_lines[128], "");
  EXPECT_EQ(label_lines[0].substr(0, 8), "00070e15");

  ASSERT_TRUE(WriteSectionBytes(document, "gfx", bytes));
  std::vector<std::string> gfx_lines = Lines(FindSection(document, "gfx"));
  ASSERT_EQ(gfx_lines.size(), 128u);
  EXPECT_EQ(gfx_lines[0].size(), 128u);
  EXPECT_EQ(*SheetBytes(document, false), bytes);

  ASSERT_TRUE(WriteSectionBytes(document, "map", std::span(bytes.data(), 4096)));
  std::vector<std::string> map_lines = Lines(FindSection(document, "map"));
  EXPECT_EQ(map_lines.size(), 32u);
  EXPECT_EQ(map_lines[0].size(), 256u);

  ASSERT_TRUE(WriteSectionBytes(document, "sfx", std::span(bytes.data(), 170)));
  std::vector<std::string> sfx_lines = Lines(FindSection(document, "sfx"));
  ASSERT_EQ(sfx_lines.size(), 3u);
  EXPECT_EQ(sfx_lines[0].size(), 168u);
  EXPECT_EQ(sfx_lines[2].size(), 4u);

  std::vector<uint8_t> seven = {0x00, 0x0A, 0xFF, 0x10, 0x01, 0xB2, 0x3C};
  ASSERT_TRUE(WriteSectionBytes(document, "__custom__", seven, 3));
  EXPECT_EQ(Lines(FindSection(document, "custom")),
            (std::vector<std::string>{"000aff", "1001b2", "3c"}));

  const std::size_t sections = document.sections.size();
  EXPECT_FALSE(WriteSectionBytes(document, "new", std::span<const uint8_t>()));
  EXPECT_EQ(document.sections.size(), sections);
}

}  // namespace
}  // namespace brasswick
