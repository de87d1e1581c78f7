// Help and usage output generated from the loaded configuration.
#ifndef BRASSWICK_CLI_CLI_HELP_H_
#define BRASSWICK_CLI_CLI_HELP_H_

#include <cstdint>
#include <string>

#include "cli/cli_config.h"

namespace brasswick {

// The general help, one command's help or the full help, as the run's help_for and
// help_all say. Prints nothing under NoConsole.
void PrintHelp();
void PrintCommandHelp(const CliCommand& command);
// The command's usage line, unwrapped; no-break spaces (U+00A0) hold each switch
// together with its value names.
std::string BuildUsageLine(const CliCommand& command);
// Breaks the text into lines of at most width characters at spaces, continuation
// lines starting with hang spaces; no-break spaces come out as spaces. Empty when the
// text is blank or width is below 1. Every line consumes text, whatever hang is.
std::string WrapText(const std::string& text, int64_t width, int64_t hang);
// Writes the text at the current help indentation; with end_line a line feed follows.
void HelpPrint(const std::string& text, bool end_line);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_HELP_H_
