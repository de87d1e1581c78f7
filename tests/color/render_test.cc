#include "color/render.h"

#include <gtest/gtest.h>

#include <random>

#include "cart/cart_layout.h"
#include "color/palette.h"

namespace brasswick {
namespace {

struct Rgba {
  int red, green, blue, alpha;
  bool operator==(const Rgba&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgba& p) {
  return out << p.red << "," << p.green << "," << p.blue << "," << p.alpha;
}

Rgba PixelAt(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * image.channels();
  return {p[0], p[1], p[2], image.channels() == 4 ? p[3] : 255};
}

// The colour rule: palette colour, opaque; the transparent index is 0 in all channels.
Rgba Expected(int index) {
  if (index == TransparentIndex()) return {0, 0, 0, 0};
  ColorValue c = PaletteColor(index);
  return {ColorRed(c), ColorGreen(c), ColorBlue(c), 255};
}

// Pixel (x, y) of 64-bytes-a-row sheet-layout bytes: even x in the high nibble.
int SheetPixel(const std::vector<uint8_t>& bytes, int x, int y) {
  uint8_t byte = bytes[y * 64 + x / 2];
  return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

std::vector<uint8_t> RandomBytes(std::mt19937& random, int count) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitPalettes();
    SetTransparentIndex(-1);
    std::mt19937 random(42);
    gfx_ = RandomBytes(random, 8192);
    map_ = RandomBytes(random, 4096);
    label_ = RandomBytes(random, 8192);
    document_.sections.push_back(CartSection{"", {"pico-8 cartridge"}});
    ASSERT_TRUE(WriteSectionBytes(document_, "gfx", gfx_));
    ASSERT_TRUE(WriteSectionBytes(document_, "label", label_));
    ASSERT_TRUE(WriteSectionBytes(document_, "map", map_));
  }
  void TearDown() override {
    InitPalettes();
    SetTransparentIndex(-1);
  }

  // The map cell byte by the layout rule: upper half from the map bytes; cell row
  // 32 + r from sheet pixel rows 64 + 2r (cells 0-63) and 65 + 2r (cells 64-127), the
  // left pixel in the low nibble.
  int MapCell(int cx, int cy) const {
    if (cy < 32) return map_[cy * 128 + cx];
    const int r = cy - 32;
    const int y = 64 + 2 * r + cx / 64;
    const int x = 2 * (cx % 64);
    return SheetPixel(gfx_, x, y) | (SheetPixel(gfx_, x + 1, y) << 4);
  }

  void ExpectSheetLayout(const RgbaImage& image, const std::vector<uint8_t>& bytes, int height) {
    ASSERT_EQ(image.width(), 128);
    ASSERT_EQ(image.height(), height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < 128; ++x) {
        ASSERT_EQ(PixelAt(image, x, y), Expected(SheetPixel(bytes, x, y))) << x << "," << y;
      }
    }
  }

