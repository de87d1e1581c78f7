// The map, sheet and label commands on cartridges written by the tests, with every
// output pixel checked against the cartridge layout rules.
#include <sys/stat.h>

#include <array>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/pixels.h"
#include "gtest/gtest.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPictures;
using testing::kAlternatePalette;
using testing::kStandardPalette;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::Rgb;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

using testing::PixelAt;
using testing::Rgba;

// Compares every pixel of the image with expected_index(x / block, y / block) drawn in
// the palette, transparent_index giving alpha 0 and black. Stops at the first mismatch.
template <typename IndexAt>
void ExpectIndexedImage(const RgbaImage& image, int block, IndexAt expected_index,
                        const std::array<Rgb, 16>& palette = kStandardPalette,
                        int transparent_index = -1) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      int index = expected_index(x / block, y / block);
      Rgba got = PixelAt(image, x, y);
      Rgba want = index == transparent_index
                      ? Rgba{0, 0, 0, 0}
                      : Rgba{palette[index].r, palette[index].g, palette[index].b, 255};
      if (got.r != want.r || got.g != want.g || got.b != want.b || got.a != want.a) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") index " << index << ": got " << got.r
                      << "," << got.g << "," << got.b << "," << got.a;
        return;
      }
    }
  }
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pictures_.Randomize(20261208);
    cart_ = dir_.File("game.p8");
    WriteTestFile(cart_, pictures_.ToP8());
  }

  ImagePtr Load(const std::string& name) { return LoadImageFile(dir_.File(name)); }

  TempDir dir_;
  CartPictures pictures_;
  std::string cart_;
};

TEST_F(ExportTest, MapDrawsEveryCellFromTheSheetIncludingTheSharedHalf) {
  ProcessResult result = RunBrasswick({"map", cart_});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  ImagePtr image = Load("game.map.png");
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 1024);
  ASSERT_EQ(image->height(), 512);
  ExpectIndexedImage(*image, 1, [&](int x, int y) { return pictures_.MapPixel(x, y); });
}

TEST_F(ExportTest, MapHalfAndCellsSelectTheirRectangle) {
  ASSERT_EQ(RunBrasswick({"map", cart_, "half.png", "--half"}).exit_code, 0);
  ImagePtr half = Load("half.png");
  ASSERT_TRUE(half);
  EXPECT_EQ(half->width(), 1024);
  EXPECT_EQ(half->height(), 256);
  ExpectIndexedImage(*half, 1, [&](int x, int y) { return pictures_.MapPixel(x, y); });

  // 1.5 cells start at pixel 12; 2 cells are 16 pixels.
  ASSERT_EQ(RunBrasswick({"map", cart_, "cells.png", "--cells", "1.5", "40", "2", "2"}).exit_code,
            0);
  ImagePtr cells = Load("cells.png");
  ASSERT_TRUE(cells);
  EXPECT_EQ(cells->width(), 16);
  EXPECT_EQ(cells->height(), 16);
  ExpectIndexedImage(*cells, 1, [&](int x, int y) { return pictures_.MapPixel(12 + x, 320 + y); });

  // 0.5 cells round half to even: 4 pixels.
  ASSERT_EQ(RunBrasswick({"map", cart_, "tiny.png", "--cells", "0", "0", "0.5", "1"}).exit_code, 0);
  ImagePtr tiny = Load("tiny.png");
  ASSERT_TRUE(tiny);
  EXPECT_EQ(tiny->width(), 4);

  // The whole map as cells is the same picture as no cells at all.
  ASSERT_EQ(RunBrasswick({"map", cart_, "all.png", "--cells", "0", "0", "128", "64"}).exit_code, 0);
  ASSERT_EQ(RunBrasswick({"map", cart_, "plain.png"}).exit_code, 0);
  EXPECT_EQ(ReadTestFile(dir_.File("all.png")), ReadTestFile(dir_.File("plain.png")));
}

