// Binding the words of the command line to the selected command's switches and
// positionals, with counts, required switches, requiredSets and exclusiveSets.
#ifndef BRASSWICK_CLI_CLI_BINDING_H_
#define BRASSWICK_CLI_CLI_BINDING_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_config.h"

namespace brasswick {

// The switch name of a word: trimmed, leading "-" (then, with slash switches, "/")
// removed, trimmed again, lower-cased unless case-sensitive; "?" names "help" when
// the help switch is added automatically.
std::string NormalizeSwitchName(std::string_view text);

// True when the word starts with "-" (or "/" with slash switches) and has a
// non-empty switch name.
bool LooksLikeSwitch(std::string_view word);

// "-" for a one-character display name, else "--".
std::string SwitchDashes(const CliArg& arg);

// Looks the name up among the command's arguments of the included kinds. An exact
// key match returns 1 at once (hidden arguments included); otherwise, with
// allow_prefix, the non-hidden arguments whose key begins with the name are the
// candidates (kept in Cli().arg_candidates). *found receives the argument when the
// result is 1.
int64_t FindArgs(std::string_view name, bool allow_prefix, const CliCommand& command,
                 bool include_switches, bool include_positionals, CliArg** found);

// message + ", did you mean:" + "\n  " + each name.
std::string WithCandidates(std::string message, const std::vector<std::string>& names);

// Binds the words to Cli().invocation.selected and checks counts and sets; errors go
// to the framework's error state.
void CliBindArgs(std::vector<std::string>& words);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_BINDING_H_
