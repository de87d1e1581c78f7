#include "color/render.h"

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <vector>

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
    map_ = RandomBytes(random, 8192);
    label_ = RandomBytes(random, 128 * 128);
    for (uint8_t& color : label_) color %= 32;
  }
  void TearDown() override {
    InitPalettes();
    SetTransparentIndex(-1);
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

  std::vector<uint8_t> gfx_, map_, label_;
};

TEST_F(RenderTest, SheetFollowsTheByteLayoutInTheActiveRowWithItsTransparentIndex) {
  ImagePtr sheet = RenderSheetBytes(gfx_, 1);
  ASSERT_TRUE(sheet);
  ExpectSheetLayout(*sheet, gfx_, 128);
  ImagePtr upper = RenderSheetBytes(std::span(gfx_.data(), 4096), 0);
  ASSERT_TRUE(upper);
  ExpectSheetLayout(*upper, gfx_, 64);

  SetTransparentIndex(5);
  SelectPaletteRow(kAlternateRow);
  sheet = RenderSheetBytes(gfx_, 1);
  ASSERT_TRUE(sheet);
  ExpectSheetLayout(*sheet, gfx_, 128);
  EXPECT_EQ(Expected(5), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(Expected(7), (Rgba{0xF3, 0xEF, 0x7D, 255}));

  SetTransparentIndex(16);
  EXPECT_EQ(TransparentIndex(), -1);
  SetTransparentIndex(-3);
  EXPECT_EQ(TransparentIndex(), -1);
  SetTransparentIndex(0);
  EXPECT_EQ(TransparentIndex(), 0);
}

// Colours 16-31 are the alternate palette's, opaque, whatever the row and the
// transparent index; 0-15 follow both.
TEST_F(RenderTest, LabelDrawsItsSecondSixteenColoursInTheAlternatePalette) {
  SetTransparentIndex(0);
  SelectPaletteRow(kCustomRow);
  SetCustomColor(3, MakeColor(1, 2, 3));
  ImagePtr label = RenderLabelPixels(label_, 2);
  ASSERT_TRUE(label);
  ASSERT_EQ(label->width(), 256);
  ASSERT_EQ(label->height(), 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const int color = label_[(y / 2) * 128 + x / 2];
      Rgba want = Expected(color % 16);
      if (color >= 16) {
        const ColorValue alternate = PaletteColor(color - 16, kAlternateRow);
        want = {ColorRed(alternate), ColorGreen(alternate), ColorBlue(alternate), 255};
      }
      ASSERT_EQ(PixelAt(*label, x, y), want) << x << "," << y << " colour " << color;
    }
  }
  EXPECT_FALSE(RenderLabelPixels(std::span(label_.data(), label_.size() - 1), 1));
}

TEST_F(RenderTest, MapDrawsCellsFromTheSpriteSheet) {
  SetTransparentIndex(0);
  ImagePtr map = RenderMap(map_, gfx_, 0, 1);
  ASSERT_TRUE(map);
  ASSERT_EQ(map->width(), 1024);
  ASSERT_EQ(map->height(), 512);
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const int sprite = map_[(y / 8) * 128 + x / 8];
      const int index = SheetPixel(gfx_, (sprite % 16) * 8 + x % 8, (sprite / 16) * 8 + y % 8);
      ASSERT_EQ(PixelAt(*map, x, y), Expected(index)) << x << "," << y;
    }
  }
  ImagePtr upper = RenderMap(std::span(map_.data(), 4096), gfx_, 0, 1);
  ASSERT_TRUE(upper);
  EXPECT_EQ(upper->height(), 256);
  ImagePtr limited = RenderMap(map_, gfx_, 5, 1);
  ASSERT_TRUE(limited);
  EXPECT_EQ(limited->height(), 40);
  EXPECT_EQ(PixelAt(*limited, 1023, 39), PixelAt(*map, 1023, 39));
}

TEST_F(RenderTest, TooFewBytesGiveNothing) {
  EXPECT_FALSE(RenderMap(std::span(map_.data(), 127), gfx_, 0, 1));
  EXPECT_FALSE(RenderMap(map_, std::span(gfx_.data(), 8191), 0, 1));
  EXPECT_FALSE(RenderSheetBytes(std::span(gfx_.data(), 63), 1));
  std::vector<ImagePtr> sprites(3);
  EXPECT_EQ(SliceSprites(std::span(gfx_.data(), 8191), sprites, 1), 0);
  EXPECT_TRUE(sprites.empty());
}

TEST_F(RenderTest, ScaleArgumentRule) {
  struct Case {
    int64_t scale;
    int side;
  } cases[] = {{-5, 128},  {0, 128},   {1, 128},   {3, 384},  {127, 16256},
               {128, 128}, {200, 128}, {255, 128}, {256, 256}};
  for (const Case& c : cases) {
    ImagePtr sheet = RenderSheetBytes(gfx_, c.scale);
    ASSERT_TRUE(sheet) << c.scale;
    EXPECT_EQ(sheet->width(), c.side) << c.scale;
    EXPECT_EQ(sheet->height(), c.side) << c.scale;
  }
  ImagePtr sheet = RenderSheetBytes(gfx_, 3);
  ASSERT_TRUE(sheet);
  // Each sheet pixel became a 3 x 3 block.
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(PixelAt(*sheet, x, y), Expected(SheetPixel(gfx_, x / 3, y / 3)));
    }
  }
  ImagePtr label = RenderLabelPixels(label_, 256);
  ASSERT_TRUE(label);
  EXPECT_EQ(label->width(), 256);
  // The map takes its scale as a plain factor: 128 would be 131072 wide.
  EXPECT_FALSE(RenderMap(map_, gfx_, 0, 128));
  ImagePtr map = RenderMap(std::span(map_.data(), 4096), gfx_, 2, 2);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->width(), 2048);
  EXPECT_EQ(map->height(), 32);
}

TEST_F(RenderTest, SlicedSpritesAreTheSheetsBlocks) {
  std::vector<ImagePtr> sprites;
  ASSERT_EQ(SliceSprites(gfx_, sprites, 1), 256);
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
  ASSERT_EQ(SliceSprites(gfx_, sprites, 200), 256);
  EXPECT_EQ(sprites[3]->width(), 8);
  ASSERT_EQ(SliceSprites(gfx_, sprites, 256), 256);
  EXPECT_EQ(sprites[3]->width(), 16);
  ASSERT_EQ(SliceSprites(gfx_, sprites, 4), 256);
  EXPECT_EQ(sprites[255]->height(), 32);
  EXPECT_EQ(PixelAt(*sprites[255], 31, 31), Expected(SheetPixel(gfx_, 127, 127)));
  // 4096 * 128 counts as 4096: 8 * 4096 pixels a side cannot be made, and then there
  // are no images rather than small ones.
  EXPECT_EQ(SliceSprites(gfx_, sprites, 4096 * 128), 0);
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