  CartDocument document_;
  std::vector<uint8_t> gfx_, map_, label_;
};

TEST_F(RenderTest, SheetAndLabelFollowTheByteLayout) {
  ImagePtr sheet = RenderSheet(document_, false, 1);
  ASSERT_TRUE(sheet);
  ExpectSheetLayout(*sheet, gfx_, 128);
  ImagePtr upper = RenderSheet(document_, true, 0);
  ASSERT_TRUE(upper);
  ExpectSheetLayout(*upper, gfx_, 64);
  ImagePtr label = RenderLabel(document_, 1);
  ASSERT_TRUE(label);
  ExpectSheetLayout(*label, label_, 128);
}

TEST_F(RenderTest, TransparentIndexAndActiveRow) {
  SetTransparentIndex(5);
  EXPECT_EQ(TransparentIndex(), 5);
  SelectPaletteRow(kAlternateRow);
  ImagePtr sheet = RenderSheet(document_, false, 1);
  ASSERT_TRUE(sheet);
  ExpectSheetLayout(*sheet, gfx_, 128);
  // The gfx bytes are random, so index 5 occurs; find one and check it directly.
  bool seen = false;
  for (int i = 0; i < 8192 * 2 && !seen; ++i) {
    int x = i % 128, y = i / 128;
    if (SheetPixel(gfx_, x, y) == 5) {
      EXPECT_EQ(PixelAt(*sheet, x, y), (Rgba{0, 0, 0, 0}));
      seen = true;
    } else if (SheetPixel(gfx_, x, y) == 7) {
      EXPECT_EQ(PixelAt(*sheet, x, y), (Rgba{0xF3, 0xEF, 0x7D, 255}));
    }
  }
  EXPECT_TRUE(seen);

  SetTransparentIndex(16);
  EXPECT_EQ(TransparentIndex(), -1);
  SetTransparentIndex(-3);
  EXPECT_EQ(TransparentIndex(), -1);
  SetTransparentIndex(0);
  EXPECT_EQ(TransparentIndex(), 0);
}

TEST_F(RenderTest, MapDrawsCellsFromTheSpriteSheet) {
  SetTransparentIndex(0);
  ImagePtr map = RenderMap(document_, true, 0, 1);
  ASSERT_TRUE(map);
  ASSERT_EQ(map->width(), 1024);
  ASSERT_EQ(map->height(), 512);
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const int sprite = MapCell(x / 8, y / 8);
      const int index = SheetPixel(gfx_, (sprite % 16) * 8 + x % 8, (sprite / 16) * 8 + y % 8);
      ASSERT_EQ(PixelAt(*map, x, y), Expected(index)) << x << "," << y;
    }
  }
  ImagePtr upper = RenderMap(document_, false, 0, 1);
  ASSERT_TRUE(upper);
  EXPECT_EQ(upper->height(), 256);
  ImagePtr limited = RenderMap(document_, true, 5, 1);
  ASSERT_TRUE(limited);
  EXPECT_EQ(limited->height(), 40);
  EXPECT_EQ(PixelAt(*limited, 1023, 39), PixelAt(*map, 1023, 39));
}

TEST_F(RenderTest, MissingSectionsGiveNothing) {
  CartDocument no_map = document_;
  DeleteSection(no_map, "map");
  EXPECT_FALSE(RenderMap(no_map, true, 0, 1));
  EXPECT_FALSE(RenderMap(no_map, false, 0, 1));
  EXPECT_TRUE(RenderSheet(no_map, false, 1));

  CartDocument no_gfx = document_;
  DeleteSection(no_gfx, "gfx");
  EXPECT_FALSE(RenderSheet(no_gfx, false, 1));
  EXPECT_FALSE(RenderMap(no_gfx, false, 0, 1));
  std::vector<ImagePtr> sprites(3);
  EXPECT_EQ(SliceSprites(no_gfx, sprites, 1), 0);
  EXPECT_TRUE(sprites.empty());

  CartDocument label_cases = document_;
  ClearSection(label_cases, "label");
  EXPECT_FALSE(RenderLabel(label_cases, 1));
  DeleteSection(label_cases, "label");
  EXPECT_FALSE(RenderLabel(label_cases, 1));
}

TEST_F(RenderTest, ShortLabelDrawsColourZeroForItsMissingTail) {
  CartDocument short_label = document_;
  ASSERT_TRUE(WriteSectionBytes(short_label, "label", std::span(label_.data(), 64)));
  ImagePtr label = RenderLabel(short_label, 1);
  ASSERT_TRUE(label);
  ASSERT_EQ(label->height(), 128);
  EXPECT_EQ(PixelAt(*label, 1, 0), Expected(label_[0] & 0x0F));
  EXPECT_EQ(PixelAt(*label, 5, 1), Expected(0));
}

