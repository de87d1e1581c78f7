// The platform layer: file queries, whole-file I/O, the one atomic writer through
// which every output file of the program is written, and detached process launch.
#ifndef BRASSWICK_RUNTIME_PLATFORM_FILE_SYSTEM_H_
#define BRASSWICK_RUNTIME_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <cstdio>
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
bool FileExists(const std::string& path);       // a regular file (or other non-folder)
bool DirectoryExists(const std::string& path);  // a folder

// The whole content of a regular file, or none when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes an output file without ever leaving a half-written target: the bytes go to a
// temporary file in the target's folder, which is renamed over the target on Commit().
// An existing target keeps its permission bits. Destroying the writer without a
// successful Commit() removes the temporary file and leaves the target untouched.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file; false when the folder is missing or not writable.
  bool Open(const std::string& target_path);
  // The stream to write to; null unless Open() succeeded.
  std::FILE* stream() const { return stream_; }
  bool Write(std::string_view bytes);
  // Flushes, syncs and renames over the target; false (target untouched) on any error,
  // including an earlier failed write.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Abort();

 private:
  std::string target_path_;
  std::string temp_path_;
  std::FILE* stream_ = nullptr;
  bool failed_ = false;
};

// Writes the whole file through AtomicFileWriter.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);
// Copies a file byte for byte through AtomicFileWriter.
bool CopyFileBytes(const std::string& from, const std::string& to);

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

// Test seam: while set, every AtomicFileWriter::Commit() fails as a full disk would.
void SetWriteFailureForTesting(bool fail);

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_PLATFORM_FILE_SYSTEM_H_
