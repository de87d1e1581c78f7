#include "cli/cli_binding.h"

#include <string>
#include <vector>

#include "cli_fixture.h"

namespace brasswick::testing {
namespace {

constexpr char kMap[] =
    "{'commands':[{'name':'map','call':'Map','exclusiveSets':['half,cells','alt,palette'],"
    "'args':[{'name':'p8File'},{'name':'outputFile','N':'?'},"
    " {'name':'--scale N','type':'int-pos'},{'name':'--cells CX CY CW CH','type':'number'},"
    " {'name':'--half'},{'name':'--alternate'},{'name':'--palette COLORS'},"
    " {'name':'--headers FILE','multiple':true},{'name':'--verbose'},{'name':'--silent'},"
    " {'name':'--yes','confirms':true}]}]}";

class CliBindingTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    RegisterCounter("Map()");
  }
  // Runs the map configuration and expects the failure.
  void ExpectFailure(std::vector<std::string> words, int64_t code, const std::string& message) {
    words.insert(words.begin(), "map");
    EXPECT_FALSE(Run(kMap, words)) << message;
    EXPECT_EQ(Code(), code) << message;
    EXPECT_EQ(Message(), message);
  }
  bool RunMap(std::vector<std::string> words) {
    words.insert(words.begin(), "map");
    return Run(kMap, words);
  }
};

TEST_F(CliBindingTest, BindsSwitchValuesAndPositionals) {
  ASSERT_TRUE(RunMap({"cart.p8", "--cells", "0", "-1", "16", "16", "out.png"})) << Message();
  EXPECT_EQ(GetArgValue("p8File"), "cart.p8");
  EXPECT_EQ(GetArgValue("outputFile"), "out.png");
  EXPECT_EQ(GetArgValue("--cells", 3), "16");
  EXPECT_EQ(GetArgValue("cells.CY"), "-1");
  EXPECT_EQ(GetArgValue("cells.cw"), "16");
  EXPECT_EQ(GetArgValue("cells.XX", 0, "none"), "none");
  EXPECT_EQ(GetArgValue("cells", 4, "none"), "none");
  EXPECT_EQ(GetArgValue("cells", -1, "none"), "none");
  EXPECT_EQ(GetArgInt("cells.CY", 0, 99), -1);
  EXPECT_EQ(GetArgInt("scale", 0, 99), 99);
  EXPECT_TRUE(IsArgSet("cells"));
  EXPECT_TRUE(IsArgSet("-ce"));
  EXPECT_FALSE(IsArgSet("half"));
  EXPECT_FALSE(IsArgSet("p8File"));  // positionals are not switches
  EXPECT_EQ(Arg(0, 0).count, 1);
  EXPECT_EQ(Arg(0, 3).count, 1);
}

TEST_F(CliBindingTest, AccessorsBeforeSelectionGiveDefaults) {
  ASSERT_TRUE(Load(kMap));
  EXPECT_FALSE(IsArgSet("half"));
  EXPECT_EQ(GetArgValue("p8File", 0, "d"), "d");
  EXPECT_EQ(GetArgInt("scale", 0, 5), 5);
}

TEST_F(CliBindingTest, GetArgIntTakesTheLeadingInteger) {
  ASSERT_TRUE(RunMap({"3.7"}));
  EXPECT_EQ(GetArgInt("p8File", 0, -1), 3);
  ASSERT_TRUE(RunMap({"x"}));
  EXPECT_EQ(GetArgInt("p8File", 0, -1), 0);
  ASSERT_TRUE(RunMap({"99999999999999999999999"}));
  EXPECT_EQ(GetArgInt("p8File", 0, -1), INT64_MAX);
  ASSERT_TRUE(RunMap({"-99999999999999999999999"}));
  EXPECT_EQ(GetArgInt("p8File", 0, -1), INT64_MIN);
}

