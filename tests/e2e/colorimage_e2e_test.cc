// The colorimage command as a user runs it: every pixel recoloured to the nearest
// palette colour, then resized, enlarged and saved in the format its name asks for.
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/pixels.h"
#include "e2e/png_writer.h"
#include "gtest/gtest.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::kAlternatePalette;
using testing::kStandardPalette;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::Rgb;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;
using testing::WriteTestFile;

using Palette = std::array<Rgb, 16>;

using testing::PixelRgb;
using testing::Rgba;

// A picture as the tests build it: rows of RGBA pixels.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;
  Rgba& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

Picture RandomPicture(int width, int height, uint32_t seed) {
  std::mt19937 random(seed);
  Picture picture{width, height, {}};
  for (int i = 0; i < width * height; ++i) {
    picture.pixels.push_back({static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                              static_cast<int>(random() % 256), 255});
  }
  return picture;
}

int Distance(const Rgb& a, const Rgb& b) {
  return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

// The nearest entry by plain RGB distance; a tie keeps the lower index.
Rgb Nearest(const Rgb& colour, const Palette& palette) {
  int best = 0;
  for (int i = 1; i < 16; ++i) {
    if (Distance(colour, palette[i]) < Distance(colour, palette[best])) best = i;
  }
  return palette[best];
}

// Writes a PNG with libpng: colour type 2 (RGB), 6 (RGBA) or 3 (8-bit palette, built
// from the picture's distinct colours, at most 256).
bool WritePng(const std::string& path, Picture& picture, int colour_type) {
  testing::TestPng png{picture.width, picture.height, 8, colour_type, {}, {}, {}, {}};
  png.rows.resize(picture.height);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const Rgba& p = picture.At(x, y);
      const std::array<uint8_t, 3> rgb = {static_cast<uint8_t>(p.r), static_cast<uint8_t>(p.g),
                                          static_cast<uint8_t>(p.b)};
      auto& row = png.rows[y];
      if (colour_type == PNG_COLOR_TYPE_PALETTE) {
        size_t index = std::find(png.palette.begin(), png.palette.end(), rgb) - png.palette.begin();
        if (index == png.palette.size()) png.palette.push_back(rgb);
        row.push_back(static_cast<uint8_t>(index));
        continue;
      }
      row.insert(row.end(), rgb.begin(), rgb.end());
      if (colour_type == PNG_COLOR_TYPE_RGBA) row.push_back(static_cast<uint8_t>(p.a));
    }
  }
  return testing::WriteTestPng(path, png);
}

// IHDR holds bit depth at byte 24 and colour type at byte 25 of a PNG file.
struct PngHeader {
  int bit_depth = -1;
  int colour_type = -1;
};
PngHeader ReadPngHeader(const std::string& path) {
  std::string bytes = ReadTestFile(path);
  if (bytes.size() < 26 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {};
  return {static_cast<unsigned char>(bytes[24]), static_cast<unsigned char>(bytes[25])};
}

class ColorImageCommand : public ::testing::Test {
 protected:
  ColorImageCommand() : root_(std::filesystem::canonical(dir_.path()).string()) {}

  ProcessResult Run(const std::vector<std::string>& words) {
    std::vector<std::string> args = {"colorimage"};
    args.insert(args.end(), words.begin(), words.end());
    RunOptions options;
    options.working_folder = root_;
    return RunBrasswick(args, options);
  }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }

  // Every output pixel is the nearest palette colour of the input pixel.
  void ExpectFitted(const std::string& name, Picture& input, const Palette& palette) {
    ImagePtr image = LoadImageFile(Path(name));
    ASSERT_TRUE(image) << name;
    ASSERT_EQ(image->width(), input.width);
    ASSERT_EQ(image->height(), input.height);
    for (int y = 0; y < input.height; ++y) {
      for (int x = 0; x < input.width; ++x) {
        const Rgba& in = input.At(x, y);
        ASSERT_EQ(PixelRgb(*image, x, y), Nearest({in.r, in.g, in.b}, palette))
            << name << " at " << x << "," << y;
      }
    }
  }

  TempDir dir_;
  std::string root_;
};

TEST_F(ColorImageCommand, EveryPixelBecomesTheNearestStandardColour) {
  Picture picture = RandomPicture(40, 30, 1);
  // The palette's own colours stay as they are.
  for (int i = 0; i < 16; ++i) {
    picture.At(i, 0) = {kStandardPalette[i].r, kStandardPalette[i].g, kStandardPalette[i].b, 255};
  }
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGB));
  ProcessResult result = Run({"in.png", "out.png", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "brasswick 1.1\n\nLoading image file...\nApplying color palette...\n"
            "Saving image...\nSaved: " +
                Path("out.png") + "\n");
  ExpectFitted("out.png", picture, kStandardPalette);
  // An RGB input is written back as an RGB PNG.
  EXPECT_EQ(ReadPngHeader(Path("out.png")).colour_type, PNG_COLOR_TYPE_RGB);
}

