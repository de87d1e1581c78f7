#include "app/program.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <new>
#include <string>

#include "cli/cli_api.h"
#include "cli/runtime_registry.h"
#include "color/palette.h"
#include "color/render.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "console/console.h"

namespace brasswick {

extern const unsigned char kCommandTableJson[];
extern const std::size_t kCommandTableJson_size;

namespace {

// Without a terminal on standard output nobody can answer a prompt: standard input is
// put on /dev/null (not closed, so no file opened later can take its place), and the
// overwrite prompt then answers no at once.
void OpenConsole() {
  if (isatty(STDOUT_FILENO)) return;
  int null_fd = open("/dev/null", O_RDONLY);
  if (null_fd < 0) return;
  dup2(null_fd, STDIN_FILENO);
  if (null_fd != STDIN_FILENO) close(null_fd);
}

bool LoadCommandTable() {
  if (CliInitFromBuffer(kCommandTableJson, static_cast<int64_t>(kCommandTableJson_size),
                        CliEncoding::kAutomatic, false)) {
    return true;
  }
  const CliError& error = GetCliError();
  SetExitCode(error.code);
  std::string line = error.message;
  if (line.empty() && error.code != 0) line = "Error " + std::to_string(error.code);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return false;
}

// A command that runs out of memory ends as a failure of its own, not as an abort: the
// unwinding removes any temporary file in flight, and the user learns why.
void RecordOutOfMemory() { RecordFailure(kOutOfMemory, kOutOfMemoryMessage); }

template <int (*Procedure)()>
int Guarded() {
  try {
    return Procedure();
  } catch (const std::bad_alloc&) {
    RecordOutOfMemory();
    return 0;
  }
}

template <std::string (*Formatter)(const std::string&)>
std::string GuardedFormatter(const std::string& value) {
  try {
    return Formatter(value);
  } catch (const std::bad_alloc&) {
    RecordOutOfMemory();
    return value;
  }
}

}  // namespace

std::string_view EmbeddedCommandTable() {
  return std::string_view(reinterpret_cast<const char*>(kCommandTableJson), kCommandTableJson_size);
}

void RegisterProgramRuntimes() {
  RuntimeRegistry& registry = GlobalRuntimeRegistry();
  registry.Clear();
  registry.RegisterProcedure("ExportSpritesheetRT()", Guarded<ExportSpritesheetRT>);
  registry.RegisterProcedure("ColorImageRT()", Guarded<ColorImageRT>);
  registry.RegisterProcedure("ExtractJSROMRT()", Guarded<ExtractJSROMRT>);
  registry.RegisterProcedure("VersionRT()", Guarded<VersionRT>);
  registry.RegisterProcedure("CopyP8RT()", Guarded<CopyP8RT>);
  registry.RegisterProcedure("ExportMapRT()", Guarded<ExportMapRT>);
  registry.RegisterFormatter("FormatCopyDestRT()", GuardedFormatter<FormatCopyDestRT>);
  registry.RegisterProcedure("SetLabelRT()", Guarded<SetLabelRT>);
  registry.RegisterProcedure("ExportSpritesRT()", Guarded<ExportSpritesRT>);
  registry.RegisterProcedure("EditHTMLRT()", Guarded<EditHTMLRT>);
  registry.RegisterProcedure("ExportLabelRT()", Guarded<ExportLabelRT>);
  registry.RegisterProcedure("SetTitleRT()", Guarded<SetTitleRT>);
  registry.RegisterProcedure("ConvertRT()", Guarded<ConvertRT>);
  registry.RegisterProcedure("CountRT()", Guarded<CountRT>);
  registry.RegisterProcedure("SetSheetRT()", Guarded<SetSheetRT>);
  registry.RegisterProcedure("SetMapRT()", Guarded<SetMapRT>);
  registry.RegisterConstant("#SW_Title", kProgramTitle);
  registry.RegisterConstant("#SW_Version", kProgramVersion);
}

bool RunCommandLine(const std::vector<std::string>& arguments) {
  std::vector<std::string> words(arguments);
  if (words.empty() && !CliDefaultCommandline().empty()) {
    SplitCommandline(CliDefaultCommandline(), words);
  }
  if (CliExecute(words)) return true;
  // The framework's own failure (0 when only help was printed); a command's recorded
  // failure is already in ExitCode.
  if (ExitCode() == 0) SetExitCode(GetCliError().code);
  return false;
}

int RunProgram(int argc, char** argv) {
  // The "C" locale is kept on purpose: numbers on the command line always use ".".
  // Under a file-size limit ("ulimit -f") a write past it would kill the program and
  // leave its temporary file behind; ignored, the write fails and is reported, and the
  // target stays as it was.
  std::signal(SIGXFSZ, SIG_IGN);
  RegisterProgramRuntimes();
  SetExitCode(0);
  SetTransparentIndex(-1);
  InitPalettes();
  // The CSS colour names are built from their embedded list on first use: most runs
  // never read a colour name, and start-up is paid by every run of a script.
  if (argc > 0 && argv[0]) SetCliProgramPath(argv[0]);
  SetCliLocateAction(LocateResult);
  OpenConsole();
  try {
    if (LoadCommandTable()) {
      std::vector<std::string> arguments;
      for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
      RunCommandLine(arguments);
    }
  } catch (const std::bad_alloc&) {
    // Outside a command (the framework itself): the same code and message.
    RecordOutOfMemory();
  }
  std::fflush(stdout);
  std::fflush(stderr);
  return static_cast<int>(ExitCode() & 0xFF);
}

}  // namespace brasswick
