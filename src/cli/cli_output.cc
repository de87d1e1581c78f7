#include "cli/cli_output.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "cli/cli_config.h"

namespace brasswick {

namespace {

// Null: the standard C streams. The program never sets these: writing through stdio
// rather than the C++ standard streams spares every start the setting up of the C++
// locale, which the standard streams need and nothing else here does.
std::ostream* out_stream = nullptr;
std::ostream* err_stream = nullptr;

void WriteTo(std::ostream* stream, std::FILE* standard, std::string_view text) {
  if (stream != nullptr) {
    *stream << text;
  } else {
    std::fwrite(text.data(), 1, text.size(), standard);
  }
}

}  // namespace

void SetCliOutputStreams(std::ostream* out, std::ostream* err) {
  out_stream = out;
  err_stream = err;
}

void WriteCliOut(std::string_view text) {
  // Not flushed: help is written a line at a time, and a write call per line cost
  // more than the formatting. The error line and the prompt flush it first, and the
  // program flushes it on its way out.
  WriteTo(out_stream, stdout, text);
}

void FlushCliOut() {
  if (out_stream != nullptr) {
    out_stream->flush();
  } else {
    std::fflush(stdout);
  }
}

void WriteCliErrorLine() {
  const CliError& error = Cli().error;
  std::string line = error.message;
  if (line.empty() && error.code != 0) line = "Error " + std::to_string(error.code);
  FlushCliOut();  // what was written before the error appears before it
  WriteTo(err_stream, stderr, line + '\n');
  if (err_stream != nullptr) {
    err_stream->flush();
  } else {
    std::fflush(stderr);
  }
}

}  // namespace brasswick
