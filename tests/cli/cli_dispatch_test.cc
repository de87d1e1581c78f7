#include "cli/cli_dispatch.h"

#include <string>
#include <vector>

#include "cli_fixture.h"

namespace brasswick::testing {
namespace {

constexpr char kConfig[] =
    "{'commands':["
    "{'name':'map,exportmap','call':'Map','desc':'export map','args':[{'name':'p8File'},"
    " {'name':'--scale N','type':'int-pos'},{'name':'--silent'}]},"
    "{'name':'sheet,spritesheet','call':'Sheet'},"
    "{'name':'sprites','call':'Sprites'},"
    "{'name':'extractjsrom','hidden':true,'call':'Extract'}"
    "],'deprecated':'old'}";

class CliDispatchTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    for (const char* name : {"Map()", "Sheet()", "Sprites()", "Extract()"}) RegisterCounter(name);
  }
  CliCommand* Selected() { return Cli().invocation.selected; }
};

TEST_F(CliDispatchTest, SelectsByAliasAndUniquePrefix) {
  EXPECT_TRUE(Run(kConfig, {"map", "a.p8"}));
  EXPECT_EQ(trace_, std::vector<std::string>{"Map()"});
  EXPECT_TRUE(Run(kConfig, {"EXPORTMAP", "a.p8"}));
  EXPECT_TRUE(Run(kConfig, {"exp", "a.p8"}));
  EXPECT_TRUE(Run(kConfig, {"sheet"}));
  EXPECT_TRUE(Run(kConfig, {" spritesh "}));
  EXPECT_TRUE(Run(kConfig, {"extractjsrom"}));  // hidden, but named in full
  EXPECT_EQ(trace_, (std::vector<std::string>{"Map()", "Map()", "Map()", "Sheet()", "Sheet()",
                                              "Extract()"}));
  EXPECT_TRUE(err_.str().empty());
}

TEST_F(CliDispatchTest, SelectionFailures) {
  struct Case {
    std::vector<std::string> words;
    int64_t code;
    std::string message;
  };
  const Case kCases[] = {
      {{"spr"}, 44, "Ambiguous command 'spr', did you mean:\n  spritesheet\n  sprites"},
      {{"sp"}, 51, "At least 3 command characters are required"},
      {{"extractjs"}, 43, "Invalid command 'extractjs'\n\n  see: prog help"},
      {{"--verbose", "map"}, 43, "Expected a command, got switch '--verbose'"},
      {{"Old"}, 55, "Command 'Old' has been deprecated\n\n  see: prog help"},
      {{"  "}, 31, "Specified command is blank"},
      {{"help", "xyz"}, 43, "Invalid command 'xyz'"},
      {{"help", "sp"}, 51, "At least 3 command characters are required"},
      {{"help", "spr"}, 44, "Ambiguous command 'spr', did you mean:\n  spritesheet\n  sprites"},
  };
  for (const Case& c : kCases) {
    err_.str("");
    EXPECT_FALSE(Run(kConfig, c.words)) << c.message;
    EXPECT_EQ(Code(), c.code) << c.message;
    EXPECT_EQ(Message(), c.message);
    EXPECT_EQ(err_.str(), c.message + "\n");
  }
  EXPECT_TRUE(trace_.empty());
  EXPECT_TRUE(out_.str().empty());
}

TEST_F(CliDispatchTest, PrefixSettings) {
  const std::string strict =
      "{'AllowPartialCommands':false,'commands':[{'name':'map,exportmap','call':'Map'}]}";
  EXPECT_FALSE(Run(strict, {"exp"}));
  EXPECT_EQ(Message(), "Invalid command 'exp'\n\n  see: prog help");
  const std::string five = "{'MinCommandChars':5,'commands':[{'name':'exportmap','call':'Map'}]}";
  EXPECT_FALSE(Run(five, {"expo"}));
  EXPECT_EQ(Message(), "At least 5 command characters are required");
  const std::string zero =
      "{'MinCommandChars':0,'AutoAddHelp':false,"
      "'commands':[{'name':'exportmap','call':'Map'}]}";
  EXPECT_TRUE(Run(zero, {"e"}));
  const std::string no_help = "{'AutoAddHelp':false,'commands':[{'name':'map','call':'Map'}]}";
  EXPECT_FALSE(Run(no_help, {"xyz"}));
  EXPECT_EQ(Message(), "Invalid command 'xyz'");
}

TEST_F(CliDispatchTest, ExactMatchWinsOverPrefixes) {
  const std::string config =
      "{'commands':[{'name':'sets','call':'Sheet'},{'name':'set','call':'Map'}]}";
  EXPECT_TRUE(Run(config, {"set"}));
  EXPECT_EQ(trace_, std::vector<std::string>{"Map()"});
}

