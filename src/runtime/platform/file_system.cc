#include "runtime/platform/file_system.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace brasswick {
namespace {

// Owns a file descriptor as std::unique_ptr owns the streams and buffers here: one
// close, on every path out.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() { Close(); }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now; false when the close reports an error.
  bool Close() {
    const int fd = release();
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

struct FreeDeleter {
  void operator()(char* bytes) const { std::free(bytes); }
};

// Writes bytes[0, size) at the same offsets of the file. `done` counts the bytes that
// reached the file, so that a caller knows what a failure overwrote.
bool WriteAtStart(FileAccess& files, int fd, const char* bytes, size_t size, size_t& done) {
  done = 0;
  while (done < size) {
    const ssize_t n = files.WriteAt(fd, bytes + done, size - done, done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Reads exactly size bytes from the start of the file; false when fewer are there.
bool ReadAtStart(int fd, char* into, size_t size) {
  size_t have = 0;
  while (have < size) {
    const ssize_t n = pread(fd, into + have, size - have, static_cast<off_t>(have));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    have += static_cast<size_t>(n);
  }
  return true;
}

// The last name a chain of symbolic links leads to, each link's text read relative to
// the folder that holds it; the path itself when it is not a link. None for a chain
// longer than the system would follow (a loop).
std::optional<std::string> FollowLinks(const std::string& path) {
  constexpr int kMaxLinks = 40;
  std::string current = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char text[PATH_MAX];
    ssize_t n = readlink(current.c_str(), text, sizeof text);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof text) return std::nullopt;
    std::string next(text, static_cast<size_t>(n));
    current = next[0] == '/' ? next : FolderOf(current) + next;
  }
  return std::nullopt;
}

// What the signal handlers need to remove temporaries in flight, set up before any
// signal can need it: fixed buffers, since the handler may not allocate. A writer that
// finds every slot taken still works; only its cleanup on a signal is lost.
constexpr int kCleanupSlots = 8;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
char temporary_paths[kCleanupSlots][PATH_MAX + 1];
volatile sig_atomic_t slot_in_use[kCleanupSlots];
int slots_taken = 0;
struct sigaction previous_actions[kSignalCount];
bool handler_installed[kSignalCount];

void RemoveTemporariesAndReraise(int signal_number) {
  int saved_errno = errno;
  for (int slot = 0; slot < kCleanupSlots; ++slot) {
    if (slot_in_use[slot]) unlink(temporary_paths[slot]);
  }
  // The signal then does what it did before: for most, end the process.
  for (int i = 0; i < kSignalCount; ++i) {
    if (kCleanupSignals[i] == signal_number)
      sigaction(signal_number, &previous_actions[i], nullptr);
  }
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal_number);
  raise(signal_number);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  errno = saved_errno;
}

void BlockCleanupSignals(sigset_t& held, sigset_t& previous) {
  sigemptyset(&held);
  for (int signal_number : kCleanupSignals) sigaddset(&held, signal_number);
  pthread_sigmask(SIG_BLOCK, &held, &previous);
}

// Called with the signals blocked. The handlers are in place only while a temporary
// exists, and a signal the process ignores is left ignored.
int RegisterTemporary(const char* path) {
  size_t length = std::strlen(path);
  if (length > PATH_MAX) return -1;
  int slot = 0;
  while (slot < kCleanupSlots && slot_in_use[slot]) ++slot;
  if (slot == kCleanupSlots) return -1;
  std::memcpy(temporary_paths[slot], path, length + 1);
  slot_in_use[slot] = 1;
  if (slots_taken++ == 0) {
    for (int i = 0; i < kSignalCount; ++i) {
      handler_installed[i] = false;
      if (sigaction(kCleanupSignals[i], nullptr, &previous_actions[i]) != 0) continue;
      if (!(previous_actions[i].sa_flags & SA_SIGINFO) &&
          previous_actions[i].sa_handler == SIG_IGN) {
        continue;
      }
      struct sigaction handler = {};
      handler.sa_handler = RemoveTemporariesAndReraise;
      sigemptyset(&handler.sa_mask);
      for (int other : kCleanupSignals) sigaddset(&handler.sa_mask, other);
      handler_installed[i] = sigaction(kCleanupSignals[i], &handler, nullptr) == 0;
    }
  }
  return slot;
}

// Called with the signals blocked.
void UnregisterTemporary(int slot) {
  slot_in_use[slot] = 0;
  if (--slots_taken == 0) {
    for (int i = 0; i < kSignalCount; ++i) {
      if (handler_installed[i]) sigaction(kCleanupSignals[i], &previous_actions[i], nullptr);
      handler_installed[i] = false;
    }
  }
}

}  // namespace

std::string FolderOf(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

int64_t FileSize(const std::string& path) { return RealFiles().FileSize(path); }

bool DirectoryExists(const std::string& path) { return FileSize(path) == kPathIsDirectory; }

std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t max_size) {
  return RealFiles().ReadWholeFile(path, max_size);
}

AtomicFileWriter::~AtomicFileWriter() { Abort(); }

bool AtomicFileWriter::Open(const std::string& target_path) {
  Abort();
  failed_ = false;
  if (target_path.empty() || target_path.back() == '/') return false;
  std::optional<std::string> resolved = FollowLinks(target_path);
  if (!resolved || resolved->back() == '/') return false;
  target_path_ = *resolved;

  struct stat info;
  if (stat(target_path_.c_str(), &info) != 0) {
    // Nothing there yet (or the folder is missing, which the temporary will tell).
    return OpenTemporary();
  }
  if (S_ISDIR(info.st_mode)) return false;
  if (!S_ISREG(info.st_mode)) {
    // A device, FIFO or socket is the user's chosen sink, not a file to replace.
    // Non-blocking, so that a FIFO nobody reads fails now instead of waiting forever.
    ScopedFd fd(open(target_path_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return false;
    struct stat opened;
    int flags = fcntl(fd.get(), F_GETFL);
    if (fstat(fd.get(), &opened) != 0 || S_ISREG(opened.st_mode) || S_ISDIR(opened.st_mode) ||
        flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
      return false;
    }
    stream_.reset(fdopen(fd.get(), "wb"));
    if (!stream_) return false;
    fd.release();  // the stream owns it now
    mode_ = Mode::kDirect;
    return true;
  }
  // A file the user may not write is refused, as truncating it would be.
  if (faccessat(AT_FDCWD, target_path_.c_str(), W_OK, AT_EACCESS) != 0) return false;
  if (OpenTemporary()) return true;
  if (errno != EACCES && errno != EPERM) return false;
  // The folder takes no temporary but the file may be written: hold every byte so that
  // the file is rewritten in one pass only once the whole content is known.
  held_bytes_ = nullptr;
  held_size_ = 0;
  stream_.reset(open_memstream(&held_bytes_, &held_size_));
  if (!stream_) return false;
  mode_ = Mode::kInPlace;
  return true;
}

bool AtomicFileWriter::OpenTemporary() {
  std::string folder = FolderOf(target_path_);
  std::string name = target_path_.substr(folder.size());
  // A hidden name in the target's folder, so the final rename never crosses file systems.
  std::string pattern = folder + "." + name + ".tmp-XXXXXX";
  // The signals are held off from creating the temporary until the handlers know it, so
  // that none can slip in between and leave it behind.
  sigset_t held, previous;
  BlockCleanupSignals(held, previous);
  ScopedFd fd(mkstemp(pattern.data()));
  int saved_errno = errno;
  if (fd.valid()) cleanup_slot_ = RegisterTemporary(pattern.c_str());
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!fd.valid()) {
    errno = saved_errno;
    return false;
  }
  temp_path_ = std::move(pattern);
  mode_ = Mode::kTemporary;
  stream_.reset(fdopen(fd.get(), "wb"));
  if (!stream_) {
    fd.Close();
    ReleaseTemporary();
    mode_ = Mode::kClosed;
    errno = ENOMEM;
    return false;
  }
  fd.release();  // the stream owns it now
  return true;
}

void AtomicFileWriter::ReleaseTemporary() {
  if (!temp_path_.empty()) unlink(temp_path_.c_str());
  temp_path_.clear();
  if (cleanup_slot_ >= 0) {
    sigset_t held, previous;
    BlockCleanupSignals(held, previous);
    UnregisterTemporary(cleanup_slot_);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    cleanup_slot_ = -1;
  }
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (!stream_) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stream_.get()) != bytes.size()) {
    failed_ = true;
  }
  return !failed_;
}