TEST_F(CliBindingTest, SwitchFailures) {
  ExpectFailure({"cart.p8", "--cells", "0", "0"}, 48, "Switch 'cells' requires 4 args");
  ExpectFailure({"cart.p8", "--scale"}, 48, "Switch 'scale' requires 1 arg");
  ExpectFailure({"cart.p8", "-s", "2"}, 42,
                "Ambiguous switch '-s', did you mean:\n  scale\n  silent");
  ExpectFailure({"cart.p8", "--half=1"}, 41, "Invalid switch '--half=1'\n\n  see: prog map --help");
  ExpectFailure({"cart.p8", "--nope"}, 41, "Invalid switch '--nope'\n\n  see: prog map --help");
  ExpectFailure({"cart.p8", "--scale", "2", "--sc", "3"}, 49,
                "Switch 'scale' can only be specified once");
  ExpectFailure({}, 40, "Arg 'p8File' is required");
  ExpectFailure({"a.p8", "b.png", "c.png"}, 50, "Unexpected argument 'c.png'");
  ExpectFailure({"cart.p8", "--half", "--cells", "0", "0", "1", "1"}, 54,
                "Switches cannot be combined:\n  --half\n  --cells");
  ExpectFailure({"cart.p8", "--palette", "1,2", "--alt"}, 54,
                "Switches cannot be combined:\n  --alternate\n  --palette");
  ExpectFailure({"cart.p8", "--scale", "0"}, 45, "'scale' must be positive");
  ExpectFailure({"cart.p8", "--scale", "x"}, 45, "'scale' expects an integer, got 'x'");
}

TEST_F(CliBindingTest, AssignmentFormSplitsOnlyForOneValueSwitches) {
  ASSERT_TRUE(RunMap({"cart.p8", "--scale=3"})) << Message();
  EXPECT_EQ(GetArgInt("scale", 0, 0), 3);
  ASSERT_TRUE(RunMap({"cart.p8", "--sc = 4 "})) << Message();
  EXPECT_EQ(GetArgInt("scale", 0, 0), 4);
  ExpectFailure({"cart.p8", "--scale=3=4"}, 41,
                "Invalid switch '--scale=3=4'\n\n  see: prog map --help");
}

