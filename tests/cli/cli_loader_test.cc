#include "cli/cli_loader.h"

#include <cstdlib>
#include <string>

#include "cli_fixture.h"

namespace brasswick::testing {
namespace {

struct LoadFailure {
  const char* json;
  int64_t code;
  const char* message;
};

class CliLoaderTest : public CliTest {};

TEST_F(CliLoaderTest, RecordsEachLoadFailure) {
  RegisterCounter("Run()");
  GlobalRuntimeRegistry().RegisterFormatter("Fmt()", [](const std::string& v) { return v; });
  GlobalRuntimeRegistry().RegisterConstant("#Title", "prog");
  const LoadFailure kCases[] = {
      {"{'commands':5}", 21, "No 'commands' array defined"},
      {"[1]", 20, "No main JSON object defined"},
      {"{'commands':[]}", 21, "No commands defined"},
      {"{'commands':[{'desc':'x'}]}", 22, "Command name is missing"},
      {"{'commands':[{'name':7}]}", 22, "Command name is missing"},
      {"{'commands':[{'name':'map,,x'}]}", 22, "Command name is blank"},
      {"{'commands':[{'name':'foo'},{'name':'FOO'}]}", 23,
       "Command name 'FOO' occurs more than once"},
      {"{'commands':[{'name':'a, b, a'}]}", 23, "Command name 'a' occurs more than once"},
      {"{'commands':[{'name':'go','call':'Nope'}]}", 24,
       "Missing call runtime 'Nope()' for command 'go'"},
      // A name of the wrong kind counts as missing.
      {"{'commands':[{'name':'go','call':'Fmt'}]}", 24,
       "Missing call runtime 'Fmt()' for command 'go'"},
      {"{'commands':[{'name':'go','args':[{'name':'x','call':'Q'}]}]}", 24,
       "Missing call runtime 'Q()' for arg 'x'"},
      {"{'commands':[{'name':'go','args':[{'name':'x','accumulator':'Run'}]}]}", 24,
       "Missing accumulator runtime 'Run()' for arg 'x'"},
      {"{'commands':[{'name':'go','args':[{'name':'x','formatter':'F ( )'}]}]}", 24,
       "Missing formatter runtime 'F()' for arg 'x'"},
      {"{'commands':[{'name':'go'}],'precall':'Pre'}", 24, "Missing precall runtime 'Pre()'"},
      {"{'commands':[{'name':'go'}],'postcall':'Post()'}", 24, "Missing postcall runtime 'Post()'"},
      {"{'commands':[{'name':'go','args':[{'desc':'x'}]}]}", 25,
       "Arg name is missing in command 'go'"},
      {"{'commands':[{'name':'go','args':[{'name':'  '}]}]}", 25,
       "Arg name is blank in command 'go'"},
      {"{'commands':[{'name':'go','args':[{'name':'--v'},{'name':'-V'}]}]}", 26,
       "Arg name 'V' occurs more than once in command 'go'"},
      {"{'commands':[{'name':'go','args':[{'name':'file'},{'name':'--FILE'}]}]}", 26,
       "Arg name 'FILE' occurs more than once in command 'go'"},
      {"{'commands':[{'name':'go','args':[{'name':'--n','N':'-1'}]}]}", 27,
       "N cannot be negative for arg 'n'"},
      {"{'commands':[{'name':'go','args':[{'name':'pos','N':'0'}]}]}", 27,
       "N must be positive for positional arg 'pos'"},
      {"{'commands':[{'name':'go','args':[{'name':'--n','N':'x'}]}]}", 28,
       "N is invalid ('x') for arg 'n'"},
      {"{'commands':[{'name':'go','args':[{'name':'--n','N':'1.5'}]}]}", 28,
       "N is invalid ('1.5') for arg 'n'"},
      {"{'commands':[{'name':'go','args':[{'name':'--n','N':'?'}]}]}", 28,
       "N is invalid ('?') for arg 'n'"},
      {"{'commands':[{'name':'go','args':[{'name':'--n','N':'99999999999'}]}]}", 28,
       "N is invalid ('99999999999') for arg 'n'"},
      {"{'commands':[{'name':'a'},{'name':'*'}]}", 29,
       "Single command ('*') cannot be combined with other commands"},
      {"{'commands':[{'name':'*'},{'name':'b'}]}", 29,
       "Single command ('*') cannot be combined with other commands"},
      {"{'commands':[{'name':'go'}],'runtimes':{'#Title':'x'}}", 32,
       "Runtime '#Title' defined more than once"},
      {"{'commands':[{'name':'go'}],'runtimes':{'Run()':'x'}}", 32,
       "Runtime 'Run()' defined more than once"},
      {"{'commands':[{'name':'go','exclusiveSets':'alt,zz','args':[{'name':'--alternate'}]}]}", 41,
       "Invalid exclusive switch 'zz'"},
      {"{'commands':[{'name':'go','requiredSets':['q'],'args':[{'name':'--a'}]}]}", 41,
       "Invalid required switch 'q'"},
      {"{'commands':[{'name':'go','exclusiveSets':['s'],'args':[{'name':'--scale'},{'name':'--"
       "silent'}]}]}",
       42, "Ambiguous exclusive switch 's', did you mean:\n  scale\n  silent"},
      {"{'commands':[{'name':'go','requiredSets':'s,x','args':[{'name':'--sa'},{'name':'--sb'},{'"
       "name':'--x'}]}]}",
       42, "Ambiguous required switch 's', did you mean:\n  sa\n  sb"},
      {"{'commands':[{'name':'go','args':[{'name':'v','type':' Float '}]}]}", 47,
       "Invalid arg type ' Float '"},
      {"{'commands':[{'name':'go','args':[{'name':'a','N':'*'},{'name':'b','N':'+'}]}]}", 70,
       "Only one positional arg with unbounded 'N' allowed in command 'go'"},
      {"{'commands':[{'name':'go','args':[{'name':'a','N':'*'},{'name':'b'}]}]}", 71,
       "Positional arg 'a' with unbounded 'N' must be last positional in command 'go'"},
      {"{'commands':[{'name':'go'}, 'text']}", 72, "Command is not a valid JSON object"},
  };
  for (const LoadFailure& failure : kCases) {
    EXPECT_FALSE(Load(failure.json)) << failure.json;
    EXPECT_EQ(Code(), failure.code) << failure.json;
    EXPECT_EQ(Message(), failure.message) << failure.json;
  }
}

TEST_F(CliLoaderTest, ReportsJsonSyntaxErrorsWithTheLine) {
  EXPECT_FALSE(CliLoadText("{\r\n\"commands\": [\r\n{\"name\" \"x\"}]}", false));
  EXPECT_EQ(Code(), 10);
  EXPECT_EQ(Message(), "JSON syntax error\nLine 3: Expected a ':' character");
  EXPECT_FALSE(CliLoadText("", false));
  EXPECT_EQ(Code(), 1);
  EXPECT_EQ(Message(), "JSON text is empty");
}

TEST_F(CliLoaderTest, BackquotesAlwaysAndSingleQuotesOnRequestBecomeDoubleQuotes) {
  EXPECT_TRUE(CliLoadText("{`commands`:[{`name`:`go`}]}", false));
  EXPECT_FALSE(CliLoadText("{'commands':[{'name':'go'}]}", false));
  EXPECT_EQ(Code(), 10);
  EXPECT_TRUE(CliLoadText("{'commands':[{'name':'go'}]}", true));
}

TEST_F(CliLoaderTest, BufferChecks) {
  const uint8_t kSmall[] = {'{', '}', ' '};
  EXPECT_FALSE(CliInitFromBuffer(nullptr, 10, CliEncoding::kUtf8, false));
  EXPECT_EQ(Code(), 6);
  EXPECT_EQ(Message(), "CLI memory range is invalid");
  EXPECT_FALSE(CliInitFromBuffer(kSmall, 0, CliEncoding::kUtf8, false));
  EXPECT_EQ(Code(), 6);
  EXPECT_FALSE(CliInitFromBuffer(kSmall, 3, CliEncoding::kAutomatic, false));
  EXPECT_EQ(Code(), 5);
  EXPECT_EQ(Message(), "CLI config buffer format is invalid");
  const uint8_t kUtf32[] = {0xFF, 0xFE, 0, 0, '{', 0, 0, 0};
  EXPECT_FALSE(CliInitFromBuffer(kUtf32, sizeof(kUtf32), CliEncoding::kAutomatic, false));
  EXPECT_EQ(Code(), 5);
  const uint8_t kUtf32Be[] = {0, 0, 0xFE, 0xFF, 0, 0, 0, '{'};
  EXPECT_FALSE(CliInitFromBuffer(kUtf32Be, sizeof(kUtf32Be), CliEncoding::kAutomatic, false));
  EXPECT_EQ(Code(), 5);
  const uint8_t kUtf16Be[] = {0xFE, 0xFF, 0, '{', 0, '}'};
  EXPECT_FALSE(CliInitFromBuffer(kUtf16Be, sizeof(kUtf16Be), CliEncoding::kAutomatic, false));
  EXPECT_EQ(Code(), 5);
  EXPECT_FALSE(CliInitFromBuffer(kSmall, 3, static_cast<CliEncoding>(9), false));
  EXPECT_EQ(Code(), 5);
}

TEST_F(CliLoaderTest, DecodesUtf8WithMarkAndUtf16AndTurnsZerosIntoSpaces) {
  std::string utf8 = "\xEF\xBB\xBF{ \"commands\":[{\"name\":\"caf\xC3\xA9\"}]}";
  utf8[4] = '\0';  // a zero byte between tokens is a blank
  ASSERT_TRUE(CliInitFromBuffer(reinterpret_cast<const uint8_t*>(utf8.data()),
                                static_cast<int64_t>(utf8.size()), CliEncoding::kAutomatic, false))
      << Message();
  EXPECT_EQ(Command(0).name, "caf\xC3\xA9");

  std::u16string text = u"\uFEFF{\"commands\":[{\"name\":\"\u00e9t\u00e9\"}]}";
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  bytes.push_back('x');  // an odd trailing byte is not a unit
  ASSERT_TRUE(CliInitFromBuffer(reinterpret_cast<const uint8_t*>(bytes.data()),
                                static_cast<int64_t>(bytes.size()), CliEncoding::kAutomatic, false))
      << Message();
  EXPECT_EQ(Command(0).name, "\xC3\xA9t\xC3\xA9");
}

TEST_F(CliLoaderTest, BufferQuoteMarksBecomeDoubleQuotesOnlyWhereAsked) {
  struct Case {
    std::string bytes;
    bool single_quotes;
    bool loads;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF{\"commands\":[{\"name\":\"go\"}]}", false, true},
      {"{`commands`:[{`name`:`go`}]}", false, true},
      {"{'commands':[{'name':'go'}]}", true, true},
      {"{'commands':[{'name':'go'}]}", false, false},
  };
  for (const Case& c : cases) {
    const bool loaded = CliInitFromBuffer(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                          static_cast<int64_t>(c.bytes.size()), CliEncoding::kUtf8,
                                          c.single_quotes);
    ASSERT_EQ(loaded, c.loads) << c.bytes;
    if (loaded) {
      EXPECT_EQ(Command(0).name, "go") << c.bytes;
    } else {
      EXPECT_EQ(Code(), 10) << c.bytes;
    }
  }
}

TEST_F(CliLoaderTest, ReadsSettingsWithDefaults) {
  ASSERT_TRUE(Load("{'commands':[{'name':'go'}]}"));
  const CliConfig& config = Cli().config;
  EXPECT_FALSE(config.no_console);
  EXPECT_FALSE(config.case_sensitive);
  EXPECT_TRUE(config.allow_partial_commands);
  EXPECT_FALSE(config.uppercase_positionals);
  EXPECT_EQ(config.min_command_chars, 3);
  EXPECT_TRUE(config.allow_partial_switches);
  EXPECT_FALSE(config.allow_slash_switches);
  EXPECT_TRUE(config.auto_add_help);
  EXPECT_EQ(config.console_columns, 78);
  EXPECT_EQ(config.indent_width, 2);
  EXPECT_TRUE(config.initialized);
}

TEST_F(CliLoaderTest, SettingValuesFollowTheReadingRules) {
  ASSERT_TRUE(
      Load("{'commands':[{'name':'go'}], 'minCommandChars': -2, 'ConsoleColumns': '100.7',"
           " 'lin-ConsoleColumns': 0, 'NoConsole': ' Yes ', 'casesensitive': 'nah',"
           " 'AllowPartialCommands': 1, 'IndentWidth': '4', 'ExecutableName': 5,"
           " 'DefaultCommandline': 'go x', 'UppercasePositionals': 'on'}"));
  const CliConfig& config = Cli().config;
  EXPECT_EQ(config.min_command_chars, 0);
  // The "lin-" member wins even though 0 then falls back to 78.
  EXPECT_EQ(config.console_columns, 78);
  EXPECT_TRUE(config.no_console);
  EXPECT_FALSE(config.case_sensitive);
  EXPECT_TRUE(config.allow_partial_commands);  // a number is no boolean: default
  EXPECT_EQ(config.indent_width, 4);
  EXPECT_EQ(config.executable_name, "");
  EXPECT_EQ(CliDefaultCommandline(), "go x");
  EXPECT_TRUE(config.uppercase_positionals);

  ASSERT_TRUE(
      Load("{'commands':[{'name':'go'}], 'ConsoleColumns': '100', 'MinCommandChars': 'x'}"));
  EXPECT_EQ(Cli().config.console_columns, 100);
  EXPECT_EQ(Cli().config.min_command_chars, 3);
}

TEST_F(CliLoaderTest, BuildsCommandsAndArguments) {
  RegisterCounter("VersionRT()");
  ASSERT_TRUE(Load(
      "{'commands':[{'name':' setlabel, setp8label ','call':'VersionRT ()','hidden':'true',"
      " 'desc':'^d','help':'h','exclusiveSets':'alt, palette','requiredSets':[' cells ', 3, ''],"
      " 'args':[{'name':' p8File ','type':' FILE-Exists '},"
      "  {'name':'out','N':'?'},"
      "  {'name':'--cells CX, CY;CW|CH','type':'number'},"
      "  {'name':'--alternate'},{'name':'---palette COLORS','multiple':true},"
      "  {'name':'--silent'},{'name':'--verbose','verbose':false},{'name':'--yes','confirms':'y'},"
      "  {'name':'--title TEXT','required':'true','hidden':true},"
      "  7,"
      "  {'name':'--n','N':2},"
      "  {'name':'rest','N':'+'},{'name':'--after'}]}]}"))
      << Message();
  CliCommand& command = Command(0);
  EXPECT_EQ(command.name, "setlabel");
  EXPECT_EQ(command.aliases, (std::vector<std::string>{"setlabel", "setp8label"}));
  EXPECT_TRUE(static_cast<bool>(command.call));
  EXPECT_TRUE(command.hidden);
  EXPECT_EQ(command.exclusive_sets, (std::vector<std::string>{"alt,palette"}));
  EXPECT_EQ(command.required_sets, (std::vector<std::string>{"cells"}));
  ASSERT_EQ(command.args.size(), 13u);  // the non-object element is skipped, help added

  CliArg& p8 = Arg(0, 0);
  EXPECT_FALSE(p8.is_switch);
  EXPECT_EQ(p8.display_name, "p8File");
  EXPECT_EQ(p8.key, "p8file");
  EXPECT_EQ(p8.type, "file-exists");
  EXPECT_EQ(p8.n_text, "1");
  EXPECT_EQ(p8.min_count, 1);
  EXPECT_EQ(p8.max_count, 1);

  EXPECT_EQ(Arg(0, 1).min_count, 0);
  EXPECT_EQ(Arg(0, 1).max_count, 1);

  CliArg& cells = Arg(0, 2);
  EXPECT_TRUE(cells.is_switch);
  EXPECT_EQ(cells.display_name, "cells");
  EXPECT_EQ(cells.value_names, "CX CY CW CH");
  EXPECT_EQ(cells.n_text, "4");
  EXPECT_EQ(cells.min_count, 4);
  EXPECT_EQ(cells.multiple, std::optional<bool>(false));

  CliArg& alternate = Arg(0, 3);
  EXPECT_EQ(alternate.n_text, "0");
  EXPECT_FALSE(alternate.multiple.has_value());

  CliArg& palette = Arg(0, 4);
  EXPECT_EQ(palette.display_name, "palette");
  EXPECT_EQ(palette.multiple, std::optional<bool>(true));

  EXPECT_TRUE(Arg(0, 5).silences);
  EXPECT_FALSE(Arg(0, 6).verbose);
  EXPECT_TRUE(Arg(0, 7).confirms);
  EXPECT_TRUE(Arg(0, 8).required);
  EXPECT_TRUE(Arg(0, 8).hidden);
  EXPECT_EQ(Arg(0, 9).n_text, "0");  // a number for N counts as absent

  CliArg& rest = Arg(0, 10);
  EXPECT_TRUE(rest.unbounded);
  EXPECT_EQ(rest.min_count, 1);
  EXPECT_EQ(rest.max_count, 5000);

  CliArg& help = Arg(0, 12);
  EXPECT_EQ(help.key, "help");
  EXPECT_EQ(help.desc, "show help for this command");
  EXPECT_EQ(help.min_count, 0);
  EXPECT_EQ(help.multiple, std::optional<bool>(false));
}

TEST_F(CliLoaderTest, PositionalFlagsAreNotRead) {
  ASSERT_TRUE(
      Load("{'commands':[{'name':'go','args':[{'name':'file','hidden':true,"
           "'required':true,'multiple':true}]}]}"));
  EXPECT_FALSE(Arg(0, 0).hidden);
  EXPECT_FALSE(Arg(0, 0).required);
  EXPECT_FALSE(Arg(0, 0).multiple.has_value());
}

TEST_F(CliLoaderTest, AddsTheHelpCommandLast) {
  ASSERT_TRUE(Load("{'commands':[{'name':'go'}]}"));
  ASSERT_EQ(Cli().config.commands.size(), 2u);
  CliCommand& help = Command(1);
  EXPECT_EQ(Cli().config.help_command, &help);
  EXPECT_EQ(help.name, "help");
  EXPECT_EQ(help.desc, "show this help");
  ASSERT_EQ(help.args.size(), 3u);
  EXPECT_EQ(help.args[0]->key, "command");
  EXPECT_EQ(help.args[0]->max_count, 1);
  EXPECT_EQ(help.args[1]->key, "all");
  EXPECT_EQ(help.args[1]->desc, "^show full help for all commands (--all or -a)");
  EXPECT_TRUE(help.args[2]->hidden);

  ASSERT_TRUE(Load("{'commands':[{'name':'go, HELP '}]}"));
  EXPECT_EQ(Cli().config.commands.size(), 1u);
  EXPECT_EQ(Cli().config.help_command, nullptr);

  ASSERT_TRUE(Load("{'commands':[{'name':'go'}], 'AutoAddHelp': false}"));
  EXPECT_EQ(Cli().config.commands.size(), 1u);
  EXPECT_TRUE(Command(0).args.empty());

  ASSERT_TRUE(Load("{'commands':[{'name':'*','args':[{'name':'--Help'}]}]}"));
  EXPECT_EQ(Cli().config.commands.size(), 1u);
  EXPECT_EQ(Cli().config.single_command, &Command(0));
  EXPECT_EQ(Command(0).args.size(), 1u);
}

TEST_F(CliLoaderTest, CaseSensitiveConfigurationsKeepNamesApart) {
  EXPECT_TRUE(
      Load("{'CaseSensitive':true,'commands':[{'name':'foo'},{'name':'FOO',"
           "'args':[{'name':'File'},{'name':'--file'},{'name':'--FILE'}]}]}"))
      << Message();
  EXPECT_EQ(Arg(1, 0).key, "File");
  EXPECT_EQ(Arg(1, 2).key, "FILE");
}

TEST_F(CliLoaderTest, SlashSwitchesWhenAllowed) {
  ASSERT_TRUE(
      Load("{'AllowSlashSwitches':true,'commands':[{'name':'go','args':[{'name':'/Quiet'},"
           "{'name':'-/x'}]}]}"));
  EXPECT_TRUE(Arg(0, 0).is_switch);
  EXPECT_EQ(Arg(0, 0).display_name, "Quiet");
  EXPECT_EQ(Arg(0, 0).key, "quiet");
  EXPECT_EQ(Arg(0, 1).display_name, "x");
  ASSERT_TRUE(Load("{'commands':[{'name':'go','args':[{'name':'/Quiet'}]}]}"));
  EXPECT_FALSE(Arg(0, 0).is_switch);
}

TEST_F(CliLoaderTest, ReadsDeprecatedNamesAndRuntimes) {
  ASSERT_TRUE(
      Load("{'commands':[{'name':'go'}], 'deprecated':' Old, , Gone ',"
           "'runtimes':{'s':'text','i':2,'f':0.25,'g':-1.5e-3,'t':true,'n':null,'a':[1]}}"));
  const CliConfig& config = Cli().config;
  EXPECT_EQ(config.deprecated_names, (std::set<std::string>{"old", "gone"}));
  const auto& table = config.string_runtimes;
  EXPECT_EQ(table.at("s"), "text");
  EXPECT_EQ(table.at("i"), "2");
  EXPECT_EQ(table.at("f"), "0.25");
  EXPECT_EQ(table.at("g"), "-0.0015");
  EXPECT_EQ(table.at("t"), "1");
  EXPECT_EQ(table.at("n"), "");
  EXPECT_EQ(table.at("a"), "");
}

TEST_F(CliLoaderTest, ResolvesPrecallAndPostcall) {
  RegisterCounter("Pre()");
  RegisterCounter("Post()");
  ASSERT_TRUE(Load("{'commands':[{'name':'go'}],'precall':'Pre','postcall':' Post ( ) '}"));
  EXPECT_TRUE(static_cast<bool>(Cli().config.precall));
  EXPECT_TRUE(static_cast<bool>(Cli().config.postcall));
}

TEST_F(CliLoaderTest, NormalizesRuntimeNames) {
  EXPECT_EQ(NormalizeRuntimeName("ExportMapRT"), "ExportMapRT()");
  EXPECT_EQ(NormalizeRuntimeName("ExportMapRT ()"), "ExportMapRT()");
  EXPECT_EQ(NormalizeRuntimeName(" Do (x) "), "Do(x)");
  EXPECT_EQ(NormalizeRuntimeName("   "), "");
}

TEST_F(CliLoaderTest, ExpandsRuntimeStrings) {
  GlobalRuntimeRegistry().RegisterConstant("#SW_Title", "brasswick");
  GlobalRuntimeRegistry().RegisterConstant("#Empty", "");
  ASSERT_TRUE(Load("{'commands':[{'name':'go'}],'runtimes':{'V':'show {{more}}','W':'w'}}"));
  setenv("BRASSWICK_TEST_VAR", "env", 1);
  EXPECT_EQ(ExpandRuntimeStrings("a{{}}b"), "a\nb");
  // Inserted text is not scanned again.
  EXPECT_EQ(ExpandRuntimeStrings("{{V}}-{{W}}"), "show {{more}}-w");
  EXPECT_EQ(ExpandRuntimeStrings("{{#SW_Title}} {{BRASSWICK_TEST_VAR}}"), "brasswick env");
  EXPECT_EQ(ExpandRuntimeStrings("open {{ only"), "open {{ only");
  EXPECT_EQ(Code(), 0);
  // Constants are found by their exact name only, and an empty one counts as absent.
  EXPECT_EQ(ExpandRuntimeStrings("{{W}} {{SW_Title}} {{W}}"), "w {{SW_Title}} {{W}}");
  EXPECT_EQ(Code(), 24);
  EXPECT_EQ(Message(), "Missing string runtime 'SW_Title'");
  CliReset();
  ExpandRuntimeStrings("{{#Empty}}");
  EXPECT_EQ(Message(), "Missing string runtime '#Empty'");
  unsetenv("BRASSWICK_TEST_VAR");
}

TEST_F(CliLoaderTest, ExecutableDisplayName) {
  ASSERT_TRUE(Load("{'commands':[{'name':'go'}]}"));
  EXPECT_EQ(ExecutableDisplayName(), "prog");
  SetCliProgramPath("brasswick");
  EXPECT_EQ(ExecutableDisplayName(), "brasswick");
  GlobalRuntimeRegistry().RegisterConstant("#SW_Title", "named");
  ASSERT_TRUE(Load("{'commands':[{'name':'go'}],'ExecutableName':'{{#SW_Title}}-x'}"));
  EXPECT_EQ(ExecutableDisplayName(), "named-x");
}

}  // namespace
}  // namespace brasswick::testing
