// PNG decoding of every colour type and depth, PNG writing, and hostile PNG input.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using Bytes = std::vector<uint8_t>;

struct PngSpec {
  int width = 0;
  int height = 0;
  int color_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlace = false;
  std::vector<png_color> palette;
  std::vector<uint8_t> trns_alpha;  // palette transparency
  bool gray_trns = false;           // a transparent grey or RGB colour: trns_color
  png_color_16 trns_color{};
  std::vector<Bytes> rows;  // rows as stored, packed at bit_depth
};

void Collect(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Writes a PNG with libpng itself, so that the decoder is tested on files it did not
// produce. The inputs are valid, so libpng's error path is never taken here.
Bytes MakePng(const PngSpec& spec) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    ADD_FAILURE() << "libpng failed to write the test file";
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, Collect, nullptr);
  png_set_IHDR(png, info, spec.width, spec.height, spec.bit_depth, spec.color_type,
               spec.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!spec.palette.empty()) {
    png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
  }
  if (!spec.trns_alpha.empty()) {
    png_set_tRNS(png, info, spec.trns_alpha.data(), static_cast<int>(spec.trns_alpha.size()),
                 nullptr);
  }
  if (spec.gray_trns) png_set_tRNS(png, info, nullptr, 0, &spec.trns_color);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const Bytes& row : spec.rows) rows.push_back(const_cast<png_bytep>(row.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

ImagePtr Load(const Bytes& bytes) { return LoadImageFromMemory(bytes.data(), bytes.size()); }

std::vector<int> PixelAt(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * image.channels();
  return std::vector<int>(p, p + image.channels());
}

// IHDR fields at their fixed places after the signature and the chunk header.
uint32_t Be32(const Bytes& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
         b[at + 3];
}
int IhdrBitDepth(const Bytes& png) { return png.at(24); }
int IhdrColorType(const Bytes& png) { return png.at(25); }
int IhdrInterlace(const Bytes& png) { return png.at(28); }

void AppendChunk(Bytes& out, const char* type, const Bytes& data) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(length >> shift));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  const uint32_t crc = static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(crc >> shift));
}

// The concatenated, inflated IDAT data of a PNG.
Bytes InflateIdat(const Bytes& png) {
  Bytes compressed;
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const uint32_t length = Be32(png, pos);
    if (std::string(png.begin() + pos + 4, png.begin() + pos + 8) == "IDAT") {
      compressed.insert(compressed.end(), png.begin() + pos + 8, png.begin() + pos + 8 + length);
    }
    pos += 12 + length;
  }
  Bytes out(1 << 20);
  uLongf out_size = out.size();
  EXPECT_EQ(uncompress(out.data(), &out_size, compressed.data(), compressed.size()), Z_OK);
  out.resize(out_size);
  return out;
}

ImagePtr Gradient(int width, int height, bool alpha) {
  ImagePtr image = CreateImage(width, height, alpha ? 32 : 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image->Row(y) + x * image->channels();
      p[0] = static_cast<uint8_t>(x * 13 + y);
      p[1] = static_cast<uint8_t>(y * 7);
      p[2] = static_cast<uint8_t>(x * y);
      if (alpha) p[3] = static_cast<uint8_t>(x * 31 + y * 5);
    }
  }
  return image;
}

void ExpectSamePixels(const RgbaImage& a, const RgbaImage& b) {
  ASSERT_EQ(a.width(), b.width());
  ASSERT_EQ(a.height(), b.height());
  ASSERT_EQ(a.channels(), b.channels());
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      ASSERT_EQ(PixelAt(a, x, y), PixelAt(b, x, y)) << x << "," << y;
}

std::set<std::vector<int>> DistinctColors(const RgbaImage& image) {
  std::set<std::vector<int>> colors;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colors.insert(PixelAt(image, x, y));
  return colors;
}

