// JPEG decoding and encoding, including files libjpeg cannot turn into RGB and
// truncated streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "runtime/image/image.h"

namespace brasswick {
namespace {

using Bytes = std::vector<uint8_t>;

// A JPEG written by libjpeg directly, of any colour space; the inputs are valid.
Bytes MakeJpeg(int width, int height, int components, J_COLOR_SPACE space, uint8_t value) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  Bytes row(static_cast<size_t>(width * components), value);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

ImagePtr Load(const Bytes& bytes) { return LoadImageFromMemory(bytes.data(), bytes.size()); }

ImagePtr Smooth(int width, int height) {
  ImagePtr image = CreateImage(width, height, 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image->Row(y) + x * 3;
      p[0] = static_cast<uint8_t>(x * 4);
      p[1] = static_cast<uint8_t>(y * 4);
      p[2] = 128;
    }
  }
  return image;
}

TEST(JpegCodec, RoundTripIsCloseAndRgb) {
  ImagePtr image = Smooth(48, 40);
  std::optional<Bytes> jpeg = EncodeImageToMemory(*image, ImageFormat::kJpeg, 9);
  ASSERT_TRUE(jpeg);
  ImagePtr back = Load(*jpeg);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->depth(), 24);
  EXPECT_EQ(back->source_depth(), 24);
  ASSERT_EQ(back->width(), 48);
  ASSERT_EQ(back->height(), 40);
  int worst = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 48 * 3; ++x)
      worst = std::max(worst, std::abs(image->Row(y)[x] - back->Row(y)[x]));
  EXPECT_LE(worst, 12);
}

TEST(JpegCodec, QualityScalesTheEncoding) {
  ImagePtr image = Smooth(64, 64);
  std::optional<Bytes> low = EncodeImageToMemory(*image, ImageFormat::kJpeg, 1);
  std::optional<Bytes> high = EncodeImageToMemory(*image, ImageFormat::kJpeg, 10);
  std::optional<Bytes> clamped = EncodeImageToMemory(*image, ImageFormat::kJpeg, 50);
  ASSERT_TRUE(low && high && clamped);
  EXPECT_LT(low->size(), high->size());
  EXPECT_EQ(*clamped, *high);
}

TEST(JpegCodec, TransparentPixelsComeOutWhite) {
  ImagePtr image = CreateImage(16, 16, 32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) image->Row(y)[x * 4 + 3] = 0;  // transparent black
  std::optional<Bytes> jpeg = EncodeImageToMemory(*image, ImageFormat::kJpeg, 9, 32);
  ASSERT_TRUE(jpeg);
  ImagePtr back = Load(*jpeg);
  ASSERT_TRUE(back);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 48; ++x) ASSERT_GE(back->Row(y)[x], 250);
}

TEST(JpegCodec, GreyscaleLoadsAsRgb) {
  ImagePtr image = Load(MakeJpeg(8, 8, 1, JCS_GRAYSCALE, 100));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->channels(), 3);
  const uint8_t* p = image->Row(3) + 3 * 3;
  EXPECT_NEAR(p[0], 100, 2);
  EXPECT_EQ(p[0], p[1]);
  EXPECT_EQ(p[1], p[2]);
}

TEST(JpegCodec, CmykGivesNone) {
  const Bytes cmyk = MakeJpeg(8, 8, 4, JCS_CMYK, 30);
  ASSERT_GT(cmyk.size(), 100u);
  EXPECT_FALSE(Load(cmyk));
}

TEST(JpegCodec, JpegInputSavesAsRgbPngByDefault) {
  ImagePtr image = Load(MakeJpeg(4, 4, 3, JCS_RGB, 60));
  ASSERT_TRUE(image);
  std::optional<Bytes> png = EncodeImageToMemory(*image, ImageFormat::kPng);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->at(25), 2);  // IHDR colour type
  EXPECT_EQ(png->at(24), 8);
}

TEST(JpegCodec, TruncatedOrDamagedGivesNone) {
  ImagePtr image = Smooth(64, 48);
  std::optional<Bytes> jpeg = EncodeImageToMemory(*image, ImageFormat::kJpeg, 9);
  ASSERT_TRUE(jpeg);
  for (size_t length : {size_t{3}, size_t{20}, size_t{200}, jpeg->size() / 2, jpeg->size() - 2}) {
    Bytes cut(jpeg->begin(), jpeg->begin() + length);
    EXPECT_FALSE(Load(cut)) << length;
  }
  Bytes header_only = {0xFF, 0xD8, 0xFF, 0xD9};
  EXPECT_FALSE(Load(header_only));
}

TEST(JpegCodec, HugeDimensionsGiveNone) {
  Bytes jpeg = MakeJpeg(8, 8, 3, JCS_RGB, 1);
  // Patch the frame header (SOF0: FF C0, length, precision, height, width).
  for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = 0xFF;  // height 0xFFFF
      jpeg[i + 6] = 0xFF;
      break;
    }
  }
  EXPECT_FALSE(Load(jpeg));
}

}  // namespace
}  // namespace brasswick
