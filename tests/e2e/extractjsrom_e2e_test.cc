// The hidden extractjsrom command as a user runs it: a player's script turned into a
// .p8.png cartridge made from the template, or into the raw 32 768-byte memory image.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "player_page.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::kPayloadSize;
using testing::kRomSize;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

// Values written in the list's several syntaxes, a line break now and then, as
// exported scripts spread them over one or many lines.
std::string ListText(const std::vector<int>& values) {
  std::string list;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) list += (i % 37 == 0) ? ",\n" : ",";
    const int v = values[i];
    if (i % 5 == 1) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "$%X", v);
      list += hex;
    } else if (i % 5 == 2) {
      list += std::to_string(v - 256);  // the same low 8 bits
    } else {
      list += std::to_string(v);
    }
  }
  return list;
}
std::vector<int> RandomValues(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<int> values(count);
  for (int& v : values) v = static_cast<int>(random() % 256);
  return values;
}

// The payload of a cartridge picture: per pixel alpha, red, green, blue low bit pairs.
std::vector<uint8_t> DecodedPayload(const RgbaImage& image) {
  std::vector<uint8_t> bytes;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const uint8_t* p = image.Row(y) + x * 4;
      bytes.push_back(static_cast<uint8_t>(((p[3] & 3) << 6) | ((p[0] & 3) << 4) |
                                           ((p[1] & 3) << 2) | (p[2] & 3)));
    }
  }
  return bytes;
}
bool UpperBitsAre(const RgbaImage& image, int x, int y, int r, int g, int b) {
  const uint8_t* p = image.Row(y) + x * 4;
  return (p[0] & 0xFC) == r && (p[1] & 0xFC) == g && (p[2] & 0xFC) == b;
}
// Pixels of a title line (5 rows from y, columns 16-143) in the title colour.
int TitlePixels(const RgbaImage& image, int y) {
  int count = 0;
  for (int row = y; row < y + 5; ++row)
    for (int x = 16; x < 144; ++x) count += UpperBitsAre(image, x, row, 252, 248, 240);
  return count;
}

ProcessResult RunCommand(std::vector<std::string> args) {
  testing::RunOptions options;
  options.unprivileged = true;
  args.insert(args.begin(), "extractjsrom");
  return RunBrasswick(args, options);
}

TEST(ExtractJsRom, PngOutputCarriesTheListTitleAndLabel) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  const std::vector<int> values = RandomValues(33000, 1);
  WriteTestFile(dir.File("game.js"), testing::PlayerScriptText(ListText(values)));
  ImagePtr label = CreateImage(128, 128, 24);  // opaque black
  ASSERT_TRUE(SaveImageFile(*label, dir.File("label.png"), ImageFormat::kPng));

  struct Case {
    std::vector<std::string> extra;
    bool titled;
    bool labelled;
  };
  const Case cases[] = {
      {{"--title", "Hello", "--subtitle", "World", "--label", dir.File("label.png")}, true, true},
      {{}, false, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {dir.File("game.js"), dir.File("out.PNG")};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ProcessResult result = RunCommand(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    ImagePtr image = LoadImageFile(dir.File("out.PNG"));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), 160);
    ASSERT_EQ(image->height(), 205);
    ASSERT_EQ(image->channels(), 4);
    const std::vector<uint8_t> payload = DecodedPayload(*image);
    for (size_t i = 0; i < kPayloadSize; ++i) {
      ASSERT_EQ(payload[i], static_cast<uint8_t>(values[i])) << i;
    }
    EXPECT_EQ(TitlePixels(*image, 167) > 0, c.titled);
    EXPECT_EQ(TitlePixels(*image, 175) > 0, c.titled);
    // The title area around the lines is the template's.
    EXPECT_TRUE(UpperBitsAre(*image, 16, 165, 52, 52, 52));
    EXPECT_TRUE(UpperBitsAre(*image, 143, 173, 52, 52, 52));
    EXPECT_TRUE(UpperBitsAre(*image, 80, 90, c.labelled ? 0 : 136, c.labelled ? 0 : 136,
                             c.labelled ? 0 : 136));
  }
}

TEST(ExtractJsRom, RomOutputIsTheFirst32768BytesPadded) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  const std::vector<int> values = RandomValues(1000, 2);
  WriteTestFile(dir.File("game.js"), testing::PlayerScriptText(ListText(values)));
  std::string expected(kRomSize, '\0');
  for (size_t i = 0; i < values.size(); ++i) expected[i] = static_cast<char>(values[i]);

  for (const char* name : {"out.p8", "out"}) {
    ProcessResult result = RunCommand({dir.File("game.js"), dir.File(name)});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(ReadTestFile(dir.File(name)), expected) << name;
  }

  // Naming the page: its script is used and names the default output.
  WriteTestFile(dir.File("game.html"), testing::PlayerPageText({}));
  ProcessResult result = RunCommand({dir.File("game.html"), "--verbose"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "brasswick 1.1\n\nAssuming you intended 'game.js'...\nLoading JS file...\n"
            "Loading cart data...\nGenerating cartridge ROM...\nExtracted: " +
                dir.File("game.js") + ".p8.rom\n");
  EXPECT_EQ(ReadTestFile(dir.File("game.js.p8.rom")), expected);
}

