// The file operations that can fail under the program, behind one interface: whole-file
// reads, file sizes, and the steps of an atomic write that put bytes on the disk. The
// code that reads and writes files takes a FileAccess, the real one by default, so that
// a test can hand it one that fails exactly where the test chooses.
#ifndef BRASSWICK_RUNTIME_PLATFORM_FILE_ACCESS_H_
#define BRASSWICK_RUNTIME_PLATFORM_FILE_ACCESS_H_

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace brasswick {

// Results of FileSize() that are not sizes.
inline constexpr int64_t kPathMissing = -1;
inline constexpr int64_t kPathIsDirectory = -2;

inline constexpr uint64_t kMiB = uint64_t{1} << 20;
// The bound on a whole-file read when its caller names none; the rooms that know a
// file's kind name tighter ones (the largest legitimate file of the kind, with room to
// spare), so that a wrong file is refused before it costs memory and time.
inline constexpr uint64_t kMaxReadSize = 256 * kMiB;

// Every member does what the system does; a test overrides the ones it makes fail.
class FileAccess {
 public:
  FileAccess() = default;
  virtual ~FileAccess() = default;
  FileAccess(const FileAccess&) = delete;
  FileAccess& operator=(const FileAccess&) = delete;

  // The whole content of a regular file of at most max_size bytes. None when it cannot
  // be read, is not a regular file (a FIFO, a device or a folder is refused before
  // anything is read from it, so none of them can block or stream without end), or is
  // larger than max_size (checked before allocating and again while reading a file
  // that grows).
  virtual std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t max_size);
  // The size of a regular file in bytes, kPathIsDirectory for a folder, kPathMissing
  // when nothing (or nothing readable as a file or folder) is at the path.
  virtual int64_t FileSize(const std::string& path);

  // The steps of an atomic write that reach the disk.
  // Writes the stream's buffered bytes out; false when they could not all be written.
  virtual bool Flush(std::FILE* stream);
  // fsync: false when the file's bytes may not be on the disk.
  virtual bool Sync(int fd);
  // pwrite: the count of bytes written at offset, or -1 with errno set.
  virtual ssize_t WriteAt(int fd, const char* bytes, size_t size, uint64_t offset);
};

// The real file system, for the whole process.
FileAccess& RealFiles();

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_PLATFORM_FILE_ACCESS_H_
