// Help and usage output generated from the loaded configuration.
#ifndef BRASSWICK_CLI_CLI_HELP_H_
#define BRASSWICK_CLI_CLI_HELP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_config.h"

namespace brasswick {

// The general help, one command's help or the full help, as the run's help_for and
// help_all say. Prints nothing under NoConsole.
void PrintHelp();
void PrintCommandHelp(const CliCommand& command);
// The command's usage line, unwrapped; no-break spaces (U+00A0) hold each switch
// together with its value names.
std::string BuildUsageLine(const CliCommand& command);
// One argument as a command's help lists it.
struct HelpArgLine {
  const CliArg* arg = nullptr;  // owned by the loaded configuration
  std::string name;             // a switch without dashes; a positional upper-cased when
                                // UppercasePositionals is set
  std::string desc;             // without its "^" group marks
  bool starts_group = false;    // help draws a dashed line before it
};
// The command's visible arguments of one group in table order: the required ones
// (positionals with a minimum count, required switches) or the optional ones. Empty
// when the group has none.
std::vector<HelpArgLine> HelpArgLines(const CliCommand& command, bool required_group);
// The description without the leading "^" marks that start a help group.
std::string WithoutGroupMarks(const std::string& desc);
// Breaks the text into lines of at most width characters at spaces, continuation
// lines starting with hang spaces; no-break spaces come out as spaces. Empty when the
// text is blank or width is below 1. Every line consumes text, whatever hang is.
std::string WrapText(const std::string& text, int64_t width, int64_t hang);
// Writes the text at the current help indentation; with end_line a line feed follows.
void HelpPrint(const std::string& text, bool end_line);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_HELP_H_
