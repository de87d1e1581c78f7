// The atomic writer when a step of its commit fails: the flush, the sync, the in-place
// pass and the putting back of the old bytes, under a faulty file layer and under a
// real file-size limit; and the mode a new file is given.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "faulty_files.h"
#include "gtest/gtest.h"
#include "runtime/platform/file_system.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::ChildExitCode;
using testing::FaultyFiles;
using testing::FolderNames;
using testing::ReadTestFile;
using testing::RunInChild;
using testing::TempDir;
using testing::WriteTestFile;

// Bytes that differ from position to position and between the two seeds, so that a
// half-written or shifted file cannot pass for either.
std::string Pattern(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 253) % 251);
  return bytes;
}

ino_t Inode(const std::string& path) {
  struct stat info = {};
  stat(path.c_str(), &info);
  return info.st_ino;
}

// A folder the test user owns holding one file of theirs, "cart", that they may write;
// the child makes the folder read-only, so that the writer has to rewrite in place.
class InPlaceFolder {
 public:
  explicit InPlaceFolder(const std::string& old_content) {
    WriteTestFile(Path(), old_content);
    chmod(dir_.path().c_str(), 0755);
    chmod(Path().c_str(), 0644);
    ok_ = testing::GiveToTestUser(dir_.path()) && testing::GiveToTestUser(Path());
  }
  ~InPlaceFolder() { chmod(dir_.path().c_str(), 0755); }
  bool ok() const { return ok_; }
  std::string Path() const { return dir_.File("cart"); }
  // In the child: no temporary can be made beside the file any more.
  bool LockFolder() const { return chmod(dir_.path().c_str(), 0555) == 0; }
  std::set<std::string> Names() const { return FolderNames(dir_.path()); }

 private:
  TempDir dir_;
  bool ok_ = false;
};

// The faults a case sets on a fresh FaultyFiles.
struct Faults {
  bool flush = false;
  bool sync = false;
  bool mid_write = false;  // the in-place pass fails once half the bytes are written
  bool no_way_back = false;
};
void Arm(FaultyFiles& files, const Faults& faults, size_t new_size) {
  files.flush_fails = faults.flush;
  files.sync_fails = faults.sync;
  if (faults.mid_write) files.writes_fail_after = new_size / 2;
  files.no_recovery = faults.no_way_back;
}

TEST(AtomicWriterFailures, AFailedFlushOrSyncLeavesTheTargetAndNoTemporary) {
  const struct {
    const char* name;
    Faults faults;
  } cases[] = {
      {"flush", {.flush = true}},
      {"sync", {.sync = true}},
      {"sync, in-place faults set too", {.sync = true, .mid_write = true, .no_way_back = true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string old_content = Pattern(70000, 1);
    WriteTestFile(dir.File("old"), old_content);
    FaultyFiles files;
    Arm(files, c.faults, 90000);
    AtomicFileWriter writer(files);
    const bool opened = writer.Open(dir.File("old"));
    const bool written = opened && writer.Write(Pattern(90000, 2));
    const WriteResult committed = written ? writer.Commit() : WriteResult{.ok = true};
    FaultyFiles other_files;
    Arm(other_files, c.faults, 5);
    const WriteResult created = WriteFileAtomic(dir.File("new"), "fresh", other_files);
    EXPECT_TRUE(written);
    EXPECT_FALSE(committed.ok);
    EXPECT_FALSE(created.ok);
    // Behind a temporary the file is never touched, and the result does not speak of it.
    EXPECT_EQ(committed.in_place, InPlaceResult::kNone);
    EXPECT_EQ(created.in_place, InPlaceResult::kNone);
    EXPECT_TRUE(ReadTestFile(dir.File("old")) == old_content);
    EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"old"});
  }
}

