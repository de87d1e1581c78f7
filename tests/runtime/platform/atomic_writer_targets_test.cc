// The atomic writer at the edges: links, devices and FIFOs, files and folders the user
// may not write, hard links, and signals arriving while a temporary exists.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "runtime/platform/file_system.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::ChildExitCode;
using testing::FolderNames;
using testing::kTestUserId;
using testing::ReadTestFile;
using testing::RunInChild;
using testing::TempDir;
using testing::WriteTestFile;

struct stat LinkInfo(const std::string& path) {
  struct stat info = {};
  lstat(path.c_str(), &info);
  return info;
}

std::string LinkText(const std::string& path) {
  char buffer[4096];
  ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

// A folder the unprivileged user owns (root's TempDir is private to root).
void GiveFolderToTestUser(const TempDir& dir) {
  chmod(dir.path().c_str(), 0755);
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
}

TEST(AtomicWriterTargets, LinksAreFollowedAndKept) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link name, link text
    std::string written;  // the file that must receive the bytes ("" when none)
    bool ok;
  };
  const std::vector<Case> cases = {
      {"to a file in a subfolder", {{"link.png", "real/pic.png"}}, "real/pic.png", true},
      {"chain", {{"a", "b"}, {"b", "real/c"}, {"real/c", "pic.png"}}, "real/pic.png", true},
      {"absolute", {{"abs", "@/real/pic.png"}}, "real/pic.png", true},
      {"dangling, folder present", {{"new", "real/fresh.png"}}, "real/fresh.png", true},
      {"dangling, folder missing", {{"lost", "gone/fresh.png"}}, "", false},
      {"loop", {{"x", "y"}, {"y", "x"}}, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    WriteTestFile(dir.File("real/pic.png"), "old picture");
    for (const auto& [name, text] : c.links) {
      std::string to = text[0] == '@' ? dir.path() + text.substr(1) : text;
      ASSERT_EQ(symlink(to.c_str(), dir.File(name).c_str()), 0);
    }
    std::set<std::string> top_before = FolderNames(dir.path());
    EXPECT_EQ(WriteFileAtomic(dir.File(c.links[0].first), "new picture").ok, c.ok);
    if (!c.written.empty()) {
      EXPECT_EQ(ReadTestFile(dir.File(c.written)), "new picture");
    }
    if (c.written != "real/pic.png") {
      EXPECT_EQ(ReadTestFile(dir.File("real/pic.png")), "old picture");
    }
    // Every link is still a link with its own text, and no temporary is left.
    for (const auto& [name, text] : c.links) {
      EXPECT_TRUE(S_ISLNK(LinkInfo(dir.File(name)).st_mode)) << name;
      std::string to = text[0] == '@' ? dir.path() + text.substr(1) : text;
      EXPECT_EQ(LinkText(dir.File(name)), to);
    }
    EXPECT_EQ(FolderNames(dir.path()), top_before);
    std::set<std::string> expected_real = {"pic.png"};
    for (const auto& [name, text] : c.links) {
      if (name.rfind("real/", 0) == 0) expected_real.insert(name.substr(5));
    }
    if (!c.written.empty()) expected_real.insert(c.written.substr(5));
    EXPECT_EQ(FolderNames(dir.File("real")), expected_real);
  }
}

// A character device made in the test's own folder: 1,3 reads as the null device, 1,7
// as the full one (every write fails for lack of space).
bool MakeDevice(const std::string& path, int minor, mode_t mode) {
  return mknod(path.c_str(), S_IFCHR | mode, makedev(1, minor)) == 0 &&
         chmod(path.c_str(), mode) == 0;
}