TEST(PngCodec, RgbAndRgbaRoundTripExactly) {
  for (bool alpha : {false, true}) {
    ImagePtr image = Gradient(37, 11, alpha);
    std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng);
    ASSERT_TRUE(png);
    EXPECT_EQ(IhdrColorType(*png), alpha ? 6 : 2);
    EXPECT_EQ(IhdrBitDepth(*png), 8);
    EXPECT_EQ(IhdrInterlace(*png), 0);
    ImagePtr back = Load(*png);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->source_depth(), alpha ? 32 : 24);
    ExpectSamePixels(*image, *back);
  }
}

TEST(PngCodec, WritesFilterNoneOnEveryRow) {
  ImagePtr image = Gradient(20, 9, true);
  std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng);
  ASSERT_TRUE(png);
  const Bytes raw = InflateIdat(*png);
  const size_t row_bytes = 1 + 20 * 4;
  ASSERT_EQ(raw.size(), row_bytes * 9);
  for (int y = 0; y < 9; ++y) EXPECT_EQ(raw[y * row_bytes], 0) << "row " << y;
}

TEST(PngCodec, Depth24OfAnRgbaImageDropsAlphaOverWhite) {
  ImagePtr image = CreateImage(2, 1, 32);
  uint8_t* p = image->Row(0);
  p[0] = 200;
  p[1] = 100;
  p[2] = 0;
  p[3] = 0;  // transparent
  p[4] = 200;
  p[5] = 100;
  p[6] = 0;
  p[7] = 128;  // half
  std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng, 7, 24);
  ASSERT_TRUE(png);
  EXPECT_EQ(IhdrColorType(*png), 2);
  ImagePtr back = Load(*png);
  ASSERT_TRUE(back);
  EXPECT_EQ(PixelAt(*back, 0, 0), (std::vector<int>{255, 255, 255}));
  // (128 * c + 127 * 255) / 255
  EXPECT_EQ(PixelAt(*back, 1, 0),
            (std::vector<int>{(128 * 200 + 127 * 255) / 255, (128 * 100 + 127 * 255) / 255,
                              (127 * 255) / 255}));
}

TEST(PngCodec, DecodesGreyOfEveryDepth) {
  for (int depth : {1, 2, 4, 8, 16}) {
    PngSpec spec;
    spec.width = 8;
    spec.height = 2;
    spec.color_type = PNG_COLOR_TYPE_GRAY;
    spec.bit_depth = depth;
    const int max = (1 << depth) - 1;
    // Row 0: all maximum (white); row 1: all zero (black).
    const size_t row_bytes = (8 * depth + 7) / 8;
    spec.rows = {Bytes(row_bytes, 0xFF), Bytes(row_bytes, 0)};
    ImagePtr image = Load(MakePng(spec));
    ASSERT_TRUE(image) << depth;
    EXPECT_EQ(image->depth(), 24);
    EXPECT_EQ(image->source_depth(), depth);
    EXPECT_EQ(PixelAt(*image, 7, 0), (std::vector<int>{255, 255, 255})) << depth << " " << max;
    EXPECT_EQ(PixelAt(*image, 0, 1), (std::vector<int>{0, 0, 0}));
  }
}

TEST(PngCodec, DecodesPalettesWithAndWithoutTransparency) {
  for (int depth : {1, 2, 4, 8}) {
    for (bool transparent : {false, true}) {
      PngSpec spec;
      spec.width = 8;
      spec.height = 1;
      spec.color_type = PNG_COLOR_TYPE_PALETTE;
      spec.bit_depth = depth;
      spec.palette = {{10, 20, 30}, {200, 100, 50}};
      if (transparent) spec.trns_alpha = {0};
      // Pixels alternate 0, 1, 0, 1, ... packed from the high bits.
      Bytes row((8 * depth + 7) / 8, 0);
      for (int x = 1; x < 8; x += 2) row[x * depth / 8] |= 1 << (8 - depth * (x % (8 / depth) + 1));
      spec.rows = {row};
      ImagePtr image = Load(MakePng(spec));
      ASSERT_TRUE(image) << depth;
      EXPECT_EQ(image->source_depth(), depth);
      EXPECT_EQ(image->depth(), transparent ? 32 : 24);
      std::vector<int> first{10, 20, 30}, second{200, 100, 50};
      if (transparent) {
        first.push_back(0);
        second.push_back(255);
      }
      EXPECT_EQ(PixelAt(*image, 0, 0), first) << depth;
      EXPECT_EQ(PixelAt(*image, 7, 0), second) << depth;
    }
  }
}

