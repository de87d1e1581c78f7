// BMP reading of every supported layout (files built byte by byte here), BMP writing,
// and files whose fields lie.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "runtime/image/image.h"

namespace brasswick {
namespace {

using Bytes = std::vector<uint8_t>;

void Le16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Le32(Bytes& b, uint32_t v) {
  for (int s = 0; s < 32; s += 8) b.push_back(uint8_t(v >> s));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

struct BmpSpec {
  int32_t width = 1;
  int32_t height = 1;
  int bits = 24;
  uint32_t compression = 0;
  Bytes masks;  // bit-field masks after the 40-byte header
  Bytes table;  // BGRx entries
  uint32_t colors_used = 0;
  Bytes pixels;  // stored rows, bottom-up, padded
};

Bytes MakeBmp(const BmpSpec& spec) {
  const uint32_t offset = 54 + uint32_t(spec.masks.size() + spec.table.size());
  Bytes b = {'B', 'M'};
  Le32(b, offset + uint32_t(spec.pixels.size()));
  Le32(b, 0);
  Le32(b, offset);
  Le32(b, 40);
  Le32(b, uint32_t(spec.width));
  Le32(b, uint32_t(spec.height));
  Le16(b, 1);
  Le16(b, uint32_t(spec.bits));
  Le32(b, spec.compression);
  Le32(b, uint32_t(spec.pixels.size()));
  Le32(b, 2835);
  Le32(b, 2835);
  Le32(b, spec.colors_used);
  Le32(b, 0);
  b.insert(b.end(), spec.masks.begin(), spec.masks.end());
  b.insert(b.end(), spec.table.begin(), spec.table.end());
  b.insert(b.end(), spec.pixels.begin(), spec.pixels.end());
  return b;
}

ImagePtr Load(const Bytes& bytes) { return LoadImageFromMemory(bytes.data(), bytes.size()); }

std::vector<int> PixelAt(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * image.channels();
  return std::vector<int>(p, p + image.channels());
}

using V = std::vector<int>;

TEST(BmpCodec, Reads24BitBottomUpWithPadding) {
  BmpSpec spec;
  spec.width = 2;
  spec.height = 2;
  // Bottom row first: (blue, green, red) pairs, each row padded from 6 to 8 bytes.
  spec.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  ImagePtr image = Load(MakeBmp(spec));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->source_depth(), 24);
  EXPECT_EQ(PixelAt(*image, 0, 1), (V{3, 2, 1}));
  EXPECT_EQ(PixelAt(*image, 1, 1), (V{6, 5, 4}));
  EXPECT_EQ(PixelAt(*image, 0, 0), (V{9, 8, 7}));
  EXPECT_EQ(PixelAt(*image, 1, 0), (V{12, 11, 10}));
}

TEST(BmpCodec, ReadsIndexedLayouts) {
  const Bytes table = {10, 20, 30, 0, 40, 50, 60, 0};  // 0: (30,20,10)  1: (60,50,40)
  struct Case {
    int bits;
    Bytes row;  // 3 pixels 1, 0, 1 packed high bits first, padded to 4
  } cases[] = {{1, {0xA0, 0, 0, 0}}, {4, {0x10, 0x10, 0, 0}}, {8, {1, 0, 1, 0}}};
  for (const Case& c : cases) {
    BmpSpec spec;
    spec.width = 3;
    spec.bits = c.bits;
    spec.table = table;
    spec.colors_used = 2;
    spec.pixels = c.row;
    ImagePtr image = Load(MakeBmp(spec));
    ASSERT_TRUE(image) << c.bits;
    EXPECT_EQ(image->source_depth(), c.bits);
    EXPECT_EQ(image->depth(), 24);
    EXPECT_EQ(PixelAt(*image, 0, 0), (V{60, 50, 40})) << c.bits;
    EXPECT_EQ(PixelAt(*image, 1, 0), (V{30, 20, 10})) << c.bits;
    EXPECT_EQ(PixelAt(*image, 2, 0), (V{60, 50, 40})) << c.bits;
  }
}

TEST(BmpCodec, Reads16BitFiveFiveFiveAndFiveSixFive) {
  BmpSpec plain;  // 5-5-5: 0RRRRRGG GGGBBBBB
  plain.width = 2;
  plain.bits = 16;
  plain.pixels = {0x00, 0x7C, 0x1F, 0x00};  // pure red, pure blue
  ImagePtr image = Load(MakeBmp(plain));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->source_depth(), 16);
  EXPECT_EQ(PixelAt(*image, 0, 0), (V{255, 0, 0}));
  EXPECT_EQ(PixelAt(*image, 1, 0), (V{0, 0, 255}));

