// The settitle command on cartridges the test builds: the blank cartridge with a
// payload in its pixels and an old title in the way. Every output pixel is checked
// against what the title rules make of the input.
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "e2e/cart_picture.h"
#include "gtest/gtest.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::Pixel;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;

// The glyphs the tests draw, column bytes as the font tables give them.
const std::map<int, std::vector<int>> kGlyphs = {
    {32, {0x00, 0x00, 0x00}},  {101, {0x1f, 0x15, 0x11}},
    {104, {0x1f, 0x04, 0x1f}}, {108, {0x1f, 0x10, 0x10}},
    {111, {0x1e, 0x11, 0x0f}}, {201, {0x04, 0x0e, 0x14, 0x06, 0x0c, 0x00, 0x00}},
};
const std::vector<int> kHello = {104, 101, 108, 108, 111};

// The rows 167-171 and 175-179, columns 16-143, cleared to the colour at column 17 of
// their first row; the glyphs in 252, 248, 240 from column 18, up to column 159; alpha
// and every channel's two low bits as they were.
CartPicture Titled(const CartPicture& input, const std::vector<int>& title,
                   const std::vector<int>& subtitle) {
  CartPicture out = input;
  auto upper = [](Pixel& p, int r, int g, int b) {
    p = {(r & 0xFC) | (p[0] & 3), (g & 0xFC) | (p[1] & 3), (b & 0xFC) | (p[2] & 3), p[3]};
  };
  for (auto [top, codes] : {std::pair{167, title}, std::pair{175, subtitle}}) {
    const Pixel background = input.At(17, top);
    for (int y = top; y < top + 5; ++y)
      for (int x = 16; x <= 143; ++x)
        upper(out.At(x, y), background[0], background[1], background[2]);
    int x = 18;
    for (int code : codes) {
      const std::vector<int>& glyph = kGlyphs.at(code);
      for (int column = 0; column < static_cast<int>(glyph.size()); ++column)
        for (int row = 0; row < 5; ++row)
          if (x + column < 160 && ((glyph[column] >> row) & 1))
            upper(out.At(x + column, top + row), 252, 248, 240);
      x += glyph.size() == 3 ? 4 : 8;
    }
  }
  return out;
}

class SetTitleCommand : public ::testing::Test {
 protected:
  SetTitleCommand() : root_(std::filesystem::canonical(dir_.path()).string()) {
    input_ = CartPicture::Template();
    // An old title in both lines (column 17 keeps the title area's colour).
    std::mt19937 random(7);
    for (int y : {167, 168, 169, 170, 171, 175, 176, 177, 178, 179})
      for (int x = 16; x <= 143; ++x)
        if (x != 17) input_.At(x, y) = {int(random() % 256), int(random() % 256), 40, 252};
    payload_ = testing::RandomPayload(11);
    input_.WritePayload(payload_);
  }

  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  void MakeInput(const std::string& name) { ASSERT_TRUE(input_.Save(Path(name))); }
  ProcessResult Run(std::vector<std::string> words, const RunOptions& options = {}) {
    words.insert(words.begin(), "settitle");
    RunOptions run = options;
    run.working_folder = root_;
    return RunBrasswick(words, run);
  }
  void ExpectPicture(const std::string& name, const CartPicture& expected) {
    CartPicture got = CartPicture::Load(Path(name));
    ASSERT_EQ(got.pixels.size(), expected.pixels.size()) << name;
    EXPECT_EQ(got.Payload(), payload_) << name;
    for (int y = 0; y < CartPicture::kHeight; ++y)
      for (int x = 0; x < CartPicture::kWidth; ++x)
        ASSERT_EQ(got.At(x, y), expected.At(x, y)) << name << " at " << x << "," << y;
  }

  TempDir dir_;
  std::string root_;
  CartPicture input_;
  std::vector<uint8_t> payload_;
};

