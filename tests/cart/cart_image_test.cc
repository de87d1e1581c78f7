#include "cart/cart_image.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace brasswick {
namespace {

using Px = std::array<int, 4>;  // red, green, blue, alpha

Px At(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * image.channels();
  return {p[0], p[1], p[2], image.channels() == 4 ? p[3] : 255};
}
void Set(RgbaImage& image, int x, int y, Px px) {
  uint8_t* p = image.Row(y) + x * image.channels();
  for (int c = 0; c < image.channels(); ++c) p[c] = static_cast<uint8_t>(px[c]);
}
std::vector<Px> AllPixels(const RgbaImage& image) {
  std::vector<Px> pixels;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) pixels.push_back(At(image, x, y));
  return pixels;
}

ImagePtr FilledCart(Px px) {
  ImagePtr image = CreateImage(kCartImageWidth, kCartImageHeight, 32);
  for (int y = 0; y < kCartImageHeight; ++y)
    for (int x = 0; x < kCartImageWidth; ++x) Set(*image, x, y, px);
  return image;
}
ImagePtr RandomImage(int width, int height, int depth, uint32_t seed) {
  std::mt19937 random(seed);
  ImagePtr image = CreateImage(width, height, depth);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      Set(*image, x, y,
          {int(random() % 256), int(random() % 256), int(random() % 256), int(random() % 256)});
  return image;
}
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}
Px UpperBits(Px px) { return {px[0] & 0xFC, px[1] & 0xFC, px[2] & 0xFC, px[3] & 0xFC}; }
Px LowBits(Px px) { return {px[0] & 3, px[1] & 3, px[2] & 3, px[3] & 3}; }

TEST(CartPixels, DecodeReadsTheLowBitsOfEachChannel) {
  struct Case {
    Px pixel;
    uint8_t byte;
  };
  // Alpha gives bits 7-6, red 5-4, green 3-2, blue 1-0.
  for (const Case& c : {Case{{255, 255, 255, 255}, 0xFF}, Case{{0, 0, 0, 252}, 0x00},
                        Case{{102, 101, 100, 255}, 0xE4}, Case{{1, 2, 3, 0}, 0x1B}}) {
    ImagePtr image = FilledCart(c.pixel);
    std::optional<CartPayload> payload = DecodeCartPixels(*image);
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->size(), kCartPayloadSize);
    EXPECT_EQ(*payload, CartPayload(kCartPayloadSize, c.byte)) << int(c.byte);
  }
}

TEST(CartPixels, EncodeWritesTheBitPairsAndKeepsTheUpperBits) {
  ImagePtr image = FilledCart({100, 100, 100, 252});
  std::vector<uint8_t> bytes(kCartPayloadSize, 0xE4);  // 11 10 01 00
  bytes[1] = 0x1B;                                     // 00 01 10 11
  ASSERT_TRUE(EncodeCartPixels(*image, bytes));
  EXPECT_EQ(At(*image, 0, 0), (Px{102, 101, 100, 255}));
  EXPECT_EQ(At(*image, 1, 0), (Px{101, 102, 103, 252}));
  EXPECT_EQ(At(*image, 159, 204), (Px{102, 101, 100, 255}));
}

TEST(CartPixels, EncodeThenDecodeGivesTheBytesBack) {
  ImagePtr image = RandomImage(kCartImageWidth, kCartImageHeight, 32, 1);
  std::vector<Px> before = AllPixels(*image);
  std::vector<uint8_t> bytes = RandomBytes(kCartPayloadSize, 2);
  ASSERT_TRUE(EncodeCartPixels(*image, bytes));
  EXPECT_EQ(DecodeCartPixels(*image), bytes);
  std::vector<Px> after = AllPixels(*image);
  for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(UpperBits(after[i]), UpperBits(before[i]));
}

TEST(CartPixels, BufferLengthDecidesHowManyPixelsAreWritten) {
  ImagePtr image = RandomImage(kCartImageWidth, kCartImageHeight, 32, 3);
  std::vector<Px> before = AllPixels(*image);
  // Only the cartridge's memory image: the last 32 pixels keep their bits.
  std::vector<uint8_t> rom = RandomBytes(kCartRomSize, 4);
  ASSERT_TRUE(EncodeCartPixels(*image, rom));
  CartPayload payload = DecodeCartPixels(*image).value();
  EXPECT_TRUE(std::equal(rom.begin(), rom.end(), payload.begin()));
  for (int x = 128; x < 160; ++x) EXPECT_EQ(At(*image, x, 204), before[204 * 160 + x]) << x;

  // Too short: nothing changes.
  std::vector<Px> now = AllPixels(*image);
  std::vector<uint8_t> short_bytes(kCartRomSize - 1, 0xFF);
  EXPECT_FALSE(EncodeCartPixels(*image, short_bytes));
  EXPECT_FALSE(EncodeCartPixels(*image, std::span<const uint8_t>()));
  EXPECT_EQ(AllPixels(*image), now);

  // Longer than the picture holds: the rest is ignored.
  std::vector<uint8_t> long_bytes = RandomBytes(kCartPayloadSize + 100, 5);
  ASSERT_TRUE(EncodeCartPixels(*image, long_bytes));
  long_bytes.resize(kCartPayloadSize);
  EXPECT_EQ(DecodeCartPixels(*image), long_bytes);
}