  BmpSpec fields;  // 5-6-5 under bit fields
  fields.width = 2;
  fields.bits = 16;
  fields.compression = 3;
  Le32(fields.masks, 0xF800);
  Le32(fields.masks, 0x07E0);
  Le32(fields.masks, 0x001F);
  fields.pixels = {0xE0, 0x07, 0x10, 0x84};  // pure green; 10000 100000 10000
  image = Load(MakeBmp(fields));
  ASSERT_TRUE(image);
  EXPECT_EQ(PixelAt(*image, 0, 0), (V{0, 255, 0}));
  // 5 bits 16 -> 132, 6 bits 32 -> 130 (high bits repeated into the low ones)
  EXPECT_EQ(PixelAt(*image, 1, 0), (V{132, 130, 132}));

  fields.masks.clear();
  Le32(fields.masks, 0xFF00);
  Le32(fields.masks, 0x00F0);
  Le32(fields.masks, 0x000F);
  EXPECT_FALSE(Load(MakeBmp(fields)));
}

TEST(BmpCodec, Reads32BitAlphaOnlyWhenSomeFourthByteIsSet) {
  BmpSpec spec;
  spec.width = 2;
  spec.bits = 32;
  spec.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  ImagePtr image = Load(MakeBmp(spec));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->depth(), 24);
  EXPECT_EQ(image->source_depth(), 32);
  EXPECT_EQ(PixelAt(*image, 1, 0), (V{6, 5, 4}));
  spec.pixels[7] = 9;
  image = Load(MakeBmp(spec));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->depth(), 32);
  EXPECT_EQ(PixelAt(*image, 0, 0), (V{3, 2, 1, 0}));
  EXPECT_EQ(PixelAt(*image, 1, 0), (V{6, 5, 4, 9}));
}

TEST(BmpCodec, ReadsRunLengthEightBit) {
  BmpSpec spec;
  spec.width = 4;
  spec.height = 2;
  spec.bits = 8;
  spec.compression = 1;
  spec.table = {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};  // black red green blue
  spec.colors_used = 4;
  spec.pixels = {
      3, 1,           // bottom row: three red
      0, 0,           // end of line
      0, 3, 2, 3, 1,  // top row: absolute green, blue, red (+1 pad)
      0, 0, 1,        // pad byte, then end of picture
  };
  ImagePtr image = Load(MakeBmp(spec));
  ASSERT_TRUE(image);
  EXPECT_EQ(PixelAt(*image, 0, 1), (V{255, 0, 0}));
  EXPECT_EQ(PixelAt(*image, 2, 1), (V{255, 0, 0}));
  EXPECT_EQ(PixelAt(*image, 3, 1), (V{0, 0, 0}));
  EXPECT_EQ(PixelAt(*image, 0, 0), (V{0, 255, 0}));
  EXPECT_EQ(PixelAt(*image, 1, 0), (V{0, 0, 255}));
  EXPECT_EQ(PixelAt(*image, 2, 0), (V{255, 0, 0}));

  spec.pixels = {3, 1, 0};  // runs out in the middle of a command
  EXPECT_FALSE(Load(MakeBmp(spec)));
  spec.pixels = {0, 50, 1, 1};  // absolute run longer than the data
  EXPECT_FALSE(Load(MakeBmp(spec)));
  spec.pixels = {255, 1, 0, 2, 200, 200, 0, 1};  // a run and a delta leaving the picture
  image = Load(MakeBmp(spec));
  ASSERT_TRUE(image);
  EXPECT_EQ(PixelAt(*image, 3, 1), (V{255, 0, 0}));
  EXPECT_EQ(PixelAt(*image, 3, 0), (V{0, 0, 0}));
}