TEST_F(ExportTest, MapCellsOutOfRangeFailAndWriteNothing) {
  for (const std::vector<std::string>& cells : {std::vector<std::string>{"120", "0", "16", "8"},
                                                {"0", "0", "0", "8"},
                                                {"-1", "0", "1", "1"},
                                                {"0", "63.9", "1", "1"},
                                                {"0", "0", "99999999999999999999", "1"}}) {
    std::vector<std::string> words = {"map", cart_, "out.png", "--cells"};
    words.insert(words.end(), cells.begin(), cells.end());
    ProcessResult result = RunBrasswick(words);
    EXPECT_EQ(result.exit_code, 135) << cells[0] << " " << cells[1];
    EXPECT_EQ(result.err, "Out of map range (128x64 cells)\n");
    EXPECT_FALSE(PathExists(dir_.File("out.png")));
  }
}

TEST_F(ExportTest, SheetAndItsSubSelections) {
  ASSERT_EQ(RunBrasswick({"sheet", cart_}).exit_code, 0);
  ImagePtr sheet = Load("game.spritesheet.png");
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->width(), 128);
  ASSERT_EQ(sheet->height(), 128);
  ExpectIndexedImage(*sheet, 1, [&](int x, int y) { return pictures_.SheetPixel(x, y); });

  ASSERT_EQ(RunBrasswick({"sheet", cart_, "last.png", "--sub", "255", "1", "1"}).exit_code, 0);
  ImagePtr last = Load("last.png");
  ASSERT_TRUE(last);
  EXPECT_EQ(last->width(), 8);
  EXPECT_EQ(last->height(), 8);
  ExpectIndexedImage(*last, 1,
                     [&](int x, int y) { return pictures_.SheetPixel(120 + x, 120 + y); });

  // Sprite 35 is column 3 of row 2: a row and a column that differ.
  ASSERT_EQ(RunBrasswick({"sheet", cart_, "pair.png", "--sub", "35", "2", "1"}).exit_code, 0);
  ImagePtr pair = Load("pair.png");
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair->width(), 16);
  EXPECT_EQ(pair->height(), 8);
  ExpectIndexedImage(*pair, 1, [&](int x, int y) { return pictures_.SheetPixel(24 + x, 16 + y); });

  ASSERT_EQ(RunBrasswick({"sheet", cart_, "half.png", "--half"}).exit_code, 0);
  ImagePtr half = Load("half.png");
  ASSERT_TRUE(half);
  EXPECT_EQ(half->height(), 64);
}

TEST_F(ExportTest, SheetSubErrors) {
  struct Case {
    std::vector<std::string> sub;
    std::string message;
  };
  for (const Case& c : {Case{{"256", "1", "1"}, "Out of sprite number range (0-255)"},
                        Case{{"-1", "1", "1"}, "Out of sprite number range (0-255)"},
                        Case{{"15", "2", "1"}, "Out of spritesheet range (16x16 sprites)"},
                        Case{{"0", "0", "1"}, "Width and Height must be positive"},
                        Case{{"0", "16.1", "1"}, "Out of spritesheet range (16x16 sprites)"}}) {
    std::vector<std::string> words = {"sheet", cart_, "out.png", "--sub"};
    words.insert(words.end(), c.sub.begin(), c.sub.end());
    ProcessResult result = RunBrasswick(words);
    EXPECT_EQ(result.exit_code, 136) << c.sub[0];
    EXPECT_EQ(result.err, c.message + "\n");
    EXPECT_FALSE(PathExists(dir_.File("out.png")));
  }
}