TEST_F(SetTitleCommand, DrawsTheTitleAndClearsTheOtherLine) {
  ASSERT_FALSE(input_.pixels.empty());
  MakeInput("in.p8.png");
  const std::string original = ReadTestFile(Path("in.p8.png"));
  ProcessResult result = Run({"in.p8.png", "out.p8.png", "--title", "Hello", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "brasswick 1.1\n\nLoading cartridge...\nLoaded cartridge\nApplying title...\n"
            "Saving cartridge image...\nSaved cartridge image: " +
                Path("out.p8.png") + "\n");
  EXPECT_EQ(result.err, "");
  ExpectPicture("out.p8.png", Titled(input_, kHello, {}));
  EXPECT_EQ(ReadTestFile(Path("in.p8.png")), original);
}

TEST_F(SetTitleCommand, TitlesFollowTheCharacterRules) {
  struct Case {
    std::vector<std::string> texts;  // --title and, when given, --subtitle
    std::vector<int> title, subtitle;
  };
  std::vector<int> long_title;  // 41 characters run over the frame and are cut at 159
  for (int i = 0; i < 7; ++i) {
    long_title.insert(long_title.end(), kHello.begin(), kHello.end());
    if (i < 6) long_title.push_back(32);
  }
  const std::vector<Case> cases = {
      {{""}, {}, {}},
      {{"hello hello hello hello hello hello hello", "HeLLo"}, long_title, kHello},
      {{"he\t\xE2\x82\xACl\xF0\x9F\x98\x80l\xFFo"}, kHello, {}},  // no glyph, no gap
      {{"\xC3\xA9h", "\xC3\x89"}, {201, 104}, {201}},             // é upper-cased to É
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "c" + std::to_string(n++) + ".p8.png";
    MakeInput(name);
    std::vector<std::string> words = {name, "--title", c.texts[0]};
    if (c.texts.size() > 1) words.insert(words.end(), {"--subtitle", c.texts[1]});
    ProcessResult result = Run(words);
    EXPECT_EQ(result.exit_code, 0) << c.texts[0] << result.err;
    ExpectPicture(name, Titled(input_, c.title, c.subtitle));
  }
}

TEST_F(SetTitleCommand, ASecondTitleReplacesTheFirst) {
  MakeInput("in.p8.png");
  ASSERT_EQ(Run({"in.p8.png", "--title", "hello hello", "--subtitle", "hello"}).exit_code, 0);
  ASSERT_EQ(Run({"in.p8.png", "--title", "ole"}).exit_code, 0);
  ExpectPicture("in.p8.png", Titled(input_, {111, 108, 101}, {}));
}

// Any other format would drop the game the pixels carry: the output is the cartridge
// picture whatever its name promises.
TEST_F(SetTitleCommand, EveryOutputNameGetsThePngCartridge) {
  MakeInput("in.p8.png");
  for (const char* name : {"out.jpg", "out.bmp", "out.gif", "out.p8"}) {
    ProcessResult result = Run({"in.p8.png", name, "--title", "ole"});
    EXPECT_EQ(result.exit_code, 0) << name << ": " << result.err;
    EXPECT_EQ(ReadTestFile(Path(name)).substr(0, 8), "\x89PNG\r\n\x1A\n") << name;
    ExpectPicture(name, Titled(input_, {111, 108, 101}, {}));
  }
}

TEST_F(SetTitleCommand, RefusalsWriteNothing) {
  MakeInput("in.p8.png");
  ProcessResult result = Run({"in.p8.png", "out.p8.png"});
  EXPECT_EQ(result.exit_code, 52);
  EXPECT_EQ(result.err, "Switch --title is required\n");
  EXPECT_FALSE(testing::PathExists(Path("out.p8.png")));

  // Not the cartridge's shape: too small, or without alpha.
  ImagePtr small = CreateImage(160, 100, 32);
  ImagePtr rgb = CreateImage(160, 205, 24);
  ASSERT_TRUE(SaveImageFile(*small, Path("small.png"), ImageFormat::kPng, 7, 32));
  ASSERT_TRUE(SaveImageFile(*rgb, Path("rgb.png"), ImageFormat::kPng, 7, 24));
  testing::WriteTestFile(Path("text.p8.png"), "not a picture");
  for (const char* name : {"small.png", "rgb.png", "text.p8.png"}) {
    result = Run({name, "out.p8.png", "--title", "x"});
    EXPECT_EQ(result.exit_code, 129) << name;
    EXPECT_EQ(result.err, "Failed to load cartridge:\n" + Path(name) + "\n");
  }
  EXPECT_FALSE(testing::PathExists(Path("out.p8.png")));
}

TEST_F(SetTitleCommand, AFailedSaveLeavesTheCartridgeAsItWas) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  MakeInput("in.p8.png");
  const std::string original = ReadTestFile(Path("in.p8.png"));
  ASSERT_TRUE(testing::GiveToTestUser(root_));
  ASSERT_TRUE(testing::GiveToTestUser(Path("in.p8.png")));
  ASSERT_EQ(chmod(Path("in.p8.png").c_str(), 0444), 0);
  RunOptions options;
  options.unprivileged = true;
  ProcessResult result = Run({"in.p8.png", "--title", "hello"}, options);
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(result.err, "Failed to save image file:\n" + Path("in.p8.png") + "\n");
  EXPECT_EQ(ReadTestFile(Path("in.p8.png")), original);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root_))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"in.p8.png"});
}

}  // namespace
}  // namespace brasswick
