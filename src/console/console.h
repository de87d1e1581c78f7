// Console reporting of the command procedures: progress lines shown with --verbose,
// error lines hidden by --silent, the first recorded failure code, the banner, and the
// finishing actions --open and --locate.
#ifndef BRASSWICK_CONSOLE_CONSOLE_H_
#define BRASSWICK_CONSOLE_CONSOLE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace brasswick {

inline constexpr const char* kProgramTitle = "brasswick";
inline constexpr const char* kProgramVersion = "1.1";

// The switches that reporting and the finishing actions read for whichever command
// runs; a command without one reads it as not set.
inline constexpr std::string_view kVerboseArg = "verbose";
inline constexpr std::string_view kSilentArg = "silent";
inline constexpr std::string_view kOpenArg = "open";
inline constexpr std::string_view kLocateArg = "locate";
inline constexpr std::string_view kReportingArgNames[] = {kVerboseArg, kSilentArg, kOpenArg,
                                                          kLocateArg};

// The first recorded error code of the run, 0 for none; it becomes the exit status.
int64_t ExitCode();
void SetExitCode(int64_t code);  // start-up and the dispatcher's own failures

// Text and a line break on standard output when "verbose" is set and "silent" is not.
void PrintVerbose(std::string_view text);
// Text and a line break on standard output unless "silent" is set: notices that a
// command took the user's words to mean something else.
void PrintNotice(std::string_view text);
// Text and a line break on standard error unless "silent" is set.
void PrintError(std::string_view text);
// Records code and prints message when no failure was recorded yet; later failures
// are neither recorded nor shown. An empty message prints "Software Error <code>".
void RecordFailure(int64_t code, std::string_view message);
// "brasswick 1.1" and an empty line on standard output.
void PrintBanner();
// PrintBanner() when "verbose" is set and "silent" is not.
void PrintBannerIfVerbose();

// --open: hands the file to the desktop's opener (xdg-open), detached.
void OpenResult(const std::string& path);
// --locate: shows the file's folder (or the folder itself) in the file manager.
void LocateResult(const std::string& path);

// The --open/--locate frame after a successful write.
void RunFinishingActions(const std::string& path, std::string_view opening_message,
                         std::string_view locating_message);

}  // namespace brasswick

#endif  // BRASSWICK_CONSOLE_CONSOLE_H_