TEST_F(ExportTest, LabelScaledByThreeIsExact) {
  ProcessResult result = RunBrasswick({"label", cart_, "--scale", "3"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  ImagePtr label = Load("game.label.png");
  ASSERT_TRUE(label);
  ASSERT_EQ(label->width(), 384);
  ASSERT_EQ(label->height(), 384);
  ExpectIndexedImage(*label, 3, [&](int x, int y) { return pictures_.label[y][x]; });
}

TEST_F(ExportTest, LabelMissingOrEmpty) {
  WriteTestFile(dir_.File("nolabel.p8"), pictures_.ToP8(false));
  ProcessResult missing = RunBrasswick({"label", dir_.File("nolabel.p8")});
  EXPECT_EQ(missing.exit_code, 138);
  EXPECT_EQ(missing.err, "P8 file does not have a 'label' section\n");

  WriteTestFile(dir_.File("empty.p8"), pictures_.ToP8(false) + "__label__\n");
  ProcessResult empty = RunBrasswick({"label", dir_.File("empty.p8")});
  EXPECT_EQ(empty.exit_code, 130);
  EXPECT_EQ(empty.err, "Failed to generate label image\n");
  EXPECT_FALSE(PathExists(dir_.File("empty.label.png")));
}

TEST_F(ExportTest, MapNeedsAMapSection) {
  WriteTestFile(dir_.File("nomap.p8"), pictures_.ToP8(true, false));
  ProcessResult result = RunBrasswick({"map", dir_.File("nomap.p8")});
  EXPECT_EQ(result.exit_code, 130);
  EXPECT_EQ(result.err, "Failed to generate map image\n");
}

TEST_F(ExportTest, TransparentIndexAndPalettes) {
  ASSERT_EQ(RunBrasswick({"sheet", cart_, "t.png", "--transparent", "0"}).exit_code, 0);
  ImagePtr transparent = Load("t.png");
  ASSERT_TRUE(transparent);
  ExpectIndexedImage(
      *transparent, 1, [&](int x, int y) { return pictures_.SheetPixel(x, y); }, kStandardPalette,
      0);

  ASSERT_EQ(RunBrasswick({"sheet", cart_, "alt.png", "--alternate"}).exit_code, 0);
  ImagePtr alternate = Load("alt.png");
  ASSERT_TRUE(alternate);
  ExpectIndexedImage(
      *alternate, 1, [&](int x, int y) { return pictures_.SheetPixel(x, y); }, kAlternatePalette);

  // "8,9": indices 0 and 1 take the standard colours 8 and 9, the rest stay.
  ASSERT_EQ(RunBrasswick({"sheet", cart_, "custom.png", "--palette", "8,9"}).exit_code, 0);
  ImagePtr custom = Load("custom.png");
  ASSERT_TRUE(custom);
  std::array<Rgb, 16> expected = kStandardPalette;
  expected[0] = kStandardPalette[8];
  expected[1] = kStandardPalette[9];
  ExpectIndexedImage(
      *custom, 1, [&](int x, int y) { return pictures_.SheetPixel(x, y); }, expected);
}

TEST_F(ExportTest, ColourOptionErrorsStopBeforeRendering) {
  ProcessResult too_high = RunBrasswick({"map", cart_, "--transparent", "16"});
  EXPECT_EQ(too_high.exit_code, 134);
  EXPECT_EQ(too_high.err, "Transparent color out of range (0-15)\n");
  ProcessResult too_many =
      RunBrasswick({"label", cart_, "--palette", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0"});
  EXPECT_EQ(too_many.exit_code, 134);
  EXPECT_EQ(too_many.err, "Too many colors specified (max 16)\n");
  EXPECT_FALSE(PathExists(dir_.File("game.map.png")));
  EXPECT_FALSE(PathExists(dir_.File("game.label.png")));
}

TEST_F(ExportTest, OutputNamingAndFormats) {
  TempDir elsewhere;
  // A name without extension gets ".png" and lands next to the cartridge.
  testing::RunOptions from_elsewhere;
  from_elsewhere.working_folder = elsewhere.path();
  ASSERT_EQ(RunBrasswick({"map", cart_, "out"}, from_elsewhere).exit_code, 0);
  EXPECT_EQ(ReadTestFile(dir_.File("out.png")).substr(1, 3), "PNG");
  // An unknown extension writes BMP data under that name.
  ASSERT_EQ(RunBrasswick({"label", cart_, "out.gif"}).exit_code, 0);
  EXPECT_EQ(ReadTestFile(dir_.File("out.gif")).substr(0, 2), "BM");
  // A relative folder path is taken from the cartridge's folder.
  ASSERT_EQ(mkdir(dir_.File("sub").c_str(), 0755), 0);
  ASSERT_EQ(RunBrasswick({"sheet", cart_, "sub/x.png"}, from_elsewhere).exit_code, 0);
  EXPECT_TRUE(PathExists(dir_.File("sub/x.png")));
  // An existing folder (relative to the current folder) receives the default name.
  ASSERT_EQ(mkdir(elsewhere.File("exports").c_str(), 0755), 0);
  ASSERT_EQ(RunBrasswick({"map", cart_, "exports"}, from_elsewhere).exit_code, 0);
  EXPECT_TRUE(PathExists(elsewhere.File("exports/game.map.png")));
  // "~/" is the home folder.
  testing::RunOptions with_home;
  with_home.env["HOME"] = elsewhere.path();
  ASSERT_EQ(RunBrasswick({"label", cart_, "~/x.png"}, with_home).exit_code, 0);
  EXPECT_TRUE(PathExists(elsewhere.File("x.png")));
}

TEST_F(ExportTest, JpegOutputIsFlattenedOntoWhite) {
  // A sheet of colour 0 only, transparent: every pixel must come out white.
  CartPictures blank;
  WriteTestFile(dir_.File("blank.p8"), blank.ToP8());
  ASSERT_EQ(RunBrasswick({"sheet", dir_.File("blank.p8"), "w.jpg", "--transparent", "0"}).exit_code,
            0);
  std::string bytes = ReadTestFile(dir_.File("w.jpg"));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
  ImagePtr image = Load("w.jpg");
  ASSERT_TRUE(image);
  for (int y = 0; y < image->height(); y += 7) {
    for (int x = 0; x < image->width(); x += 7) {
      Rgba p = PixelAt(*image, x, y);
      ASSERT_GE(p.r, 250);
      ASSERT_GE(p.g, 250);
      ASSERT_GE(p.b, 250);
    }
  }
}

TEST_F(ExportTest, OversizedUpscaleFailsInsteadOfSavingUnscaled) {
  ProcessResult result = RunBrasswick({"map", cart_, "big.png", "--scale", "40"});
  EXPECT_EQ(result.exit_code, 130);
  EXPECT_EQ(result.err,
            "Failed to generate map image\nThe picture would be 40960 pixels wide; the limit is "
            "32767.\n");
  EXPECT_FALSE(PathExists(dir_.File("big.png")));
}

TEST_F(ExportTest, SaveFailureKeepsTheOldFile) {
  WriteTestFile(dir_.File("old.png"), "precious");
  ProcessResult jpeg2000 = RunBrasswick({"map", cart_, "old.jpg2"});
  EXPECT_EQ(jpeg2000.exit_code, 131);
  EXPECT_EQ(jpeg2000.err, "Failed to save image file:\n" + dir_.File("old.jpg2") + "\n");
  ProcessResult missing_folder = RunBrasswick({"map", cart_, "no/such/x.png"});
  EXPECT_EQ(missing_folder.exit_code, 131);
  EXPECT_EQ(ReadTestFile(dir_.File("old.png")), "precious");
}

TEST_F(ExportTest, NotACartridgeFailsToLoad) {
  WriteTestFile(dir_.File("junk.p8"), std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
  ProcessResult result = RunBrasswick({"map", dir_.File("junk.p8")});
  EXPECT_EQ(result.exit_code, 129);
  EXPECT_EQ(result.err, "Failed to load p8 file:\n" + dir_.File("junk.p8") + "\n");
}

TEST_F(ExportTest, VerboseTellsEachStepAndSilentHidesEverything) {
  ProcessResult verbose = RunBrasswick({"map", cart_, "--verbose", "--scale", "2"});
  EXPECT_EQ(verbose.exit_code, 0);
  EXPECT_EQ(verbose.out,
            "brasswick 1.1\n\nLoading p8 file...\nGenerating map image...\nCropping and "
            "scaling...\nSaving image...\nExported: " +
                dir_.File("game.map.png") + "\n");
  ProcessResult label = RunBrasswick({"label", cart_, "-v"});
  EXPECT_EQ(label.out,
            "brasswick 1.1\n\nLoading p8 file...\nGenerating label image...\nScaling...\nSaving "
            "image...\nExported: " +
                dir_.File("game.label.png") + "\n");
  ProcessResult quiet =
      RunBrasswick({"map", cart_, "--verbose", "--silent", "--transparent", "99"});
  EXPECT_EQ(quiet.exit_code, 134);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
}

}  // namespace
}  // namespace brasswick
