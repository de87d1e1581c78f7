#include "runtime/platform/file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "faulty_files.h"
#include "gtest/gtest.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::ReadTestFile;
using testing::TempDir;
using testing::WriteTestFile;

int FilesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(FileSystem, FileSizeTellsFilesFoldersAndMissingPathsApart) {
  TempDir dir;
  WriteTestFile(dir.File("five"), "12345");
  EXPECT_EQ(FileSize(dir.File("five")), 5);
  EXPECT_EQ(FileSize(dir.path()), kPathIsDirectory);
  EXPECT_EQ(FileSize(dir.File("nothing")), kPathMissing);
  EXPECT_EQ(FileSize(""), kPathMissing);
  EXPECT_TRUE(DirectoryExists(dir.path()));
}

TEST(FileSystem, ReadWholeFileKeepsEveryByte) {
  TempDir dir;
  std::string bytes("a\0b\r\n\xff", 6);
  WriteTestFile(dir.File("bin"), bytes);
  EXPECT_EQ(ReadWholeFile(dir.File("bin")), bytes);
  EXPECT_FALSE(ReadWholeFile(dir.File("missing")).has_value());
  EXPECT_FALSE(ReadWholeFile(dir.path()).has_value());
  // Files of every size around the chunk the reader falls back to, the empty one too,
  // each read with a bound of exactly its size and refused with one byte less.
  for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{200001}}) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7 + i / 251);
    WriteTestFile(dir.File("sized"), content);
    EXPECT_EQ(ReadWholeFile(dir.File("sized")), content) << size;
    EXPECT_EQ(ReadWholeFile(dir.File("sized"), size), content) << size;
    if (size > 0) {
      EXPECT_FALSE(ReadWholeFile(dir.File("sized"), size - 1).has_value()) << size;
    }
  }
}

TEST(FileSystem, ReadWholeFileRefusesWhatIsNotABoundedRegularFile) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  // In a child under an alarm: a reader that waits on the FIFO for a writer, or reads
  // an endless device, dies of the alarm instead of hanging the suite.
  const int status = testing::RunInChild([&] {
    alarm(20);
    if (ReadWholeFile(dir.File("pipe"))) return 1;
    if (ReadWholeFile("/dev/zero")) return 2;
    if (ReadWholeFile("/dev/null")) return 3;
    return 0;
  });
  EXPECT_EQ(testing::ChildExitCode(status), 0) << status;

  // The size a regular file states is checked before anything is allocated: a sparse file
  // one byte over the bound costs nothing to refuse, one at the bound is read.
  constexpr uint64_t kBound = 16 * kMiB;
  const std::string sparse = dir.File("sparse");
  WriteTestFile(sparse, "");
  ASSERT_EQ(truncate(sparse.c_str(), static_cast<off_t>(kBound + 1)), 0);
  EXPECT_FALSE(ReadWholeFile(sparse, kBound).has_value());
  ASSERT_EQ(truncate(sparse.c_str(), static_cast<off_t>(kBound)), 0);
  std::optional<std::string> at_bound = ReadWholeFile(sparse, kBound);
  ASSERT_TRUE(at_bound.has_value());
  EXPECT_EQ(at_bound->size(), kBound);

  // A file that states no size (as the kernel's own files do) is bounded while it is read.
  const std::string stated_nothing = "/proc/self/status";
  if (FileSize(stated_nothing) != 0) GTEST_SKIP() << "no /proc to read a size-less file from";
  std::optional<std::string> status_text = ReadWholeFile(stated_nothing);
  ASSERT_TRUE(status_text.has_value());
  EXPECT_GT(status_text->size(), 16u);
  EXPECT_FALSE(ReadWholeFile(stated_nothing, 16).has_value());
}

TEST(FileSystem, AtomicWriteReplacesTargetAndLeavesNoTemporary) {
  TempDir dir;
  WriteTestFile(dir.File("out"), "old");
  EXPECT_TRUE(WriteFileAtomic(dir.File("out"), "new content"));
  EXPECT_EQ(ReadTestFile(dir.File("out")), "new content");
  EXPECT_EQ(FilesIn(dir.path()), 1);
}

