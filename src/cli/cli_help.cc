#include "cli/cli_help.h"

#include <algorithm>
#include <string>

#include "cli/cli_binding.h"
#include "cli/cli_loader.h"
#include "cli/cli_output.h"
#include "cli/cli_text.h"

namespace brasswick {

namespace {

constexpr char kNoBreakSpace[] = "\xC2\xA0";
// Widths beyond this only come from absurd settings; they are cut so that help
// cannot demand gigabytes of padding.
constexpr int64_t kMaxHelpWidth = 4096;

int64_t ClampWidth(int64_t width) { return std::clamp<int64_t>(width, 0, kMaxHelpWidth); }

std::string Indentation() {
  const CliState& state = Cli();
  int64_t width = ClampWidth(state.help_level) * ClampWidth(state.config.indent_width);
  return std::string(static_cast<size_t>(ClampWidth(width)), ' ');
}

void ChangeLevel(int64_t delta) { Cli().help_level += delta; }

void PrintSeparator() {
  const CliState& state = Cli();
  if (state.invocation.silent || state.config.no_console) return;
  WriteCliOut(std::string(static_cast<size_t>(ClampWidth(state.config.console_columns)), '-') +
              "\n");
}

bool StartsGroup(const std::string& desc) { return !desc.empty() && desc[0] == '^'; }

std::string Dashes(size_t count) {
  return std::string(std::min<size_t>(count, kMaxHelpWidth), '-');
}

std::string PositionalName(const CliArg& arg) {
  return Cli().config.uppercase_positionals ? UpperText(arg.display_name) : arg.display_name;
}

void PrintArgGroup(const CliCommand& command, bool required_group, size_t column) {
  std::vector<HelpArgLine> lines = HelpArgLines(command, required_group);
  if (lines.empty()) return;
  ChangeLevel(2);
  HelpPrint(required_group ? "{required}" : "[optional]", true);
  ChangeLevel(1);
  for (const HelpArgLine& line : lines) {
    if (line.starts_group) HelpPrint(Dashes(column - 4), true);
    std::string desc = ReplaceAll(line.desc, "\n", "\n" + std::string(column, ' '));
    HelpPrint(PadRight(line.name, column) + desc, true);
  }
  HelpPrint("", true);
  ChangeLevel(-1);
  ChangeLevel(-2);
}

}  // namespace

std::string WithoutGroupMarks(const std::string& desc) {
  size_t start = desc.find_first_not_of('^');
  return start == std::string::npos ? "" : desc.substr(start);
}

std::vector<HelpArgLine> HelpArgLines(const CliCommand& command, bool required_group) {
  std::vector<HelpArgLine> lines;
  for (const auto& arg : command.args) {
    if (arg->hidden) continue;
    bool required = arg->is_switch ? arg->required : arg->min_count >= 1;
    if (required != required_group) continue;
    HelpArgLine& line = lines.emplace_back();
    line.arg = arg.get();
    line.name = arg->is_switch ? arg->display_name : PositionalName(*arg);
    line.desc = WithoutGroupMarks(arg->desc);
    line.starts_group = StartsGroup(arg->desc);
  }
  return lines;
}

void HelpPrint(const std::string& text, bool end_line) {
  CliState& state = Cli();
  if (state.config.no_console) return;
  const std::string indentation = Indentation();
  // One pass over the text: CR LF and a lone CR are line feeds, and every line feed but
  // a final one is followed by the indentation (the next text is indented when it
  // starts).
  std::string output;
  output.reserve(text.size() + indentation.size() + 2);
  if (!state.mid_line) output += indentation;
  bool ends_with_line_feed = false;
  // Line ends are found at memchr's pace; most texts hold no CR at all.
  const bool has_cr = text.find('\r') != std::string::npos;
  for (size_t i = 0; i < text.size();) {
    size_t line_end = has_cr ? text.find_first_of("\r\n", i) : text.find('\n', i);
    if (line_end == std::string::npos) line_end = text.size();
    output.append(text, i, line_end - i);
    if (line_end == text.size()) break;
    i = line_end + (text[line_end] == '\r' && text.compare(line_end, 2, "\r\n") == 0 ? 2 : 1);
    output.push_back('\n');
    ends_with_line_feed = i == text.size();
    if (!ends_with_line_feed) output += indentation;
  }
  state.mid_line = !ends_with_line_feed;
  if (end_line) {
    output.push_back('\n');
    state.mid_line = false;
  }
  WriteCliOut(output);
}

std::string WrapText(const std::string& text, int64_t width, int64_t hang) {
  std::u32string rest = DecodeUtf8(TrimRight(text));
  while (!rest.empty() && rest.back() == U' ') rest.pop_back();
  if (rest.empty() || width < 1) return "";
  // A hang as wide as the line would leave no room for text.
  const size_t hang_width = static_cast<size_t>(std::clamp<int64_t>(hang, 0, width - 1));
  const size_t line_width = static_cast<size_t>(std::min<int64_t>(width, 1 << 30));
  std::u32string result;
  bool first = true;
  while (!rest.empty()) {
    if (!first) result.push_back(U'\n');
    first = false;
    if (rest.size() <= line_width) {
      result += rest;
      break;
    }
    size_t window = std::min(rest.size(), line_width + 1);
    size_t space = rest.find_last_of(U' ', window - 1);
    bool blank_before = space != std::u32string::npos && rest.find_first_not_of(U' ') >= space;
    size_t line_end = line_width;
    size_t rest_start = line_width;
    if (space != std::u32string::npos && !blank_before) {
      line_end = space;
      rest_start = space + 1;
    }
    std::u32string line = rest.substr(0, line_end);
    while (!line.empty() && line.back() == U' ') line.pop_back();
    result += line;
    size_t next = rest.find_first_not_of(U' ', rest_start);
    if (next == std::u32string::npos) break;
    rest = std::u32string(hang_width, U' ') + rest.substr(next);
  }
  std::string encoded = EncodeUtf8(result);
  return ReplaceAll(encoded, kNoBreakSpace, " ");
}

std::string BuildUsageLine(const CliCommand& command) {
  const CliConfig& config = Cli().config;
  std::string line = config.single_command != nullptr
                         ? "usage: " + ExecutableDisplayName()
                         : ExecutableDisplayName() + " " + command.name;
  for (const auto& arg : command.args) {
    if (arg->is_switch) continue;
    std::string name = PositionalName(*arg);
    const std::string& n = arg->n_text;
    if (n == "0") continue;
    if (n == "1") {
      line += " {" + name + "}";
    } else if (n == "?") {
      line += " [" + name + "]";
    } else if (n == "*") {
      line += " [" + name + kNoBreakSpace + "...]";
    } else if (n == "+") {
      line += " {" + name + "} [" + name + kNoBreakSpace + "...]";
    } else {
      line += " {" + name + "(" + n + ")}";
    }
  }
  for (bool required_pass : {true, false}) {
    for (const auto& arg : command.args) {
      if (!arg->is_switch || arg->hidden || arg->required != required_pass) continue;
      std::string open = arg->required ? "{" : "[";
      std::string close = arg->required ? "}" : "]";
      std::string head =
          " " + open + SwitchDashes(*arg) + arg->display_name + (arg->multiple == true ? "*" : "");
      if (arg->min_count == 0) {
        line += head + close;
      } else if (arg->value_names.empty()) {
        line +=
            head + kNoBreakSpace + std::string(static_cast<size_t>(arg->min_count), '.') + close;
      } else {
        line += head + kNoBreakSpace + arg->value_names + close;
      }
    }
  }
  return line;
}

void PrintCommandHelp(const CliCommand& command) {
  CliState& state = Cli();
  const CliConfig& config = state.config;
  if (config.no_console) return;
  int64_t width = ClampWidth(config.console_columns) -
                  ClampWidth(state.help_level) * ClampWidth(config.indent_width);
  HelpPrint(WrapText(BuildUsageLine(command), width, config.indent_width), true);
  HelpPrint("", true);
  if (!command.desc.empty()) {
    ChangeLevel(2);
    HelpPrint(WithoutGroupMarks(command.desc), true);
    HelpPrint("", true);
    ChangeLevel(-2);
  }
  size_t longest = 0;
  for (const auto& arg : command.args) {
    if (!arg->hidden) longest = std::max(longest, TextLength(arg->display_name));
  }
  size_t column = longest + 4;
  PrintArgGroup(command, true, column);
  PrintArgGroup(command, false, column);
  if (!command.help.empty()) {
    ChangeLevel(2);
    HelpPrint("", true);
    HelpPrint(command.help, true);
    HelpPrint("", true);
    ChangeLevel(-2);
  }
}

void PrintHelp() {
  CliState& state = Cli();
  const CliConfig& config = state.config;
  CliInvocation& run = state.invocation;
  if (config.no_console) return;
  state.help_level = 0;
  if (!config.header.empty()) {
    HelpPrint(config.header, true);
    HelpPrint("", true);
  }
  if (config.single_command != nullptr) run.help_for = config.single_command;
  if (run.help_for != nullptr && !run.help_all) {
    PrintCommandHelp(*run.help_for);
  } else {
    const std::string program = ExecutableDisplayName();
    HelpPrint("usage: " + program + " {command} [args ...]", true);
    HelpPrint("", true);
    ChangeLevel(1);
    HelpPrint("available commands:", true);
    HelpPrint("", true);
    size_t longest = 0;
    for (const auto& command : config.commands) {
      if (!command->hidden) longest = std::max(longest, TextLength(command->name));
    }
    size_t column = longest + 8;
    ChangeLevel(1);
    for (const auto& command : config.commands) {
      if (command->hidden) continue;
      if (StartsGroup(command->desc)) HelpPrint(Dashes(longest), true);
      HelpPrint(PadRight(command->name, column) + WithoutGroupMarks(command->desc), true);
    }
    ChangeLevel(-1);
    HelpPrint("", true);
    ChangeLevel(-1);
    if (run.help_all) {
      for (const auto& command : config.commands) {
        if (command->hidden) continue;
        PrintSeparator();
        HelpPrint("", true);
        PrintCommandHelp(*command);
      }
    } else if (config.auto_add_help && config.single_command == nullptr) {
      ChangeLevel(1);
      HelpPrint("", true);
      HelpPrint(PadRight(program + " help [command]", 30) + "for details about a specific command",
                true);
      HelpPrint("", true);
      HelpPrint(PadRight(program + " help --all", 30) + "for full help on all commands", true);
      ChangeLevel(-1);
    }
  }
  if (run.help_all && !config.help_all_footer.empty()) {
    HelpPrint("", true);
    PrintSeparator();
    HelpPrint("", true);
    HelpPrint(config.help_all_footer, true);
    HelpPrint("", true);
  } else if (!config.footer.empty()) {
    HelpPrint("", true);
    HelpPrint(config.footer, true);
    HelpPrint("", true);
  }
}

}  // namespace brasswick
