// The platform layer: file queries, whole-file I/O, the one atomic writer through
// which every output file of the program is written, and detached process launch.
#ifndef BRASSWICK_RUNTIME_PLATFORM_FILE_SYSTEM_H_
#define BRASSWICK_RUNTIME_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/file_access.h"

namespace brasswick {

// FileSize() and ReadWholeFile() of the real file system (see FileAccess).
int64_t FileSize(const std::string& path);
bool DirectoryExists(const std::string& path);  // a folder
std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t max_size = kMaxReadSize);

// How a failed write left a file it rewrote in place.
enum class InPlaceResult {
  kNone,     // no in-place rewrite failed: success, or a target behind a temporary
  kIntact,   // the rewrite failed and the file holds its old bytes
  kDamaged,  // the rewrite failed and the old bytes could not all be put back
};

// The outcome of writing a file: whether it succeeded and, when it failed, what became
// of a file that was being rewritten in place. Tests true exactly on success.
struct [[nodiscard]] WriteResult {
  bool ok = false;
  InPlaceResult in_place = InPlaceResult::kNone;
  explicit operator bool() const { return ok; }
};

// Writes an output file without ever leaving a half-written regular file where that
// can be avoided. What Open() does depends on what is at the target path:
//  - A symbolic link (or a chain of them) is followed once, to the file it finally
//    names; the links stay as they are and that file is written by the rules below. A
//    dangling link creates the file it points to when that file's folder exists. More
//    than 40 links in a chain fail.
//  - Nothing, or a regular file: the bytes go to a temporary file in the same folder,
//    renamed over the path on Commit(). An existing file keeps its permission bits, and
//    its owner and group where the process may set them (always as root; an ordinary
//    user keeps the group when it is one of theirs). A file with several hard links is
//    split from its other names, which keep the old content.
//  - A regular file the user may not write is refused: Open() fails.
//  - A writable regular file in a folder where no temporary can be created (the folder
//    is not writable): everything written is held in memory and Commit() rewrites the
//    file in place, in one pass, once the whole content is known. The old content is
//    read first and, when that pass fails, put back where it was; only when putting it
//    back fails too may the file be left damaged (Commit()'s result tells which). This
//    is the only case that is not atomic.
//  - Anything else that is not a folder (a device, a FIFO, a socket) is opened and
//    written directly, without a temporary; Open() fails when it cannot be opened for
//    writing, and a FIFO with no reader fails at once instead of waiting for one.
//  - A folder, an empty path or one ending in "/" fails.
// While a temporary exists, SIGINT, SIGTERM and SIGHUP remove it before the signal takes
// its previous action (which is left alone when it is to ignore the signal). Destroying
// the writer without a successful Commit() removes the temporary, discards the held
// bytes, and leaves a regular target untouched. Every step that puts bytes on the disk
// goes through `files`, which must outlive the writer.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(FileAccess& files = RealFiles()) : files_(&files) {}
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Prepares the write as above; false (nothing created or changed) when the folder is
  // missing, the target may not be written, or no temporary can be created.
  bool Open(const std::string& target_path);
  // The stream to write to, owned by the writer; null unless Open() succeeded.
  std::FILE* stream() const { return stream_.get(); }
  bool Write(std::string_view bytes);
  // Flushes, syncs and puts the bytes in place; fails on any error, including an
  // earlier failed write. A failed Commit() leaves a target written through a temporary
  // as it was (in_place kNone), and one rewritten in place as its in_place says; a
  // device or FIFO may have received part of the bytes.
  WriteResult Commit();
  // Removes the temporary file and drops held bytes; a regular target stays as it was.
  void Abort();

 private:
  enum class Mode { kClosed, kTemporary, kInPlace, kDirect };
  struct StreamCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
  };

  bool OpenTemporary();
  void ReleaseTemporary();
  bool CommitTemporary(bool ok);
  WriteResult CommitInPlace(bool ok);
  // Closes the stream; false when its last bytes could not be written.
  bool CloseStream();

  FileAccess* files_;
  Mode mode_ = Mode::kClosed;
  std::string target_path_;  // the file finally written, links followed
  std::string temp_path_;
  std::unique_ptr<std::FILE, StreamCloser> stream_;
  char* held_bytes_ = nullptr;  // the memory stream's buffer in kInPlace, freed by Abort()
  size_t held_size_ = 0;
  int cleanup_slot_ = -1;  // where the signal handlers find temp_path_
  bool failed_ = false;
};

// Writes the whole file through AtomicFileWriter; its Commit()'s result, or a failure
// with in_place kNone when the file cannot be opened for writing.
WriteResult WriteFileAtomic(const std::string& path, std::string_view bytes,
                            FileAccess& files = RealFiles());
// Copies a regular file of at most max_size bytes byte for byte through
// AtomicFileWriter; fails with in_place kNone when the source cannot be read.
WriteResult CopyFileBytes(const std::string& from, const std::string& to,
                          uint64_t max_size = kMaxReadSize, FileAccess& files = RealFiles());

// The folder part of a path up to and including its last "/" ("" when there is none).
std::string FolderOf(std::string_view path);

// The current working folder, ending in "/"; empty when unknown.
std::string CurrentDirectory();
// The HOME environment variable, or empty when unset.
std::string HomeDirectory();

// Starts a program (searched along PATH when the name has no "/") in a detached
// process: its own session, standard streams on /dev/null, not waited for. The
// arguments are passed as they are, never through a shell. False when it cannot start.
bool LaunchDetached(const std::string& program, const std::vector<std::string>& arguments,
                    const std::string& working_folder = "");

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_PLATFORM_FILE_SYSTEM_H_