TEST(BmpCodec, RefusesLayoutsItDoesNotDecode) {
  BmpSpec top_down;
  top_down.height = -1;
  top_down.pixels = {1, 2, 3, 0};
  EXPECT_FALSE(Load(MakeBmp(top_down)));

  BmpSpec rle4;
  rle4.bits = 4;
  rle4.compression = 2;
  rle4.table = Bytes(64, 0);
  rle4.pixels = {0, 1};
  EXPECT_FALSE(Load(MakeBmp(rle4)));

  BmpSpec plain;
  plain.pixels = {1, 2, 3, 0};
  Bytes core_header = MakeBmp(plain);
  core_header[14] = 12;  // OS/2 core header size
  EXPECT_FALSE(Load(core_header));
  Bytes reserved = MakeBmp(plain);
  reserved[7] = 1;
  EXPECT_FALSE(Load(reserved));
  Bytes planes = MakeBmp(plain);
  planes[26] = 2;
  EXPECT_FALSE(Load(planes));
}

TEST(BmpCodec, LyingFieldsGiveNone) {
  BmpSpec spec;
  spec.width = 4;
  spec.height = 4;
  spec.pixels = Bytes(48, 7);
  const Bytes good = MakeBmp(spec);
  ASSERT_TRUE(Load(good));

  Bytes offset_past_end = good;
  offset_past_end[10] = 0xF0;
  offset_past_end[11] = 0xFF;
  EXPECT_FALSE(Load(offset_past_end));
  Bytes offset_inside_header = good;
  offset_inside_header[10] = 20;
  EXPECT_FALSE(Load(offset_inside_header));
  Bytes too_tall = good;
  too_tall[22] = 5;  // five rows claimed, four stored
  EXPECT_FALSE(Load(too_tall));
  Bytes huge = good;
  huge[18] = 0xFF;
  huge[19] = 0xFF;
  huge[20] = 0xFF;
  huge[21] = 0x7F;
  EXPECT_FALSE(Load(huge));
  for (size_t length : {size_t{2}, size_t{20}, size_t{53}, size_t{54}, good.size() - 1}) {
    EXPECT_FALSE(Load(Bytes(good.begin(), good.begin() + length))) << length;
  }

  BmpSpec indexed;
  indexed.bits = 8;
  indexed.table = Bytes(8, 0);
  indexed.colors_used = 300;  // more entries than 8 bits can index
  indexed.pixels = {0, 0, 0, 0};
  EXPECT_FALSE(Load(MakeBmp(indexed)));
  indexed.colors_used = 200;  // a table running into the pixels
  EXPECT_FALSE(Load(MakeBmp(indexed)));
}

ImagePtr Pattern(int width, int height, bool alpha) {
  ImagePtr image = CreateImage(width, height, alpha ? 32 : 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image->Row(y) + x * image->channels();
      p[0] = uint8_t(x * 20);
      p[1] = uint8_t(y * 30);
      p[2] = uint8_t(x + y);
      if (alpha) p[3] = uint8_t(x * 40 + 1);
    }
  }
  return image;
}