TEST_F(ColorImageCommand, AHalfwayColourTakesTheLowerIndex) {
  // Pairs whose midpoint is a whole colour and has no third entry as near.
  std::vector<std::array<int, 2>> pairs;
  Picture picture{0, 1, {}};
  for (int i = 0; i < 16; ++i) {
    for (int j = i + 1; j < 16; ++j) {
      const Rgb& a = kStandardPalette[i];
      const Rgb& b = kStandardPalette[j];
      if ((a.r + b.r) % 2 || (a.g + b.g) % 2 || (a.b + b.b) % 2) continue;
      Rgb middle{(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2};
      bool alone = true;
      for (int k = 0; k < 16; ++k) {
        if (k != i && k != j && Distance(middle, kStandardPalette[k]) <= Distance(middle, a))
          alone = false;
      }
      if (!alone) continue;
      pairs.push_back({i, j});
      picture.pixels.push_back({middle.r, middle.g, middle.b, 255});
      ++picture.width;
    }
  }
  ASSERT_FALSE(pairs.empty());
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGB));
  ProcessResult result = Run({"in.png", "out.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ImagePtr image = LoadImageFile(Path("out.png"));
  ASSERT_TRUE(image);
  for (size_t n = 0; n < pairs.size(); ++n) {
    EXPECT_EQ(PixelRgb(*image, static_cast<int>(n), 0), kStandardPalette[pairs[n][0]])
        << "between " << pairs[n][0] << " and " << pairs[n][1];
  }
}

TEST_F(ColorImageCommand, TransparencyIsKeptAndTheHiddenColourFitted) {
  Picture picture = RandomPicture(8, 8, 2);
  picture.At(0, 0) = {250, 10, 10, 0};
  picture.At(1, 0) = {10, 10, 250, 128};
  picture.At(2, 0) = {0, 0, 0, 0};
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGBA));
  ProcessResult result = Run({"in.png", "out.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadPngHeader(Path("out.png")).colour_type, PNG_COLOR_TYPE_RGBA);
  ExpectFitted("out.png", picture, kStandardPalette);
  ImagePtr image = LoadImageFile(Path("out.png"));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->channels(), 4);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(image->Row(y)[x * 4 + 3], picture.At(x, y).a) << x << "," << y;
  EXPECT_EQ(PixelRgb(*image, 0, 0), kStandardPalette[8]);  // #FF004D
}

TEST_F(ColorImageCommand, FitStretchesThenScaleMakesBlocks) {
  Picture picture{100, 50, {}};
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x)
      picture.pixels.push_back(x < 50 ? Rgba{250, 5, 70, 255} : Rgba{5, 220, 60, 255});
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGB));
  ProcessResult result = Run({"in.png", "out.png", "--fit", "64", "--scale", "2", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("Loading image file...\nFitting to 64x64...\n"
                            "Applying color palette...\nScaling up...\nSaving image...\n"),
            std::string::npos)
      << result.out;
  ImagePtr image = LoadImageFile(Path("out.png"));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 128);
  ASSERT_EQ(image->height(), 128);
  std::set<std::array<int, 3>> palette;
  for (const Rgb& c : kStandardPalette) palette.insert({c.r, c.g, c.b});
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      Rgb c = PixelRgb(*image, x, y);
      ASSERT_TRUE(palette.count({c.r, c.g, c.b})) << x << "," << y;
      ASSERT_EQ(c, PixelRgb(*image, x & ~1, y & ~1)) << x << "," << y;
    }
  }
  // Away from the seam the two halves keep their own nearest colours.
  EXPECT_EQ(PixelRgb(*image, 10, 64), kStandardPalette[8]);
  EXPECT_EQ(PixelRgb(*image, 120, 64), kStandardPalette[11]);
}

TEST_F(ColorImageCommand, JpegOutputIsFlattenedOntoWhite) {
  Picture picture{16, 16, std::vector<Rgba>(256, Rgba{0, 0, 0, 0})};
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGBA));
  ProcessResult result = Run({"in.png", "out.jpg"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::string bytes = ReadTestFile(Path("out.jpg"));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
  ImagePtr image = LoadImageFile(Path("out.jpg"));
  ASSERT_TRUE(image);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      Rgb c = PixelRgb(*image, x, y);
      ASSERT_GE(std::min({c.r, c.g, c.b}), 245) << x << "," << y;
    }
  }
}

