#include "cli/cli_binding.h"

#include <algorithm>

#include "cli/cli_dispatch.h"
#include "cli/cli_loader.h"
#include "cli/cli_text.h"
#include "cli/cli_values.h"

namespace brasswick {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return LowerText(a) == LowerText(b);
}

std::string UsageHint(const CliCommand& command) {
  const CliConfig& config = Cli().config;
  std::string hint = "\n\n  see: " + ExecutableDisplayName();
  if (&command != config.single_command) hint += " " + command.name;
  return hint + " --help";
}

std::vector<std::string> CandidateNames() {
  std::vector<std::string> names;
  for (const CliArg* arg : Cli().arg_candidates) names.push_back(arg->display_name);
  return names;
}

// Splits "--name=value" into two words when the name is a switch taking one value.
void SplitAssignments(std::vector<std::string>& words, const CliCommand& command) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!LooksLikeSwitch(word) || std::count(word.begin(), word.end(), '=') != 1) continue;
    size_t equals = word.find('=');
    std::string name = TrimText(word.substr(0, equals));
    std::string value = TrimText(word.substr(equals + 1));
    CliArg* arg = nullptr;
    if (FindArgs(name, true, command, true, false, &arg) != 1) continue;
    if (arg->min_count != 1 || arg->max_count != 1) continue;
    words[i] = name;
    words.insert(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, value);
    ++i;
  }
}

// Lists the switches of a set that resolve to exactly one switch, each as
// "\n  --name"; given_only keeps those that were given.
std::string ListSetSwitches(const CliCommand& command, const std::string& set, bool given_only,
                            int* listed, int* given) {
  std::string list;
  *listed = 0;
  *given = 0;
  for (const std::string& name : SplitText(set, ',')) {
    if (name.empty()) continue;
    CliArg* arg = nullptr;
    if (FindArgs(name, true, command, true, false, &arg) != 1) continue;
    bool was_given = arg->count > 0;
    if (was_given) ++*given;
    if (given_only && !was_given) continue;
    ++*listed;
    list += "\n  " + SwitchDashes(*arg) + arg->display_name;
  }
  return list;
}

void LookUpHelpTopic(const CliCommand& command) {
  CliState& state = Cli();
  const CliConfig& config = state.config;
  if (!config.auto_add_help || config.single_command != nullptr ||
      &command != config.help_command || command.args.empty()) {
    return;
  }
  const CliArg& topic_arg = *command.args.front();
  if (topic_arg.values.empty() || topic_arg.values.front().empty()) return;
  const std::string& topic = topic_arg.values.front();
  int64_t matches = FindCommands(topic, true);
  if (matches == 1) {
    state.invocation.help_for = state.command_candidates.front().command;
    return;
  }
  if (CommandWordTooShort(topic)) {
    RecordCliError(51, TooShortCommandMessage());
  } else if (matches == 0) {
    RecordCliError(43, FillTemplate("Invalid command '$'", topic));
  } else {
    std::vector<std::string> names;
    for (const auto& candidate : state.command_candidates) names.push_back(candidate.alias);
    RecordCliError(44, WithCandidates(FillTemplate("Ambiguous command '$'", topic), names));
  }
}

void CheckBoundArgs(const CliCommand& command, bool no_words) {
  CliState& state = Cli();
  for (const auto& arg : command.args) {
    if (arg->is_switch || arg->count >= arg->min_count) continue;
    if (state.config.single_command != nullptr && no_words) {
      state.invocation.show_help = true;
      return;
    }
    if (arg->max_count < 2) {
      RecordCliError(40, "Arg '" + arg->display_name + "' is required");
    } else {
      RecordCliError(40, "At least " + std::to_string(arg->min_count) + " '" + arg->display_name +
                             "' required");
    }
    return;
  }
  for (const std::string& set : command.required_sets) {
    int listed = 0;
    int given = 0;
    std::string list = ListSetSwitches(command, set, false, &listed, &given);
    if (given == 0) {
      RecordCliError(53, "You must specify one of the following:" + list);
      return;
    }
  }
  for (const auto& arg : command.args) {
    if (arg->is_switch && arg->required && arg->count == 0) {
      RecordCliError(52, "Switch " + SwitchDashes(*arg) + arg->display_name + " is required");
      return;
    }
  }
  for (const std::string& set : command.exclusive_sets) {
    int listed = 0;
    int given = 0;
    std::string list = ListSetSwitches(command, set, true, &listed, &given);
    if (listed >= 2) {
      RecordCliError(54, "Switches cannot be combined:" + list);
      return;
    }
  }
}

}  // namespace

std::string NormalizeSwitchName(std::string_view text) {
  // Cut as views, copied once: every switch of the table is normalised at each start.
  const CliConfig& config = Cli().config;
  std::string_view name = TrimView(text);
  size_t start = name.find_first_not_of('-');
  name = start == std::string_view::npos ? std::string_view() : name.substr(start);
  if (config.allow_slash_switches) {
    start = name.find_first_not_of('/');
    name = start == std::string_view::npos ? std::string_view() : name.substr(start);
  }
  name = TrimView(name);
  if (config.auto_add_help && name == "?") return "help";
  return config.case_sensitive ? std::string(name) : LowerText(name);
}

