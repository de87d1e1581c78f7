#include "color/palette_fit.h"

#include <gtest/gtest.h>

#include "color/custom_palette.h"
#include "color/palette.h"

namespace brasswick {
namespace {

class PaletteFitTest : public ::testing::Test {
 protected:
  void SetUp() override { InitPalettes(); }
  void TearDown() override { InitPalettes(); }
};

TEST_F(PaletteFitTest, NearestByPlainRgbDistance) {
  EXPECT_EQ(NearestPaletteIndex(MakeColor(250, 5, 80)), 8);    // #FF004D
  EXPECT_EQ(NearestPaletteIndex(MakeColor(0, 0, 0, 255)), 0);  // alpha ignored
  EXPECT_EQ(NearestPaletteColor(MakeColor(0xFF, 0xCC, 0xAB, 9)), MakeColor(0xFF, 0xCC, 0xAA));
  EXPECT_EQ(NearestPaletteIndex(MakeColor(0x29, 0xAD, 0xFF)), 12);
}

TEST_F(PaletteFitTest, HalfwayGoesToTheLowerIndex) {
  // Index 4 and index 9 are both at distance 1 from #110000; all others are white.
  ASSERT_TRUE(FillCustomPalette(
      "#fff,#fff,#fff,#fff,#100000,#fff,#fff,#fff,#fff,#120000,#fff,#fff,#fff,#fff,#fff,#fff"));
  EXPECT_EQ(NearestPaletteIndex(MakeColor(0x11, 0, 0)), 4);
  ASSERT_TRUE(FillCustomPalette(
      "#fff,#fff,#fff,#fff,#120000,#fff,#fff,#fff,#fff,#100000,#fff,#fff,#fff,#fff,#fff,#fff"));
  EXPECT_EQ(NearestPaletteIndex(MakeColor(0x11, 0, 0)), 4);
  EXPECT_EQ(NearestPaletteColor(MakeColor(0x11, 0, 0)), MakeColor(0x12, 0, 0));
  // An explicit row overrides the active one.
  EXPECT_EQ(NearestPaletteIndex(MakeColor(0x11, 0, 0), kStandardRow), 0);
}

TEST_F(PaletteFitTest, FitsPixelsKeepingAlpha) {
  ImagePtr image = CreateImage(3, 2, 32);
  ASSERT_TRUE(image);
  const uint8_t pixels[2][12] = {{250, 5, 80, 0, 1, 2, 3, 128, 255, 255, 255, 255},
                                 {0x28, 0x19, 0x14, 17, 0xFF, 0x6C, 0x25, 255, 9, 9, 9, 1}};
  for (int y = 0; y < 2; ++y) std::copy(pixels[y], pixels[y] + 12, image->Row(y));

  FitImageToPalette(*image);
  const uint8_t standard[2][12] = {{0xFF, 0x00, 0x4D, 0, 0, 0, 0, 128, 0xFF, 0xF1, 0xE8, 255},
                                   {0, 0, 0, 17, 0xFF, 0xA3, 0x00, 255, 0, 0, 0, 1}};
  for (int y = 0; y < 2; ++y) {
    EXPECT_TRUE(std::equal(standard[y], standard[y] + 12, image->Row(y))) << y;
  }

  // With the alternate row active every pixel becomes an alternate colour.
  for (int y = 0; y < 2; ++y) std::copy(pixels[y], pixels[y] + 12, image->Row(y));
  SelectPaletteRow(kAlternateRow);
  FitImageToPalette(*image);
  const RgbaImage* copy = image.get();
  const uint8_t* row = copy->Row(1);
  EXPECT_EQ((std::vector<uint8_t>(row, row + 8)),
            (std::vector<uint8_t>{0x29, 0x18, 0x14, 17, 0xFF, 0x6C, 0x24, 255}));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const uint8_t* p = copy->Row(y) + x * 4;
      ColorValue c = MakeColor(p[0], p[1], p[2]);
      bool in_row = false;
      for (int i = 0; i < kPaletteSize; ++i) in_row |= PaletteColor(i, kAlternateRow) == c;
      EXPECT_TRUE(in_row) << x << "," << y;
    }
  }
}

// Every search against the rule itself: the smallest squared distance, the lowest index
// on a tie, over palettes with repeated entries, far extremes and ties in every group.
TEST_F(PaletteFitTest, SearchAgreesWithTheRuleOnEveryKindOfPalette) {
  const char* palettes[] = {
      "",  // the standard row
      "#000,#000,#000,#000,#000,#000,#000,#000,#000,#000,#000,#000,#000,#000,#000,#000",
      "#fff,#fff,#fff,#fff,#fff,#fff,#fff,#fff,#fff,#fff,#fff,#fff,#fff,#fff,#100000,#120000",
      "#ff0000,#00ff00,#0000ff,#000,#fff,#808080,#7f7f7f,#818181,#010101,#fefefe,#ff00ff,"
      "#00ffff,#ffff00,#808080,#7f7f7f,#818181",
  };
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) % 256);
  };
  for (const char* palette : palettes) {
    SCOPED_TRACE(palette);
    InitPalettes();
    if (*palette != 0) {
      ASSERT_TRUE(FillCustomPalette(palette));
    }
    const PaletteSearch search;
    ASSERT_TRUE(search.valid());
    for (int n = 0; n < 4000; ++n) {
      int r = next(), g = next(), b = next();
      if (n < 8) r = g = b = (n % 2) * 255;       // the far corners
      if (n >= 8 && n < 16) r = 0x11, g = b = 0;  // halfway between #100000 and #120000
      int best = 0, best_distance = 1 << 30;
      for (int i = 0; i < kPaletteSize; ++i) {
        const ColorValue e = PaletteColor(i);
        const int d = (r - ColorRed(e)) * (r - ColorRed(e)) +
                      (g - ColorGreen(e)) * (g - ColorGreen(e)) +
                      (b - ColorBlue(e)) * (b - ColorBlue(e));
        if (d < best_distance) {
          best = i;
          best_distance = d;
        }
      }
      ASSERT_EQ(search.Nearest(r, g, b), best) << r << "," << g << "," << b;
      ASSERT_EQ(NearestPaletteIndex(MakeColor(r, g, b)), best);
    }
  }
}

TEST_F(PaletteFitTest, FitsRgbImages) {
  ImagePtr image = CreateImage(1, 1, 24);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->channels(), 3);
  uint8_t* p = image->Row(0);
  p[0] = 0x2A;
  p[1] = 0xAC;
  p[2] = 0xF0;
  FitImageToPalette(*image);
  EXPECT_EQ(MakeColor(p[0], p[1], p[2]), MakeColor(0x29, 0xAD, 0xFF));
}

}  // namespace
}  // namespace brasswick