TEST(PngCodec, DecodesGreyAlphaSixteenBitAndInterlaced) {
  PngSpec grey_alpha;
  grey_alpha.width = 1;
  grey_alpha.height = 1;
  grey_alpha.color_type = PNG_COLOR_TYPE_GRAY_ALPHA;
  grey_alpha.rows = {{77, 99}};
  ImagePtr image = Load(MakePng(grey_alpha));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->depth(), 32);
  EXPECT_EQ(image->source_depth(), 8);
  EXPECT_EQ(PixelAt(*image, 0, 0), (std::vector<int>{77, 77, 77, 99}));

  PngSpec rgba16;
  rgba16.width = 1;
  rgba16.height = 1;
  rgba16.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba16.bit_depth = 16;
  rgba16.rows = {{0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80, 0xFF, 0xFF}};
  image = Load(MakePng(rgba16));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->source_depth(), 32);
  EXPECT_EQ(PixelAt(*image, 0, 0), (std::vector<int>{255, 0, 128, 255}));

  PngSpec interlaced;
  interlaced.width = 13;
  interlaced.height = 9;
  interlaced.interlace = true;
  for (int y = 0; y < 9; ++y) {
    Bytes row;
    for (int x = 0; x < 13; ++x) row.insert(row.end(), {uint8_t(x * 10), uint8_t(y * 20), 7});
    interlaced.rows.push_back(row);
  }
  const Bytes file = MakePng(interlaced);
  ASSERT_EQ(IhdrInterlace(file), 1);
  image = Load(file);
  ASSERT_TRUE(image);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x)
      ASSERT_EQ(PixelAt(*image, x, y), (std::vector<int>{x * 10, y * 20, 7}));
}

TEST(PngCodec, GreyWithTransparentColourGainsAlpha) {
  PngSpec spec;
  spec.width = 2;
  spec.height = 1;
  spec.color_type = PNG_COLOR_TYPE_GRAY;
  spec.gray_trns = true;
  spec.trns_color.gray = 50;
  spec.rows = {{50, 60}};
  ImagePtr image = Load(MakePng(spec));
  ASSERT_TRUE(image);
  EXPECT_EQ(PixelAt(*image, 0, 0), (std::vector<int>{50, 50, 50, 0}));
  EXPECT_EQ(PixelAt(*image, 1, 0), (std::vector<int>{60, 60, 60, 255}));
}

// A transparent colour makes a true-colour picture one with alpha, and it is saved so.
TEST(PngCodec, RgbWithTransparentColourGainsAlphaAndItsDepth) {
  PngSpec spec;
  spec.width = 2;
  spec.height = 1;
  spec.gray_trns = true;  // the colour form of tRNS
  spec.trns_color.red = 10;
  spec.trns_color.green = 20;
  spec.trns_color.blue = 30;
  spec.rows = {{10, 20, 30, 10, 20, 31}};
  ImagePtr image = Load(MakePng(spec));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->source_depth(), 32);
  EXPECT_EQ(PixelAt(*image, 0, 0), (std::vector<int>{10, 20, 30, 0}));
  EXPECT_EQ(PixelAt(*image, 1, 0), (std::vector<int>{10, 20, 31, 255}));
}