TEST_F(CliBindingTest, AbbreviationsAndRepeats) {
  ASSERT_TRUE(RunMap({"cart.p8", "-sc", "2", "--verbose", "--verbose", "-v"})) << Message();
  EXPECT_EQ(GetArgInt("scale", 0, 0), 2);
  EXPECT_EQ(Arg(0, 8).count, 3);
  EXPECT_TRUE(Cli().invocation.verbose_on);
  ASSERT_TRUE(RunMap({"cart.p8", "--headers", "a", "--head", "b"})) << Message();
  EXPECT_EQ(Arg(0, 7).values, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(GetArgValue("headers", 1), "b");
}

TEST_F(CliBindingTest, PartialSwitchesCanBeTurnedOff) {
  const std::string config =
      "{'AllowPartialSwitches':false,'commands':[{'name':'go','args':["
      "{'name':'--verbose'}]}]}";
  EXPECT_FALSE(Run(config, {"go", "--verb"}));
  EXPECT_EQ(Message(), "Invalid switch '--verb'\n\n  see: prog go --help");
  EXPECT_TRUE(Run(config, {"go", "--verbose"}));
  EXPECT_FALSE(IsArgSet("verb"));
  EXPECT_TRUE(IsArgSet("verbose"));
}

TEST_F(CliBindingTest, NumbersAndDashesAreValues) {
  ASSERT_TRUE(RunMap({"cart.p8", "-5"})) << Message();
  EXPECT_EQ(GetArgValue("outputFile"), "-5");
  ASSERT_TRUE(RunMap({"-0.5", "--"})) << Message();
  EXPECT_EQ(GetArgValue("p8File"), "-0.5");
  EXPECT_EQ(GetArgValue("outputFile"), "--");
  ASSERT_TRUE(RunMap({"-"})) << Message();
  EXPECT_EQ(GetArgValue("p8File"), "-");
  // A switch value is taken whatever it looks like.
  ASSERT_TRUE(RunMap({"c.p8", "--palette", "--half"})) << Message();
  EXPECT_EQ(GetArgValue("palette"), "--half");
  EXPECT_FALSE(IsArgSet("half"));
}

TEST_F(CliBindingTest, PositionalNamedAsSwitchIsSkipped) {
  ASSERT_TRUE(RunMap({"--p8File", "cart.p8", "--out", "o.png"})) << Message();
  EXPECT_EQ(GetArgValue("p8File"), "cart.p8");
  EXPECT_EQ(GetArgValue("outputFile"), "o.png");
}

TEST_F(CliBindingTest, RunFlags) {
  ASSERT_TRUE(RunMap({"cart.p8", "--yes", "--silent"}));
  EXPECT_TRUE(Cli().invocation.confirmed);
  EXPECT_TRUE(Cli().invocation.silent);
  EXPECT_FALSE(Cli().invocation.verbose_on);
}

TEST_F(CliBindingTest, HelpSwitchStopsBinding) {
  EXPECT_FALSE(RunMap({"--help", "--nope", "extra", "words"}));
  EXPECT_EQ(Code(), 0);
  EXPECT_TRUE(Cli().invocation.show_help);
  EXPECT_EQ(Cli().invocation.help_for, &Command(0));
  EXPECT_TRUE(trace_.empty());
}

TEST_F(CliBindingTest, RequiredSwitchesAndSets) {
  const std::string config =
      "{'commands':[{'name':'go','call':'Map','requiredSets':'alpha,b',"
      "'args':[{'name':'--alpha'},{'name':'-b'},{'name':'--title T','required':true},"
      "{'name':'-t X','required':'yes'}]}]}";
  EXPECT_FALSE(Run(config, {"go", "--title", "x", "-t", "y"}));
  EXPECT_EQ(Code(), 53);
  EXPECT_EQ(Message(), "You must specify one of the following:\n  --alpha\n  -b");
  EXPECT_FALSE(Run(config, {"go", "-b", "-t", "y"}));
  EXPECT_EQ(Code(), 52);
  EXPECT_EQ(Message(), "Switch --title is required");
  EXPECT_FALSE(Run(config, {"go", "-b", "--title", "y"}));
  EXPECT_EQ(Message(), "Switch -t is required");
  EXPECT_TRUE(Run(config, {"go", "--alpha", "--title", "y", "-t", "z"}));
}

TEST_F(CliBindingTest, PositionalCounts) {
  const std::string config =
      "{'commands':[{'name':'go','call':'Map','args':[{'name':'pair','N':'2'},"
      "{'name':'files','N':'+'}]}]}";
  EXPECT_FALSE(Run(config, {"go", "a"}));
  EXPECT_EQ(Message(), "At least 2 'pair' required");
  EXPECT_FALSE(Run(config, {"go", "a", "b"}));
  EXPECT_EQ(Message(), "At least 1 'files' required");
  EXPECT_TRUE(Run(config, {"go", "a", "b", "c", "d", "e"}));
  EXPECT_EQ(Arg(0, 1).values, (std::vector<std::string>{"c", "d", "e"}));
  EXPECT_EQ(Arg(0, 1).count, 3);
}

TEST_F(CliBindingTest, SingleCommandHintHasNoCommandName) {
  EXPECT_FALSE(Run("{'commands':[{'name':'*','call':'Map'}]}", {"--bad"}));
  EXPECT_EQ(Message(), "Invalid switch '--bad'\n\n  see: prog --help");
  EXPECT_FALSE(Run("{'AutoAddHelp':false,'commands':[{'name':'*','call':'Map'}]}", {"--bad"}));
  EXPECT_EQ(Message(), "Invalid switch '--bad'");
}

TEST_F(CliBindingTest, NormalizesSwitchNames) {
  ASSERT_TRUE(Load(kMap));
  EXPECT_EQ(NormalizeSwitchName(" --Verbose "), "verbose");
  EXPECT_EQ(NormalizeSwitchName("---v"), "v");
  EXPECT_EQ(NormalizeSwitchName("-?"), "help");
  EXPECT_EQ(NormalizeSwitchName("/x"), "/x");
  EXPECT_TRUE(LooksLikeSwitch("-x"));
  EXPECT_FALSE(LooksLikeSwitch("-"));
  EXPECT_FALSE(LooksLikeSwitch("--"));
  EXPECT_FALSE(LooksLikeSwitch("/x"));
  ASSERT_TRUE(
      Load("{'AllowSlashSwitches':true,'CaseSensitive':true,'AutoAddHelp':false,"
           "'commands':[{'name':'go'}]}"));
  EXPECT_EQ(NormalizeSwitchName("-/X"), "X");
  EXPECT_EQ(NormalizeSwitchName("-?"), "?");
  EXPECT_TRUE(LooksLikeSwitch("/x"));
}

}  // namespace
}  // namespace brasswick::testing
