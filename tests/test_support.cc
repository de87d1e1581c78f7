#include "test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace brasswick::testing {

namespace {

std::string TemporaryBase() {
  const char* base = getenv("TMPDIR");
  return base && *base ? base : "/tmp";
}

std::string MakeTemporaryFolder(const std::string& prefix) {
  std::string pattern = TemporaryBase() + "/" + prefix + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  return mkdtemp(buffer.data()) != nullptr ? std::string(buffer.data()) : std::string();
}

// A copy of the binary the test user can reach wherever the build lives, made on first
// use and removed when the test process ends. A hard link where the file system allows
// one, as it costs nothing.
class ReachableBinary {
 public:
  ReachableBinary() {
    folder_ = MakeTemporaryFolder("brasswick-bin");
    if (folder_.empty() || chmod(folder_.c_str(), 0755) != 0) return;
    const std::string copy = folder_ + "/brasswick";
    std::error_code error;
    if (link(BRASSWICK_BINARY, copy.c_str()) != 0 &&
        !std::filesystem::copy_file(BRASSWICK_BINARY, copy, error)) {
      return;
    }
    if (chmod(copy.c_str(), 0755) == 0) path_ = copy;
  }
  ~ReachableBinary() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  ReachableBinary(const ReachableBinary&) = delete;
  ReachableBinary& operator=(const ReachableBinary&) = delete;
  // The copy; the build's own binary when no copy could be made, so that the run
  // fails where it can be seen.
  std::string path() const { return path_.empty() ? BRASSWICK_BINARY : path_; }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace

TempDir::TempDir() : path_(MakeTemporaryFolder("brasswick-test")) {}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

void WriteTestFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadTestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool BecomeTestUser() {
  if (geteuid() != 0) return true;
  return setgroups(0, nullptr) == 0 && setgid(kTestUserId) == 0 && setuid(kTestUserId) == 0;
}

std::string WhyUnprivilegedRunsAreImpossible() {
  if (geteuid() != 0) return "";
  static const std::string why = [] {
    const std::string base = TemporaryBase();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      if (!BecomeTestUser()) _exit(1);
      _exit(access(base.c_str(), X_OK) == 0 ? 0 : 2);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const int code = child > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::string user = "user " + std::to_string(kTestUserId);
    if (code == 0) return std::string();
    if (code == 2) return "the temporary folder " + base + " cannot be entered by " + user;
    return "running as root without the right to become " + user + " (setuid refused)";
  }();
  return why;
}

int RunInChild(const std::function<int()>& body, bool unprivileged) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    if (unprivileged && !BecomeTestUser()) _exit(99);
    _exit(body());
  }
  int status = -1;
  while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

int ChildExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

bool GiveToTestUser(const std::string& path) {
  if (geteuid() != 0) return true;
  return chown(path.c_str(), kTestUserId, kTestUserId) == 0;
}

std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

int64_t PeakMemoryGrowth(const std::function<void()>& work) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    rusage before{};
    rusage after{};
    getrusage(RUSAGE_SELF, &before);
    work();
    getrusage(RUSAGE_SELF, &after);
    int64_t growth = (static_cast<int64_t>(after.ru_maxrss) - before.ru_maxrss) * 1024;
    ssize_t written = write(pipe_ends[1], &growth, sizeof growth);
    _exit(written == sizeof growth ? 0 : 1);
  }
  close(pipe_ends[1]);
  int64_t growth = -1;
  if (child < 0 || read(pipe_ends[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  close(pipe_ends[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return growth;
}

bool PathExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

namespace {

std::string DrainFd(int fd) {
  std::string data;
  char chunk[4096];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      data.append(chunk, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  return data;
}

}  // namespace

ProcessResult RunBrasswick(const std::vector<std::string>& args, const RunOptions& options) {
  if (options.unprivileged && geteuid() == 0) {
    static const ReachableBinary reachable;
    return RunProgram(reachable.path(), args, options);
  }
  return RunProgram(BRASSWICK_BINARY, args, options);
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const RunOptions& options) {
  ProcessResult result;
  // Output goes to temporary files so that neither pipe can fill and block the child.
  TempDir capture;
  std::string out_path = capture.File("stdout");
  std::string err_path = capture.File("stderr");
  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    if (!options.working_folder.empty() && chdir(options.working_folder.c_str()) != 0) _exit(125);
    for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
    if (options.close_stdin) {
      close(0);
    } else {
      int null_fd = open("/dev/null", O_RDONLY);
      dup2(null_fd, 0);
    }
    int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (options.address_space_limit != 0) {
      struct rlimit limit = {options.address_space_limit, options.address_space_limit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    }
    if (options.file_size_limit != 0) {
      struct rlimit limit = {options.file_size_limit, options.file_size_limit};
      // An ignored signal stays ignored across exec.
      if (options.ignore_file_size_signal && signal(SIGXFSZ, SIG_IGN) == SIG_ERR) _exit(126);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    if (options.unprivileged && !BecomeTestUser()) _exit(126);
    std::vector<char*> argv;
    std::string binary = program;
    argv.push_back(binary.data());
    std::vector<std::string> copies(args);
    for (auto& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execvp(binary.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.exit_code = 128 + WTERMSIG(status);
  }
  int out_fd = open(out_path.c_str(), O_RDONLY);
  int err_fd = open(err_path.c_str(), O_RDONLY);
  if (out_fd >= 0) {
    result.out = DrainFd(out_fd);
    close(out_fd);
  }
  if (err_fd >= 0) {
    result.err = DrainFd(err_fd);
    close(err_fd);
  }
  return result;
}

}  // namespace brasswick::testing
