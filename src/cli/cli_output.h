// Where the framework writes: help and the overwrite prompt go to the output stream
// (standard output), error lines to the error stream (standard error). Tests point
// both at string streams.
#ifndef BRASSWICK_CLI_CLI_OUTPUT_H_
#define BRASSWICK_CLI_CLI_OUTPUT_H_

#include <ostream>
#include <string_view>

namespace brasswick {

// Null restores the standard stream.
void SetCliOutputStreams(std::ostream* out, std::ostream* err);
std::ostream& CliOut();
std::ostream& CliErr();

// Writes the text to the output stream, unflushed.
void WriteCliOut(std::string_view text);
// Flushes the output stream, then writes the recorded error as one line to the error
// stream: the message, or
// "Error <code>" when the message is empty.
void WriteCliErrorLine();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_OUTPUT_H_
