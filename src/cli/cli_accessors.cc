// IsArgSet, GetArgValue and GetArgInt: how command procedures read their arguments.
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_api.h"
#include "cli/cli_binding.h"
#include "cli/cli_config.h"
#include "cli/cli_text.h"
#include "cli/cli_values.h"

namespace brasswick {

bool IsArgSet(std::string_view name) { return ArgTimesGiven(name) > 0; }

int64_t ArgTimesGiven(std::string_view name) {
  const CliState& state = Cli();
  if (state.invocation.selected == nullptr) return 0;
  CliArg* arg = nullptr;
  if (FindArgs(name, state.config.allow_partial_switches, *state.invocation.selected, true, false,
               &arg) != 1) {
    return 0;
  }
  return arg->count;
}

namespace {

// The selected command's argument of that name (switch or positional) when it was
// given, else null.
const CliArg* FindGivenArg(std::string_view name) {
  const CliState& state = Cli();
  if (state.invocation.selected == nullptr) return nullptr;
  CliArg* arg = nullptr;
  if (FindArgs(name, state.config.allow_partial_switches, *state.invocation.selected, true, true,
               &arg) != 1 ||
      arg->count <= 0) {
    return nullptr;
  }
  return arg;
}

}  // namespace

std::vector<std::string> GetArgValues(std::string_view name) {
  const CliArg* arg = FindGivenArg(name);
  return arg ? arg->values : std::vector<std::string>();
}

std::string GetArgValue(std::string_view spec, int64_t index, std::string_view default_value) {
  const CliState& state = Cli();
  const std::string fallback(default_value);
  std::string_view name = spec;
  std::string_view value_name;
  size_t dot = spec.find('.');
  if (dot != std::string_view::npos) {
    name = spec.substr(0, dot);
    value_name = spec.substr(dot + 1);
  }
  const CliArg* arg = FindGivenArg(name);
  if (arg == nullptr) return fallback;
  if (!value_name.empty()) {
    const bool fold = !state.config.case_sensitive;
    std::string wanted = fold ? LowerText(value_name) : std::string(value_name);
    std::vector<std::string> names = SplitText(arg->value_names, ' ');
    index = -1;
    for (size_t i = 0; i < names.size(); ++i) {
      if ((fold ? LowerText(names[i]) : names[i]) == wanted) {
        index = static_cast<int64_t>(i);
        break;
      }
    }
  }
  if (index < 0 || static_cast<uint64_t>(index) >= arg->values.size()) return fallback;
  return arg->values[static_cast<size_t>(index)];
}

int64_t GetArgInt(std::string_view spec, int64_t index, int64_t default_value) {
  std::string value = GetArgValue(spec, index, "");
  if (value.empty()) return default_value;
  return LeadingInteger(value);
}

}  // namespace brasswick
