#include "runtime/platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brasswick {
namespace {

// Closes the descriptor on every path out of the read.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

std::optional<std::string> FileAccess::ReadWholeFile(const std::string& path, uint64_t max_size) {
  if (path.empty()) return std::nullopt;
  // Non-blocking, so that opening a FIFO does not wait for a writer: it is refused next,
  // with every other file that is not regular, before a byte is read.
  const FdCloser fd{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  if (fd.fd < 0) return std::nullopt;
  struct stat info;
  if (fstat(fd.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<uint64_t>(info.st_size) > max_size) {
    return std::nullopt;
  }
  // Straight into a buffer of the file's size (inputs run to megabytes, and growing a
  // string chunk by chunk copies them over and over); what follows, from a file that
  // grew or one that states no size (as some system files do), in chunks.
  std::string content(static_cast<size_t>(info.st_size), '\0');
  size_t have = 0;
  while (have < content.size()) {
    const ssize_t n = read(fd.fd, content.data() + have, content.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  if (have < content.size()) {
    content.resize(have);  // it shrank: all there is
    return content;
  }
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd.fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return content;
    if (static_cast<uint64_t>(n) > max_size - content.size()) return std::nullopt;
    content.append(chunk, static_cast<size_t>(n));
  }
}

int64_t FileAccess::FileSize(const std::string& path) {
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return kPathMissing;
  if (S_ISDIR(info.st_mode)) return kPathIsDirectory;
  return static_cast<int64_t>(info.st_size);
}

bool FileAccess::Flush(std::FILE* stream) {
  return std::fflush(stream) == 0 && !std::ferror(stream);
}

bool FileAccess::Sync(int fd) { return fsync(fd) == 0; }

ssize_t FileAccess::WriteAt(int fd, const char* bytes, size_t size, uint64_t offset) {
  return pwrite(fd, bytes, size, static_cast<off_t>(offset));
}

FileAccess& RealFiles() {
  static FileAccess real;
  return real;
}

}  // namespace brasswick
