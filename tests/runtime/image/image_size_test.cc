#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "runtime/image/image.h"

namespace brasswick {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes PngHeader(uint32_t width, uint32_t height) {
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
  }
  return b;
}

// SOI, an APP0 segment of 16 bytes, a DHT segment, then a progressive frame header.
Bytes JpegHeader(uint16_t width, uint16_t height) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
  b.resize(b.size() + 14, 0);
  b.insert(b.end(), {0xFF, 0xC4, 0, 3, 0});
  b.insert(b.end(), {0xFF, 0xFF, 0xC2, 0, 11, 8});
  b.insert(b.end(), {static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                     static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width), 1, 1, 0x11, 0});
  return b;
}

Bytes BmpHeader(int32_t width, int32_t height) {
  Bytes b(26, 0);
  b[0] = 'B';
  b[1] = 'M';
  for (int i = 0; i < 4; ++i) {
    b[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(width) >> (8 * i));
    b[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * i));
  }
  return b;
}

TEST(ImageSize, ReadsTheDeclaredSidesOfEachFormatWithoutDecoding) {
  struct Case {
    const char* name;
    Bytes bytes;
    int64_t width, height;
  };
  const Case cases[] = {
      {"png", PngHeader(32767, 32767), 32767, 32767},
      {"png past the limit", PngHeader(0x80000000u, 1), 0x80000000LL, 1},
      {"jpeg after other segments", JpegHeader(160, 205), 160, 205},
      {"bmp bottom-up", BmpHeader(129, 128), 129, 128},
      {"bmp top-down", BmpHeader(128, -131), 128, 131},
  };
  for (const Case& c : cases) {
    const std::optional<ImageSize> size = ReadImageSize(c.bytes.data(), c.bytes.size());
    ASSERT_TRUE(size) << c.name;
    EXPECT_EQ(size->width, c.width) << c.name;
    EXPECT_EQ(size->height, c.height) << c.name;
  }
}

TEST(ImageSize, RefusesCutOrForeignHeaders) {
  Bytes png = PngHeader(5, 5);
  png.pop_back();
  Bytes not_ihdr = PngHeader(5, 5);
  not_ihdr[12] = 'i';
  Bytes jpeg = JpegHeader(5, 5);
  jpeg.resize(jpeg.size() - 5);  // the frame header cut inside its width
  Bytes jpeg_scan_first = {0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0, 0};
  Bytes bmp = BmpHeader(5, 5);
  bmp.pop_back();
  const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'};
  for (const Bytes* bytes :
       std::initializer_list<const Bytes*>{&png, &not_ihdr, &jpeg, &jpeg_scan_first, &bmp, &text}) {
    EXPECT_FALSE(ReadImageSize(bytes->data(), bytes->size()));
  }
}

TEST(ImageSize, AgreesWithTheEncodersOfEveryFormat) {
  ImagePtr image = CreateImage(37, 19, 32);
  ASSERT_TRUE(image);
  for (ImageFormat format : {ImageFormat::kPng, ImageFormat::kJpeg, ImageFormat::kBmp}) {
    const std::optional<std::vector<uint8_t>> file = EncodeImageToMemory(*image, format);
    ASSERT_TRUE(file);
    const std::optional<ImageSize> size = ReadImageSize(file->data(), file->size());
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 37);
    EXPECT_EQ(size->height, 19);
  }
}

}  // namespace
}  // namespace brasswick