TEST_F(ColorImageCommand, BmpForBmpAndEveryOtherExtension) {
  Picture picture = RandomPicture(12, 7, 3);
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGB));
  for (const char* name : {"out.bmp", "out.gif", "out.BMP", "noextension"}) {
    ProcessResult result = Run({"in.png", name});
    EXPECT_EQ(result.exit_code, 0) << name << result.err;
    EXPECT_EQ(ReadTestFile(Path(name)).substr(0, 2), "BM") << name;
    ExpectFitted(name, picture, kStandardPalette);
  }
}

TEST_F(ColorImageCommand, APalettePngStaysAPalettePng) {
  Picture picture = RandomPicture(20, 20, 4);
  for (Rgba& p : picture.pixels) p = {p.r & 0xE0, p.g & 0xC0, p.b & 0xC0, 255};  // 128 colours
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_PALETTE));
  ASSERT_EQ(ReadPngHeader(Path("in.png")).colour_type, PNG_COLOR_TYPE_PALETTE);
  ProcessResult result = Run({"in.png", "out.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  PngHeader header = ReadPngHeader(Path("out.png"));
  EXPECT_EQ(header.colour_type, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(header.bit_depth, 8);
  ExpectFitted("out.png", picture, kStandardPalette);
}

TEST_F(ColorImageCommand, AlternateAndCustomPalettes) {
  Picture picture = RandomPicture(32, 32, 5);
  picture.At(0, 0) = {0x1D, 0x2B, 0x53, 255};  // standard 1, no candidate of "0,7"
  picture.At(1, 0) = {0xFF, 0xF1, 0xE8, 255};
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGB));

  ProcessResult result = Run({"in.png", "alt.png", "--alternate"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectFitted("alt.png", picture, kAlternatePalette);

  result = Run({"in.png", "custom.png", "--palette", "0,7"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  Palette custom = kStandardPalette;
  custom[0] = {0x00, 0x00, 0x00};
  custom[1] = {0xFF, 0xF1, 0xE8};
  ExpectFitted("custom.png", picture, custom);
  ImagePtr image = LoadImageFile(Path("custom.png"));
  ASSERT_TRUE(image);
  EXPECT_NE(PixelRgb(*image, 0, 0), kStandardPalette[1]);
  EXPECT_EQ(PixelRgb(*image, 1, 0), kStandardPalette[7]);
}

TEST_F(ColorImageCommand, WithoutAnOutputTheInputIsReplaced) {
  Picture picture = RandomPicture(10, 10, 6);
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGB));
  ProcessResult result = Run({"in.png", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("Saved: " + Path("in.png") + "\n"), std::string::npos);
  ExpectFitted("in.png", picture, kStandardPalette);
}

TEST_F(ColorImageCommand, FailuresWriteNothing) {
  WriteTestFile(Path("text.png"), "not a picture\n");
  ProcessResult result = Run({"text.png", "out.png"});
  EXPECT_EQ(result.exit_code, 132);
  EXPECT_EQ(result.err, "Failed to load image file:\n" + Path("text.png") + "\n");
  EXPECT_FALSE(PathExists(Path("out.png")));

  Picture picture = RandomPicture(64, 64, 7);
  ASSERT_TRUE(WritePng(Path("in.png"), picture, PNG_COLOR_TYPE_RGB));
  const std::string original = ReadTestFile(Path("in.png"));

  // 64 x 1000 is past the largest side an image may have.
  result = Run({"in.png", "out.png", "--scale", "1000"});
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(result.err, "Failed to save image file:\n" + Path("out.png") +
                            "\nThe picture would be 64000 pixels wide; the limit is 32767.\n");
  EXPECT_FALSE(PathExists(Path("out.png")));
  // A factor that a 32-bit cut would turn into 1 must not save the picture unscaled.
  result = Run({"in.png", "out.png", "--scale", "4294967297"});
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_FALSE(PathExists(Path("out.png")));
  result = Run({"in.png", "--scale", "1000"});
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(ReadTestFile(Path("in.png")), original);

  result = Run({"in.png", "out.png", "--palette", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0"});
  EXPECT_EQ(result.exit_code, 134);
  EXPECT_EQ(result.err, "Too many colors specified (max 16)\n");
  EXPECT_FALSE(PathExists(Path("out.png")));
  result = Run({"in.png", "--palette", ",,,,,,,,,,,,,,,,"});
  EXPECT_EQ(result.exit_code, 134);
  EXPECT_EQ(ReadTestFile(Path("in.png")), original);

  // A format without an encoder.
  result = Run({"in.png", "out.jpg2"});
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(result.err, "Failed to save image file:\n" + Path("out.jpg2") + "\n");
  EXPECT_FALSE(PathExists(Path("out.jpg2")));
}

}  // namespace
}  // namespace brasswick
