// Creating, copying, cropping, resizing and drawing on images.
#include "runtime/image/image.h"

#include <gtest/gtest.h>

namespace brasswick {
namespace {

struct Px {
  int r, g, b, a;
  bool operator==(const Px&) const = default;
};

Px At(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * image.channels();
  return {p[0], p[1], p[2], image.channels() == 4 ? p[3] : 255};
}

void Set(RgbaImage& image, int x, int y, Px px) {
  uint8_t* p = image.Row(y) + x * image.channels();
  p[0] = static_cast<uint8_t>(px.r);
  p[1] = static_cast<uint8_t>(px.g);
  p[2] = static_cast<uint8_t>(px.b);
  if (image.channels() == 4) p[3] = static_cast<uint8_t>(px.a);
}

std::ostream& operator<<(std::ostream& os, const Px& p) {
  return os << "(" << p.r << "," << p.g << "," << p.b << "," << p.a << ")";
}

TEST(Image, CreateFillsOpaqueBlack) {
  ImagePtr image = CreateImage(5, 3, 32);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 5);
  EXPECT_EQ(image->height(), 3);
  EXPECT_EQ(image->depth(), 32);
  EXPECT_EQ(image->source_depth(), 32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(At(*image, x, y), (Px{0, 0, 0, 255}));
  ImagePtr rgb = CreateImage(2, 2, 24);
  ASSERT_TRUE(rgb);
  EXPECT_EQ(rgb->channels(), 3);
}

TEST(Image, CreateRefusesBadSizesAndDepths) {
  EXPECT_FALSE(CreateImage(0, 10, 32));
  EXPECT_FALSE(CreateImage(10, -1, 32));
  EXPECT_FALSE(CreateImage(kMaxImageSide + 1, 1, 32));
  EXPECT_FALSE(CreateImage(1, kMaxImageSide + 1, 32));
  EXPECT_FALSE(CreateImage(4, 4, 16));
  EXPECT_TRUE(CreateImage(kMaxImageSide, 1, 32));
}

TEST(Image, CopyIsDeepAndKeepsSourceDepth) {
  ImagePtr image = CreateImage(4, 4, 32);
  image->set_source_depth(8);
  Set(*image, 1, 2, {10, 20, 30, 40});
  ImagePtr copy = CopyImage(*image);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->source_depth(), 8);
  EXPECT_EQ(At(*copy, 1, 2), (Px{10, 20, 30, 40}));
  Set(*image, 1, 2, {0, 0, 0, 0});
  EXPECT_EQ(At(*copy, 1, 2), (Px{10, 20, 30, 40}));
}

TEST(Image, RegionCopiesTheRectangleOnlyWhenInside) {
  ImagePtr image = CreateImage(16, 16, 32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) Set(*image, x, y, {x, y, x + y, 255});
  ImagePtr region = CopyImageRegion(*image, 8, 4, 8, 12);
  ASSERT_TRUE(region);
  EXPECT_EQ(region->width(), 8);
  EXPECT_EQ(region->height(), 12);
  EXPECT_EQ(At(*region, 0, 0), (Px{8, 4, 12, 255}));
  EXPECT_EQ(At(*region, 7, 11), (Px{15, 15, 30, 255}));
  EXPECT_FALSE(CopyImageRegion(*image, 9, 0, 8, 8));
  EXPECT_FALSE(CopyImageRegion(*image, -1, 0, 8, 8));
  EXPECT_FALSE(CopyImageRegion(*image, 0, 0, 0, 8));
  EXPECT_FALSE(CopyImageRegion(*image, 0, 2147483647, 1, 1));
  EXPECT_FALSE(CopyImageRegion(*image, 1, 0, 2147483647, 1));
}

TEST(Image, RawResizeDoublesEveryPixelExactly) {
  ImagePtr image = CreateImage(16, 16, 32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      Set(*image, x, y, {x * 16, y * 16, (x * 7 + y * 3) % 256, 255 - x});
  image->set_source_depth(4);
  ASSERT_TRUE(ResizeImage(*image, 32, 32, ResizeMode::kRaw));
  EXPECT_EQ(image->width(), 32);
  EXPECT_EQ(image->height(), 32);
  EXPECT_EQ(image->source_depth(), 4);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int sx = x / 2, sy = y / 2;
      ASSERT_EQ(At(*image, x, y), (Px{sx * 16, sy * 16, (sx * 7 + sy * 3) % 256, 255 - sx}))
          << x << "," << y;
    }
  }
}