// A PNG declaring 8192 x 8192 RGBA whose data holds 4096 rows of zeros, the rest cut
// off: decoding it would fill 128 MB before failing.
std::string HugeZeroPng() {
  auto append_be32 = [](std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
  };
  auto chunk = [&](std::string& out, const std::string& type, const std::string& data) {
    append_be32(out, static_cast<uint32_t>(data.size()));
    const std::string body = type + data;
    out += body;
    append_be32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                 static_cast<uInt>(body.size()))));
  };
  constexpr uint32_t kSide = 8192;
  std::string header;
  append_be32(header, kSide);
  append_be32(header, kSide);
  header += std::string("\x08\x06\x00\x00\x00", 5);
  const std::string rows(static_cast<size_t>(kSide * 4 + 1) * 4096, '\0');
  std::vector<Bytef> packed(compressBound(static_cast<uLong>(rows.size())));
  uLongf packed_size = static_cast<uLongf>(packed.size());
  EXPECT_EQ(compress2(packed.data(), &packed_size, reinterpret_cast<const Bytef*>(rows.data()),
                      static_cast<uLong>(rows.size()), 9),
            Z_OK);
  std::string png = "\x89PNG\r\n\x1A\n";
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packed_size));
  return png;
}

// A cartridge picture is told by the size its header declares, before any pixel is
// decoded: a picture declaring another size costs nothing to refuse.
TEST(CartPixels, AnotherDeclaredSizeIsRefusedBeforeDecoding) {
  const std::string png = HugeZeroPng();
  const auto* data = reinterpret_cast<const uint8_t*>(png.data());
  const int64_t growth = testing::PeakMemoryGrowth([&] {
    if (LoadCartImageFromMemory(data, png.size())) _exit(2);
  });
  EXPECT_GE(growth, 0);
  EXPECT_LT(growth, int64_t{32} << 20);
}

TEST(CartPixels, OtherShapesAreNotCartridges) {
  testing::TempDir dir;
  struct Shape {
    int width, height, depth;
  };
  for (Shape s : {Shape{160, 205, 24}, Shape{161, 205, 32}, Shape{160, 204, 32}}) {
    ImagePtr image = RandomImage(s.width, s.height, s.depth, 6);
    std::vector<Px> before = AllPixels(*image);
    EXPECT_FALSE(DecodeCartPixels(*image));
    EXPECT_FALSE(EncodeCartPixels(*image, RandomBytes(kCartPayloadSize, 7)));
    EXPECT_EQ(AllPixels(*image), before);
    ASSERT_TRUE(SaveImageFile(*image, dir.File("x.png"), ImageFormat::kPng, 7, s.depth));
    EXPECT_FALSE(LoadCartImage(dir.File("x.png"))) << s.width << "x" << s.height;
  }
  ImagePtr cart = RandomImage(160, 205, 32, 8);
  ASSERT_TRUE(SaveImageFile(*cart, dir.File("cart.png"), ImageFormat::kPng));
  ImagePtr loaded = LoadCartImage(dir.File("cart.png"));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(AllPixels(*loaded), AllPixels(*cart));
  EXPECT_FALSE(LoadCartImage(dir.File("missing.png")));
}

// A label pixel colour that names its own column and row in the upper six bits.
Px Marker(int column, int row) {
  return {(column % 64) * 4, (column / 64) * 64 + (row / 64) * 4, (row % 64) * 4, 255};
}
std::array<int, 2> MarkerOf(Px px) {
  return {px[0] / 4 + (px[1] / 64) * 64, px[2] / 4 + ((px[1] % 64) / 4) * 64};
}

