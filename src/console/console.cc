#include "console/console.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_api.h"
#include "runtime/platform/file_system.h"

namespace brasswick {
namespace {

int64_t exit_code = 0;

void WriteLine(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

int64_t ExitCode() { return exit_code; }
void SetExitCode(int64_t code) { exit_code = code; }

void PrintVerbose(std::string_view text) {
  if (IsArgSet(kVerboseArg) && !IsArgSet(kSilentArg)) WriteLine(stdout, text);
}

void PrintNotice(std::string_view text) {
  if (!IsArgSet(kSilentArg)) WriteLine(stdout, text);
}

void PrintError(std::string_view text) {
  if (!IsArgSet(kSilentArg)) WriteLine(stderr, text);
}

void RecordFailure(int64_t code, std::string_view message) {
  if (exit_code != 0) return;
  exit_code = code;
  if (message.empty()) {
    PrintError("Software Error " + std::to_string(code));
  } else {
    PrintError(message);
  }
}

void PrintBanner() {
  std::string banner = std::string(kProgramTitle) + " " + kProgramVersion + "\n";
  WriteLine(stdout, banner);
}

void PrintBannerIfVerbose() {
  if (IsArgSet(kVerboseArg) && !IsArgSet(kSilentArg)) PrintBanner();
}

// Running the file itself as a program would open nothing on Linux (or run it): the
// desktop's opener shows it with the user's chosen application instead.
void OpenResult(const std::string& path) {
  if (path.empty()) return;
  std::string full_path = path;
  if (full_path[0] != '/') full_path = CurrentDirectory() + full_path;
  LaunchDetached("xdg-open", {full_path}, FolderOf(full_path));
}

void LocateResult(const std::string& path) {
  if (path.empty()) return;
  int64_t size = FileSize(path);
  std::string folder;
  if (size >= 0) {
    folder = FolderOf(path);
  } else if (size == kPathIsDirectory) {
    folder = path;
  } else {
    return;
  }
  if (folder.empty()) folder = CurrentDirectory();
  LaunchDetached("xdg-open", {folder});
}

void RunFinishingActions(const std::string& path, std::string_view opening_message,
                         std::string_view locating_message) {
  if (IsArgSet(kOpenArg)) {
    PrintVerbose(opening_message);
    OpenResult(path);
  }
  if (IsArgSet(kLocateArg)) {
    PrintVerbose(locating_message);
    LocateResult(path);
  }
}

}  // namespace brasswick
