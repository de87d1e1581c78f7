// The framework's process-wide state: the loaded configuration model (CliConfig with
// its commands and arguments), the error state (first error wins), the per-run
// CliInvocation, the latest lookup candidates and the help printer's position.
// Internal to src/cli and its tests; the rest of the program uses cli_api.h.
#ifndef BRASSWICK_CLI_CLI_CONFIG_H_
#define BRASSWICK_CLI_CLI_CONFIG_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_api.h"
#include "cli/runtime_registry.h"

namespace brasswick {

// Largest number of values an unbounded positional ("*" or "+") takes.
inline constexpr int64_t kUnboundedPositionalCap = 5000;

struct CliArg {
  std::string key;           // normalised name used for matching
  std::string display_name;  // name as shown to the user
  std::string value_names;   // "CX CY CW CH"; empty if none
  std::string desc;
  std::string type;  // one of the known type names (lower case) or empty
  bool is_switch = false;
  std::string n_text;
  int64_t min_count = 0;
  int64_t max_count = 0;
  bool unbounded = false;
  std::optional<bool> multiple;  // unset, false or true
  bool hidden = false;
  bool silences = false;
  bool confirms = false;
  bool verbose = false;
  bool required = false;
  CliAccumulator accumulator;  // empty when none
  CliFormatter formatter;
  CliProcedure call;
  // Filled by binding for the selected command.
  int64_t count = 0;
  std::vector<std::string> values;
};

struct CliCommand {
  std::vector<std::string> aliases;  // as written, trimmed
  std::string name;                  // first alias; "*" for the single command
  CliProcedure call;
  bool hidden = false;
  std::vector<std::unique_ptr<CliArg>> args;  // document order, automatic "help" last
  std::vector<std::string> exclusive_sets;    // "half,cells" with blanks removed
  std::vector<std::string> required_sets;
  std::string desc;
  std::string help;
};

struct CliConfig {
  bool no_console = false;
  bool case_sensitive = false;
  bool allow_partial_commands = true;
  bool uppercase_positionals = false;
  int64_t min_command_chars = 3;
  bool allow_partial_switches = true;
  bool allow_slash_switches = false;
  bool auto_add_help = true;
  int64_t console_columns = 78;
  std::string executable_name;
  std::string default_commandline;
  int64_t indent_width = 2;
  std::string header;
  std::string footer;
  std::string help_all_footer;
  std::vector<std::unique_ptr<CliCommand>> commands;
  CliCommand* single_command = nullptr;
  CliCommand* help_command = nullptr;
  std::set<std::string> deprecated_names;
  std::map<std::string, std::string> string_runtimes;  // "runtimes" of the document
  CliProcedure precall;
  CliProcedure postcall;
  bool initialized = false;
};

struct CliInvocation {
  CliCommand* selected = nullptr;
  bool show_help = false;
  bool help_all = false;
  CliCommand* help_for = nullptr;
  bool silent = false;
  bool verbose_on = false;
  bool confirmed = false;
};

struct CliCommandCandidate {
  CliCommand* command;
  std::string alias;  // as written
};

struct CliState {
  CliConfig config;
  CliError error;
  CliInvocation invocation;
  // Latest command lookup.
  std::vector<CliCommandCandidate> command_candidates;
  bool command_exact = false;
  // Latest argument lookup.
  std::vector<CliArg*> arg_candidates;
  // Help printer position.
  int64_t help_level = 0;
  bool mid_line = false;
};

// The one framework state of the process. It lives as long as the process and is
// never destroyed, so exiting does not spend time freeing it.
CliState& Cli();

// Records the error unless one is already recorded.
void RecordCliError(int64_t code, const std::string& message);
inline bool CliFailed() { return Cli().error.code != 0; }

// Resets the configuration, error, invocation and lookup state (not the program path,
// the locate action or the output streams).
void ResetCliState();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_CONFIG_H_
