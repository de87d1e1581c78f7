#include "runtime/platform/file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>

namespace brasswick {
namespace {

bool write_failure_for_testing = false;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::string FolderOf(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

int64_t FileSize(const std::string& path) {
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return kPathMissing;
  if (S_ISDIR(info.st_mode)) return kPathIsDirectory;
  return static_cast<int64_t>(info.st_size);
}

bool FileExists(const std::string& path) { return FileSize(path) >= 0; }

bool DirectoryExists(const std::string& path) { return FileSize(path) == kPathIsDirectory; }

std::optional<std::string> ReadWholeFile(const std::string& path) {
  if (FileSize(path) < 0) return std::nullopt;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  std::string content;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) content.append(chunk, n);
  if (std::ferror(file.get())) return std::nullopt;
  return content;
}

AtomicFileWriter::~AtomicFileWriter() { Abort(); }

bool AtomicFileWriter::Open(const std::string& target_path) {
  Abort();
  if (target_path.empty() || target_path.back() == '/') return false;
  target_path_ = target_path;
  std::string folder = FolderOf(target_path);
  std::string name = target_path.substr(folder.size());
  // A hidden name in the target's folder, so the final rename never crosses file systems.
  std::string pattern = folder + "." + name + ".tmp-XXXXXX";
  std::unique_ptr<char[]> buffer(new char[pattern.size() + 1]);
  pattern.copy(buffer.get(), pattern.size());
  buffer[pattern.size()] = '\0';
  int fd = mkstemp(buffer.get());
  if (fd < 0) return false;
  temp_path_ = buffer.get();
  stream_ = fdopen(fd, "wb");
  if (!stream_) {
    close(fd);
    unlink(temp_path_.c_str());
    temp_path_.clear();
    return false;
  }
  failed_ = false;
  return true;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (!stream_) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
    failed_ = true;
  }
  return !failed_;
}

bool AtomicFileWriter::Commit() {
  if (!stream_) return false;
  bool ok = !failed_ && !write_failure_for_testing && std::fflush(stream_) == 0 &&
            !std::ferror(stream_) && fsync(fileno(stream_)) == 0;
  if (ok) {
    // Keep the permission bits of the file being replaced; a new file gets the usual
    // mode for the user's umask rather than mkstemp's private 0600.
    struct stat info;
    mode_t mode;
    if (stat(target_path_.c_str(), &info) == 0) {
      mode = info.st_mode & 07777;
    } else {
      mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    ok = fchmod(fileno(stream_), mode) == 0;
  }
  ok = (std::fclose(stream_) == 0) && ok;
  stream_ = nullptr;
  if (ok) ok = rename(temp_path_.c_str(), target_path_.c_str()) == 0;
  if (!ok) unlink(temp_path_.c_str());
  temp_path_.clear();
  return ok;
}

void AtomicFileWriter::Abort() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temp_path_.empty()) {
    unlink(temp_path_.c_str());
    temp_path_.clear();
  }
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
  AtomicFileWriter writer;
  return writer.Open(path) && writer.Write(bytes) && writer.Commit();
}

bool CopyFileBytes(const std::string& from, const std::string& to) {
  std::optional<std::string> content = ReadWholeFile(from);
  return content && WriteFileAtomic(to, *content);
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return std::string();
  std::string folder(buffer);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string HomeDirectory() {
  const char* home = getenv("HOME");
  return home ? std::string(home) : std::string();
}

bool LaunchDetached(const std::string& program, const std::vector<std::string>& arguments,
                    const std::string& working_folder) {
  if (program.empty()) return false;
  // Build everything the child needs before fork: after it, only async-signal-safe calls.
  std::vector<std::string> words;
  words.push_back(program);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // A pipe closed on exec tells the parent whether the program started.
  int status_pipe[2];
  if (pipe2(status_pipe, O_CLOEXEC) != 0) return false;
  pid_t child = fork();
  if (child < 0) {
    close(status_pipe[0]);
    close(status_pipe[1]);
    return false;
  }
  if (child == 0) {
    close(status_pipe[0]);
    // Double fork: the grandchild is adopted by init, so nobody has to reap it.
    pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    setsid();
    signal(SIGINT, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      dup2(null_fd, 0);
      dup2(null_fd, 1);
      dup2(null_fd, 2);
      if (null_fd > 2) close(null_fd);
    }
    if (!working_folder.empty() && chdir(working_folder.c_str()) != 0) {
      char failed = 1;
      ssize_t ignored = write(status_pipe[1], &failed, 1);
      (void)ignored;
      _exit(127);
    }
    execvp(argv[0], argv.data());
    char failed = 1;
    ssize_t ignored = write(status_pipe[1], &failed, 1);
    (void)ignored;
    _exit(127);
  }
  close(status_pipe[1]);
  int child_status = 0;
  while (waitpid(child, &child_status, 0) < 0 && errno == EINTR) {
  }
  char failed = 0;
  ssize_t n;
  while ((n = read(status_pipe[0], &failed, 1)) < 0 && errno == EINTR) {
  }
  close(status_pipe[0]);
  return WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0 && n == 0;
}

void SetWriteFailureForTesting(bool fail) { write_failure_for_testing = fail; }

}  // namespace brasswick
