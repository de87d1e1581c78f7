// Where the framework writes: help and the overwrite prompt go to the output stream
// (standard output), error lines to the error stream (standard error). Tests point
// both at string streams.
#ifndef BRASSWICK_CLI_CLI_OUTPUT_H_
#define BRASSWICK_CLI_CLI_OUTPUT_H_

#include <ostream>
#include <string_view>

namespace brasswick {

// A place the framework writes to other than a standard C stream.
struct CliSink {
  void* target = nullptr;  // null: the standard C stream
  void (*write)(void* target, std::string_view text) = nullptr;
  void (*flush)(void* target) = nullptr;
};

// Points the framework's output at the sinks; empty sinks restore standard output and
// standard error.
void SetCliOutputSinks(CliSink out, CliSink err);

// Points the framework's output at the streams (tests); null restores standard output
// and standard error. Inline, so that the program, which never calls it, links no C++
// stream code and starts without setting up the C++ locale.
inline void SetCliOutputStreams(std::ostream* out, std::ostream* err) {
  auto sink = [](std::ostream* stream) {
    CliSink made;
    if (stream == nullptr) return made;
    made.target = stream;
    made.write = [](void* target, std::string_view text) {
      *static_cast<std::ostream*>(target) << text;
    };
    made.flush = [](void* target) { static_cast<std::ostream*>(target)->flush(); };
    return made;
  };
  SetCliOutputSinks(sink(out), sink(err));
}

// Writes the text to the output stream, unflushed; FlushCliOut flushes it.
void WriteCliOut(std::string_view text);
void FlushCliOut();
// Flushes the output stream, then writes the recorded error as one line to the error
// stream: the message, or "Error <code>" when the message is empty.
void WriteCliErrorLine();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_OUTPUT_H_