TEST(BmpCodec, WritesTheDocumentedLayout) {
  ImagePtr image = Pattern(3, 2, false);
  std::optional<Bytes> bmp = EncodeImageToMemory(*image, ImageFormat::kBmp, 7, 24);
  ASSERT_TRUE(bmp);
  const uint32_t stride = 12;  // 3 x 3 bytes padded to 4
  ASSERT_EQ(bmp->size(), 54 + 2 * stride);
  EXPECT_EQ((*bmp)[0], 'B');
  EXPECT_EQ((*bmp)[1], 'M');
  EXPECT_EQ(Get32(*bmp, 2), 54 + 2 * stride);
  EXPECT_EQ(Get32(*bmp, 6), 0u);
  EXPECT_EQ(Get32(*bmp, 10), 54u);
  EXPECT_EQ(Get32(*bmp, 14), 40u);
  EXPECT_EQ(Get32(*bmp, 18), 3u);
  EXPECT_EQ(Get32(*bmp, 22), 2u);
  EXPECT_EQ((*bmp)[28], 24);
  // The first stored row is the bottom one (y = 1): pixel (0, 1) as blue, green, red.
  EXPECT_EQ((*bmp)[54], 1);
  EXPECT_EQ((*bmp)[55], 30);
  EXPECT_EQ((*bmp)[56], 0);

  std::optional<Bytes> indexed = EncodeImageToMemory(*image, ImageFormat::kBmp, 7, 4);
  ASSERT_TRUE(indexed);
  EXPECT_EQ(Get32(*indexed, 10), 54u + 16 * 4);
  EXPECT_EQ((*indexed)[28], 4);
  EXPECT_EQ(indexed->size(), 54u + 16 * 4 + 2 * 4);
}

TEST(BmpCodec, RoundTripsThroughOurReader) {
  ImagePtr opaque = Pattern(5, 3, false);
  ImagePtr alpha = Pattern(5, 3, true);
  for (const auto& [image, depth] :
       {std::pair{opaque.get(), 24}, std::pair{alpha.get(), 32}, std::pair{opaque.get(), 32}}) {
    std::optional<Bytes> bmp = EncodeImageToMemory(*image, ImageFormat::kBmp, 7, depth);
    ASSERT_TRUE(bmp);
    ImagePtr back = Load(*bmp);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->source_depth(), depth);
    ASSERT_EQ(back->channels(), image->channels());
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(*back, x, y), PixelAt(*image, x, y));
  }
  for (int depth : {1, 4, 8}) {
    std::optional<Bytes> bmp = EncodeImageToMemory(*opaque, ImageFormat::kBmp, 7, depth);
    ASSERT_TRUE(bmp);
    ImagePtr back = Load(*bmp);
    ASSERT_TRUE(back) << depth;
    std::set<V> colors;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) colors.insert(PixelAt(*back, x, y));
    EXPECT_LE(colors.size(), size_t{1} << depth);
    if (depth >= 4) {  // 15 pixels fit a table of 16: kept exactly
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(*back, x, y), PixelAt(*opaque, x, y));
    }
  }
}

TEST(BmpCodec, TransparentPixelsIn24BitComeOutWhite) {
  ImagePtr image = CreateImage(2, 1, 32);
  image->Row(0)[3] = 0;
  image->Row(0)[4] = 100;
  std::optional<Bytes> bmp = EncodeImageToMemory(*image, ImageFormat::kBmp, 7, 24);
  ASSERT_TRUE(bmp);
  ImagePtr back = Load(*bmp);
  ASSERT_TRUE(back);
  EXPECT_EQ(PixelAt(*back, 0, 0), (V{255, 255, 255}));
  EXPECT_EQ(PixelAt(*back, 1, 0), (V{100, 0, 0}));
}

TEST(BmpCodec, DepthsWithoutBmpWriterFail) {
  ImagePtr image = Pattern(2, 2, false);
  EXPECT_FALSE(EncodeImageToMemory(*image, ImageFormat::kBmp, 7, 2));
  EXPECT_FALSE(EncodeImageToMemory(*image, ImageFormat::kBmp, 7, 16));
}

}  // namespace
}  // namespace brasswick