TEST(AtomicWriterTargets, DevicesAreWrittenInPlace) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  if (!MakeDevice(dir.File("null"), 3, 0666) || !MakeDevice(dir.File("full"), 7, 0666)) {
    GTEST_SKIP() << "cannot make device nodes here (needs root with CAP_MKNOD)";
  }
  const dev_t null_device = LinkInfo(dir.File("null")).st_rdev;
  EXPECT_TRUE(WriteFileAtomic(dir.File("null"), "into nothing"));
  struct stat after = LinkInfo(dir.File("null"));
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, null_device);
  // A write the device refuses is a failed save, and the node stays.
  EXPECT_FALSE(WriteFileAtomic(dir.File("full"), std::string(100000, 'x')));
  EXPECT_TRUE(S_ISCHR(LinkInfo(dir.File("full")).st_mode));
  // Reached through a link, the device is written and the link kept.
  ASSERT_EQ(symlink("null", dir.File("to-null").c_str()), 0);
  EXPECT_TRUE(WriteFileAtomic(dir.File("to-null"), "again"));
  EXPECT_TRUE(S_ISLNK(LinkInfo(dir.File("to-null")).st_mode));
  EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"null", "full", "to-null"}));

  // A device the user may not write fails at Open, as opening it would.
  ASSERT_TRUE(MakeDevice(dir.File("closed"), 3, 0644));
  chmod(dir.path().c_str(), 0755);
  int status = RunInChild(
      [&] {
        AtomicFileWriter writer;
        return writer.Open(dir.File("closed")) ? 1 : 0;
      },
      /*unprivileged=*/true);
  EXPECT_EQ(ChildExitCode(status), 0);
}

TEST(AtomicWriterTargets, FifoIsWrittenToItsReaderAndNeverWaitsForOne) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  auto start = std::chrono::steady_clock::now();
  AtomicFileWriter lonely;
  EXPECT_FALSE(lonely.Open(dir.File("pipe")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

  int reader = open(dir.File("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_TRUE(WriteFileAtomic(dir.File("pipe"), "through the pipe"));
  char buffer[64] = {};
  ssize_t n = read(reader, buffer, sizeof buffer);
  close(reader);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), "through the pipe");
  EXPECT_TRUE(S_ISFIFO(LinkInfo(dir.File("pipe")).st_mode));
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"pipe"});
}

TEST(AtomicWriterTargets, ReadOnlyFileIsRefusedForAnOrdinaryUser) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  GiveFolderToTestUser(dir);
  WriteTestFile(dir.File("locked"), "keep me");
  chmod(dir.File("locked").c_str(), 0444);
  ASSERT_TRUE(testing::GiveToTestUser(dir.File("locked")));
  int status = RunInChild([&] { return WriteFileAtomic(dir.File("locked"), "lost") ? 1 : 0; },
                          /*unprivileged=*/true);
  EXPECT_EQ(ChildExitCode(status), 0);
  EXPECT_EQ(ReadTestFile(dir.File("locked")), "keep me");
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"locked"});
}

TEST(AtomicWriterTargets, OwnerGroupAndModeAreKept) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  TempDir dir;
  WriteTestFile(dir.File("theirs"), "old");
  ASSERT_EQ(chown(dir.File("theirs").c_str(), kTestUserId, kTestUserId), 0);
  ASSERT_EQ(chmod(dir.File("theirs").c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomic(dir.File("theirs"), "new"));
  struct stat info = LinkInfo(dir.File("theirs"));
  EXPECT_EQ(info.st_uid, static_cast<uid_t>(kTestUserId));
  EXPECT_EQ(info.st_gid, static_cast<gid_t>(kTestUserId));
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadTestFile(dir.File("theirs")), "new");

  // An ordinary user rewriting a group-writable file of root's group cannot keep the
  // group; the save still succeeds with the mode kept.
  TempDir shared;
  GiveFolderToTestUser(shared);
  WriteTestFile(shared.File("common"), "old");
  ASSERT_EQ(chmod(shared.File("common").c_str(), 0666), 0);
  int status = RunInChild([&] { return WriteFileAtomic(shared.File("common"), "new") ? 0 : 1; },
                          /*unprivileged=*/true);
  EXPECT_EQ(ChildExitCode(status), 0);
  EXPECT_EQ(ReadTestFile(shared.File("common")), "new");
  EXPECT_EQ(LinkInfo(shared.File("common")).st_mode & 07777, 0666u);
}

