#include "cart/cart_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brasswick {
namespace {

// Memory whose every byte tells where it stands: 0x00 up to 0x0FFF are ramps, the
// shared half holds 0xBA and the map's upper half 0x5C, so a read from the wrong place
// or with the nibbles the wrong way round shows.
std::vector<uint8_t> MarkedMemory() {
  std::vector<uint8_t> memory(kCartRomSize, 0xEE);
  for (int i = 0; i < 0x1000; ++i) memory[i] = static_cast<uint8_t>(i * 7);
  for (int i = 0x1000; i < 0x2000; ++i) memory[i] = 0xBA;
  for (int i = 0x2000; i < 0x3000; ++i) memory[i] = 0x5C;
  return memory;
}

TEST(CartSource, ReadsTheSheetAndMapFromTheirPlacesInMemory) {
  std::optional<CartSource> source = CartSource::FromMemory(MarkedMemory(), std::nullopt);
  ASSERT_TRUE(source);
  std::optional<ByteBuffer> sheet = source->Sheet(false);
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->size(), 8192u);
  // Memory keeps the left pixel in the low nibble, the sheet in the high one.
  EXPECT_EQ((*sheet)[1], 0x70);  // memory 0x07
  EXPECT_EQ((*sheet)[3], 0x51);  // memory 0x15
  EXPECT_EQ((*sheet)[4096], 0xAB);
  EXPECT_EQ((*sheet)[8191], 0xAB);
  EXPECT_EQ(source->Sheet(true)->size(), 4096u);

  std::optional<ByteBuffer> map = source->Map(true);
  ASSERT_TRUE(map);
  ASSERT_EQ(map->size(), 8192u);
  EXPECT_EQ((*map)[0], 0x5C);
  EXPECT_EQ((*map)[4095], 0x5C);
  // The shared half as memory holds it: gfx digits a then b are the cell 0xBA.
  EXPECT_EQ((*map)[4096], 0xBA);
  EXPECT_EQ((*map)[8191], 0xBA);
  EXPECT_EQ(source->Map(false)->size(), 4096u);

  EXPECT_FALSE(source->HasLabel());
  EXPECT_FALSE(source->Label());
}

TEST(CartSource, MemoryNeedsAWholeRomAndAWholeLabel) {
  const std::vector<uint8_t> memory = MarkedMemory();
  const std::span<const uint8_t> short_memory(memory.data(), kCartRomSize - 1);
  EXPECT_FALSE(CartSource::FromMemory(short_memory, std::nullopt));
  EXPECT_FALSE(CartSource::FromMemory(memory, LabelPixels(128 * 128 - 1)));

  std::optional<CartSource> labelled = CartSource::FromMemory(memory, LabelPixels(128 * 128, 31));
  ASSERT_TRUE(labelled);
  EXPECT_TRUE(labelled->HasLabel());
  EXPECT_EQ(labelled->Label(), LabelPixels(128 * 128, 31));
}

// One digit a pixel in 32 colours: "0"-"9", "a"-"v" in either case; anything else,
// short lines and missing lines are colour 0.
TEST(CartSource, ReadsALabelSectionDigitByDigitInThirtyTwoColours) {
  CartDocument document;
  document.sections.push_back(CartSection{"", {"pico-8 cartridge"}});
  const std::string first = "09afgvAFGV" + std::string(117, '1') + "2" + "3";  // 129 digits
  document.sections.push_back(CartSection{"__label__", {first, "w-7", "5"}});
  std::optional<LabelPixels> label = CartSource::FromDocument(document).Label();
  ASSERT_TRUE(label);
  ASSERT_EQ(label->size(), 128u * 128u);
  const std::vector<uint8_t> head = {0, 9, 10, 15, 16, 31, 10, 15, 16, 31};
  EXPECT_EQ(std::vector<uint8_t>(label->begin(), label->begin() + 10), head);
  EXPECT_EQ((*label)[126], 1);
  EXPECT_EQ((*label)[127], 2);  // the 129th digit is past the row
  EXPECT_EQ((*label)[128], 0);  // "w" is no digit
  EXPECT_EQ((*label)[129], 0);
  EXPECT_EQ((*label)[130], 7);
  EXPECT_EQ((*label)[131], 0);  // a short line ends in colour 0
  EXPECT_EQ((*label)[256], 5);
  // Rows 3-127 are missing: colour 0, not whatever memory held.
  for (size_t i = 257; i < label->size(); ++i) ASSERT_EQ((*label)[i], 0) << i;

  document.sections.back().lines.clear();
  EXPECT_TRUE(CartSource::FromDocument(document).HasLabel());
  EXPECT_FALSE(CartSource::FromDocument(document).Label());
}

}  // namespace
}  // namespace brasswick