TEST(Image, SmoothResizeBlendsNeighbours) {
  ImagePtr image = CreateImage(2, 1, 24);
  Set(*image, 0, 0, {0, 0, 0, 255});
  Set(*image, 1, 0, {200, 200, 200, 255});
  ASSERT_TRUE(ResizeImage(*image, 8, 1, ResizeMode::kSmooth));
  bool found_between = false;
  for (int x = 0; x < 8; ++x) {
    const int r = At(*image, x, 0).r;
    if (r > 20 && r < 180) found_between = true;
  }
  EXPECT_TRUE(found_between);
  EXPECT_LT(At(*image, 0, 0).r, At(*image, 7, 0).r);
}

TEST(Image, ResizeToSameSizeChangesNothingAndBadSizesFail) {
  ImagePtr image = CreateImage(3, 3, 32);
  uint8_t* before = image->pixels();
  EXPECT_TRUE(ResizeImage(*image, 3, 3, ResizeMode::kSmooth));
  EXPECT_EQ(image->pixels(), before);
  EXPECT_FALSE(ResizeImage(*image, 0, 3, ResizeMode::kRaw));
  EXPECT_FALSE(ResizeImage(*image, 3, kMaxImageSide + 1, ResizeMode::kRaw));
  EXPECT_EQ(image->width(), 3);
}

TEST(ImageDrawing, DefaultPlotKeepsAlphaAndPointHidesIt) {
  ImagePtr image = CreateImage(2, 2, 32);
  Set(*image, 0, 0, {0, 0, 0, 0});
  ImageDrawing drawing(*image);
  drawing.Plot(0, 0, MakeColor(255, 0, 128, 255));
  EXPECT_EQ(At(*image, 0, 0), (Px{255, 0, 128, 0}));
  EXPECT_EQ(drawing.Point(0, 0), MakeColor(255, 0, 128, 0));
  drawing.SetDrawingMode(DrawingMode::kAllChannels);
  EXPECT_EQ(drawing.Point(1, 1), MakeColor(0, 0, 0, 255));
  drawing.Plot(-1, 0, MakeColor(1, 1, 1, 1));
  drawing.Plot(2, 0, MakeColor(1, 1, 1, 1));
  EXPECT_EQ(drawing.Point(5, 5), 0);
}

TEST(ImageDrawing, AlphaChannelModeWritesOnlyAlpha) {
  ImagePtr image = CreateImage(2, 1, 32);
  Set(*image, 0, 0, {10, 20, 30, 255});
  ImageDrawing drawing(*image);
  drawing.SetDrawingMode(DrawingMode::kAlphaChannel);
  drawing.Plot(0, 0, MakeColor(255, 255, 255, 0));
  EXPECT_EQ(At(*image, 0, 0), (Px{10, 20, 30, 0}));
  EXPECT_EQ(drawing.Point(0, 0), MakeColor(10, 20, 30, 0));

  ImagePtr rgb = CreateImage(1, 1, 24);
  ImageDrawing rgb_drawing(*rgb);
  rgb_drawing.SetDrawingMode(DrawingMode::kAlphaChannel);
  rgb_drawing.Plot(0, 0, MakeColor(9, 9, 9, 9));
  EXPECT_EQ(At(*rgb, 0, 0), (Px{0, 0, 0, 255}));
}

TEST(ImageDrawing, AllChannelsWritesEverythingAndActsAsDefaultOn24Bit) {
  ImagePtr image = CreateImage(1, 1, 32);
  ImageDrawing drawing(*image);
  drawing.SetDrawingMode(DrawingMode::kAllChannels);
  drawing.Plot(0, 0, MakeColor(1, 2, 3, 4));
  EXPECT_EQ(At(*image, 0, 0), (Px{1, 2, 3, 4}));
  ImagePtr rgb = CreateImage(1, 1, 24);
  ImageDrawing rgb_drawing(*rgb);
  rgb_drawing.SetDrawingMode(DrawingMode::kAllChannels);
  rgb_drawing.Plot(0, 0, MakeColor(1, 2, 3, 4));
  EXPECT_EQ(At(*rgb, 0, 0), (Px{1, 2, 3, 255}));
  EXPECT_EQ(rgb_drawing.Point(0, 0), MakeColor(1, 2, 3, 255));
}

