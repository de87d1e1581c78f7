#include "cli/cli_output.h"

#include <cstdio>
#include <string>

#include "cli/cli_config.h"

namespace brasswick {

namespace {

// Empty: the standard C streams. The program never sets these: writing through stdio
// rather than the C++ standard streams spares every start the setting up of the C++
// locale, which the standard streams need and nothing else here does.
CliSink out_sink;
CliSink err_sink;

void WriteTo(const CliSink& sink, std::FILE* standard, std::string_view text) {
  if (sink.target != nullptr) {
    sink.write(sink.target, text);
  } else {
    std::fwrite(text.data(), 1, text.size(), standard);
  }
}

void FlushTo(const CliSink& sink, std::FILE* standard) {
  if (sink.target != nullptr) {
    sink.flush(sink.target);
  } else {
    std::fflush(standard);
  }
}

}  // namespace

void SetCliOutputSinks(CliSink out, CliSink err) {
  out_sink = out;
  err_sink = err;
}

void WriteCliOut(std::string_view text) {
  // Not flushed: help is written a line at a time, and a write call per line cost
  // more than the formatting. The error line and the prompt flush it first, and the
  // program flushes it on its way out.
  WriteTo(out_sink, stdout, text);
}

void FlushCliOut() { FlushTo(out_sink, stdout); }

void WriteCliErrorLine() {
  const CliError& error = Cli().error;
  std::string line = error.message;
  if (line.empty() && error.code != 0) line = "Error " + std::to_string(error.code);
  FlushCliOut();  // what was written before the error appears before it
  WriteTo(err_sink, stderr, line + '\n');
  FlushTo(err_sink, stderr);
}

}  // namespace brasswick
