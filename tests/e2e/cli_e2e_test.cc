// The command line as a user meets it: the real binary with the embedded command table.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

const std::string kGeneralHelp = Lines({
    "usage: brasswick {command} [args ...]",
    "",
    "  available commands:",
    "  ",
    "    map               export map image from a .p8 file",
    "    sheet             export spritesheet image from a .p8 file",
    "    sprites           export sprites from a .p8 file to individual images",
    "    label             export label image from a .p8 file",
    "    ----------",
    "    setlabel          set a p8, p8.png, or HTML player's label image",
    "    ----------",
    "    settitle          set a p8.png's title text",
    "    sethtml           edit PICO-8 HTML player's properties",
    "    colorimage        apply 16-color palette to an image file",
    "    ----------",
    "    copy              copy a .p8 file with optional changes",
    "    ----------",
    "    convert           convert a cartridge to .p8, .p8.png, ROM, .lua or a player",
    "    count             count a cartridge's code against the console's three limits",
    "    ----------",
    "    setsheet          put a picture back into a cartridge's sprite sheet",
    "    setmap            put a picture back into a cartridge's map",
    "    ----------",
    "    version           display this software's version",
    "    help              show this help",
    "  ",
    "  ",
    "  brasswick help [command]      for details about a specific command",
    "  ",
    "  brasswick help --all          for full help on all commands",
});

TEST(CommandLine, VersionAndAboutPrintTheBanner) {
  for (const char* word : {"version", "about", "vers"}) {
    ProcessResult result = RunBrasswick({word});
    EXPECT_EQ(result.exit_code, 0) << word;
    EXPECT_EQ(result.out, "brasswick 1.1\n\n") << word;
    EXPECT_EQ(result.err, "") << word;
  }
}

TEST(CommandLine, GeneralHelpForEveryWayOfAsking) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{}, {"help"}, {"--help"}, {"-h"}, {"-?"}, {"HELP"}}) {
    ProcessResult result = RunBrasswick(words);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, kGeneralHelp) << (words.empty() ? "(none)" : words[0]);
    EXPECT_EQ(result.err, "");
  }
}

TEST(CommandLine, CommandHelpStartsWithTheWrappedUsageLine) {
  const std::string usage = Lines({
      "brasswick map {P8FILE} [OUTPUTFILE] [--scale N] [--cells CX CY CW CH] [--half]",
      "  [--transparent INDEX] [--alternate] [--palette COLORS] [--open] [--locate]",
      "  [--verbose] [--silent] [--help]",
      "",
  });
  for (const std::vector<std::string>& words : {std::vector<std::string>{"help", "map"},
                                                {"map", "--help"},
                                                {"map", "help"},
                                                {"exportmap", "-?"},
                                                {"help", "exportm"}}) {
    ProcessResult result = RunBrasswick(words);
    EXPECT_EQ(result.exit_code, 0) << words[0] << " " << words[1];
    EXPECT_EQ(result.out.substr(0, usage.size()), usage) << words[0] << " " << words[1];
  }
}

