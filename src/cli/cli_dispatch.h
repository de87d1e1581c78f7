// Command selection and the run of the selected command's procedures.
#ifndef BRASSWICK_CLI_CLI_DISPATCH_H_
#define BRASSWICK_CLI_CLI_DISPATCH_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace brasswick {

// Looks the word up among the command aliases. An exact alias match (hidden commands
// included) gives 1 at once; otherwise, with allow_prefix and a word of at least
// MinCommandChars characters, each non-hidden command with an alias beginning with
// the word is a candidate (Cli().command_candidates, one per command).
int64_t FindCommands(std::string_view word, bool allow_prefix);

// The code-51 message for a command word shorter than MinCommandChars.
std::string TooShortCommandMessage();
// True when the word is too short to be looked up by prefix.
bool CommandWordTooShort(std::string_view word);

// Expands the "{{Name}}" references of every text help may show (header, footers,
// command and argument descriptions and help) in the loaded configuration. Dispatch
// does it before printing; the manual page generator does it after loading.
void ExpandConfigTexts();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_DISPATCH_H_
