// The sprites command as a user runs it: which sprites are written, under which names,
// and with which pixels.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "gtest/gtest.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPictures;
using testing::kStandardPalette;
using testing::ProcessResult;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;
using testing::WriteTestFile;

// Pixel (x, y) of sprite n lies in the sheet's 16 x 16 grid of 8 x 8 cells.
int& SpritePixel(CartPictures& pictures, int n, int x, int y) {
  return pictures.sheet[(n / 16) * 8 + y][(n % 16) * 8 + x];
}

// Every pixel of sprite n set from a pattern that differs from sprite to sprite.
void PaintSprite(CartPictures& pictures, int n) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) SpritePixel(pictures, n, x, y) = (n + x * 3 + y * 5) % 16;
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::set<std::string> SpriteNames(const std::string& prefix, const std::vector<int>& numbers,
                                  int width, const std::string& suffix = ".png") {
  std::set<std::string> names;
  for (int n : numbers) {
    std::string digits = std::to_string(n);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
    names.insert(prefix + digits + suffix);
  }
  return names;
}

std::vector<int> Span(int from, int to) {
  std::vector<int> numbers;
  for (int n = from; n <= to; ++n) numbers.push_back(n);
  return numbers;
}

// Expects the file to show sprite n enlarged by scale, in the standard colours, opaque
// unless the colour index is the transparent one.
void ExpectSpriteImage(const std::string& path, const CartPictures& pictures, int n, int scale = 1,
                       int transparent = -1) {
  ImagePtr image = LoadImageFile(path);
  ASSERT_TRUE(image) << path;
  ASSERT_EQ(image->width(), 8 * scale) << path;
  ASSERT_EQ(image->height(), 8 * scale) << path;
  ASSERT_EQ(image->channels(), 4) << path;
  for (int y = 0; y < 8 * scale; ++y) {
    for (int x = 0; x < 8 * scale; ++x) {
      int index = pictures.sheet[(n / 16) * 8 + y / scale][(n % 16) * 8 + x / scale];
      const uint8_t* p = image->Row(y) + x * 4;
      if (index == transparent) {
        ASSERT_EQ(p[0] | p[1] | p[2] | p[3], 0) << path << " at " << x << "," << y;
        continue;
      }
      const testing::Rgb& want = kStandardPalette[index];
      ASSERT_EQ(p[0], want.r) << path << " at " << x << "," << y;
      ASSERT_EQ(p[1], want.g) << path << " at " << x << "," << y;
      ASSERT_EQ(p[2], want.b) << path << " at " << x << "," << y;
      ASSERT_EQ(p[3], 255) << path << " at " << x << "," << y;
    }
  }
}

class SpritesCommand : public ::testing::Test {
 protected:
  // Writes game.p8 into the temporary folder and runs "sprites game.p8" plus the words
  // from that folder.
  ProcessResult Run(const std::vector<std::string>& words) {
    WriteTestFile(dir_.File("game.p8"), pictures_.ToP8());
    std::vector<std::string> args = {"sprites", "game.p8"};
    args.insert(args.end(), words.begin(), words.end());
    RunOptions options;
    options.working_folder = dir_.path();
    return RunBrasswick(args, options);
  }
  std::set<std::string> Written() {
    std::set<std::string> names = FilesIn(dir_.path());
    names.erase("game.p8");
    return names;
  }

  TempDir dir_;
  CartPictures pictures_;
};

TEST_F(SpritesCommand, DefaultStopsAtTheLastSpriteThatIsNotBlank) {
  PaintSprite(pictures_, 3);
  SpritePixel(pictures_, 41, 7, 7) = 9;  // one pixel is enough
  ProcessResult result = Run({});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  // Width 3 from the range's largest value 255, blank sprites before the last kept.
  EXPECT_EQ(Written(), SpriteNames("game.sprite.", Span(0, 41), 3));
  ExpectSpriteImage(dir_.File("game.sprite.003.png"), pictures_, 3);
  ExpectSpriteImage(dir_.File("game.sprite.041.png"), pictures_, 41);
  ExpectSpriteImage(dir_.File("game.sprite.000.png"), pictures_, 0);
}

TEST_F(SpritesCommand, StarAndDashAreTheDefaultRange) {
  PaintSprite(pictures_, 17);
  for (const char* word : {"*", "-"}) {
    for (const std::string& name : Written()) std::filesystem::remove(dir_.File(name));
    ProcessResult result = Run({"--numbers", word});
    EXPECT_EQ(result.exit_code, 0) << word << result.err;
    EXPECT_EQ(Written(), SpriteNames("game.sprite.", Span(0, 17), 3)) << word;
  }
}