TEST(PngCodec, PaletteOutputOfEachDepth) {
  ImagePtr image = Gradient(64, 40, false);
  for (int depth : {1, 2, 4, 8}) {
    std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng, 7, depth);
    ASSERT_TRUE(png) << depth;
    EXPECT_EQ(IhdrColorType(*png), 3);
    EXPECT_EQ(IhdrBitDepth(*png), depth);
    ImagePtr back = Load(*png);
    ASSERT_TRUE(back) << depth;
    EXPECT_EQ(back->source_depth(), depth);
    EXPECT_LE(DistinctColors(*back).size(), size_t{1} << depth);
    EXPECT_GE(DistinctColors(*back).size(), 2u);
  }
}

TEST(PngCodec, PaletteOutputKeepsFewColoursExactly) {
  ImagePtr image = CreateImage(9, 5, 24);
  const int colours[4][3] = {{255, 0, 77}, {0, 0, 0}, {29, 43, 83}, {255, 241, 232}};
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 9; ++x) {
      const int* c = colours[(x + y) % 4];
      uint8_t* p = image->Row(y) + x * 3;
      p[0] = uint8_t(c[0]);
      p[1] = uint8_t(c[1]);
      p[2] = uint8_t(c[2]);
    }
  }
  for (int depth : {2, 4, 8}) {
    std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng, 7, depth);
    ASSERT_TRUE(png);
    ImagePtr back = Load(*png);
    ASSERT_TRUE(back);
    ExpectSamePixels(*image, *back);
  }
}

TEST(PngCodec, DepthOneIsBlackAndWhite) {
  ImagePtr image = CreateImage(2, 1, 24);
  uint8_t* p = image->Row(0);
  p[0] = 250;
  p[1] = 240;
  p[2] = 200;  // light
  p[3] = 40;
  p[4] = 10;
  p[5] = 90;  // dark
  std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng, 7, 1);
  ASSERT_TRUE(png);
  ImagePtr back = Load(*png);
  ASSERT_TRUE(back);
  EXPECT_EQ(PixelAt(*back, 0, 0), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(PixelAt(*back, 1, 0), (std::vector<int>{0, 0, 0}));
}

TEST(PngCodec, PalettePngOfDepthEightSavesBackAsPaletteDepthEight) {
  PngSpec spec;
  spec.width = 3;
  spec.height = 1;
  spec.color_type = PNG_COLOR_TYPE_PALETTE;
  spec.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  spec.rows = {{0, 1, 2}};
  ImagePtr image = Load(MakePng(spec));
  ASSERT_TRUE(image);
  std::optional<Bytes> again = EncodeImageToMemory(*image, ImageFormat::kPng);
  ASSERT_TRUE(again);
  EXPECT_EQ(IhdrColorType(*again), 3);
  EXPECT_EQ(IhdrBitDepth(*again), 8);
  ImagePtr back = Load(*again);
  ASSERT_TRUE(back);
  ExpectSamePixels(*image, *back);
}

bool HasChunk(const Bytes& png, const std::string& type) {
  for (size_t pos = 8; pos + 12 <= png.size(); pos += 12 + Be32(png, pos)) {
    if (std::string(png.begin() + pos + 4, png.begin() + pos + 8) == type) return true;
  }
  return false;
}