TEST(AtomicWriterTargets, HardLinkedFileIsReplacedUnderTheWrittenNameOnly) {
  TempDir dir;
  WriteTestFile(dir.File("a"), "shared");
  ASSERT_EQ(link(dir.File("a").c_str(), dir.File("b").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir.File("a"), "new"));
  EXPECT_EQ(ReadTestFile(dir.File("a")), "new");
  EXPECT_EQ(ReadTestFile(dir.File("b")), "shared");
  EXPECT_EQ(LinkInfo(dir.File("b")).st_nlink, 1u);
}

TEST(AtomicWriterTargets, ReadOnlyFolderRewritesAWritableFileInPlace) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  GiveFolderToTestUser(dir);
  // Larger than any stdio buffer, so a second pass or a partial write would show.
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
  WriteTestFile(dir.File("open"), std::string(5 * 1024 * 1024, 'o'));
  WriteTestFile(dir.File("locked"), "keep me");
  chmod(dir.File("open").c_str(), 0644);
  chmod(dir.File("locked").c_str(), 0444);
  ASSERT_TRUE(testing::GiveToTestUser(dir.File("open")));
  ASSERT_TRUE(testing::GiveToTestUser(dir.File("locked")));
  const ino_t inode = LinkInfo(dir.File("open")).st_ino;
  int status = RunInChild(
      [&] {
        if (chmod(dir.path().c_str(), 0555) != 0) return 10;
        if (!WriteFileAtomic(dir.File("open"), big)) return 1;
        if (WriteFileAtomic(dir.File("locked"), "lost")) return 2;
        if (WriteFileAtomic(dir.File("missing"), "new")) return 3;
        // Abandoned before Commit, the file is not touched.
        AtomicFileWriter writer;
        if (!writer.Open(dir.File("open"))) return 4;
        writer.Write("half");
        return 0;
      },
      /*unprivileged=*/true);
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(ChildExitCode(status), 0);
  EXPECT_TRUE(ReadTestFile(dir.File("open")) == big) << "content differs";
  EXPECT_EQ(LinkInfo(dir.File("open")).st_ino, inode);
  EXPECT_EQ(ReadTestFile(dir.File("locked")), "keep me");
  EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"open", "locked"}));
}

// The child opens a writer, writes, then receives the signal. It must die of it with
// the temporary gone, unless the signal was ignored before.
TEST(AtomicWriterTargets, SignalsRemoveTheTemporaryAndStillKill) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal_number));
    TempDir dir;
    WriteTestFile(dir.File("target"), "old");
    int status = RunInChild([&] {
      AtomicFileWriter writer;
      if (!writer.Open(dir.File("target")) || !writer.Write("partial")) return 1;
      raise(signal_number);
      return 2;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"target"});
    EXPECT_EQ(ReadTestFile(dir.File("target")), "old");
  }

  // With no save in flight the signal kills as before, once a writer has come and gone.
  TempDir dir;
  int status = RunInChild([&] {
    if (!WriteFileAtomic(dir.File("done"), "x")) return 1;
    struct sigaction now = {};
    sigaction(SIGTERM, nullptr, &now);
    if (now.sa_handler != SIG_DFL) return 3;
    raise(SIGTERM);
    return 2;
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;

  // An ignored signal stays ignored while a temporary exists.
  status = RunInChild([&] {
    signal(SIGHUP, SIG_IGN);
    AtomicFileWriter writer;
    if (!writer.Open(dir.File("kept")) || !writer.Write("bytes")) return 1;
    raise(SIGHUP);
    return writer.Commit() ? 0 : 2;
  });
  EXPECT_EQ(ChildExitCode(status), 0);
  EXPECT_EQ(ReadTestFile(dir.File("kept")), "bytes");
}

}  // namespace
}  // namespace brasswick