TEST_F(SpritesCommand, EverySpriteOfAWholeSheetWithContent) {
  pictures_.Randomize(7);
  ProcessResult result = Run({});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), SpriteNames("game.sprite.", Span(0, 255), 3));
  for (int n : {0, 1, 15, 16, 127, 128, 200, 255}) {
    ExpectSpriteImage(dir_.File(*SpriteNames("game.sprite.", {n}, 3).begin()), pictures_, n);
  }
}

TEST_F(SpritesCommand, AnAllBlankSheetWritesAll256) {
  ProcessResult result = Run({});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), SpriteNames("game.sprite.", Span(0, 255), 3));
}

TEST_F(SpritesCommand, OnlyTheLastPixelOfTheSheetSet) {
  SpritePixel(pictures_, 255, 7, 7) = 1;
  ProcessResult result = Run({});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written().size(), 256u);
  ExpectSpriteImage(dir_.File("game.sprite.255.png"), pictures_, 255);
}

TEST_F(SpritesCommand, HalfLimitsTheRangeToTheUpperHalf) {
  PaintSprite(pictures_, 200);  // below the half: no reason to go on past 127
  ProcessResult result = Run({"--half"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), SpriteNames("game.sprite.", Span(0, 127), 3));

  for (const std::string& name : Written()) std::filesystem::remove(dir_.File(name));
  PaintSprite(pictures_, 9);
  result = Run({"--half"});
  EXPECT_EQ(Written(), SpriteNames("game.sprite.", Span(0, 9), 3));
}

