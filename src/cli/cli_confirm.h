// The interactive overwrite confirmation of "file-confirm" values.
#ifndef BRASSWICK_CLI_CLI_CONFIRM_H_
#define BRASSWICK_CLI_CLI_CONFIRM_H_

#include <string>

namespace brasswick {

// True when the existing file at path may be overwritten. Answers yes without asking
// under NoConsole or after --yes-like or silencing switches; otherwise prints
// "File already exists: <path>" and the key legend, and reads one decision from the
// terminal on standard input. When no key can ever be read (standard input closed, not
// a terminal, or at its end) the answer is no.
bool ConfirmOverwrite(const std::string& path);

// The key-reading part of ConfirmOverwrite on the terminal open at fd: puts it in
// non-canonical no-echo mode, drops keys already typed, then waits (polling every
// 10 ms) for "y"/"Y" (true), "n"/"N"/Escape (false) or "l"/"L" (runs the locate
// action and keeps waiting); other keys are ignored and the end of input gives false.
// The terminal's settings and the SIGINT/SIGTERM handlers are restored on every path;
// a signal arriving meanwhile restores the terminal and then takes its default action.
bool ReadOverwriteDecision(const std::string& path, int fd);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_CONFIRM_H_