// Palette output keeps transparency: exactly when the table holds every colour, and
// fully transparent pixels stay fully transparent when the table is learnt.
TEST(PngCodec, PaletteOutputKeepsTransparency) {
  PngSpec spec;
  spec.width = 4;
  spec.height = 1;
  spec.color_type = PNG_COLOR_TYPE_PALETTE;
  spec.palette = {{255, 0, 77}, {9, 8, 7}, {41, 173, 255}};
  spec.trns_alpha = {255, 0, 128};
  spec.rows = {{0, 1, 2, 1}};
  ImagePtr image = Load(MakePng(spec));
  ASSERT_TRUE(image);
  std::optional<Bytes> again = EncodeImageToMemory(*image, ImageFormat::kPng);
  ASSERT_TRUE(again);
  EXPECT_EQ(IhdrColorType(*again), 3);
  EXPECT_TRUE(HasChunk(*again, "tRNS"));
  ImagePtr back = Load(*again);
  ASSERT_TRUE(back);
  ExpectSamePixels(*image, *back);

  // Many colours with a transparent frame: the learnt table still leaves it clear.
  ImagePtr many = Gradient(64, 64, true);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      uint8_t* p = many->Row(y) + x * 4;
      p[3] = (x < 8 || y < 8) ? 0 : 255;
    }
  }
  for (int depth : {2, 4, 8}) {
    std::optional<Bytes> png = EncodeImageToMemory(*many, ImageFormat::kPng, 7, depth);
    ASSERT_TRUE(png) << depth;
    ImagePtr learnt = Load(*png);
    ASSERT_TRUE(learnt) << depth;
    ASSERT_EQ(learnt->channels(), 4) << depth;
    for (int y = 0; y < 64; y += 3) {
      for (int x = 0; x < 64; x += 3) {
        const int alpha = learnt->Row(y)[x * 4 + 3];
        if (x < 8 || y < 8) {
          ASSERT_EQ(alpha, 0) << depth << " " << x << "," << y;
        }
      }
    }
  }

  // Opaque input is written as before, without tRNS; BMP tables still go over white.
  ImagePtr opaque = Gradient(16, 16, false);
  std::optional<Bytes> plain = EncodeImageToMemory(*opaque, ImageFormat::kPng, 7, 8);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(HasChunk(*plain, "tRNS"));
  std::optional<Bytes> bmp = EncodeImageToMemory(*image, ImageFormat::kBmp, 7, 8);
  ASSERT_TRUE(bmp);
  ImagePtr from_bmp = Load(*bmp);
  ASSERT_TRUE(from_bmp);
  EXPECT_EQ(from_bmp->channels(), 3);
  EXPECT_EQ(PixelAt(*from_bmp, 1, 0), (std::vector<int>{255, 255, 255}));
}

Bytes HugeHeaderPng(uint32_t width, uint32_t height) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  for (uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) ihdr.push_back(static_cast<uint8_t>(v >> shift));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  AppendChunk(png, "IHDR", ihdr);
  const Bytes row = {0, 1, 2, 3};
  Bytes compressed(64);
  uLongf size = compressed.size();
  compress(compressed.data(), &size, row.data(), row.size());
  compressed.resize(size);
  AppendChunk(png, "IDAT", compressed);
  AppendChunk(png, "IEND", {});
  return png;
}

TEST(PngCodec, HugeHeaderGivesNone) {
  EXPECT_FALSE(Load(HugeHeaderPng(100000, 100000)));
  EXPECT_FALSE(Load(HugeHeaderPng(32768, 1)));
  EXPECT_FALSE(Load(HugeHeaderPng(1, 32768)));
  EXPECT_FALSE(Load(HugeHeaderPng(0x7FFFFFFF, 0x7FFFFFFF)));
  // The same hand-made file at a small size is a valid 1 x 1 RGB picture.
  ImagePtr small = Load(HugeHeaderPng(1, 1));
  ASSERT_TRUE(small);
  EXPECT_EQ(PixelAt(*small, 0, 0), (std::vector<int>{1, 2, 3}));
}

TEST(PngCodec, TruncatedOrDamagedGivesNone) {
  ImagePtr image = Gradient(50, 50, true);
  std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng);
  ASSERT_TRUE(png);
  for (size_t length : {size_t{0}, size_t{7}, size_t{8}, size_t{20}, size_t{33}, size_t{60},
                        png->size() / 2, png->size() - 13, png->size() - 1}) {
    Bytes cut(png->begin(), png->begin() + length);
    EXPECT_FALSE(Load(cut)) << length;
  }
  Bytes damaged = *png;
  damaged[50] ^= 0x55;  // inside the IDAT data: its CRC no longer matches
  EXPECT_FALSE(Load(damaged));
}

