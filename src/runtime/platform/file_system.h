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

namespace brasswick {

// Results of FileSize() that are not sizes.
inline constexpr int64_t kPathMissing = -1;
inline constexpr int64_t kPathIsDirectory = -2;

// The size of a regular file in bytes, kPathIsDirectory for a folder, kPathMissing
// when nothing (or nothing readable as a file or folder) is at the path.
int64_t FileSize(const std::string& path);
bool DirectoryExists(const std::string& path);  // a folder

// Bounds on whole-file reads, each the largest legitimate input of its kind with room
// to spare, so that a wrong file is refused before it costs memory and time.
inline constexpr uint64_t kMiB = uint64_t{1} << 20;
// A .p8 text cartridge (about 1 MiB with the largest code), a .p8.png or a raw ROM.
inline constexpr uint64_t kMaxCartFileSize = 16 * kMiB;
// A player page with its embedded pictures, its script, or a file of head content.
inline constexpr uint64_t kMaxPageFileSize = 64 * kMiB;
// A PNG, JPEG or BMP picture to be decoded (at most kMaxImageSide pixels a side).
inline constexpr uint64_t kMaxPictureFileSize = 64 * kMiB;
// Any other whole-file read.
inline constexpr uint64_t kMaxReadSize = 256 * kMiB;

// The whole content of a regular file of at most max_size bytes. None when it cannot be
// read, is not a regular file (a FIFO, a device or a folder is refused before anything
// is read from it, so none of them can block or stream without end), is larger than
// max_size (checked before allocating and again while reading a file that grows), or
// memory runs out.
std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t max_size = kMaxReadSize);

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
//    back fails too may the file be left damaged (in_place_result() tells which). This
//    is the only case that is not atomic.
//  - Anything else that is not a folder (a device, a FIFO, a socket) is opened and
//    written directly, without a temporary; Open() fails when it cannot be opened for
//    writing, and a FIFO with no reader fails at once instead of waiting for one.
//  - A folder, an empty path or one ending in "/" fails.
// While a temporary exists, SIGINT, SIGTERM and SIGHUP remove it before the signal takes
// its previous action (which is left alone when it is to ignore the signal). Destroying
// the writer without a successful Commit() removes the temporary, discards the held
// bytes, and leaves a regular target untouched.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Prepares the write as above; false (nothing created or changed) when the folder is
  // missing, the target may not be written, or no temporary can be created.
  bool Open(const std::string& target_path);
  // The stream to write to, owned by the writer; null unless Open() succeeded.
  std::FILE* stream() const { return stream_.get(); }
  bool Write(std::string_view bytes);
  // Flushes, syncs and puts the bytes in place; false on any error, including an earlier
  // failed write. A failed Commit() leaves a target written through a temporary as it
  // was, and one rewritten in place as in_place_result() says; a device or FIFO may
  // have received part of the bytes.
  bool Commit();
  // How the last Commit() left a file it rewrote in place.
  enum class InPlaceResult {
    kNone,     // no failed in-place rewrite: success, or a target behind a temporary
    kIntact,   // the rewrite failed and the file holds its old bytes
    kDamaged,  // the rewrite failed and the old bytes could not all be put back
  };
  InPlaceResult in_place_result() const { return in_place_result_; }
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
  bool CommitInPlace(bool ok);
  // Closes the stream; false when its last bytes could not be written.
  bool CloseStream();

  Mode mode_ = Mode::kClosed;
  std::string target_path_;  // the file finally written, links followed
  std::string temp_path_;
  std::unique_ptr<std::FILE, StreamCloser> stream_;
  char* held_bytes_ = nullptr;  // the memory stream's buffer in kInPlace, freed by Abort()
  size_t held_size_ = 0;
  int cleanup_slot_ = -1;  // where the signal handlers find temp_path_
  bool failed_ = false;
  InPlaceResult in_place_result_ = InPlaceResult::kNone;
};

// Writes the whole file through AtomicFileWriter.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);
// Copies a regular file of at most max_size bytes byte for byte through AtomicFileWriter.
bool CopyFileBytes(const std::string& from, const std::string& to,
                   uint64_t max_size = kMaxReadSize);

// A line for the message of a failed save: "The file is intact." or "The file may be
// damaged." when the last AtomicFileWriter to commit in this process was rewriting its
// file in place and failed, "" otherwise (a save through a temporary never touches the
// file, and the message need not say so).
std::string WriteFailureNote();

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

// Test seam: the steps of AtomicFileWriter::Commit() that are made to fail while set.
struct WriteFaults {
  bool flush = false;           // the last buffered bytes cannot be written
  bool sync = false;            // fsync of the temporary or of the file rewritten in place
  bool in_place_write = false;  // the in-place pass fails once half the bytes are written
  bool restore = false;         // putting the old bytes back after an in-place failure
};
void SetWriteFaultsForTesting(const WriteFaults& faults);
// Test seam: while set, every AtomicFileWriter::Commit() fails as a full disk would.
void SetWriteFailureForTesting(bool fail);

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_PLATFORM_FILE_SYSTEM_H_
