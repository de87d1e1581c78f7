#include "cli/cli_command_reader.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_binding.h"
#include "cli/cli_config.h"
#include "cli/cli_members.h"
#include "cli/cli_text.h"
#include "cli/cli_values.h"
#include "runtime/text/text_codes.h"

namespace brasswick {

namespace {

std::string NormalizeAlias(std::string_view alias) {
  std::string trimmed = TrimText(alias);
  return Cli().config.case_sensitive ? trimmed : LowerText(trimmed);
}

// Whether a stored alias normalises to the (already normalised) text, compared in
// place: every alias of every command is checked against every new one.
bool SameAlias(std::string_view alias, std::string_view normalized, bool case_sensitive) {
  alias = TrimView(alias);
  return case_sensitive ? alias == normalized : SameTextIgnoringCase(alias, normalized);
}

bool AliasTaken(const std::string& normalized) {
  const bool case_sensitive = Cli().config.case_sensitive;
  for (const auto& command : Cli().config.commands) {
    for (const std::string& alias : command->aliases) {
      if (SameAlias(alias, normalized, case_sensitive)) return true;
    }
  }
  return false;
}

void ReadAliases(CliCommand& command, const std::string& names) {
  CliConfig& config = Cli().config;
  bool first_command = config.commands.size() == 1;
  for (const std::string& raw_piece : SplitText(names, ',')) {
    std::string piece = TrimText(raw_piece);
    if (piece.empty()) {
      RecordCliError(22, "Command name is blank");
    } else if (piece == "*") {
      if (!first_command) {
        RecordCliError(29, "Single command ('*') cannot be combined with other commands");
      } else {
        config.single_command = &command;
        command.aliases = {"*"};
        command.name = "*";
      }
    } else if (config.single_command != nullptr) {
      RecordCliError(29, "Single command ('*') cannot be combined with other commands");
    } else if (AliasTaken(NormalizeAlias(piece))) {
      RecordCliError(23, "Command name '" + piece + "' occurs more than once");
    } else {
      command.aliases.push_back(piece);
      if (command.aliases.size() == 1) command.name = piece;
    }
  }
}

// Sets min/max counts from n_text; false after recording a failure.
void ApplyCountText(CliArg& arg) {
  const std::string& n = arg.n_text;
  if (!arg.is_switch) {
    if (n == "?") {
      arg.min_count = 0;
      arg.max_count = 1;
      return;
    }
    if (n == "*" || n == "+") {
      arg.min_count = n == "+" ? 1 : 0;
      arg.max_count = kUnboundedPositionalCap;
      arg.unbounded = true;
      return;
    }
  }
  // Counts beyond the cap would only make usage lines and bindings absurdly large.
  if (!IsNumericText(n, false, true) || LeadingInteger(n) > kUnboundedPositionalCap) {
    RecordCliError(28, "N is invalid ('" + n + "') for arg '" + arg.display_name + "'");
    return;
  }
  int64_t value = LeadingInteger(n);
  if (arg.is_switch) {
    if (value < 0) {
      RecordCliError(27, "N cannot be negative for arg '" + arg.display_name + "'");
      return;
    }
    arg.min_count = arg.max_count = value;
    if (!arg.multiple.has_value() && value > 0) arg.multiple = false;
    return;
  }
  if (value < 1) {
    RecordCliError(27, "N must be positive for positional arg '" + arg.display_name + "'");
    return;
  }
  arg.min_count = arg.max_count = value;
}

std::string JoinValueNames(std::string_view text) {
  std::string spaced(text);
  for (char& c : spaced) {
    if (c == ',' || c == ';' || c == '|' || c == '\t') c = ' ';
  }
  std::string joined;
  for (const std::string& word : SplitText(spaced, ' ')) {
    if (word.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += word;
  }
  return joined;
}

int64_t CountWords(const std::string& joined) {
  if (joined.empty()) return 0;
  return static_cast<int64_t>(SplitText(joined, ' ').size());
}

void ResolveArgRuntimes(const JsonValue* node, CliArg& arg) {
  const RuntimeEntry* entry = nullptr;
  std::string name;
  if (!ResolveConfigRuntime(node, "call", RuntimeEntry::Kind::kProcedure, &entry, &name)) {
    RecordCliError(24, "Missing call runtime '" + name + "' for arg '" + arg.display_name + "'");
  } else if (entry != nullptr) {
    arg.call = entry->procedure;
  }
  if (!ResolveConfigRuntime(node, "accumulator", RuntimeEntry::Kind::kAccumulator, &entry, &name)) {
    RecordCliError(24,
                   "Missing accumulator runtime '" + name + "' for arg '" + arg.display_name + "'");
  } else if (entry != nullptr) {
    arg.accumulator = entry->accumulator;
  }
  if (!ResolveConfigRuntime(node, "formatter", RuntimeEntry::Kind::kFormatter, &entry, &name)) {
    RecordCliError(24,
                   "Missing formatter runtime '" + name + "' for arg '" + arg.display_name + "'");
  } else if (entry != nullptr) {
    arg.formatter = entry->formatter;
  }
}

void ReadArg(const JsonValue* node, CliCommand& command) {
  const CliConfig& config = Cli().config;
  if (JsonKindOf(node) != JsonKind::kObject) return;
  const JsonValue* name_member = ConfigMember(node, "name");
  if (JsonKindOf(name_member) != JsonKind::kString) {
    RecordCliError(25, "Arg name is missing in command '" + command.name + "'");
    return;
  }
  std::string name = TrimText(JsonStringOf(name_member));
  std::string value_name_text;
  size_t space = name.find(' ');
  if (space != std::string::npos) {
    value_name_text = TrimText(name.substr(space + 1));
    name.resize(space);
  }

  auto arg = std::make_unique<CliArg>();
  bool slash = config.allow_slash_switches && !name.empty() && name[0] == '/';
  bool dash = !name.empty() && name[0] == '-';
  std::string switch_key = dash || slash ? NormalizeSwitchName(name) : std::string();
  if (!switch_key.empty()) {
    arg->is_switch = true;
    size_t start = name.find_first_not_of('-');
    std::string display = start == std::string::npos ? "" : name.substr(start);
    if (config.allow_slash_switches) {
      start = display.find_first_not_of('/');
      display = start == std::string::npos ? "" : display.substr(start);
    }
    arg->display_name = TrimText(display);
    arg->key = std::move(switch_key);
  } else {
    arg->display_name = name;
    arg->key = config.case_sensitive ? name : LowerText(name);
  }

  if (arg->key.empty()) {
    RecordCliError(25, "Arg name is blank in command '" + command.name + "'");
    return;
  }
  for (const auto& other : command.args) {
    if (other->key == arg->key) {
      RecordCliError(26, "Arg name '" + arg->display_name + "' occurs more than once in command '" +
                             command.name + "'");
      return;
    }
  }
  command.args.push_back(std::move(arg));
  CliArg& added = *command.args.back();

  added.value_names = JoinValueNames(value_name_text);
  added.desc = ReadConfigString(node, "desc", "");

  std::string type_written = ReadConfigString(node, "type", "");
  std::string type = LowerText(TrimText(type_written));
  if (!type.empty() && !IsKnownArgType(type)) {
    RecordCliError(47, "Invalid arg type '" + type_written + "'");
    type.clear();
  }
  added.type = type;

  if (added.is_switch) {
    if (HasConfigBool(node, "multiple")) added.multiple = ReadConfigBool(node, "multiple", false);
    added.hidden = ReadConfigBool(node, "hidden", false);
    bool silence_name = added.display_name == "silent" || added.display_name == "silence";
    added.silences = ReadConfigBool(node, "silences", silence_name);
    added.confirms = ReadConfigBool(node, "confirms", false);
    added.verbose = ReadConfigBool(node, "verbose", added.display_name == "verbose");
    added.required = ReadConfigBool(node, "required", false);
  }

  const JsonValue* n_member = ConfigMember(node, "N");
  if (JsonKindOf(n_member) == JsonKind::kString) {
    added.n_text = JsonStringOf(n_member);
  } else if (!added.is_switch) {
    added.n_text = "1";
  } else {
    added.n_text = std::to_string(CountWords(added.value_names));
  }
  ApplyCountText(added);

  ResolveArgRuntimes(node, added);
}

void CheckUnboundedPositionals(const CliCommand& command) {
  const CliArg* unbounded = nullptr;
  bool positional_after = false;
  for (const auto& arg : command.args) {
    if (arg->is_switch) continue;
    if (arg->unbounded) {
      if (unbounded != nullptr) {
        RecordCliError(70, "Only one positional arg with unbounded 'N' allowed in command '" +
                               command.name + "'");
        return;
      }
      unbounded = arg.get();
    } else if (unbounded != nullptr) {
      positional_after = true;
    }
  }
  if (unbounded != nullptr && positional_after) {
    RecordCliError(71, "Positional arg '" + unbounded->display_name +
                           "' with unbounded 'N' must be last positional in command '" +
                           command.name + "'");
  }
}

std::unique_ptr<CliArg> MakeFlagSwitch(const std::string& name, const std::string& desc) {
  auto arg = std::make_unique<CliArg>();
  arg->key = name;
  arg->display_name = name;
  arg->desc = desc;
  arg->is_switch = true;
  arg->n_text = "0";
  return arg;
}

void ReadSetList(const JsonValue* node, std::string_view key, std::vector<std::string>& sets) {
  const JsonValue* member = ConfigMember(node, key);
  auto add = [&sets](const JsonValue* element) {
    if (JsonKindOf(element) != JsonKind::kString) return;
    std::string set = RemoveChar(JsonStringOf(element), ' ');
    if (!set.empty()) sets.push_back(set);
  };
  if (JsonKindOf(member) == JsonKind::kString) {
    add(member);
  } else {
    for (size_t i = 0; i < JsonArrayLength(member); ++i) add(JsonElement(member, i));
  }
}

void CheckSetNames(const CliCommand& command, const std::vector<std::string>& sets,
                   const std::string& kind) {
  for (const std::string& set : sets) {
    if (CliFailed()) return;
    for (const std::string& name : SplitText(set, ',')) {
      if (name.empty()) continue;
      CliArg* found = nullptr;
      int64_t matches = FindArgs(name, true, command, true, false, &found);
      if (matches == 0) {
        RecordCliError(41, FillTemplate("Invalid " + kind + " switch '$'", name));
        return;
      }
      if (matches > 1) {
        std::vector<std::string> names;
        for (const CliArg* candidate : Cli().arg_candidates) {
          names.push_back(candidate->display_name);
        }
        RecordCliError(
            42, WithCandidates(FillTemplate("Ambiguous " + kind + " switch '$'", name), names));
        return;
      }
    }
  }
}

}  // namespace

void ReadCliCommand(const JsonValue* node) {
  CliConfig& config = Cli().config;
  if (JsonKindOf(node) != JsonKind::kObject) {
    RecordCliError(72, "Command is not a valid JSON object");
    return;
  }
  config.commands.push_back(std::make_unique<CliCommand>());
  CliCommand& command = *config.commands.back();

  const JsonValue* name_member = ConfigMember(node, "name");
  if (JsonKindOf(name_member) != JsonKind::kString) {
    RecordCliError(22, "Command name is missing");
  } else {
    ReadAliases(command, JsonStringOf(name_member));
  }

  const JsonValue* args = ConfigMember(node, "args");
  for (size_t i = 0; i < JsonArrayLength(args) && !CliFailed(); ++i) {
    ReadArg(JsonElement(args, i), command);
  }

  CheckUnboundedPositionals(command);

  if (config.auto_add_help) {
    bool has_help = false;
    for (const auto& arg : command.args) {
      if (arg->is_switch && arg->key == "help") has_help = true;
    }
    if (!has_help) {
      auto help = MakeFlagSwitch(
          "help", command.name == "*" ? "show this help" : "show help for this command");
      help->multiple = false;
      command.args.push_back(std::move(help));
    }
  }

  const RuntimeEntry* entry = nullptr;
  std::string call_name;
  if (!ResolveConfigRuntime(node, "call", RuntimeEntry::Kind::kProcedure, &entry, &call_name)) {
    RecordCliError(24,
                   "Missing call runtime '" + call_name + "' for command '" + command.name + "'");
  } else if (entry != nullptr) {
    command.call = entry->procedure;
  }

  command.hidden = ReadConfigBool(node, "hidden", false);
  command.desc = ReadConfigString(node, "desc", "");
  command.help = ReadConfigString(node, "help", "");

  ReadSetList(node, "exclusiveSets", command.exclusive_sets);
  ReadSetList(node, "requiredSets", command.required_sets);
  CheckSetNames(command, command.exclusive_sets, "exclusive");
  CheckSetNames(command, command.required_sets, "required");
}

void AddHelpCommand() {
  CliConfig& config = Cli().config;
  auto command = std::make_unique<CliCommand>();
  command->aliases = {"help"};
  command->name = "help";
  command->desc = "show this help";

  auto positional = std::make_unique<CliArg>();
  positional->key = "command";
  positional->display_name = "command";
  positional->desc = "show help for a specific command";
  positional->n_text = "?";
  positional->min_count = 0;
  positional->max_count = 1;
  command->args.push_back(std::move(positional));

  command->args.push_back(MakeFlagSwitch("all", "^show full help for all commands (--all or -a)"));

  auto help = MakeFlagSwitch("help", "");
  help->hidden = true;
  command->args.push_back(std::move(help));

  config.help_command = command.get();
  config.commands.push_back(std::move(command));
}

}  // namespace brasswick
