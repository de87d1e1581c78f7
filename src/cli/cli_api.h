// The configuration-driven command-line framework, as the rest of the program sees it:
// load the command table, dispatch the process's words, and read the bound arguments.
#ifndef BRASSWICK_CLI_CLI_API_H_
#define BRASSWICK_CLI_CLI_API_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brasswick {

// The framework's error state: first error wins.
struct CliError {
  int64_t code = 0;
  std::string message;
};
const CliError& GetCliError();

enum class CliEncoding { kAscii, kUtf8, kUtf16Le, kAutomatic };

// Loads a configuration document; true on success, else GetCliError() tells why.
bool CliInitFromBuffer(const uint8_t* bytes, int64_t length, CliEncoding encoding,
                       bool single_quotes);
bool CliLoadText(const std::string& text, bool single_quotes);

// Selects and runs a command for the words (program name excluded). True when a
// command ran without any recorded error and no help was shown. Prints the framework's
// own error line and help.
bool CliExecute(std::vector<std::string>& words);
// Splits the DefaultCommandline setting into words.
void SplitCommandline(const std::string& text, std::vector<std::string>& words);
// The configuration's DefaultCommandline setting ("" before loading).
const std::string& CliDefaultCommandline();

// Accessors for command procedures; before a command is selected they give the
// default or false. `spec` is a name as the user writes it ("--cells", "p8File"),
// optionally followed by "." and a value name ("cells.CW").
bool IsArgSet(std::string_view name);
// How many times the argument was given (a repeated flag counts each time); 0 when not.
int64_t ArgTimesGiven(std::string_view name);
std::string GetArgValue(std::string_view spec, int64_t index = 0,
                        std::string_view default_value = "");
int64_t GetArgInt(std::string_view spec, int64_t index, int64_t default_value);
// Every value bound to the argument, in order (all occurrences of a repeated switch);
// empty when it was not given.
std::vector<std::string> GetArgValues(std::string_view name);

// The action behind the "L" key of the overwrite prompt (the program's --locate).
void SetCliLocateAction(std::function<void(const std::string& path)> action);

// The running program's path (argv[0]); usage lines show its file name without
// folder and extension when the configuration sets no ExecutableName.
void SetCliProgramPath(const std::string& path);

// Forgets the loaded configuration, the error and the run state, so that another
// configuration can be loaded (tests load several in one process).
void CliReset();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_API_H_