TEST_F(CliDispatchTest, NotInitialized) {
  std::vector<std::string> words = {"map"};
  EXPECT_FALSE(CliExecute(words));
  EXPECT_EQ(Code(), 30);
  EXPECT_EQ(err_.str(), "CLI is not initialized\n");
}

TEST_F(CliDispatchTest, HelpRequests) {
  struct Case {
    std::vector<std::string> words;
    bool all;
    const char* help_for;  // null for the general help
  };
  const Case kCases[] = {
      {{}, false, nullptr},
      {{"help"}, false, nullptr},
      {{"--help"}, false, nullptr},
      {{"-h"}, false, nullptr},
      {{"-?"}, false, nullptr},
      {{"help", "map"}, false, "map"},
      {{"help", "exp"}, false, "map"},
      {{"map", "--help"}, false, "map"},
      {{"map", "help"}, false, "map"},
      {{"map", "x.p8", "?"}, false, "map"},
      {{"help", "all"}, true, nullptr},
      {{"help", "--all"}, true, nullptr},
      {{"--help", "--all"}, true, nullptr},
  };
  for (const Case& c : kCases) {
    out_.str("");
    EXPECT_FALSE(Run(kConfig, c.words));
    EXPECT_EQ(Code(), 0) << Message();
    EXPECT_TRUE(Cli().invocation.show_help);
    EXPECT_EQ(Cli().invocation.help_all, c.all);
    CliCommand* help_for = Cli().invocation.help_for;
    EXPECT_EQ(help_for == nullptr ? "" : help_for->name, c.help_for == nullptr ? "" : c.help_for);
    EXPECT_FALSE(out_.str().empty());
  }
  EXPECT_TRUE(trace_.empty());
  EXPECT_TRUE(err_.str().empty());
}

TEST_F(CliDispatchTest, SlashHelpWithSlashSwitches) {
  const std::string config = "{'AllowSlashSwitches':true,'commands':[{'name':'go','call':'Map'}]}";
  EXPECT_FALSE(Run(config, {"/?"}));
  EXPECT_TRUE(Cli().invocation.show_help);
  EXPECT_EQ(Code(), 0);
}

TEST_F(CliDispatchTest, RunsPhasesInOrder) {
  GlobalRuntimeRegistry().RegisterFormatter("Double()", [this](const std::string& value) {
    trace_.push_back("format " + value);
    return value + value;
  });
  GlobalRuntimeRegistry().RegisterAccumulator(
      "Collect()", [this](const std::string& value, bool first, bool last) {
        trace_.push_back("acc " + value + (first ? " first" : "") + (last ? " last" : ""));
      });
  RegisterCounter("Pre()");
  RegisterCounter("Post()");
  RegisterCounter("Tick()");
  const std::string config =
      "{'precall':'Pre','postcall':'Post','commands':[{'name':'go','call':'Map','args':["
      " {'name':'n','type':'int-pos','formatter':'Double'},"
      " {'name':'--tag T','multiple':true,'accumulator':'Collect'},"
      " {'name':'--tick','call':'Tick'}]}]}";
  EXPECT_TRUE(
      Run(config, {"go", "--tick", "1", "--tag", "a", "--tick", "--tag", "b", "--tag", "c"}));
  EXPECT_EQ(trace_,
            (std::vector<std::string>{"format 1", "Pre()", "acc a first", "acc b", "acc c last",
                                      "Tick()", "Tick()", "Map()", "Post()"}));
  EXPECT_EQ(Arg(0, 0).values, std::vector<std::string>{"11"});
}

TEST_F(CliDispatchTest, FormattersRunBeforeValidation) {
  GlobalRuntimeRegistry().RegisterFormatter("Fix()", [](const std::string&) { return "7"; });
  const std::string config =
      "{'commands':[{'name':'go','call':'Map','args':[{'name':'n','type':'int','formatter':'Fix'}]}"
      "]}";
  EXPECT_TRUE(Run(config, {"go", "not-a-number"}));
  EXPECT_EQ(GetArgInt("n", 0, -1), 7);
}

TEST_F(CliDispatchTest, ValidationFailureStopsTheRun) {
  RegisterCounter("Pre()");
  const std::string config =
      "{'precall':'Pre','commands':[{'name':'go','call':'Map','args':["
      "{'name':'a','type':'int'},{'name':'b','type':'int'}]}]}";
  EXPECT_FALSE(Run(config, {
                               "go",
                               "1",
                               "x",
                           }));
  EXPECT_EQ(Code(), 45);
  EXPECT_EQ(Message(), "'b' expects an integer, got 'x'");
  EXPECT_TRUE(trace_.empty());
}

TEST_F(CliDispatchTest, PrecallCancels) {
  RegisterCounter("Pre()", 1);
  RegisterCounter("Tick()");
  const std::string config =
      "{'precall':'Pre','commands':[{'name':'go','call':'Map',"
      "'args':[{'name':'--t','call':'Tick'}]}]}";
  EXPECT_FALSE(Run(config, {"go", "--t"}));
  EXPECT_EQ(Code(), 60);
  EXPECT_EQ(err_.str(), "Canceled by 'precall' callback\n");
  EXPECT_EQ(trace_, std::vector<std::string>{"Pre()"});
}

