// An RGB picture whose transparent colour is named by a tRNS chunk, run through
// colorimage: the named colour stays fully transparent, everything else opaque, and
// every pixel takes the nearest palette colour.
#include <png.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/png_writer.h"
#include "gtest/gtest.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::kStandardPalette;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::Rgb;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;

int Distance(const Rgb& a, const Rgb& b) {
  return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

// The nearest standard colour by plain RGB distance; a tie keeps the lower index.
Rgb Nearest(const Rgb& colour) {
  int best = 0;
  for (int i = 1; i < 16; ++i) {
    if (Distance(colour, kStandardPalette[i]) < Distance(colour, kStandardPalette[best])) best = i;
  }
  return kStandardPalette[best];
}

// Writes an 8-bit RGB PNG (colour type 2) whose tRNS chunk names `transparent`.
bool WriteRgbPngWithTransparentColour(const std::string& path, int width, int height,
                                      const std::vector<Rgb>& pixels, const Rgb& transparent) {
  testing::TestPng png{width, height, 8, PNG_COLOR_TYPE_RGB, {}, {}, {}, {}};
  png.trns_rgb = {static_cast<uint16_t>(transparent.r), static_cast<uint16_t>(transparent.g),
                  static_cast<uint16_t>(transparent.b)};
  png.rows.resize(height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb& p = pixels[static_cast<size_t>(y) * width + x];
      png.rows[y].insert(png.rows[y].end(), {static_cast<uint8_t>(p.r), static_cast<uint8_t>(p.g),
                                             static_cast<uint8_t>(p.b)});
    }
  }
  return testing::WriteTestPng(path, png);
}

TEST(Transparency, RgbTransparentColourSurvivesColorImage) {
  TempDir dir;
  const std::string root = std::filesystem::canonical(dir.path()).string();
  const int width = 12;
  const int height = 9;
  const Rgb transparent{40, 200, 90};
  std::mt19937 random(5);
  std::vector<Rgb> pixels;
  for (int i = 0; i < width * height; ++i) {
    pixels.push_back({static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                      static_cast<int>(random() % 256)});
  }
  // The named colour in a stripe and a corner; its neighbours one step off stay opaque.
  for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(4) * width + x] = transparent;
  pixels[0] = transparent;
  pixels[1] = {transparent.r, transparent.g, transparent.b + 1};
  pixels[2] = {transparent.r - 1, transparent.g, transparent.b};
  ASSERT_TRUE(
      WriteRgbPngWithTransparentColour(root + "/in.png", width, height, pixels, transparent));

  RunOptions options;
  options.working_folder = root;
  ProcessResult result = RunBrasswick({"colorimage", "in.png", "out.png"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");

  // Written with an alpha channel: colour type 6 at byte 25 of the file.
  const std::string bytes = ReadTestFile(root + "/out.png");
  ASSERT_GE(bytes.size(), 26u);
  EXPECT_EQ(bytes[25], PNG_COLOR_TYPE_RGBA);

  ImagePtr image = LoadImageFile(root + "/out.png");
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), width);
  ASSERT_EQ(image->height(), height);
  ASSERT_EQ(image->channels(), 4);
  int transparent_count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb& in = pixels[static_cast<size_t>(y) * width + x];
      const uint8_t* out = image->Row(y) + x * 4;
      const bool hidden = in == transparent;
      transparent_count += hidden ? 1 : 0;
      EXPECT_EQ(out[3], hidden ? 0 : 255) << x << "," << y;
      EXPECT_EQ((Rgb{out[0], out[1], out[2]}), Nearest(in)) << x << "," << y;
    }
  }
  EXPECT_EQ(transparent_count, width + 1);
}

bool HasChunk(const std::string& png, const std::string& type) {
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const uint32_t length = (uint32_t{uint8_t(png[pos])} << 24) |
                            (uint32_t{uint8_t(png[pos + 1])} << 16) |
                            (uint32_t{uint8_t(png[pos + 2])} << 8) | uint8_t(png[pos + 3]);
    if (png.compare(pos + 4, 4, type) == 0) return true;
    pos += 12 + length;
  }
  return false;
}

// A palette PNG keeps its transparent entries through colorimage, still as a palette
// PNG; an opaque one is written as before, without a transparency chunk.
TEST(Transparency, PalettePngKeepsItsTransparencyThroughColorImage) {
  TempDir dir;
  const std::string root = std::filesystem::canonical(dir.path()).string();
  const std::vector<std::array<uint8_t, 3>> table = {{250, 10, 70}, {20, 40, 80}, {0, 0, 0}};
  for (const bool with_transparency : {true, false}) {
    testing::TestPng png{6, 4, 8, PNG_COLOR_TYPE_PALETTE, {}, table, {}, {}};
    if (with_transparency) png.trns_alpha = {255, 255, 0};
    for (int y = 0; y < 4; ++y) {
      png.rows.emplace_back();
      for (int x = 0; x < 6; ++x) png.rows.back().push_back(static_cast<uint8_t>((x + y) % 3));
    }
    ASSERT_TRUE(testing::WriteTestPng(root + "/in.png", png));
    ProcessResult result = RunBrasswick({"colorimage", root + "/in.png", root + "/out.png"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::string bytes = ReadTestFile(root + "/out.png");
    ASSERT_GE(bytes.size(), 26u);
    EXPECT_EQ(bytes[25], PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(HasChunk(bytes, "tRNS"), with_transparency);
    ImagePtr image = LoadImageFile(root + "/out.png");
    ASSERT_TRUE(image);
    ASSERT_EQ(image->channels(), with_transparency ? 4 : 3);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) {
        const int index = (x + y) % 3;
        const uint8_t* out = image->Row(y) + x * image->channels();
        const Rgb in{table[index][0], table[index][1], table[index][2]};
        if (with_transparency) {
          EXPECT_EQ(out[3], index == 2 ? 0 : 255) << x << "," << y;
        }
        if (!with_transparency || index != 2) {
          EXPECT_EQ((Rgb{out[0], out[1], out[2]}), Nearest(in)) << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace brasswick
