// A file layer that fails where a test says, in the manner of a fault-injecting Env:
// everything else goes to the real file system.
#ifndef BRASSWICK_TESTS_FAULTY_FILES_H_
#define BRASSWICK_TESTS_FAULTY_FILES_H_

#include <cerrno>
#include <new>
#include <optional>
#include <string>

#include "runtime/platform/file_access.h"

namespace brasswick::testing {

class FaultyFiles : public FileAccess {
 public:
  enum class Read { kWorks, kFails, kRunsOutOfMemory };
  Read read = Read::kWorks;
  bool flush_fails = false;
  // The first sync fails.
  bool sync_fails = false;
  // The write that would take the bytes written past this count writes up to it, and
  // the one after fails.
  std::optional<size_t> writes_fail_after;
  // Once a fault has struck, every later write and sync fails too.
  bool no_recovery = false;

  std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t max_size) override {
    if (read == Read::kRunsOutOfMemory) throw std::bad_alloc();
    if (read == Read::kFails) return std::nullopt;
    return FileAccess::ReadWholeFile(path, max_size);
  }
  bool Flush(std::FILE* stream) override {
    if (flush_fails) return Struck();
    return FileAccess::Flush(stream);
  }
  bool Sync(int fd) override {
    if (sync_fails && !synced_) {
      synced_ = true;
      return Struck();
    }
    if (struck_ && no_recovery) return false;
    return FileAccess::Sync(fd);
  }
  ssize_t WriteAt(int fd, const char* bytes, size_t size, uint64_t offset) override {
    if (struck_ && no_recovery) return Refuse();
    if (writes_fail_after && !struck_) {
      if (written_ >= *writes_fail_after) {
        Struck();
        return Refuse();
      }
      if (size > *writes_fail_after - written_) size = *writes_fail_after - written_;
    }
    const ssize_t n = FileAccess::WriteAt(fd, bytes, size, offset);
    if (n > 0) written_ += static_cast<size_t>(n);
    return n;
  }

 private:
  bool Struck() {
    struck_ = true;
    return false;
  }
  static ssize_t Refuse() {
    errno = ENOSPC;
    return -1;
  }
  bool struck_ = false;
  bool synced_ = false;
  size_t written_ = 0;
};

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_FAULTY_FILES_H_