TEST_F(CliDispatchTest, PostcallCancelsAfterTheCommand) {
  RegisterCounter("Post()", 2);
  const std::string config = "{'postcall':'Post','commands':[{'name':'go','call':'Map'}]}";
  EXPECT_FALSE(Run(config, {"go"}));
  EXPECT_EQ(Code(), 60);
  EXPECT_EQ(Message(), "Canceled by 'postcall' callback");
  EXPECT_EQ(trace_, (std::vector<std::string>{"Map()", "Post()"}));
}

TEST_F(CliDispatchTest, HelpNeverRunsProcedures) {
  RegisterCounter("Pre()");
  RegisterCounter("Post()");
  const std::string config =
      "{'precall':'Pre','postcall':'Post','commands':[{'name':'go','call':'Map'}]}";
  EXPECT_FALSE(Run(config, {"go", "--help"}));
  EXPECT_FALSE(Run(config, {"help"}));
  EXPECT_TRUE(trace_.empty());
}

TEST_F(CliDispatchTest, ExpandsTextsAfterTheRun) {
  const std::string config =
      "{'runtimes':{'D':'described'},'commands':[{'name':'go','call':'Map','desc':'{{D}}',"
      "'args':[{'name':'--x','desc':'{{Unknown_Name_42}}'}]}]}";
  EXPECT_FALSE(Run(config, {"go"}));
  EXPECT_EQ(trace_, std::vector<std::string>{"Map()"});
  EXPECT_EQ(Code(), 24);
  EXPECT_EQ(err_.str(), "Missing string runtime 'Unknown_Name_42'\n");
  EXPECT_EQ(Command(0).desc, "described");
}

TEST_F(CliDispatchTest, SilentAndNoConsoleHideErrorLines) {
  EXPECT_FALSE(Run(kConfig, {"map", "a.p8", "--silent", "--scale", "0"}));
  EXPECT_EQ(Code(), 45);
  EXPECT_EQ(Message(), "'scale' must be positive");
  EXPECT_TRUE(err_.str().empty());

  const std::string quiet = "{'NoConsole':true,'commands':[{'name':'go'}]}";
  EXPECT_FALSE(Run(quiet, {"nothing"}));
  EXPECT_EQ(Code(), 43);
  EXPECT_FALSE(Run(quiet, {}));
  EXPECT_TRUE(err_.str().empty());
  EXPECT_TRUE(out_.str().empty());
}

TEST_F(CliDispatchTest, SingleCommandConsumesNoWord) {
  const std::string config = "{'commands':[{'name':'*','call':'Map','args':[{'name':'file'}]}]}";
  EXPECT_TRUE(Run(config, {"map"}));
  EXPECT_EQ(GetArgValue("file"), "map");
  // Run bare, a single-command program shows its help.
  out_.str("");
  EXPECT_FALSE(Run(config, {}));
  EXPECT_EQ(Code(), 0);
  EXPECT_TRUE(Cli().invocation.show_help);
  EXPECT_FALSE(out_.str().empty());
  EXPECT_EQ(trace_, std::vector<std::string>{"Map()"});
}

TEST_F(CliDispatchTest, FindCommandsKeepsOneCandidatePerCommand) {
  ASSERT_TRUE(
      Load("{'commands':[{'name':'sheet,spritesheet,sprsheet'},{'name':'sprites'},"
           "{'name':'sprx','hidden':true}]}"));
  EXPECT_EQ(FindCommands("spr", true), 2);
  ASSERT_EQ(Cli().command_candidates.size(), 2u);
  EXPECT_EQ(Cli().command_candidates[0].alias, "spritesheet");
  EXPECT_EQ(Cli().command_candidates[1].alias, "sprites");
  EXPECT_EQ(FindCommands("spr", false), 0);
  EXPECT_EQ(FindCommands("sprx", false), 1);
  EXPECT_TRUE(Cli().command_exact);
}

TEST_F(CliDispatchTest, ErrorWithoutMessagePrintsItsCode) {
  Cli().error = CliError{7, ""};
  WriteCliErrorLine();
  EXPECT_EQ(err_.str(), "Error 7\n");
}

TEST(SplitCommandline, SplitsAtBlanksAndQuotes) {
  std::vector<std::string> words;
  SplitCommandline("  map\tgame.p8 \"my file.png\" \"\" --scale\r\n2 \"open", words);
  EXPECT_EQ(words, (std::vector<std::string>{"map", "game.p8", "my file.png", "", "--scale", "2",
                                             "open"}));
  words.clear();
  SplitCommandline("", words);
  EXPECT_TRUE(words.empty());
}

}  // namespace
}  // namespace brasswick::testing
