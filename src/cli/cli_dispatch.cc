#include "cli/cli_dispatch.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli_api.h"
#include "cli/cli_binding.h"
#include "cli/cli_config.h"
#include "cli/cli_help.h"
#include "cli/cli_loader.h"
#include "cli/cli_output.h"
#include "cli/cli_text.h"
#include "cli/cli_values.h"

namespace brasswick {

namespace {

std::string NormalizeCommandWord(std::string_view word) {
  std::string trimmed = TrimText(word);
  return Cli().config.case_sensitive ? trimmed : LowerText(trimmed);
}

std::string HelpHint() {
  if (!Cli().config.auto_add_help) return "";
  return "\n\n  see: " + ExecutableDisplayName() + " help";
}

// Rewrites help requests given as switches ("--help", "-h", "/?", "--help --all")
// into the help command's words.
void RewriteHelpWords(std::vector<std::string>& words) {
  if (words.empty()) return;
  bool all_switches = std::all_of(words.begin(), words.end(),
                                  [](const std::string& word) { return LooksLikeSwitch(word); });
  std::string first = NormalizeSwitchName(words[0]);
  if (all_switches && (words[0] == "/?" || first == "help" || first == "h")) {
    words[0] = "help";
    return;
  }
  if (words.size() == 2 && FindCommands("all", true) == 0 && first == "help" &&
      NormalizeSwitchName(words[1]) == "all") {
    words = {"help", "--all"};
  }
}

// Selects the command named by the first word and removes that word.
void SelectCommand(std::vector<std::string>& words) {
  CliState& state = Cli();
  const CliConfig& config = state.config;
  std::string word = TrimText(words[0]);
  if (word.empty()) {
    RecordCliError(31, "Specified command is blank");
    return;
  }
  int64_t matches = FindCommands(word, config.allow_partial_commands);
  if (matches == 1 && (state.command_exact ||
                       (config.allow_partial_commands &&
                        static_cast<int64_t>(TextLength(word)) >= config.min_command_chars))) {
    state.invocation.selected = state.command_candidates.front().command;
    words.erase(words.begin());
    return;
  }
  if (matches >= 1) {
    if (CommandWordTooShort(word)) {
      RecordCliError(51, TooShortCommandMessage());
      return;
    }
    std::vector<std::string> names;
    for (const auto& candidate : state.command_candidates) names.push_back(candidate.alias);
    RecordCliError(44, WithCandidates(FillTemplate("Ambiguous command '$'", word), names));
    return;
  }
  if (LooksLikeSwitch(word)) {
    RecordCliError(43, FillTemplate("Expected a command, got switch '$'", word));
  } else if (CommandWordTooShort(word)) {
    RecordCliError(51, TooShortCommandMessage());
  } else if (config.deprecated_names.count(LowerText(word)) != 0) {
    RecordCliError(55, FillTemplate("Command '$' has been deprecated" + HelpHint(), word));
  } else {
    RecordCliError(43, FillTemplate("Invalid command '$'" + HelpHint(), word));
  }
}

void RunCommand(CliCommand& command) {
  const CliConfig& config = Cli().config;
  for (auto& arg : command.args) {
    if (CliFailed()) return;
    if (!arg->formatter) continue;
    for (std::string& value : arg->values) value = arg->formatter(value);
  }
  for (const auto& arg : command.args) {
    const std::string label = arg->display_name.empty() ? "argument" : arg->display_name;
    for (const std::string& value : arg->values) {
      if (CliFailed()) return;
      if (!CheckValue(value, arg->type, label)) return;
    }
  }
  if (CliFailed()) return;
  if (config.precall && config.precall() != 0) {
    RecordCliError(60, "Canceled by 'precall' callback");
    return;
  }
  for (const auto& arg : command.args) {
    if (CliFailed()) return;
    if (!arg->accumulator) continue;
    for (size_t i = 0; i < arg->values.size(); ++i) {
      arg->accumulator(arg->values[i], i == 0, i + 1 == arg->values.size());
    }
  }
  for (const auto& arg : command.args) {
    if (CliFailed()) return;
    if (!arg->call) continue;
    for (int64_t i = 0; i < arg->count; ++i) arg->call();
  }
  if (CliFailed()) return;
  if (command.call) command.call();
  if (CliFailed()) return;
  if (config.postcall && config.postcall() != 0) {
    RecordCliError(60, "Canceled by 'postcall' callback");
  }
}

}  // namespace

void ExpandConfigTexts() {
  CliConfig& config = Cli().config;
  config.header = ExpandRuntimeStrings(config.header);
  config.footer = ExpandRuntimeStrings(config.footer);
  config.help_all_footer = ExpandRuntimeStrings(config.help_all_footer);
  for (auto& command : config.commands) {
    command->help = ExpandRuntimeStrings(command->help);
    command->desc = ExpandRuntimeStrings(command->desc);
    for (auto& arg : command->args) {
      arg->desc = ExpandRuntimeStrings(arg->desc);
      if (arg->display_name.empty()) arg->display_name = arg->key;
    }
  }
}

bool CommandWordTooShort(std::string_view word) {
  const CliConfig& config = Cli().config;
  return config.allow_partial_commands && config.min_command_chars >= 1 &&
         static_cast<int64_t>(TextLength(word)) < config.min_command_chars;
}

std::string TooShortCommandMessage() {
  int64_t minimum = Cli().config.min_command_chars;
  if (minimum < 2) return "At least 1 command character is required";
  return "At least " + std::to_string(minimum) + " command characters are required";
}

int64_t FindCommands(std::string_view word, bool allow_prefix) {
  CliState& state = Cli();
  const CliConfig& config = state.config;
  state.command_candidates.clear();
  state.command_exact = false;
  std::string wanted = NormalizeCommandWord(word);
  bool prefix_allowed =
      allow_prefix && !(config.min_command_chars > 0 &&
                        static_cast<int64_t>(TextLength(wanted)) < config.min_command_chars);
  for (const auto& command : config.commands) {
    for (const std::string& alias : command->aliases) {
      std::string normalized = NormalizeCommandWord(alias);
      if (normalized == wanted) {
        state.command_candidates.assign(1, {command.get(), alias});
        state.command_exact = true;
        return 1;
      }
      if (!prefix_allowed || command->hidden) continue;
      if (normalized.compare(0, wanted.size(), wanted) != 0) continue;
      bool listed =
          std::any_of(state.command_candidates.begin(), state.command_candidates.end(),
                      [&](const CliCommandCandidate& c) { return c.command == command.get(); });
      if (!listed) state.command_candidates.push_back({command.get(), alias});
    }
  }
  return static_cast<int64_t>(state.command_candidates.size());
}

void SplitCommandline(const std::string& text, std::vector<std::string>& words) {
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (size_t i = 0; i <= text.size(); ++i) {
    char c = i < text.size() ? text[i] : '\0';
    if (quoted) {
      if (c == '"' || c == '\0') {
        words.push_back(word);
        word.clear();
        quoted = false;
      } else {
        word.push_back(c);
      }
      continue;
    }
    if (c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == ' ') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '"' && !in_word) {
      quoted = true;
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
}

bool CliExecute(std::vector<std::string>& words) {
  CliState& state = Cli();
  const CliConfig& config = state.config;
  CliInvocation& run = state.invocation;
  if (!config.initialized) {
    RecordCliError(30, "CLI is not initialized");
  } else {
    run = CliInvocation();
    if (words.empty() && config.single_command == nullptr) {
      run.show_help = true;
    } else {
      if (config.auto_add_help) RewriteHelpWords(words);
      if (config.single_command != nullptr) {
        run.selected = config.single_command;
      } else {
        SelectCommand(words);
      }
      if (!CliFailed() && run.selected != nullptr) {
        CliBindArgs(words);
        if (!CliFailed()) {
          if (config.auto_add_help && run.selected == config.help_command) {
            run.show_help = true;
            run.help_all = IsArgSet("all");
          } else if (!run.show_help) {
            RunCommand(*run.selected);
          }
        }
      }
    }
    if (!CliFailed()) ExpandConfigTexts();
  }

  if (CliFailed()) {
    if (!run.silent && !config.no_console) WriteCliErrorLine();
  } else if (run.show_help) {
    PrintHelp();
  }
  return !CliFailed() && !run.show_help;
}

}  // namespace brasswick
