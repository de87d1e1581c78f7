// Reading the command objects of a configuration document into CliCommand and
// CliArg records, with every check of a command and its arguments.
#ifndef BRASSWICK_CLI_CLI_COMMAND_READER_H_
#define BRASSWICK_CLI_CLI_COMMAND_READER_H_

#include "runtime/json/json_document.h"

namespace brasswick {

// Appends the command read from the node to the loaded configuration; failures are
// recorded in the framework's error state.
void ReadCliCommand(const JsonValue* node);

// Appends the automatic "help" command.
void AddHelpCommand();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_COMMAND_READER_H_
