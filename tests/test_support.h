// Helpers shared by the tests: temporary folders, small file I/O, and running the
// built brasswick binary as a process.
#ifndef BRASSWICK_TESTS_TEST_SUPPORT_H_
#define BRASSWICK_TESTS_TEST_SUPPORT_H_

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace brasswick::testing {

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

void WriteTestFile(const std::string& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadTestFile(const std::string& path);
bool PathExists(const std::string& path);
// The names in a folder ("." and ".." left out); empty when it cannot be read.
std::set<std::string> FolderNames(const std::string& folder);

// How far the peak resident memory grows while work runs, measured in a forked child
// so that nothing else the tests did counts; -1 when it cannot be measured.
int64_t PeakMemoryGrowth(const std::function<void()>& work);

struct ProcessResult {
  int exit_code = -1;  // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string working_folder;              // "" keeps the current folder
  std::map<std::string, std::string> env;  // extra or replaced environment variables
  bool close_stdin = false;                // else standard input is /dev/null
  // Runs as an ordinary user (uid and gid 65534) when the tests run as root, so that
  // file permissions bind as they do for users. Files the run needs must be given to
  // that user (GiveToTestUser) or be open to everyone.
  bool unprivileged = false;
  // The child's address-space limit in bytes (as "ulimit -v" sets it); 0 for none.
  unsigned long long address_space_limit = 0;
  // The child's file-size limit in bytes (as "ulimit -f" sets it); 0 for none. The child
  // ignores SIGXFSZ, so a write past the limit fails with EFBIG instead of killing it.
  unsigned long long file_size_limit = 0;
  // False leaves SIGXFSZ as the caller has it, as a plain "ulimit -f" in a shell does.
  bool ignore_file_size_signal = true;
};

// The user an unprivileged run takes when the tests run as root.
inline constexpr int kTestUserId = 65534;
// Empty when unprivileged runs work here: the tests run as an ordinary user (who is
// then the one the run takes), or as root able to become the test user, who can enter
// the temporary folder. Otherwise why not, for a test to skip with.
std::string WhyUnprivilegedRunsAreImpossible();
// Skips the calling test, saying why, when it cannot run anything unprivileged.
#define BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS()                                     \
  do {                                                                                \
    const std::string why = ::brasswick::testing::WhyUnprivilegedRunsAreImpossible(); \
    if (!why.empty()) GTEST_SKIP() << why;                                            \
  } while (0)
// Drops to the test user in a forked child when running as root: false when it cannot.
bool BecomeTestUser();
// Makes path (and, for a folder, nothing below it) owned by the unprivileged test user
// when running as root. False when it cannot.
bool GiveToTestUser(const std::string& path);

// Runs body in a forked child, as the test user when asked and running as root, and
// gives back its wait status. The body's result is the child's exit code (99 when it
// could not become the test user), so that a test can tell which step went wrong.
int RunInChild(const std::function<int()>& body, bool unprivileged = false);
// The exit code of a wait status; -1 when the child did not exit (a signal ended it).
int ChildExitCode(int status);

// Runs the built brasswick binary with the arguments (program name excluded). An
// unprivileged run as root runs a copy of it from a folder under the temporary folder,
// since the build may sit in a folder only root may enter (a private home or a mktemp -d).
ProcessResult RunBrasswick(const std::vector<std::string>& args, const RunOptions& options = {});
// Runs another program (looked up on PATH when the name has no "/") the same way.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const RunOptions& options = {});

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_TEST_SUPPORT_H_
