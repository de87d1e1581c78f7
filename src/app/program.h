// Program entry: start-up in its fixed order, dispatch of the command line, and the
// exit status.
#ifndef BRASSWICK_APP_PROGRAM_H_
#define BRASSWICK_APP_PROGRAM_H_

#include <string>
#include <string_view>
#include <vector>

namespace brasswick {

// Registers the twelve command and formatter procedures and the two constants.
void RegisterProgramRuntimes();

// The command table compiled into the program (JSON text).
std::string_view EmbeddedCommandTable();

// Loads the embedded command table and runs the words (program name excluded).
// Returns true when a command ran without error; ExitCode() holds the outcome.
bool RunCommandLine(const std::vector<std::string>& arguments);

// The whole program: start-up, run, shutdown; returns the exit status.
int RunProgram(int argc, char** argv);

}  // namespace brasswick

#endif  // BRASSWICK_APP_PROGRAM_H_
