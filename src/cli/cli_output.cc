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
  // Not flushed: help is written a line at a time, and a write call per line cost
  // more than the formatting. The error line and the prompt flush it first, and the
  // program flushes it on its way out.
  CliOut() << text;
}

void WriteCliErrorLine() {
  const CliError& error = Cli().error;
  std::string line = error.message;
  if (line.empty() && error.code != 0) line = "Error " + std::to_string(error.code);
  CliOut().flush();  // what was written before the error appears before it
  CliErr() << line << '\n';
  CliErr().flush();
}

}  // namespace brasswick