TEST_F(SpritesCommand, ListedNumbersAreWrittenOnceEachInOrder) {
  pictures_.Randomize(3);
  ProcessResult result = Run({"--numbers", "10,2,5-3,2", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // Width 2: the largest value 10 has two digits.
  EXPECT_EQ(Written(), SpriteNames("game.sprite.", {2, 3, 4, 5, 10}, 2));
  EXPECT_EQ(result.out,
            "brasswick 1.1\n\nLoading p8 file...\nGenerating sprite images...\n"
            "Saving sprite 2...\nSaving sprite 3...\nSaving sprite 4...\n"
            "Saving sprite 5...\nSaving sprite 10...\n");
  for (int n : {2, 5, 10}) {
    ExpectSpriteImage(dir_.File(*SpriteNames("game.sprite.", {n}, 2).begin()), pictures_, n);
  }
}

TEST_F(SpritesCommand, AnExplicitRangeIsNotTrimmed) {
  PaintSprite(pictures_, 1);
  ProcessResult result = Run({"--numbers", "0-255"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), SpriteNames("game.sprite.", Span(0, 255), 3));
}

TEST_F(SpritesCommand, OutputNamesAndNumberWidths) {
  pictures_.Randomize(11);
  ProcessResult result = Run({"x.png", "--numbers", "7"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), (std::set<std::string>{"x.png"}));
  ExpectSpriteImage(dir_.File("x.png"), pictures_, 7);
  std::filesystem::remove(dir_.File("x.png"));

  result = Run({"x.png", "--numbers", "7,8"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), (std::set<std::string>{"x.07.png", "x.08.png"}));
  ExpectSpriteImage(dir_.File("x.08.png"), pictures_, 8);
  std::filesystem::remove(dir_.File("x.07.png"));
  std::filesystem::remove(dir_.File("x.08.png"));

  result = Run({"s-%4d.png", "--numbers", "5"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), (std::set<std::string>{"s-0005.png"}));
  ExpectSpriteImage(dir_.File("s-0005.png"), pictures_, 5);
}

TEST_F(SpritesCommand, NumbersWiderThanThePatternAreWrittenInFull) {
  pictures_.Randomize(5);
  ProcessResult result = Run({"a%1d.png", "--numbers", "1,10-12"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Written(), (std::set<std::string>{"a1.png", "a10.png", "a11.png", "a12.png"}));
  ExpectSpriteImage(dir_.File("a1.png"), pictures_, 1);
  ExpectSpriteImage(dir_.File("a12.png"), pictures_, 12);
}

TEST_F(SpritesCommand, OutputIntoAFolderAndRelativeToTheCartridge) {
  std::filesystem::create_directory(dir_.File("cart"));
  std::filesystem::create_directory(dir_.File("cart/out"));
  std::filesystem::create_directory(dir_.File("elsewhere"));
  WriteTestFile(dir_.File("cart/game.p8"), pictures_.ToP8());
  RunOptions options;
  options.working_folder = dir_.File("elsewhere");
  // An existing folder takes the default names; tested from the current folder.
  ProcessResult result =
      RunBrasswick({"sprites", "../cart/game.p8", "../cart/out", "--numbers", "4,5"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(FilesIn(dir_.File("cart/out")),
            (std::set<std::string>{"game.sprite.04.png", "game.sprite.05.png"}));
  // Any other relative name lands next to the cartridge.
  result = RunBrasswick({"sprites", "../cart/game.p8", "one.png", "--numbers", "3"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(testing::PathExists(dir_.File("cart/one.png")));
  EXPECT_TRUE(FilesIn(dir_.File("elsewhere")).empty());
}

TEST_F(SpritesCommand, ScaleEnlargesEachSprite) {
  pictures_.Randomize(13);
  ProcessResult result = Run({"big.png", "--numbers", "20", "--scale", "4"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectSpriteImage(dir_.File("big.png"), pictures_, 20, 4);
  // 200 div 128 = 1.
  result = Run({"small.png", "--numbers", "20", "--scale", "200"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectSpriteImage(dir_.File("small.png"), pictures_, 20, 1);
}

TEST_F(SpritesCommand, TransparentColourAndOtherPalettes) {
  pictures_.Randomize(17);
  ProcessResult result = Run({"t.png", "--numbers", "33", "--transparent", "0"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectSpriteImage(dir_.File("t.png"), pictures_, 33, 1, 0);

  result = Run({"alt.png", "--numbers", "33", "--alternate"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ImagePtr image = LoadImageFile(dir_.File("alt.png"));
  ASSERT_TRUE(image);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const testing::Rgb& want = testing::kAlternatePalette[SpritePixel(pictures_, 33, x, y)];
      const uint8_t* p = image->Row(y) + x * image->channels();
      EXPECT_EQ((testing::Rgb{p[0], p[1], p[2]}), want) << x << "," << y;
    }
  }
}

struct Refusal {
  std::vector<std::string> words;
  int code;
  std::string message;
};

TEST_F(SpritesCommand, RefusalsWriteNothing) {
  PaintSprite(pictures_, 2);
  for (const Refusal& refusal : {
           Refusal{{"--numbers", "5-x"}, 137, "Sprite index error: Invalid integer: x\n"},
           Refusal{{"--numbers", "1,,2"}, 137, "Sprite index error: String to parse is empty\n"},
           Refusal{{"--numbers", "300"}, 136, "Out of sprite number range (0-255)\n"},
           Refusal{{"--numbers", "-1"}, 136, "Out of sprite number range (0-255)\n"},
           Refusal{{"--numbers", "0-9999999999999"},
                   137,
                   "Sprite index error: Range is too large: 0-9999999999999\n"},
           Refusal{{"--transparent", "20"}, 134, "Transparent color out of range (0-15)\n"},
           Refusal{{"--palette", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0,1"},
                   134,
                   "Too many colors specified (max 16)\n"},
       }) {
    ProcessResult result = Run(refusal.words);
    EXPECT_EQ(result.exit_code, refusal.code) << refusal.words[1];
    EXPECT_EQ(result.err, refusal.message) << refusal.words[1];
    EXPECT_TRUE(Written().empty()) << refusal.words[1];
  }
  // An enlargement past the largest image side makes no sprite images at all.
  ProcessResult huge = Run({"--scale", "4294967297"});
  EXPECT_EQ(huge.exit_code, 130);
  EXPECT_EQ(huge.err, "Failed to generate sprite images\n");
  EXPECT_TRUE(Written().empty());
  // Silent keeps the code but prints nothing.
  ProcessResult result = Run({"--numbers", "300", "--silent"});
  EXPECT_EQ(result.exit_code, 136);
  EXPECT_EQ(result.err, "");
}

TEST_F(SpritesCommand, AFailedSaveStopsAtTheFirstFile) {
  ProcessResult result = Run({"missing/x.png", "--numbers", "1,2"});
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(result.err, "Failed to save image file:\n" +
                            std::filesystem::canonical(dir_.path()).string() +
                            "/missing/x.01.png\n");
  EXPECT_TRUE(Written().empty());
}

TEST_F(SpritesCommand, NotACartridge) {
  WriteTestFile(dir_.File("plain.p8"), "not a cartridge\n");
  RunOptions options;
  options.working_folder = dir_.path();
  ProcessResult result = RunBrasswick({"sprites", "plain.p8"}, options);
  EXPECT_EQ(result.exit_code, 129);
  EXPECT_EQ(result.err, "Failed to load p8 file:\n" +
                            std::filesystem::canonical(dir_.path()).string() + "/plain.p8\n");
  EXPECT_EQ(FilesIn(dir_.path()), (std::set<std::string>{"plain.p8"}));
}

}  // namespace
}  // namespace brasswick