TEST(CommandLine, CommandHelpListsArgumentsInGroups) {
  ProcessResult result = RunBrasswick({"help", "map"});
  EXPECT_NE(result.out.find("    {required}\n      P8FILE         input .p8 source file\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(
                "    [optional]\n      OUTPUTFILE     output image file\n      -----------\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("      transparent    color index (0-15) to treat as transparent\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("      help           show help for this command\n"),
            std::string::npos);
}

TEST(CommandLine, SetTitleUsageListsRequiredSwitchFirst) {
  ProcessResult result = RunBrasswick({"help", "settitle"});
  EXPECT_EQ(result.out.substr(0, result.out.find("\n\n") + 1),
            Lines({"brasswick settitle {INPUTFILE} [OUTPUTFILE] {--title TEXT} [--subtitle TEXT]",
                   "  [--open] [--locate] [--verbose] [--silent] [--help]"}));
}

TEST(CommandLine, FullHelpHasSeparatorsAndTheGeneralSyntaxFooter) {
  const std::string separator = std::string(78, '-') + "\n";
  for (const char* all : {"--all", "all"}) {
    ProcessResult result = RunBrasswick({"help", all});
    EXPECT_EQ(result.exit_code, 0);
    // The command list without the hints, then every command's help.
    const std::string list = kGeneralHelp.substr(0, kGeneralHelp.find("  \n  brasswick help ["));
    EXPECT_EQ(result.out.substr(0, list.size() + separator.size()), list + separator);
    // One separator before each of the fifteen visible commands and one before the footer.
    size_t separators = 0;
    for (size_t at = result.out.find(separator); at != std::string::npos;
         at = result.out.find(separator, at + 1)) {
      ++separators;
    }
    EXPECT_EQ(separators, 16u) << all;
    EXPECT_NE(result.out.find(separator + "\ngeneral syntax:\n\n  an input/output FILE"),
              std::string::npos);
    EXPECT_NE(result.out.find("  optional switches can be abbreviated like '-v' for '--verbose'\n"),
              std::string::npos);
    EXPECT_EQ(result.out.find("extractjsrom"), std::string::npos);
  }
}

TEST(CommandLine, HiddenCommandHasItsOwnHelp) {
  ProcessResult result = RunBrasswick({"help", "extractjsrom"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.rfind("brasswick extractjsrom {JSFILE} [OUTPUTFILE]", 0), 0u) << result.out;
}

struct UsageError {
  std::vector<std::string> words;
  int code;
  std::string message;
};

TEST(CommandLine, UsageErrorsGiveTheirMessageAndCode) {
  TempDir dir;
  WriteTestFile(dir.File("cart.p8"), "pico-8 cartridge // http://www.pico-8.com\nversion 41\n");
  const std::string cart = dir.File("cart.p8");
  const std::vector<UsageError> cases = {
      {{"spr"}, 44, "Ambiguous command 'spr', did you mean:\n  spritesheet\n  sprites"},
      {{"set"},
       44,
       "Ambiguous command 'set', did you mean:\n  setlabel\n  settitle\n  sethtml\n  setimage\n  "
       "setsheet\n  setmap"},
      {{"se"}, 51, "At least 3 command characters are required"},
      {{"extractjs"}, 43, "Invalid command 'extractjs'\n\n  see: brasswick help"},
      {{"--verbose", "map"}, 43, "Expected a command, got switch '--verbose'"},
      {{"map", cart, "-s", "2"}, 42, "Ambiguous switch '-s', did you mean:\n  scale\n  silent"},
      {{"map", cart, "--half=1"}, 41, "Invalid switch '--half=1'\n\n  see: brasswick map --help"},
      {{"map"}, 40, "Arg 'p8File' is required"},
      {{"map", "a.p8", "b.png", "c.png"}, 50, "Unexpected argument 'c.png'"},
      {{"map", cart, "-5", "-6"}, 50, "Unexpected argument '-6'"},
      {{"map", "--p8File", "missing.p8"}, 46, "'p8File' file does not exist: missing.p8"},
      {{"map", dir.path()}, 46, "'p8File' must be a file, not a directory: " + dir.path()},
      {{"map", cart, "--scale", "0"}, 45, "'scale' must be positive"},
      {{"map", cart, "--scale", "x"}, 45, "'scale' expects an integer, got 'x'"},
      {{"map", cart, "--scale=x"}, 45, "'scale' expects an integer, got 'x'"},
      {{"map", cart, "--cells", "0", "0"}, 48, "Switch 'cells' requires 4 args"},
      {{"map", cart, "--cells", "0", "0", "a", "1"}, 45, "'cells' expects a number, got 'a'"},
      {{"map", cart, "--half", "--cells", "0", "0", "1", "1"},
       54,
       "Switches cannot be combined:\n  --half\n  --cells"},
      {{"map", cart, "--alt", "--palette", "1,2"},
       54,
       "Switches cannot be combined:\n  --alternate\n  --palette"},
      {{"settitle", cart}, 52, "Switch --title is required"},
      {{"sethtml", cart, "--title", "x", "--title", "y"},
       49,
       "Switch 'title' can only be specified once"},
      {{"help", "zzz"}, 43, "Invalid command 'zzz'"},
      {{"help", "s"}, 51, "At least 3 command characters are required"},
  };
  for (const UsageError& c : cases) {
    ProcessResult result = RunBrasswick(c.words);
    std::string shown;
    for (const auto& w : c.words) shown += w + " ";
    EXPECT_EQ(result.exit_code, c.code) << shown;
    EXPECT_EQ(result.err, c.message + "\n") << shown;
    EXPECT_EQ(result.out, "") << shown;
  }
}

TEST(CommandLine, SilentHidesUsageErrorsButNotTheCode) {
  ProcessResult result = RunBrasswick({"map", "missing.p8", "--silent"});
  EXPECT_EQ(result.exit_code, 46);
  EXPECT_EQ(result.err, "");
}

// The picture library (GdkPixbuf, with GLib beneath it) is opened when the first
// picture is scaled: runs that scale none start without it, even those that make
// pictures. The dynamic loader's own log tells which libraries a run opened.
TEST(CliEndToEnd, OnlyRunsThatScalePicturesOpenThePictureLibrary) {
  TempDir dir;
  WriteTestFile(dir.File("cart.p8"),
                "pico-8 cartridge // http://www.pico-8.com\nversion 41\n__gfx__\n0123\n");
  struct Case {
    std::vector<std::string> args;
    bool scales_pictures;
  };
  const Case cases[] = {
      {{"version"}, false},
      {{"help", "--all"}, false},
      {{"copy", dir.File("cart.p8"), dir.File("copy.p8")}, false},
      {{"sheet", dir.File("cart.p8"), dir.File("sheet.png")}, false},
      {{"sheet", dir.File("cart.p8"), dir.File("sheet4.png"), "--scale", "4"}, true},
  };
  testing::RunOptions options;
  options.env["LD_DEBUG"] = "libs";
  for (const Case& c : cases) {
    const ProcessResult result = RunBrasswick(c.args, options);
    EXPECT_EQ(result.exit_code, 0) << c.args[0] << ": " << result.err.substr(0, 2000);
    const bool opened = result.err.find("libgdk_pixbuf") != std::string::npos;
    EXPECT_EQ(opened, c.scales_pictures) << c.args.size();
  }
  EXPECT_FALSE(ReadTestFile(dir.File("sheet.png")).empty());
  EXPECT_FALSE(ReadTestFile(dir.File("sheet4.png")).empty());
}

}  // namespace
}  // namespace brasswick
