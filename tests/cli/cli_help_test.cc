#include "cli/cli_help.h"

#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli_fixture.h"

namespace brasswick::testing {
namespace {

// The program's own command names and descriptions, with map's and settitle's
// arguments, written with double quotes because descriptions hold apostrophes.
constexpr char kProgramLike[] = R"json({"UppercasePositionals": true, "commands": [
 {"name": "map,exportmap", "desc": "export map image from a .p8 file", "args": [
   {"name": "p8File", "type": "file-exists", "desc": "input .p8 source file"},
   {"name": "outputFile", "type": "file", "N": "?", "desc": "output image file"},
   {"name": "--scale N", "type": "int-pos", "desc": "^upscaling factor (positive integer, such as 2)"},
   {"name": "--cells CX CY CW CH", "type": "number", "desc": "subsection of map"},
   {"name": "--half", "desc": "export the upper half"},
   {"name": "--transparent INDEX", "type": "int-nonneg", "desc": "{{T}}"},
   {"name": "--alternate"}, {"name": "--palette COLORS"},
   {"name": "--open", "desc": "^open image file when finished"}, {"name": "--locate"},
   {"name": "--verbose", "desc": "^show more information"}, {"name": "--silent"}]},
 {"name": "sheet,spritesheet", "desc": "export spritesheet image from a .p8 file"},
 {"name": "sprites", "desc": "export sprites from a .p8 file to individual images"},
 {"name": "label", "desc": "export label image from a .p8 file"},
 {"name": "setlabel, setp8label", "desc": "^set a p8, p8.png, or HTML player's label image"},
 {"name": "settitle, setp8title", "desc": "^set a p8.png's title text", "args": [
   {"name": "inputFile", "type": "file-exists"}, {"name": "outputFile", "N": "?"},
   {"name": "--title TEXT", "required": "true"}, {"name": "--subtitle TEXT"},
   {"name": "--open"}, {"name": "--locate"}, {"name": "--verbose"}, {"name": "--silent"}]},
 {"name": "sethtml, colorhtml", "desc": "edit PICO-8 HTML player's properties"},
 {"name": "colorimage, setimage", "desc": "apply 16-color palette to an image file"},
 {"name": "copy", "desc": "^copy a .p8 file with optional changes"},
 {"name": "extractjsrom", "desc": "", "hidden": true},
 {"name": "version,about", "desc": "^display this software's version"}],
 "runtimes": {"T": "color index"}})json";

constexpr char kSmall[] =
    "{'header':'Head','footer':'Foot','commands':["
    " {'name':'go,run','desc':'^do it','help':'more{{}}help','args':["
    "  {'name':'input','desc':'the input'},"
    "  {'name':'out','N':'?','desc':'^the output{{}}second line'},"
    "  {'name':'--level N','type':'int','required':true,'desc':'level'},"
    "  {'name':'-q','desc':'quiet'},"
    "  {'name':'--tag T','multiple':true,'desc':''},"
    "  {'name':'--secret','hidden':true}]},"
    " {'name':'x','hidden':true}]}";

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A command row of the general help: names padded to the longest name plus 8.
std::string Row(const std::string& name, const std::string& desc, size_t column = 18) {
  return "    " + name + std::string(column - name.size(), ' ') + desc;
}

class CliHelpTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    SetCliProgramPath("/usr/local/bin/brasswick");
  }
  bool RunProgram(std::vector<std::string> words) {
    EXPECT_TRUE(CliLoadText(kProgramLike, false)) << Message();
    return CliExecute(words);
  }
};

TEST_F(CliHelpTest, GeneralHelpOfTheProgram) {
  EXPECT_FALSE(RunProgram({"help"}));
  const std::string dashes = "    ----------";
  EXPECT_EQ(out_.str(),
            Lines({"usage: brasswick {command} [args ...]",
                   "",
                   "  available commands:",
                   "  ",
                   Row("map", "export map image from a .p8 file"),
                   Row("sheet", "export spritesheet image from a .p8 file"),
                   Row("sprites", "export sprites from a .p8 file to individual images"),
                   Row("label", "export label image from a .p8 file"),
                   dashes,
                   "    setlabel          set a p8, p8.png, or HTML player's label image",
                   dashes,
                   Row("settitle", "set a p8.png's title text"),
                   Row("sethtml", "edit PICO-8 HTML player's properties"),
                   Row("colorimage", "apply 16-color palette to an image file"),
                   dashes,
                   Row("copy", "copy a .p8 file with optional changes"),
                   dashes,
                   Row("version", "display this software's version"),
                   "    help              show this help",
                   "  ",
                   "  ",
                   "  brasswick help [command]      for details about a specific command",
                   "  ",
                   "  brasswick help --all          for full help on all commands"}));
  EXPECT_TRUE(err_.str().empty());
}

