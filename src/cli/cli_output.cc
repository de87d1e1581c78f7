#include "cli/cli_output.h"

#include <iostream>
#include <string>

#include "cli/cli_config.h"

namespace brasswick {

namespace {

std::ostream* out_stream = nullptr;
std::ostream* err_stream = nullptr;

}  // namespace

void SetCliOutputStreams(std::ostream* out, std::ostream* err) {
  out_stream = out;
  err_stream = err;
}

std::ostream& CliOut() { return out_stream != nullptr ? *out_stream : std::cout; }
std::ostream& CliErr() { return err_stream != nullptr ? *err_stream : std::cerr; }

void WriteCliOut(std::string_view text) {
  CliOut() << text;
  CliOut().flush();
}

void WriteCliErrorLine() {
  const CliError& error = Cli().error;
  std::string line = error.message;
  if (line.empty() && error.code != 0) line = "Error " + std::to_string(error.code);
  CliErr() << line << '\n';
  CliErr().flush();
}

}  // namespace brasswick
