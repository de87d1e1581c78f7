#include "cli/cli_config.h"

namespace brasswick {

CliState& Cli() {
  static CliState& state = *new CliState;
  return state;
}

void RecordCliError(int64_t code, const std::string& message) {
  CliError& error = Cli().error;
  if (error.code != 0) return;
  error.code = code;
  error.message = message;
}

void ResetCliState() { Cli() = CliState(); }

const CliError& GetCliError() { return Cli().error; }

void CliReset() { ResetCliState(); }

const std::string& CliDefaultCommandline() { return Cli().config.default_commandline; }

}  // namespace brasswick
