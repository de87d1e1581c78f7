// convert and the files around its input: the files a .p8's code includes (read once
// however often, never written over, bounded), the switches that only some outputs
// hold, and the titles a picture takes from the code.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cart_builder.h"
#include "cart_picture.h"
#include "png_writer.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::kCodeStart;
using testing::kP8Header;
using testing::kRomSize;
using testing::kStandardPalette;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

ProcessResult Convert(const std::vector<std::string>& words) {
  std::vector<std::string> args = {"convert"};
  args.insert(args.end(), words.begin(), words.end());
  return RunBrasswick(args);
}

std::string P8(const std::string& code) {
  return std::string(kP8Header) + "version 41\n__lua__\n" + code + "__gfx__\n0123\n";
}

// The code a ROM holds in the plain format: its bytes, then zeros.
std::string RomWithPlainCode(const std::string& code) {
  std::string rom(kRomSize, '\0');
  rom.replace(kCodeStart, code.size(), code);
  return rom;
}

// Included files are read, so none may be the output, at any depth and through any
// spelling of its path; each refusal leaves the file's code as it was.
TEST(ConvertIncludes, RefusesToWriteOverAnyFileTheCodeIncludes) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("sub"));
  const std::string part = "function part()\n  return 1\nend\n#include sub/inner.lua\n";
  const std::string inner = "inner=2\n";
  const std::string more = P8("more=3\n");
  WriteTestFile(dir.File("part.lua"), part);
  WriteTestFile(dir.File("sub/inner.lua"), inner);
  WriteTestFile(dir.File("more.p8"), more);
  WriteTestFile(dir.File("game.p8"), P8("#include part.lua\n  #include more.p8\nx=1\n"));

  const std::string targets[] = {dir.File("part.lua"), dir.File("sub/inner.lua"),
                                 dir.File("sub/../part.lua"), dir.File("more.p8")};
  for (const std::string& target : targets) {
    for (const char* ending : {"", ".rom"}) {
      // A .rom ending makes a second name for the same file through a link.
      std::string output = target;
      if (*ending) {
        output = dir.File(std::string("link") + ending);
        std::filesystem::remove(output);
        std::filesystem::create_symlink(target, output);
      }
      const ProcessResult result = Convert({dir.File("game.p8"), output});
      EXPECT_EQ(result.exit_code, 131) << output;
      EXPECT_TRUE(result.err.starts_with("Output file is the input cartridge:\n")) << result.err;
    }
  }
  EXPECT_EQ(ReadTestFile(dir.File("part.lua")), part);
  EXPECT_EQ(ReadTestFile(dir.File("sub/inner.lua")), inner);
  EXPECT_EQ(ReadTestFile(dir.File("more.p8")), more);
  // A missing include does not stop a text output, which keeps the line as it is.
  WriteTestFile(dir.File("gone.p8"), P8("#include nowhere.lua\n"));
  EXPECT_EQ(Convert({dir.File("gone.p8"), dir.File("gone.lua")}).exit_code, 0);
  EXPECT_EQ(ReadTestFile(dir.File("gone.lua")), "#include nowhere.lua\n");
}