bool AtomicFileWriter::CloseStream() {
  std::FILE* stream = stream_.release();
  return stream == nullptr || std::fclose(stream) == 0;
}

WriteResult AtomicFileWriter::Commit() {
  if (!stream_) return {};
  bool ok = !failed_ && files_->Flush(stream_.get());
  switch (mode_) {
    case Mode::kTemporary:
      return {.ok = CommitTemporary(ok)};
    case Mode::kInPlace:
      return CommitInPlace(ok);
    case Mode::kDirect:
      // Devices and FIFOs have nothing to sync; their close reports what failed.
      ok = CloseStream() && ok;
      mode_ = Mode::kClosed;
      return {.ok = ok};
    case Mode::kClosed:
      break;
  }
  return {};
}

bool AtomicFileWriter::CommitTemporary(bool ok) {
  int fd = fileno(stream_.get());
  ok = ok && files_->Sync(fd);
  if (ok) {
    struct stat info;
    mode_t mode;
    if (stat(target_path_.c_str(), &info) == 0) {
      // The replacement is the same file to its users: same owner, group and mode.
      // Root can always keep them; an ordinary user keeps the group when it is theirs.
      if (geteuid() == 0) {
        ok = fchown(fd, info.st_uid, info.st_gid) == 0;
      } else if (info.st_gid != getegid()) {
        (void)!fchown(fd, static_cast<uid_t>(-1), info.st_gid);
      }
      // After fchown, which clears the set-user and set-group bits.
      mode = info.st_mode & 07777;
    } else {
      // A new file gets the usual mode for the user's umask, not mkstemp's private 0600.
      mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    ok = ok && fchmod(fd, mode) == 0;
  }
  ok = CloseStream() && ok;
  mode_ = Mode::kClosed;
  if (ok && rename(temp_path_.c_str(), target_path_.c_str()) == 0)
    temp_path_.clear();
  else
    ok = false;
  ReleaseTemporary();
  return ok;
}

WriteResult AtomicFileWriter::CommitInPlace(bool ok) {
  // Closing the memory stream settles the buffer and its size.
  ok = CloseStream() && ok;
  mode_ = Mode::kClosed;
  std::unique_ptr<char, FreeDeleter> owner(held_bytes_);
  const char* bytes = held_bytes_;
  const size_t size = held_size_;
  held_bytes_ = nullptr;
  held_size_ = 0;
  // Until the pass below begins, the file is as it was.
  constexpr WriteResult kIntact = {.ok = false, .in_place = InPlaceResult::kIntact};
  if (!ok || (bytes == nullptr && size != 0)) return kIntact;
  // Opened for reading too, to keep the old bytes; a file the user may write but not
  // read is rewritten without them, and a failure then may leave it damaged.
  int opened = open(target_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  const bool readable = opened >= 0;
  if (!readable) opened = open(target_path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  ScopedFd fd(opened);
  if (!fd.valid()) return kIntact;
  struct stat info;
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return kIntact;
  const size_t old_size = static_cast<size_t>(info.st_size);
  std::unique_ptr<char[]> old_bytes(new char[readable ? old_size + 1 : 1]);
  if (readable && !ReadAtStart(fd.get(), old_bytes.get(), old_size)) return kIntact;

  // Over the old bytes first and only then cut to length: a full disk then fails on the
  // part beyond the old size rather than after the old content is already gone.
  size_t done = 0;
  ok = WriteAtStart(*files_, fd.get(), bytes, size, done);
  const bool cut = ok && ftruncate(fd.get(), static_cast<off_t>(size)) == 0;
  ok = cut && files_->Sync(fd.get());
  if (ok) {
    if (fd.Close()) return {.ok = true};
    // The new bytes are synced, but a close that reports an error leaves no certainty.
    return {.ok = false, .in_place = InPlaceResult::kDamaged};
  }
  // Put back what the pass overwrote (everything once the file was cut to the new
  // length), then the old length, which also drops whatever went beyond it.
  const size_t overwritten = cut ? old_size : std::min(done, old_size);
  const bool untouched = done == 0 && !cut;
  size_t restored = 0;
  const bool intact =
      untouched ||
      (readable && WriteAtStart(*files_, fd.get(), old_bytes.get(), overwritten, restored) &&
       ftruncate(fd.get(), static_cast<off_t>(old_size)) == 0 && files_->Sync(fd.get()));
  return {.ok = false,
          .in_place = intact && fd.Close() ? InPlaceResult::kIntact : InPlaceResult::kDamaged};
}

void AtomicFileWriter::Abort() {
  stream_.reset();  // a memory stream's buffer is settled by its close, then freed
  std::free(held_bytes_);
  held_bytes_ = nullptr;
  held_size_ = 0;
  ReleaseTemporary();
  mode_ = Mode::kClosed;
}

WriteResult WriteFileAtomic(const std::string& path, std::string_view bytes, FileAccess& files) {
  AtomicFileWriter writer(files);
  if (!writer.Open(path) || !writer.Write(bytes)) return {};
  return writer.Commit();
}

WriteResult CopyFileBytes(const std::string& from, const std::string& to, uint64_t max_size,
                          FileAccess& files) {
  std::optional<std::string> content = files.ReadWholeFile(from, max_size);
  if (!content) return {};
  return WriteFileAtomic(to, *content, files);
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

}  // namespace brasswick
