// Where the framework writes: help and the overwrite prompt go to the output stream
// (standard output), error lines to the error stream (standard error). Tests point
// both at string streams.
#ifndef BRASSWICK_CLI_CLI_OUTPUT_H_
#define BRASSWICK_CLI_CLI_OUTPUT_H_

#include <iosfwd>
#include <string_view>

namespace brasswick {

// Points the framework's output at the streams (tests); null restores standard output
// and standard error.
void SetCliOutputStreams(std::ostream* out, std::ostream* err);

// Writes the text to the output stream, unflushed; FlushCliOut flushes it.
void WriteCliOut(std::string_view text);
void FlushCliOut();
// Flushes the output stream, then writes the recorded error as one line to the error
// stream: the message, or "Error <code>" when the message is empty.
void WriteCliErrorLine();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_OUTPUT_H_