TEST(ExtractJsRom, RefusesScriptsWithoutACompleteList) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  struct Case {
    std::string script;
    const char* note;
  };
  const Case cases[] = {
      {"var _cartdat =[1,2,3];", "a blank before ="},
      {"var _cartdat=[1,2,3,4,5", "no closing ]"},
      {"var x=[1];", "no list at all"},
  };
  for (const Case& c : cases) {
    WriteTestFile(dir.File("bad.js"), c.script);
    ProcessResult result = RunCommand({dir.File("bad.js"), dir.File("out.p8.png")});
    EXPECT_EQ(result.exit_code, 150) << c.note;
    EXPECT_EQ(result.err, "File contains no cart data:\n" + dir.File("bad.js") + "\n") << c.note;
    EXPECT_FALSE(PathExists(dir.File("out.p8.png"))) << c.note;
  }

  // A label that cannot be applied is a warning: the cartridge is still written.
  WriteTestFile(dir.File("game.js"), testing::PlayerScriptText("1,2"));
  WriteTestFile(dir.File("label.txt"), "not a picture");
  ProcessResult result =
      RunCommand({dir.File("game.js"), dir.File("out.p8.png"), "--label", dir.File("label.txt")});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Warning: Could not apply label image:\n" + dir.File("label.txt") + "\n");
  EXPECT_EQ(result.err, "");
  ImagePtr image = LoadImageFile(dir.File("out.p8.png"));
  ASSERT_TRUE(image);
  EXPECT_EQ(DecodedPayload(*image)[1], 2);

  // --silent silences the warning too, and the cartridge is still written.
  ASSERT_EQ(std::remove(dir.File("out.p8.png").c_str()), 0);
  result = RunCommand(
      {dir.File("game.js"), dir.File("out.p8.png"), "--label", dir.File("label.txt"), "--silent"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out + result.err, "");
  image = LoadImageFile(dir.File("out.p8.png"));
  ASSERT_TRUE(image);
  EXPECT_EQ(DecodedPayload(*image)[1], 2);

  result = RunCommand({dir.File("game.js"), dir.File("no/folder/out.rom")});
  EXPECT_EQ(result.exit_code, 151);
  EXPECT_EQ(result.err, "Failed to save ROM file:\n" + dir.File("no/folder/out.rom") + "\n");
}

// The player's page and script and the label picture are what the command reads: none
// of them may become its output.
TEST(ExtractJsRom, NeverWritesOverWhatItReads) {
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  const std::string script = testing::PlayerScriptText("1,2,3");
  const std::string page = testing::PlayerPageText({});
  WriteTestFile(dir.File("game.js"), script);
  WriteTestFile(dir.File("game.html"), page);
  ImagePtr label = CreateImage(128, 128, 24);
  ASSERT_TRUE(SaveImageFile(*label, dir.File("label.png"), ImageFormat::kPng));
  const std::string label_bytes = ReadTestFile(dir.File("label.png"));
  // Writable by the user the command runs as: only the refusal keeps them.
  for (const char* name : {"game.js", "game.html", "label.png"}) {
    ASSERT_EQ(chmod(dir.File(name).c_str(), 0666), 0) << name;
  }
  const std::vector<std::vector<std::string>> runs = {
      {dir.File("game.html"), dir.File("game.js")},
      {dir.File("game.js"), dir.File("game.js")},
      {dir.File("game.html"), dir.File("game.html")},
      {dir.File("game.js"), dir.File("game.html")},
      {dir.File("game.js"), dir.File("label.png"), "--label", dir.File("label.png")},
  };
  for (const std::vector<std::string>& run : runs) {
    ProcessResult result = RunCommand(run);
    EXPECT_EQ(result.exit_code, 131) << run[0] << " " << run[1];
    EXPECT_EQ(result.err, "Output file is the input cartridge:\n" + run[1] + "\n");
  }
  EXPECT_EQ(ReadTestFile(dir.File("game.js")), script);
  EXPECT_EQ(ReadTestFile(dir.File("game.html")), page);
  EXPECT_EQ(ReadTestFile(dir.File("label.png")), label_bytes);
}

// A page is read for the script it names, not a stale one of its name beside it; the
// list's marker is found in any letter case.
TEST(ExtractJsRom, FollowsThePagesOwnScript) {
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  WriteTestFile(dir.File("game.html"),
                "<!DOCTYPE html><html><head><script src=\"v2.js\"></script></head>"
                "<body><div id=\"p8_playarea\"></div></body></html>");
  WriteTestFile(dir.File("game.js"), testing::PlayerScriptText("9,9,9"));
  WriteTestFile(dir.File("v2.js"), "var _CARTDAT=[7,8,9];");
  ProcessResult result = RunCommand({dir.File("game.html"), dir.File("out.rom")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::string expected(kRomSize, '\0');
  expected[0] = 7;
  expected[1] = 8;
  expected[2] = 9;
  EXPECT_EQ(ReadTestFile(dir.File("out.rom")), expected);
}

}  // namespace
}  // namespace brasswick
