// The generated manual page and bash completion script, checked against the command
// table read directly (not through the loader that generated them) and, for the
// completion, by running it in bash as a Tab press would.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/json/json_document.h"
#include "test_support.h"

namespace brasswick::testing {
namespace {

std::string Trim(const std::string& text) {
  size_t start = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  return start == std::string::npos ? "" : text.substr(start, end - start + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::stringstream stream(text);
  for (std::string piece; std::getline(stream, piece, separator);) pieces.push_back(Trim(piece));
  return pieces;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Whitespace runs become one space, so that filled text compares with the table's.
std::string Squeezed(const std::string& text) {
  std::string out;
  for (char c : text) {
    bool blank = c == ' ' || c == '\n' || c == '\t';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out.push_back(blank ? ' ' : c);
  }
  return Trim(out);
}

// One argument of a command as the table writes it.
struct TableArg {
  std::string word;  // "--scale", or the positional's name in upper case
  std::string desc;  // as help shows it
  bool is_switch = false;
};

struct TableCommand {
  std::vector<std::string> aliases;
  bool hidden = false;
  std::string desc;
  std::vector<TableArg> args;
};

// The commands of src/app/command_table.json: descriptions with their "^" marks
// removed and their "{{Name}}" references replaced from the table's runtimes, as help
// prints them.
std::vector<TableCommand> ReadTable() {
  std::string text =
      ReadTestFile(std::string(BRASSWICK_SOURCE_DIR) + "/src/app/command_table.json");
  std::unique_ptr<JsonDocument> document = ParseJsonText(text, kJsonNoCase);
  EXPECT_NE(document, nullptr);
  if (document == nullptr) return {};
  const JsonValue* root = JsonRoot(document.get());
  std::map<std::string, std::string> runtimes;
  for (JsonMemberWalk walk(JsonMember(root, "runtimes")); walk.Next();) {
    runtimes[std::string(walk.name())] = JsonStringOf(walk.value());
  }
  auto shown = [&runtimes](std::string desc) {
    for (const auto& [name, value] : runtimes) {
      std::string reference = "{{" + name + "}}";
      for (size_t at; (at = desc.find(reference)) != std::string::npos;) {
        desc.replace(at, reference.size(), value);
      }
    }
    return desc.substr(std::min(desc.find_first_not_of('^'), desc.size()));
  };
  std::vector<TableCommand> commands;
  const JsonValue* list = JsonMember(root, "commands");
  for (size_t i = 0; i < JsonArrayLength(list); ++i) {
    const JsonValue* node = JsonElement(list, i);
    TableCommand& command = commands.emplace_back();
    command.aliases = Split(JsonStringOf(JsonMember(node, "name")), ',');
    command.hidden = JsonBooleanOf(JsonMember(node, "hidden"));
    command.desc = shown(JsonStringOf(JsonMember(node, "desc")));
    const JsonValue* args = JsonMember(node, "args");
    for (size_t j = 0; j < JsonArrayLength(args); ++j) {
      const JsonValue* arg = JsonElement(args, j);
      std::string name = Split(JsonStringOf(JsonMember(arg, "name")), ' ').front();
      bool is_switch = name[0] == '-';
      command.args.push_back({is_switch ? name : Upper(name),
                              shown(JsonStringOf(JsonMember(arg, "desc"))), is_switch});
    }
  }
  return commands;
}

// The page as text: font changes and guards removed, escapes resolved.
std::string PlainText(const std::string& roff) {
  std::string text = roff;
  const std::pair<std::string, std::string> kEscapes[] = {{"\\fB", ""}, {"\\fI", ""}, {"\\fR", ""},
                                                          {"\\&", ""},  {"\\-", "-"}, {"\\ ", " "},
                                                          {"\\e", "\\"}};
  for (const auto& [escape, plain] : kEscapes) {
    for (size_t at = 0; (at = text.find(escape, at)) != std::string::npos; at += plain.size()) {
      text.replace(at, escape.size(), plain);
    }
  }
  return text;
}

// The page's subsections by heading (".SS map"), each without its request lines.
std::map<std::string, std::string> Subsections(const std::string& page) {
  std::map<std::string, std::string> sections;
  std::string* current = nullptr;
  std::stringstream stream(PlainText(page));
  for (std::string line; std::getline(stream, line);) {
    if (line.rfind(".SS ", 0) == 0) {
      current = &sections[line.substr(4)];
    } else if (line.rfind(".SH ", 0) == 0) {
      current = nullptr;
    } else if (current != nullptr && !line.empty() && line[0] != '.') {
      *current += line + "\n";
    }
  }
  return sections;
}

TEST(ManPage, DocumentsEveryVisibleCommandWithItsArgumentsAndNoHiddenOne) {
  std::string page = ReadTestFile(BRASSWICK_MAN_PAGE);
  ASSERT_FALSE(page.empty());
  std::map<std::string, std::string> sections = Subsections(page);
  std::vector<TableCommand> commands = ReadTable();
  ASSERT_GE(commands.size(), 11u);
  for (const TableCommand& command : commands) {
    const std::string& name = command.aliases.front();
    if (command.hidden) {
      EXPECT_EQ(PlainText(page).find(name), std::string::npos) << name;
      continue;
    }
    ASSERT_EQ(sections.count(name), 1u) << "no section for " << name;
    const std::string section = Squeezed(sections[name]);
    EXPECT_EQ(section.rfind("brasswick " + name, 0), 0u) << "usage line of " << name;
    for (const std::string& alias : command.aliases) {
      EXPECT_NE(section.find(alias), std::string::npos) << name << ": alias " << alias;
    }
    EXPECT_NE(section.find(Squeezed(command.desc)), std::string::npos) << name;
    for (const TableArg& arg : command.args) {
      // The switch in the usage line and again as the head of its description.
      size_t first = section.find(arg.word);
      EXPECT_NE(first, std::string::npos) << name << ": " << arg.word;
      EXPECT_NE(section.find(arg.word, first + 1), std::string::npos) << name << ": " << arg.word;
      EXPECT_NE(section.find(Squeezed(arg.desc)), std::string::npos) << name << ": " << arg.desc;
    }
  }
  // The command the framework adds, with its own switch.
  ASSERT_EQ(sections.count("help"), 1u);
  EXPECT_NE(sections["help"].find("--all"), std::string::npos);
  for (const char* heading : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH EXIT STATUS",
                              ".SH FILES", ".SH EXAMPLES"}) {
    EXPECT_NE(page.find(std::string("\n") + heading + "\n"), std::string::npos) << heading;
  }
  for (const char* kind : {".p8", ".p8.png", ".html", ".js"}) {
    EXPECT_NE(PlainText(page).find(kind), std::string::npos) << kind;
  }
}

// Every code recorded in the sources: the framework's literal codes in src/cli and the
// command procedures' table of codes.
std::set<int> RecordedCodes() {
  std::set<int> codes;
  std::regex framework(R"((?:RecordCliError|Fail)\((\d+),)");
  for (const std::string& name : FolderNames(std::string(BRASSWICK_SOURCE_DIR) + "/src/cli")) {
    std::string text = ReadTestFile(std::string(BRASSWICK_SOURCE_DIR) + "/src/cli/" + name);
    for (std::sregex_iterator it(text.begin(), text.end(), framework), end; it != end; ++it) {
      codes.insert(std::stoi((*it)[1]));
    }
  }
  std::string table =
      ReadTestFile(std::string(BRASSWICK_SOURCE_DIR) + "/src/commands/failure_codes.h");
  std::regex command(R"(inline constexpr int64_t k\w+ = (\d+);)");
  for (std::sregex_iterator it(table.begin(), table.end(), command), end; it != end; ++it) {
    codes.insert(std::stoi((*it)[1]));
  }
  return codes;
}

TEST(ManPage, ExitStatusListsEveryCodeTheProgramRecordsAndNoOther) {
  std::string page = ReadTestFile(BRASSWICK_MAN_PAGE);
  size_t start = page.find("\n.SH EXIT STATUS\n");
  ASSERT_NE(start, std::string::npos);
  size_t end = page.find("\n.SH ", start + 1);
  std::stringstream stream(page.substr(start, end - start));
  std::set<int> listed;
  bool tag_next = false;
  for (std::string line; std::getline(stream, line);) {
    if (tag_next) {
      for (const std::string& code : Split(line, ',')) {
        EXPECT_TRUE(listed.insert(std::stoi(code)).second) << "listed twice: " << code;
      }
    }
    tag_next = line == ".TP";
  }
  std::set<int> expected = RecordedCodes();
  EXPECT_GE(expected.size(), 60u);  // the scan itself found the codes
  expected.insert(0);
  EXPECT_EQ(listed, expected);
}

// The candidates bash would offer with the cursor after the last word, in folder.
std::set<std::string> Candidates(const std::vector<std::string>& words, const std::string& folder) {
  std::vector<std::string> args = {"--norc",
                                   "--noprofile",
                                   "-c",
                                   "source \"$1\" || exit 9; shift; COMP_WORDS=(brasswick \"$@\"); "
                                   "COMP_CWORD=$#; _brasswick; printf '%s\\n' \"${COMPREPLY[@]}\"",
                                   "bash",
                                   BRASSWICK_COMPLETION_SCRIPT};
  args.insert(args.end(), words.begin(), words.end());
  RunOptions options;
  options.working_folder = folder;
  ProcessResult result = RunProgram("bash", args, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  std::set<std::string> candidates;
  std::stringstream stream(result.out);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty()) candidates.insert(line);
  }
  return candidates;
}

TEST(Completion, OffersEveryVisibleCommandFirstAndEachCommandsSwitchesAfterIt) {
  TempDir folder;
  std::vector<TableCommand> commands = ReadTable();
  std::set<std::string> names = {"help"};
  for (const TableCommand& command : commands) {
    if (command.hidden) {
      // Neither offered nor completed after.
      EXPECT_EQ(Candidates({command.aliases.front(), "--"}, folder.path()),
                std::set<std::string>{});
      continue;
    }
    names.insert(command.aliases.begin(), command.aliases.end());
    std::set<std::string> switches = {"--help"};
    for (const TableArg& arg : command.args) {
      if (arg.is_switch) switches.insert(arg.word);
    }
    for (const std::string& alias : command.aliases) {
      EXPECT_EQ(Candidates({alias, "--"}, folder.path()), switches) << alias;
    }
  }
  EXPECT_EQ(Candidates({""}, folder.path()), names);
  EXPECT_EQ(Candidates({"help", ""}, folder.path()), names);
}

TEST(Completion, CompletesCommandsSwitchesAndTheFilesEachArgumentTakes) {
  TempDir folder;
  for (const char* name :
       {"game.p8", "shot.png", "photo.JPG", "cart.p8.png", "page.html", "page.js", "notes.txt"}) {
    WriteTestFile(folder.File(name), "x");
  }
  ASSERT_EQ(::mkdir(folder.File("sub").c_str(), 0755), 0);
  WriteTestFile(folder.File("sub/inner.txt"), "x");
  using Set = std::set<std::string>;
  const Set every = {"game.p8",   "shot.png", "photo.JPG", "cart.p8.png",
                     "page.html", "page.js",  "notes.txt", "sub"};
  struct Case {
    std::vector<std::string> words;
    Set expected;
  } cases[] = {
      {{"se"},
       {"setlabel", "setp8label", "settitle", "setp8title", "sethtml", "setimage", "setsheet",
        "setmap"}},
      {{"map", "--"},
       {"--scale", "--cells", "--half", "--transparent", "--alternate", "--palette", "--open",
        "--locate", "--verbose", "--silent", "--help"}},
      {{"map", "--s"}, {"--scale", "--silent"}},
      // The cartridge first; any output name after it.
      {{"map", ""}, {"game.p8", "sub"}},
      {{"map", "game.p8", ""}, every},
      {{"map", "g"}, {"game.p8"}},
      // The values of a switch are skipped, abbreviated switches included.
      {{"map", "--scale", "2", ""}, {"game.p8", "sub"}},
      {{"sheet", "-sc", "2", "game.p8", ""}, every},
      {{"map", "--cells", "0", "0", "4", ""}, {}},
      // A command by a unique beginning; one that two commands share names none.
      {{"lab", "--s"}, {"--scale", "--silent"}},
      {{"spr", "--"}, {}},
      {{"settitle", ""}, {"cart.p8.png", "sub"}},
      {{"setlabel", ""}, {"game.p8", "cart.p8.png", "page.html", "sub"}},
      {{"setlabel", "game.p8", ""}, {"shot.png", "photo.JPG", "cart.p8.png", "sub"}},
      {{"sethtml", ""}, {"page.html", "sub"}},
      {{"sethtml", "page.html", "--headers", ""}, {"page.html", "sub"}},
      {{"copy", "game.p8", ""}, {"game.p8", "sub"}},
      // No file of a preferred kind: every file.
      {{"map", "sub/"}, {"sub/inner.txt"}},
      {{"version", ""}, {}},
      {{"nosuch", ""}, {}},
  };
  for (const Case& c : cases) {
    std::string typed;
    for (const std::string& word : c.words) typed += " " + word;
    EXPECT_EQ(Candidates(c.words, folder.path()), c.expected) << "brasswick" << typed;
  }
}

}  // namespace
}  // namespace brasswick::testing