bool LooksLikeSwitch(std::string_view word) {
  if (word.empty()) return false;
  bool marker = word[0] == '-' || (word[0] == '/' && Cli().config.allow_slash_switches);
  return marker && !NormalizeSwitchName(word).empty();
}

std::string SwitchDashes(const CliArg& arg) {
  return TextLength(arg.display_name) == 1 ? "-" : "--";
}

int64_t FindArgs(std::string_view name, bool allow_prefix, const CliCommand& command,
                 bool include_switches, bool include_positionals, CliArg** found) {
  std::vector<CliArg*>& candidates = Cli().arg_candidates;
  candidates.clear();
  if (found != nullptr) *found = nullptr;
  std::string normalized = NormalizeSwitchName(name);
  if (normalized.empty()) return 0;
  for (const auto& arg : command.args) {
    if (arg->is_switch ? !include_switches : !include_positionals) continue;
    if (arg->key == normalized) {
      candidates.assign(1, arg.get());
      if (found != nullptr) *found = arg.get();
      return 1;
    }
    if (allow_prefix && !arg->hidden && arg->key.compare(0, normalized.size(), normalized) == 0) {
      candidates.push_back(arg.get());
    }
  }
  if (candidates.size() == 1 && found != nullptr) *found = candidates.front();
  return static_cast<int64_t>(candidates.size());
}

std::string WithCandidates(std::string message, const std::vector<std::string>& names) {
  message += ", did you mean:";
  for (const std::string& name : names) message += "\n  " + name;
  return message;
}

void CliBindArgs(std::vector<std::string>& words) {
  CliState& state = Cli();
  const CliConfig& config = state.config;
  CliInvocation& run = state.invocation;
  if (run.selected == nullptr) return;
  CliCommand& command = *run.selected;
  const bool no_words = words.empty();

  for (auto& arg : command.args) {
    arg->count = 0;
    arg->values.clear();
  }
  const bool is_help_command = &command == config.help_command;
  if (config.auto_add_help && is_help_command) run.show_help = true;

  if (config.auto_add_help && words.size() == 1 && EqualsIgnoringCase(words[0], "help") &&
      !is_help_command) {
    words[0] = "--help";
  } else {
    SplitAssignments(words, command);
  }

  for (size_t i = 0; i < words.size() && !CliFailed(); ++i) {
    std::string word = words[i];
    CliArg* arg = nullptr;
    bool switch_word = LooksLikeSwitch(word);
    if (switch_word &&
        FindArgs(word, config.allow_partial_switches, command, true, false, &arg) == 0 &&
        IsNumericText(word, true, true)) {
      switch_word = false;
    }

    if (!switch_word) {
      CliArg* target = nullptr;
      for (auto& candidate : command.args) {
        if (!candidate->is_switch && candidate->count < candidate->max_count) {
          target = candidate.get();
          break;
        }
      }
      if (target != nullptr) {
        target->values.push_back(word);
        ++target->count;
        continue;
      }
      if (config.auto_add_help && (word == "?" || EqualsIgnoringCase(word, "help"))) {
        word = "--help";
      } else {
        RecordCliError(50, FillTemplate("Unexpected argument '$'", word));
        break;
      }
    }

    int64_t matches = FindArgs(word, config.allow_partial_switches, command, true, false, &arg);
    if (matches == 0) {
      if (FindArgs(word, true, command, false, true, nullptr) == 1) continue;
      std::string message = "Invalid switch '$'";
      if (config.auto_add_help) message += UsageHint(command);
      RecordCliError(41, FillTemplate(message, word));
      break;
    }
    if (matches > 1) {
      RecordCliError(42,
                     WithCandidates(FillTemplate("Ambiguous switch '$'", word), CandidateNames()));
      break;
    }
    if (arg->count != 0 && arg->multiple == false) {
      RecordCliError(49, FillTemplate("Switch '$' can only be specified once", arg->display_name));
      break;
    }
    ++arg->count;
    if (arg->min_count >= 1) {
      size_t needed = static_cast<size_t>(arg->min_count);
      if (words.size() - i - 1 < needed) {
        std::string amount =
            arg->min_count == 1 ? "1 arg" : std::to_string(arg->min_count) + " args";
        RecordCliError(48, FillTemplate("Switch '$' requires ", arg->display_name) + amount);
        break;
      }
      for (size_t k = 1; k <= needed; ++k) arg->values.push_back(words[i + k]);
      i += needed;
    }
    if (config.auto_add_help && arg->display_name == "help") {
      run.show_help = true;
      run.help_for = &command;
      break;
    }
    if (arg->silences) run.silent = true;
    if (arg->verbose) run.verbose_on = true;
    if (arg->confirms) run.confirmed = true;
  }

  if (!CliFailed()) LookUpHelpTopic(command);
  if (!CliFailed() && !run.show_help) CheckBoundArgs(command, no_words);
}

}  // namespace brasswick