// The valid 1 x 1 picture of HugeHeaderPng with `chunks` placed right after IHDR.
Bytes WithChunksAfterHeader(const Bytes& chunks) {
  Bytes png = HugeHeaderPng(1, 1);
  const size_t after_ihdr = 8 + 12 + 13;
  png.insert(png.begin() + after_ihdr, chunks.begin(), chunks.end());
  return png;
}

TEST(PngCodec, ChunkLongerThanTheFileGivesNoneWithoutAllocatingIt) {
  struct Case {
    const char* type;
    uint32_t declared;
  };
  const Case cases[] = {
      {"tEXt", 0x7FFFFFFF}, {"zTXt", 0x7FFFFFFF},
      {"iTXt", 0x7FFFFFFF}, {"tEXt", 0x80000000},  // beyond what a chunk may declare at all
      {"prVt", 0x7FFFFFFF},                        // unknown ancillary chunk
  };
  for (const Case& c : cases) {
    // A 100-byte file: signature, IHDR, then the claim followed by what data there is.
    Bytes png = HugeHeaderPng(1, 1);
    png.resize(33);
    for (int shift = 24; shift >= 0; shift -= 8) {
      png.push_back(static_cast<uint8_t>(c.declared >> shift));
    }
    png.insert(png.end(), c.type, c.type + 4);
    const std::string keyword = "Comment";
    png.insert(png.end(), keyword.begin(), keyword.end());
    png.resize(100, 'x');
    int64_t growth = testing::PeakMemoryGrowth([&] {
      if (Load(png)) _exit(2);  // a loaded picture ends the child unmeasured
    });
    EXPECT_GE(growth, 0) << c.type;
    EXPECT_LT(growth, int64_t{64} << 20) << c.type;
    EXPECT_FALSE(Load(png)) << c.type;
  }

  // One byte more than the data holds, later in an otherwise whole file.
  Bytes text;
  AppendChunk(text, "tEXt", Bytes{'a', 0, 'b'});
  Bytes overlong = WithChunksAfterHeader(text);
  overlong[33 + 3] = 4 + 12 + 12 + 12;  // the declared length now runs past IEND's CRC
  EXPECT_FALSE(Load(overlong));
  overlong[33 + 3] = 4 + 12 + 12 + 12 - 1;  // ends exactly at the end: IEND is inside it
  EXPECT_FALSE(Load(overlong));
}

TEST(PngCodec, AncillaryChunksWithinTheDataStillLoad) {
  Bytes chunks;
  const std::string text = std::string("Comment") + '\0' + "made here";
  AppendChunk(chunks, "tEXt", Bytes(text.begin(), text.end()));
  const std::string words(5000, 'w');
  Bytes packed(6000);
  uLongf packed_size = packed.size();
  ASSERT_EQ(compress(packed.data(), &packed_size, reinterpret_cast<const Bytef*>(words.data()),
                     words.size()),
            Z_OK);
  packed.resize(packed_size);
  Bytes ztxt = {'N', 'o', 't', 'e', 0, 0};
  ztxt.insert(ztxt.end(), packed.begin(), packed.end());
  AppendChunk(chunks, "zTXt", ztxt);
  const std::string itxt = std::string("Title") + '\0' + '\0' + '\0' + "en" + '\0' + '\0' + "x";
  AppendChunk(chunks, "iTXt", Bytes(itxt.begin(), itxt.end()));
  AppendChunk(chunks, "prVt", Bytes(300, 7));
  ImagePtr image = Load(WithChunksAfterHeader(chunks));
  ASSERT_TRUE(image);
  EXPECT_EQ(PixelAt(*image, 0, 0), (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace brasswick