TEST(AtomicWriterFailures, AFailedInPlaceRewritePutsTheOldBytesBack) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  enum class Holds { kOld, kNew, kNewFirstHalf };
  const struct {
    const char* name;
    Faults faults;
    size_t old_size;
    size_t new_size;
    InPlaceResult result;
    Holds holds;
  } cases[] = {
      {"no fault", {}, 3000, 10000, InPlaceResult::kNone, Holds::kNew},
      {"flush", {.flush = true}, 3000, 10000, InPlaceResult::kIntact, Holds::kOld},
      // Written in full and cut to length before the sync fails.
      {"sync, growing", {.sync = true}, 3000, 10000, InPlaceResult::kIntact, Holds::kOld},
      {"sync, shrinking", {.sync = true}, 10000, 3000, InPlaceResult::kIntact, Holds::kOld},
      // Half the new bytes land: beyond the old end, and short of it.
      {"mid-write, growing", {.mid_write = true}, 3000, 10000, InPlaceResult::kIntact, Holds::kOld},
      {"mid-write, shrinking",
       {.mid_write = true},
       10000,
       3000,
       InPlaceResult::kIntact,
       Holds::kOld},
      {"mid-write, no way back",
       {.mid_write = true, .no_way_back = true},
       3000,
       10000,
       InPlaceResult::kDamaged,
       Holds::kNewFirstHalf},
      {"sync, no way back",
       {.sync = true, .no_way_back = true},
       10000,
       3000,
       InPlaceResult::kDamaged,
       Holds::kNew},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string old_content = Pattern(c.old_size, 1);
    const std::string new_content = Pattern(c.new_size, 2);
    InPlaceFolder folder(old_content);
    ASSERT_TRUE(folder.ok());
    const ino_t inode = Inode(folder.Path());
    const bool success = c.result == InPlaceResult::kNone;
    const int status = RunInChild(
        [&] {
          if (!folder.LockFolder()) return 10;
          FaultyFiles files;
          Arm(files, c.faults, c.new_size);
          AtomicFileWriter writer(files);
          if (!writer.Open(folder.Path()) || !writer.Write(new_content)) return 11;
          const WriteResult result = writer.Commit();
          if (result.ok != success) return 1;
          return result.in_place == c.result ? 0 : 2;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(ChildExitCode(status), 0);
    const std::string expected = c.holds == Holds::kOld   ? old_content
                                 : c.holds == Holds::kNew ? new_content
                                                          : new_content.substr(0, c.new_size / 2);
    EXPECT_TRUE(ReadTestFile(folder.Path()) == expected);
    EXPECT_EQ(Inode(folder.Path()), inode);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"cart"});
  }
}

// A file the user may write but not read cannot have its old bytes kept: a failure that
// wrote nothing leaves it intact, one that wrote some may have damaged it.
TEST(AtomicWriterFailures, AnUnreadableFileIsIntactOnlyWhenNothingWasWritten) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  const std::string old_content = Pattern(3000, 5);
  for (const auto& [new_size, left] : {std::pair{size_t{1}, InPlaceResult::kIntact},
                                       std::pair{size_t{10000}, InPlaceResult::kDamaged}}) {
    SCOPED_TRACE(new_size);
    InPlaceFolder folder(old_content);
    ASSERT_TRUE(folder.ok());
    ASSERT_EQ(chmod(folder.Path().c_str(), 0200), 0);
    const int status = RunInChild(
        [&] {
          if (!folder.LockFolder()) return 10;
          FaultyFiles files;
          Arm(files, {.mid_write = true}, new_size);
          const WriteResult result = WriteFileAtomic(folder.Path(), Pattern(new_size, 6), files);
          if (result) return 1;
          return result.in_place == left ? 0 : 2;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(ChildExitCode(status), 0);
    if (new_size == 1) {
      EXPECT_TRUE(ReadTestFile(folder.Path()) == old_content);
    }
  }
}

// As "ulimit -f" in a shell that ignores SIGXFSZ: the write past the limit fails with
// EFBIG, half-way through the rewrite, and the old bytes go back.
TEST(AtomicWriterFailures, AFileSizeLimitDuringAnInPlaceRewriteLeavesTheOldFile) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  constexpr rlim_t kLimit = 8192;
  // Old files below and above the limit; the second is only overwritten up to it.
  for (size_t old_size : {size_t{4000}, size_t{12000}}) {
    SCOPED_TRACE(old_size);
    const std::string old_content = Pattern(old_size, 3);
    InPlaceFolder folder(old_content);
    ASSERT_TRUE(folder.ok());
    const int status = RunInChild(
        [&] {
          if (!folder.LockFolder()) return 10;
          struct rlimit limit = {kLimit, kLimit};
          if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 11;
          const WriteResult result = WriteFileAtomic(folder.Path(), Pattern(20000, 4));
          if (result) return 1;
          return result.in_place == InPlaceResult::kIntact ? 0 : 2;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(ChildExitCode(status), 0);
    EXPECT_TRUE(ReadTestFile(folder.Path()) == old_content);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"cart"});
  }
}

TEST(AtomicWriterFailures, ANewFileTakesItsModeFromTheUmask) {
  TempDir dir;
  for (const auto& [mask, mode] :
       {std::pair{mode_t{022}, mode_t{0644}}, std::pair{mode_t{077}, mode_t{0600}},
        std::pair{mode_t{0}, mode_t{0666}}}) {
    const std::string path = dir.File("new" + std::to_string(mask));
    const int status = RunInChild([&] {
      umask(mask);
      return WriteFileAtomic(path, "bytes") ? 0 : 1;
    });
    EXPECT_EQ(ChildExitCode(status), 0);
    struct stat info = {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode) << std::oct << mask;
  }
}

}  // namespace
}  // namespace brasswick