TEST(FileSystem, AtomicWriteKeepsPermissionBitsOfTheTarget) {
  TempDir dir;
  WriteTestFile(dir.File("script"), "old");
  chmod(dir.File("script").c_str(), 0750);
  ASSERT_TRUE(WriteFileAtomic(dir.File("script"), "new"));
  struct stat info;
  ASSERT_EQ(stat(dir.File("script").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0750u);
}

TEST(FileSystem, FailedCommitLeavesTargetUntouched) {
  TempDir dir;
  WriteTestFile(dir.File("keep"), "precious");
  testing::FaultyFiles files;
  files.flush_fails = true;
  EXPECT_FALSE(WriteFileAtomic(dir.File("keep"), "replacement", files).ok);
  EXPECT_EQ(ReadTestFile(dir.File("keep")), "precious");
  EXPECT_EQ(FilesIn(dir.path()), 1);
}

// A source that cannot be read fails the copy before anything is written.
TEST(FileSystem, CopyOfAnUnreadableSourceLeavesTheTarget) {
  TempDir dir;
  WriteTestFile(dir.File("from"), "new");
  WriteTestFile(dir.File("to"), "old");
  testing::FaultyFiles files;
  files.read = testing::FaultyFiles::Read::kFails;
  const WriteResult copied = CopyFileBytes(dir.File("from"), dir.File("to"), kMaxReadSize, files);
  EXPECT_FALSE(copied.ok);
  EXPECT_EQ(copied.in_place, InPlaceResult::kNone);
  EXPECT_EQ(ReadTestFile(dir.File("to")), "old");
  EXPECT_EQ(FilesIn(dir.path()), 2);
  EXPECT_TRUE(CopyFileBytes(dir.File("from"), dir.File("to")).ok);
  EXPECT_EQ(ReadTestFile(dir.File("to")), "new");
}

TEST(FileSystem, AbandonedWriterRemovesItsTemporary) {
  TempDir dir;
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("half")));
    ASSERT_TRUE(writer.Write("partial"));
  }
  EXPECT_EQ(FilesIn(dir.path()), 0);
}

TEST(FileSystem, WriteIntoMissingFolderFails) {
  TempDir dir;
  EXPECT_FALSE(WriteFileAtomic(dir.File("no/such/folder/file"), "x"));
  EXPECT_FALSE(WriteFileAtomic(dir.path() + "/", "x"));
  EXPECT_FALSE(WriteFileAtomic("", "x"));
}

TEST(FileSystem, CopyIsByteExact) {
  TempDir dir;
  std::string bytes("line\r\nno final newline\x00\x01", 24);
  WriteTestFile(dir.File("src"), bytes);
  EXPECT_TRUE(CopyFileBytes(dir.File("src"), dir.File("dst")));
  EXPECT_EQ(ReadTestFile(dir.File("dst")), bytes);
  EXPECT_FALSE(CopyFileBytes(dir.File("missing"), dir.File("dst2")));
  EXPECT_FALSE(testing::PathExists(dir.File("dst2")));
}

TEST(FileSystem, CurrentDirectoryEndsInSlash) {
  std::string folder = CurrentDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(DirectoryExists(folder));
}

TEST(FileSystem, LaunchDetachedStartsProgramsWithoutAShell) {
  TempDir dir;
  // A path with a space and shell syntax must arrive as one argument, untouched.
  std::string marker = dir.File("made by; touch");
  EXPECT_TRUE(LaunchDetached("touch", {marker}));
  for (int i = 0; i < 200 && !testing::PathExists(marker); ++i) usleep(10000);
  EXPECT_TRUE(testing::PathExists(marker));
  EXPECT_FALSE(testing::PathExists(dir.File("made by")));
  EXPECT_FALSE(LaunchDetached("brasswick-no-such-program", {}));
  EXPECT_FALSE(LaunchDetached("touch", {marker}, dir.File("missing-folder")));
}

}  // namespace
}  // namespace brasswick