TEST_F(RenderTest, ScaleArgumentRule) {
  struct Case {
    int64_t scale;
    int side;
  } cases[] = {{-5, 128},  {0, 128},   {1, 128},   {3, 384},  {127, 16256},
               {128, 128}, {200, 128}, {255, 128}, {256, 256}};
  for (const Case& c : cases) {
    ImagePtr sheet = RenderSheet(document_, false, c.scale);
    ASSERT_TRUE(sheet) << c.scale;
    EXPECT_EQ(sheet->width(), c.side) << c.scale;
    EXPECT_EQ(sheet->height(), c.side) << c.scale;
  }
  ImagePtr label = RenderLabel(document_, 3);
  ASSERT_TRUE(label);
  EXPECT_EQ(label->width(), 384);
  // Each label pixel became a 3 x 3 block.
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(PixelAt(*label, x, y), Expected(SheetPixel(label_, x / 3, y / 3)));
    }
  }
  // The map takes its scale as a plain factor: 128 would be 131072 wide.
  EXPECT_FALSE(RenderMap(document_, true, 0, 128));
  ImagePtr map = RenderMap(document_, false, 2, 2);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->width(), 2048);
  EXPECT_EQ(map->height(), 32);
}

TEST_F(RenderTest, SlicedSpritesAreTheSheetsBlocks) {
  std::vector<ImagePtr> sprites;
  ASSERT_EQ(SliceSprites(document_, sprites, 1), 256);
  ASSERT_EQ(sprites.size(), 256u);
  for (int n : {0, 17, 128, 255}) {
    ASSERT_TRUE(sprites[n]);
    ASSERT_EQ(sprites[n]->width(), 8);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        ASSERT_EQ(PixelAt(*sprites[n], x, y),
                  Expected(SheetPixel(gfx_, (n % 16) * 8 + x, (n / 16) * 8 + y)));
      }
    }
  }
  ASSERT_EQ(SliceSprites(document_, sprites, 200), 256);
  EXPECT_EQ(sprites[3]->width(), 8);
  ASSERT_EQ(SliceSprites(document_, sprites, 256), 256);
  EXPECT_EQ(sprites[3]->width(), 16);
  ASSERT_EQ(SliceSprites(document_, sprites, 4), 256);
  EXPECT_EQ(sprites[255]->height(), 32);
  EXPECT_EQ(PixelAt(*sprites[255], 31, 31), Expected(SheetPixel(gfx_, 127, 127)));
  // 4096 * 128 counts as 4096: 8 * 4096 pixels a side cannot be made, and then there
  // are no images rather than small ones.
  EXPECT_EQ(SliceSprites(document_, sprites, 4096 * 128), 0);
  EXPECT_TRUE(sprites.empty());
}

TEST(Upscale, BlocksAndLimits) {
  ImagePtr image = CreateImage(2, 1, 32);
  ASSERT_TRUE(image);
  uint8_t* row = image->Row(0);
  const uint8_t pixels[8] = {10, 20, 30, 40, 50, 60, 70, 80};
  std::copy(pixels, pixels + 8, row);

  EXPECT_TRUE(UpscaleImage(*image, 1));
  EXPECT_EQ(image->width(), 2);
  EXPECT_TRUE(UpscaleImage(*image, -4));
  EXPECT_EQ(image->width(), 2);

  ASSERT_TRUE(UpscaleImage(*image, 3));
  ASSERT_EQ(image->width(), 6);
  ASSERT_EQ(image->height(), 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(PixelAt(*image, x, y), x < 3 ? (Rgba{10, 20, 30, 40}) : (Rgba{50, 60, 70, 80}));
    }
  }
  // 6 * 5462 = 32772 is past the limit: refused, image unchanged.
  EXPECT_FALSE(UpscaleImage(*image, 5462));
  EXPECT_FALSE(UpscaleImage(*image, INT64_MAX));
  EXPECT_EQ(image->width(), 6);
  EXPECT_EQ(image->height(), 3);
}

}  // namespace
}  // namespace brasswick