// A file included twice in a row, or through two different files, is no loop: its code
// stands wherever it is named.
TEST(ConvertIncludes, PutsInAFileAsOftenAsItIsNamed) {
  TempDir dir;
  WriteTestFile(dir.File("a.lua"), "a()\n");
  WriteTestFile(dir.File("d.lua"), "d()");
  WriteTestFile(dir.File("b.lua"), "b()\n#include d.lua\n");
  WriteTestFile(dir.File("c.lua"), "#include d.lua\nc()\n");
  WriteTestFile(dir.File("game.p8"),
                P8("#include a.lua\n#include a.lua\n#include b.lua\n#include c.lua\nend()\n"));

  ProcessResult result = Convert({dir.File("game.p8"), dir.File("game.rom")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  result = Convert({dir.File("game.rom"), dir.File("back.lua")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  // The line break that ends the section is no part of the code.
  EXPECT_EQ(ReadTestFile(dir.File("back.lua")), "a()\na()\nb()\nd()\nd()\nc()\nend()");
}

// Each level naming the next twice doubles the work: a few levels are put in whole,
// eighteen are refused with their own code, and nothing is written.
TEST(ConvertIncludes, BoundsIncludesThatMultiply) {
  TempDir dir;
  const auto chain = [&](int levels) {
    for (int level = 0; level < levels; ++level) {
      const std::string next = "l" + std::to_string(level + 1) + ".lua";
      WriteTestFile(dir.File("l" + std::to_string(level) + ".lua"),
                    "#include " + next + "\n#include " + next + "\n");
    }
    WriteTestFile(dir.File("l" + std::to_string(levels) + ".lua"), "x=x+1\n");
  };
  chain(6);
  WriteTestFile(dir.File("game.p8"), P8("#include l0.lua\n"));
  ProcessResult result = Convert({dir.File("game.p8"), dir.File("game.rom")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  ASSERT_EQ(Convert({dir.File("game.rom"), dir.File("back.lua")}).exit_code, 0);
  std::string expected;
  for (int i = 0; i < 64; ++i) expected += "x=x+1\n";
  EXPECT_EQ(ReadTestFile(dir.File("back.lua")), expected);

  chain(18);
  result = Convert({dir.File("game.p8"), dir.File("deep.rom")});
  EXPECT_EQ(result.exit_code, 167);
  EXPECT_TRUE(result.err.starts_with("Failed to expand the includes (more than ")) << result.err;
  EXPECT_FALSE(PathExists(dir.File("deep.rom")));
  // The same bound holds when only the files read are looked for.
  result = Convert({dir.File("game.p8"), dir.File("deep.lua")});
  EXPECT_EQ(result.exit_code, 0) << result.err;

  // Few includes, but long lines: the bytes put in are bounded too (four times 9 MB
  // of a line that puts in nothing but an empty file).
  WriteTestFile(dir.File("empty.lua"), "");
  WriteTestFile(dir.File("wide.lua"), "#include empty.lua" + std::string(9'000'000, ' ') + "\n");
  WriteTestFile(dir.File("wide.p8"), P8("#include wide.lua\n#include wide.lua\n#include wide.lua\n"
                                        "#include wide.lua\n"));
  result = Convert({dir.File("wide.p8"), dir.File("wide.rom")});
  EXPECT_EQ(result.exit_code, 167) << result.err;
  EXPECT_FALSE(PathExists(dir.File("wide.rom")));
}

// What cannot be code: a picture cartridge is named as itself and said to be no code
// text, and a file past the size bound says so, not "no character".
TEST(ConvertIncludes, NamesAnIncludedFileThatHoldsNoCode) {
  TempDir dir;
  CartPicture picture = CartPicture::Template();
  ASSERT_FALSE(picture.pixels.empty());
  picture.WritePayload(std::vector<uint8_t>(testing::kPayloadSize, 0));
  ASSERT_TRUE(picture.Save(dir.File("x.p8.png")));
  WriteTestFile(dir.File("game.p8"), P8("-- game\n#include x.p8.png\n"));
  ProcessResult result = Convert({dir.File("game.p8"), dir.File("game.rom")});
  EXPECT_EQ(result.exit_code, 160);
  EXPECT_EQ(result.err,
            "Failed to include a file that is no code text:\n" + dir.File("x.p8.png") + "\n");

  {
    std::FILE* big = std::fopen(dir.File("big.lua").c_str(), "wb");
    ASSERT_NE(big, nullptr);
    std::fclose(big);
    std::filesystem::resize_file(dir.File("big.lua"), 16 * 1024 * 1024 + 1);
  }
  WriteTestFile(dir.File("game.p8"), P8("#include big.lua\n"));
  result = Convert({dir.File("game.p8"), dir.File("game.rom")});
  EXPECT_EQ(result.exit_code, 160);
  EXPECT_EQ(result.err,
            "Failed to include a file larger than 16777216 bytes:\n" + dir.File("big.lua") + "\n");
  EXPECT_FALSE(PathExists(dir.File("game.rom")));
}

// A label picture of 128 x 128 in four bands of known colours.
bool WriteLabelPicture(const std::string& path, const int (&bands)[4]) {
  testing::TestPng png;
  png.width = png.height = 128;
  for (int y = 0; y < 128; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < 128; ++x) {
      const testing::Rgb rgb = kStandardPalette[bands[y / 32]];
      row.insert(row.end(), {static_cast<uint8_t>(rgb.r), static_cast<uint8_t>(rgb.g),
                             static_cast<uint8_t>(rgb.b)});
    }
    png.rows.push_back(row);
  }
  return WriteTestPng(path, png);
}

// --label goes into a .p8's __label__ whatever the input; a switch whose output holds
// nothing for it, and a .bin, are refused before anything is written.
TEST(ConvertSwitches, LabelGoesIntoAP8AndSwitchesThatCannotApplyAreRefused) {
  TempDir dir;
  const int bands[4] = {0, 8, 12, 7};
  ASSERT_TRUE(WriteLabelPicture(dir.File("shot.png"), bands));
  std::string label_section = "__label__\n";
  for (int y = 0; y < 128; ++y)
    label_section += std::string(128, "0123456789abcdef"[bands[y / 32]]) + "\n";
  label_section += "\n";
  WriteTestFile(dir.File("game.p8"), P8("x=1\n"));
  WriteTestFile(dir.File("game.rom"), RomWithPlainCode("x=1\n"));

  for (const char* input : {"game.p8", "game.rom"}) {
    const std::string out = dir.File(std::string("labelled-") + input + ".p8");
    const ProcessResult result = Convert({dir.File(input), out, "--label", dir.File("shot.png")});
    ASSERT_EQ(result.exit_code, 0) << input << ": " << result.err;
    const std::string text = ReadTestFile(out);
    EXPECT_NE(text.find(label_section), std::string::npos) << input;
    EXPECT_NE(text.find("__lua__\nx=1\n"), std::string::npos) << input;
  }

  WriteTestFile(dir.File("player.js"), "var _cartname=[`g.p8`];\nvar _cartdat=[1,2,3];\n");
  const std::string player_before = ReadTestFile(dir.File("player.js"));
  struct Case {
    std::vector<std::string> switches;
    const char* output;
    const char* message_start;
  };
  const Case cases[] = {
      {{"--title", "t"}, "out.rom", "Failed to use --title: only a .p8.png output"},
      {{"--title", "t"}, "out.p8", "Failed to use --title: only a .p8.png output"},
      {{"--subtitle", "s"}, "out.lua", "Failed to use --subtitle: only a .p8.png output"},
      {{"--title", "t"}, "player.js", "Failed to use --title: only a .p8.png output"},
      {{"--label", "shot.png"}, "out.rom", "Failed to use --label: only a .p8 or .p8.png output"},
      {{"--label", "shot.png"}, "out.lua", "Failed to use --label: only a .p8 or .p8.png output"},
      {{"--label", "shot.png"}, "player.js", "Failed to use --label: only a .p8 or .p8.png"},
      {{},
       "game.bin",
       "Failed to write a .bin, which is a standalone program to PICO-8; write "
       "the raw ROM as .rom:"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = {dir.File("game.p8"), dir.File(c.output)};
    for (const std::string& word : c.switches) {
      words.push_back(word == "shot.png" ? dir.File(word) : word);
    }
    const ProcessResult result = Convert(words);
    EXPECT_EQ(result.exit_code, 156) << c.output;
    EXPECT_TRUE(result.err.starts_with(c.message_start)) << result.err;
    EXPECT_TRUE(result.err.ends_with(dir.File(c.output) + "\n")) << result.err;
  }
  for (const char* name : {"out.rom", "out.p8", "out.lua", "game.bin"}) {
    EXPECT_FALSE(PathExists(dir.File(name))) << name;
  }
  EXPECT_EQ(ReadTestFile(dir.File("player.js")), player_before);
}

// Rows of title text white on the picture: the console's title lines.
int TitlePixels(const CartPicture& picture) {
  int count = 0;
  for (int y = 167; y < 180; ++y)
    for (int x = 16; x < 144; ++x) count += (picture.At(x, y)[0] & 0xFC) == 252;
  return count;
}

// The first line is the title only when it is a "--" comment, the second the subtitle
// only when both are: compared with the picture the same titles make when given.
TEST(ConvertSwitches, TitlesComeFromTheCodesFirstCommentLines) {
  TempDir dir;
  struct Case {
    const char* code;
    const char* title;     // null: no titles at all
    const char* subtitle;  // null: none
  };
  const Case cases[] = {
      {"-- my game\n-- by me\nx=1\n", "my game", "by me"},
      {"-- my game\nx=1\n-- by me\n", "my game", nullptr},
      {"-- my game\n\n-- by me\n", "my game", nullptr},
      {"x=1\n-- by me\n", nullptr, nullptr},
      {"\n-- my game\n-- by me\n", nullptr, nullptr},
  };
  int index = 0;
  for (const Case& c : cases) {
    const std::string name = "c" + std::to_string(index++);
    WriteTestFile(dir.File(name + ".rom"), RomWithPlainCode(c.code));
    ProcessResult result = Convert({dir.File(name + ".rom"), dir.File(name + ".p8.png")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const CartPicture made = CartPicture::Load(dir.File(name + ".p8.png"));
    ASSERT_FALSE(made.pixels.empty());
    if (!c.title) {
      EXPECT_EQ(TitlePixels(made), 0) << c.code;
      continue;
    }
    std::vector<std::string> words = {dir.File(name + ".rom"), dir.File(name + "-given.p8.png"),
                                      "--title", c.title};
    if (c.subtitle) words.insert(words.end(), {"--subtitle", c.subtitle});
    result = Convert(words);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const CartPicture given = CartPicture::Load(dir.File(name + "-given.p8.png"));
    EXPECT_GT(TitlePixels(given), 20);
    EXPECT_EQ(made.pixels, given.pixels) << c.code;
  }
}

}  // namespace
}  // namespace brasswick