TEST(ImageDrawing, BoxFillsTheClippedRectangle) {
  ImagePtr image = CreateImage(4, 4, 32);
  ImageDrawing drawing(*image);
  drawing.Box(-2, 1, 4, 10, MakeColor(9, 8, 7, 0));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool inside = x < 2 && y >= 1;
      EXPECT_EQ(At(*image, x, y), inside ? (Px{9, 8, 7, 255}) : (Px{0, 0, 0, 255})) << x << y;
    }
  }
  drawing.Box(0, 0, 2147483647, 2147483647, MakeColor(1, 1, 1));
  EXPECT_EQ(At(*image, 3, 3), (Px{1, 1, 1, 255}));
}

TEST(ImageDrawing, CircleFillsTheDisc) {
  ImagePtr image = CreateImage(9, 9, 24);
  ImageDrawing drawing(*image);
  drawing.Circle(4, 4, 2, MakeColor(255, 255, 255));
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) {
      const bool inside = (x - 4) * (x - 4) + (y - 4) * (y - 4) <= 4;
      EXPECT_EQ(At(*image, x, y).r, inside ? 255 : 0) << x << "," << y;
    }
  }
  drawing.Circle(0, 0, 100, MakeColor(7, 7, 7));  // clipped, whole image covered
  EXPECT_EQ(At(*image, 8, 8).r, 7);
}

TEST(ImageDrawing, DrawImageClipsNegativeOffsets) {
  ImagePtr output = CreateImage(4, 4, 32);
  ImagePtr source = CreateImage(3, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) Set(*source, x, y, {10 * x + 1, 10 * y + 1, 5, 255});
  ImageDrawing drawing(*output);
  drawing.DrawImage(*source, -1, -2);
  // Only source row 2 and columns 1-2 land, at output (0..1, 0).
  EXPECT_EQ(At(*output, 0, 0), (Px{11, 21, 5, 255}));
  EXPECT_EQ(At(*output, 1, 0), (Px{21, 21, 5, 255}));
  EXPECT_EQ(At(*output, 2, 0), (Px{0, 0, 0, 255}));
  EXPECT_EQ(At(*output, 0, 1), (Px{0, 0, 0, 255}));
  drawing.DrawImage(*source, 3, 3);
  EXPECT_EQ(At(*output, 3, 3), (Px{1, 1, 5, 255}));
  drawing.DrawImage(*source, 4, 0);  // entirely outside: nothing happens
  drawing.DrawImage(*source, -2147483647, 0);
}

TEST(ImageDrawing, DrawImageCompositesInDefaultAndCopiesInAllChannels) {
  ImagePtr source = CreateImage(2, 1, 32);
  Set(*source, 0, 0, {255, 0, 0, 51});  // 20% red
  Set(*source, 1, 0, {0, 255, 0, 0});   // fully transparent
  ImagePtr output = CreateImage(2, 1, 32);
  Set(*output, 0, 0, {0, 0, 255, 200});
  Set(*output, 1, 0, {0, 0, 255, 200});
  {
    ImagePtr copy = CopyImage(*output);
    ImageDrawing drawing(*copy);
    drawing.DrawImage(*source, 0, 0);
    // channel = (a * s + (255 - a) * d) / 255, the output alpha unchanged.
    EXPECT_EQ(At(*copy, 0, 0), (Px{51, 0, 204, 200}));
    EXPECT_EQ(At(*copy, 1, 0), (Px{0, 0, 255, 200}));
  }
  {
    ImageDrawing drawing(*output);
    drawing.SetDrawingMode(DrawingMode::kAllChannels);
    drawing.DrawImage(*source, 0, 0);
    EXPECT_EQ(At(*output, 0, 0), (Px{255, 0, 0, 51}));
    EXPECT_EQ(At(*output, 1, 0), (Px{0, 255, 0, 0}));
  }
}

TEST(ImageDrawing, DrawImageInAlphaModeCopiesOnlyAlpha) {
  ImagePtr source = CreateImage(1, 1, 32);
  Set(*source, 0, 0, {1, 2, 3, 77});
  ImagePtr output = CreateImage(1, 1, 32);
  ImageDrawing drawing(*output);
  drawing.SetDrawingMode(DrawingMode::kAlphaChannel);
  drawing.DrawImage(*source, 0, 0);
  EXPECT_EQ(At(*output, 0, 0), (Px{0, 0, 0, 77}));
}

}  // namespace
}  // namespace brasswick