TEST_F(CliHelpTest, CommandHelpWrapsTheUsageLine) {
  EXPECT_FALSE(RunProgram({"map", "--help"}));
  const std::string expected_start =
      Lines({"brasswick map {P8FILE} [OUTPUTFILE] [--scale N] [--cells CX CY CW CH] [--half]",
             "  [--transparent INDEX] [--alternate] [--palette COLORS] [--open] [--locate]",
             "  [--verbose] [--silent] [--help]", ""});
  EXPECT_EQ(out_.str().substr(0, expected_start.size()), expected_start);
  // The automatic help switch is listed, and references are expanded.
  EXPECT_NE(out_.str().find("\n      help           show help for this command\n"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("\n      transparent    color index\n"), std::string::npos);
}

TEST_F(CliHelpTest, RequiredSwitchesComeFirstInUsage) {
  ASSERT_TRUE(CliLoadText(kProgramLike, false));
  std::string usage = ReplaceAll(BuildUsageLine(Command(5)), "\xC2\xA0", " ");
  EXPECT_EQ(usage,
            "brasswick settitle {INPUTFILE} [OUTPUTFILE] {--title TEXT} [--subtitle TEXT] [--open]"
            " [--locate] [--verbose] [--silent] [--help]");
}

TEST_F(CliHelpTest, HiddenCommandsHaveHelpButAreNotListed) {
  EXPECT_FALSE(RunProgram({"help", "extractjsrom"}));
  EXPECT_EQ(out_.str(), Lines({"brasswick extractjsrom [--help]", "", "    [optional]",
                               "      help    show help for this command", "      "}));
  out_.str("");
  EXPECT_FALSE(RunProgram({"help", "--all"}));
  EXPECT_EQ(out_.str().find("extractjsrom"), std::string::npos);
}

TEST_F(CliHelpTest, FullCommandHelpLayout) {
  SetCliProgramPath("prog");
  EXPECT_FALSE(Run(kSmall, {"help", "go"}));
  EXPECT_EQ(out_.str(), Lines({"Head",
                               "",
                               "prog go {input} [out] {--level N} [-q] [--tag* T] [--help]",
                               "",
                               "    do it",
                               "    ",
                               "    {required}",
                               "      input    the input",
                               "      level    level",
                               "      ",
                               "    [optional]",
                               "      -----",
                               "      out      the output",
                               "               second line",
                               "      q        quiet",
                               "      tag      ",
                               "      help     show help for this command",
                               "      ",
                               "    ",
                               "    more",
                               "    help",
                               "    ",
                               "",
                               "Foot",
                               ""}));
}

TEST_F(CliHelpTest, GeneralHelpWithHeaderFooterAndHiddenCommand) {
  SetCliProgramPath("prog");
  EXPECT_FALSE(Run(kSmall, {}));
  EXPECT_EQ(
      out_.str(),
      Lines({"Head", "", "usage: prog {command} [args ...]", "", "  available commands:", "  ",
             "    ----", "    go          do it", "    help        show this help", "  ", "  ",
             "  prog help [command]           for details about a specific command", "  ",
             "  prog help --all               for full help on all commands", "", "Foot", ""}));
}

TEST_F(CliHelpTest, HelpAllUsesSeparatorsAndItsOwnFooter) {
  SetCliProgramPath("prog");
  const std::string config =
      "{'ConsoleColumns':20,'HelpAllFooter':'All {{F}}','footer':'Foot','runtimes':{'F':'done'},"
      "'commands':[{'name':'go','desc':'d'}]}";
  EXPECT_FALSE(Run(config, {"help", "--all"}));
  const std::string separator(20, '-');
  EXPECT_EQ(out_.str(), Lines({"usage: prog {command} [args ...]",
                               "",
                               "  available commands:",
                               "  ",
                               "    go          d",
                               "    help        show this help",
                               "  ",
                               separator,
                               "",
                               "prog go [--help]",
                               "",
                               "    d",
                               "    ",
                               "    [optional]",
                               "      help    show help for this command",
                               "      ",
                               separator,
                               "",
                               "prog help [command]",
                               "  [--all]",
                               "",
                               "    show this help",
                               "    ",
                               "    [optional]",
                               "      command    show help for a specific command",
                               "      -------",
                               "      all        show full help for all commands (--all or -a)",
                               "      ",
                               "",
                               separator,
                               "",
                               "All done",
                               ""}));
}

TEST_F(CliHelpTest, SilentHidesSeparators) {
  SetCliProgramPath("prog");
  ASSERT_TRUE(Load("{'ConsoleColumns':20,'HelpAllFooter':'F','commands':[{'name':'go'}]}"));
  Cli().invocation.help_all = true;
  Cli().invocation.silent = true;
  PrintHelp();
  EXPECT_EQ(out_.str().find(std::string(20, '-')), std::string::npos);
  EXPECT_NE(out_.str().find("\nF\n"), std::string::npos);
}

TEST_F(CliHelpTest, SingleCommandHelp) {
  SetCliProgramPath("prog");
  EXPECT_FALSE(
      Run("{'UppercasePositionals':true,'commands':[{'name':'*','args':["
          "{'name':'files','N':'+'},{'name':'--x','N':'2'}]}]}",
          {"--help"}));
  EXPECT_EQ(out_.str(), Lines({"usage: prog {FILES} [FILES ...] [-x ..] [--help]", "",
                               "    {required}", "      FILES    ", "      ", "    [optional]",
                               "      x        ", "      help     show this help", "      "}));
}

TEST_F(CliHelpTest, NoConsolePrintsNothing) {
  EXPECT_FALSE(Run("{'NoConsole':true,'commands':[{'name':'go'}]}", {"help", "--all"}));
  EXPECT_FALSE(Run("{'NoConsole':true,'commands':[{'name':'go'}]}", {"go", "--help"}));
  HelpPrint("text", true);
  EXPECT_TRUE(out_.str().empty());
  EXPECT_TRUE(err_.str().empty());
}

TEST_F(CliHelpTest, HelpPrintIndentsEveryLine) {
  ASSERT_TRUE(Load("{'IndentWidth':3,'commands':[{'name':'go'}]}"));
  Cli().help_level = 1;
  HelpPrint("a", false);
  HelpPrint("b\r\nc\rd", true);
  HelpPrint("", true);
  HelpPrint("e\n", false);
  HelpPrint("f", true);
  EXPECT_EQ(out_.str(), "   ab\n   c\n   d\n   \n   e\n   f\n");
}

TEST(WrapText, BreaksAtSpacesWithHang) {
  EXPECT_EQ(WrapText("aaa bbb ccc", 7, 2), "aaa bbb\n  ccc");
  EXPECT_EQ(WrapText("aaa bbb ccc   ", 11, 2), "aaa bbb ccc");
  EXPECT_EQ(WrapText("abcdefghij", 4, 0), "abcd\nefgh\nij");
  EXPECT_EQ(WrapText("ab    cd", 3, 0), "ab\ncd");
  EXPECT_EQ(WrapText("a\xC2\xA0"
                     "b c",
                     3, 0),
            "a b\nc");
  EXPECT_EQ(WrapText("   ", 10, 0), "");
  EXPECT_EQ(WrapText("text", 0, 0), "");
}

TEST(WrapText, WideHangStillConsumesText) {
  std::string wrapped = WrapText("abcdefghij klm", 3, 5);
  std::string letters;
  for (const std::string& line : SplitText(wrapped, '\n')) {
    EXPECT_LE(line.size(), 3u) << wrapped;
    for (char c : line) {
      if (c != ' ') letters.push_back(c);
    }
  }
  EXPECT_EQ(letters, "abcdefghijklm");
}

}  // namespace
}  // namespace brasswick::testing