// Applies the label to a random cartridge and checks what every cartridge pixel must
// then be: the expected label colour in the window (upper bits, alpha 252), the
// payload bits everywhere and the rest of the picture untouched.
void ExpectLabelWritten(const RgbaImage& label, CartLabelFitter fit,
                        const std::function<Px(int x, int y)>& expected) {
  ImagePtr cart = RandomImage(160, 205, 32, 9);
  std::vector<Px> before = AllPixels(*cart);
  CartPayload payload = DecodeCartPixels(*cart).value();
  ASSERT_TRUE(ApplyCartLabel(*cart, label, fit));
  EXPECT_EQ(DecodeCartPixels(*cart), payload);
  for (int y = 0; y < 205; ++y) {
    for (int x = 0; x < 160; ++x) {
      const Px old = before[y * 160 + x];
      const Px now = At(*cart, x, y);
      if (x < 16 || x > 143 || y < 24 || y > 151) {
        ASSERT_EQ(now, old) << x << "," << y;
        continue;
      }
      Px want = UpperBits(expected(x - 16, y - 24));
      want[3] = 252;
      ASSERT_EQ(UpperBits(now), want) << x << "," << y;
      ASSERT_EQ(LowBits(now), LowBits(old)) << x << "," << y;
    }
  }
}

TEST(CartLabel, AWideLabelIsCroppedToItsCentreAndScaledByNearestNeighbour) {
  ImagePtr label = CreateImage(200, 100, 32);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) Set(*label, x, y, Marker(x, y));
  ImagePtr cart = RandomImage(160, 205, 32, 10);
  ASSERT_TRUE(ApplyCartLabel(*cart, *label));
  // Every window pixel comes from one source pixel of columns 50-149, the nearest one
  // to its scaled position, in order.
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      auto [column, row] = MarkerOf(UpperBits(At(*cart, 16 + x, 24 + y)));
      ASSERT_GE(column, 50);
      ASSERT_LE(column, 149);
      ASSERT_NEAR(column - 50, x * 100.0 / 128, 1.0) << x;
      ASSERT_NEAR(row, y * 100.0 / 128, 1.0) << y;
    }
  }
  EXPECT_EQ(MarkerOf(UpperBits(At(*cart, 16, 24))), (std::array<int, 2>{50, 0}));
  EXPECT_EQ(MarkerOf(UpperBits(At(*cart, 143, 151))), (std::array<int, 2>{149, 99}));
}

TEST(CartLabel, SmallLabelsAreDoubledAndExactOnesCopied) {
  ImagePtr small = RandomImage(64, 64, 24, 11);
  ExpectLabelWritten(*small, nullptr, [&](int x, int y) { return At(*small, x / 2, y / 2); });
  // Transparent pixels are written by their colour; the label's alpha is ignored.
  ImagePtr exact = RandomImage(128, 128, 32, 12);
  Set(*exact, 5, 5, {200, 100, 40, 0});
  ExpectLabelWritten(*exact, nullptr, [&](int x, int y) { return At(*exact, x, y); });
  // A tall label keeps its middle rows.
  ImagePtr tall = RandomImage(128, 140, 32, 13);
  ExpectLabelWritten(*tall, nullptr, [&](int x, int y) { return At(*tall, x, y + 6); });
  // An odd crop leaves the extra column or row at the far side: the offset rounds down.
  ImagePtr wide = RandomImage(129, 128, 32, 19);
  ExpectLabelWritten(*wide, nullptr, [&](int x, int y) { return At(*wide, x, y); });
  ImagePtr taller = RandomImage(128, 131, 32, 20);
  ExpectLabelWritten(*taller, nullptr, [&](int x, int y) { return At(*taller, x, y + 1); });
}

TEST(CartLabel, TheFitterSeesTheSquareBeforeItIsWritten) {
  ImagePtr label = RandomImage(128, 128, 32, 14);
  CartLabelFitter invert = [](RgbaImage& square) {
    for (int y = 0; y < square.height(); ++y)
      for (int x = 0; x < square.width(); ++x) {
        Px px = At(square, x, y);
        Set(square, x, y, {255 - px[0], 255 - px[1], 255 - px[2], px[3]});
      }
  };
  ExpectLabelWritten(*label, invert, [&](int x, int y) {
    Px px = At(*label, x, y);
    return Px{255 - px[0], 255 - px[1], 255 - px[2], 255};
  });
}

TEST(CartLabel, AWrongSizedCartridgeIsLeftAlone) {
  ImagePtr label = RandomImage(128, 128, 32, 15);
  ImagePtr cart = RandomImage(160, 204, 32, 16);
  std::vector<Px> before = AllPixels(*cart);
  EXPECT_FALSE(ApplyCartLabel(*cart, *label));
  EXPECT_EQ(AllPixels(*cart), before);
}

}  // namespace
}  // namespace brasswick
