// Saving onto the unusual things a user may name as an output: symbolic links, devices
// and FIFOs, read-only files, files in read-only folders, hard-linked files, and a save
// interrupted by a signal. Each runs colorimage on a small picture and copy on a small
// cartridge, as a user would.
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/png_writer.h"
#include "gtest/gtest.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::FolderNames;
using testing::kStandardPalette;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;
using testing::WriteTestFile;

const std::string kCart =
    "pico-8 cartridge // http://www.pico-8.com\nversion 41\n__lua__\nprint(\"hi\")\n"
    "__sfx__\n010203\n040506\n";
// The same cartridge once its sound effects are cleared: the header line stays.
const std::string kClearedCart =
    "pico-8 cartridge // http://www.pico-8.com\nversion 41\n__lua__\nprint(\"hi\")\n"
    "__sfx__\n";

// Each palette colour nudged off by a little, so that the fitted output differs from
// the input and must come back as exactly the palette.
int Nudged(int channel) { return channel < 128 ? channel + 5 : channel - 5; }

bool WriteNudgedPalettePng(const std::string& path) {
  testing::TestPng png{16, 1, 8, PNG_COLOR_TYPE_RGB, {{}}, {}, {}, {}};
  for (const auto& colour : kStandardPalette) {
    png.rows[0].insert(png.rows[0].end(), {static_cast<uint8_t>(Nudged(colour.r)),
                                           static_cast<uint8_t>(Nudged(colour.g)),
                                           static_cast<uint8_t>(Nudged(colour.b))});
  }
  return testing::WriteTestPng(path, png);
}

// True when the image is the 16-pixel strip with every colour fitted to the palette.
bool IsFittedStrip(const RgbaImage* image) {
  if (!image || image->width() != 16 || image->height() != 1) return false;
  for (int i = 0; i < 16; ++i) {
    const uint8_t* p = image->Row(0) + i * image->channels();
    if (p[0] != kStandardPalette[i].r || p[1] != kStandardPalette[i].g ||
        p[2] != kStandardPalette[i].b) {
      return false;
    }
  }
  return true;
}

struct stat LinkInfo(const std::string& path) {
  struct stat info = {};
  lstat(path.c_str(), &info);
  return info;
}

class WriteTargets : public ::testing::Test {
 protected:
  WriteTargets() : root_(std::filesystem::canonical(dir_.path()).string()) {}

  ProcessResult Run(const std::vector<std::string>& args, bool unprivileged = false) {
    RunOptions options;
    options.working_folder = root_;
    options.unprivileged = unprivileged;
    return RunBrasswick(args, options);
  }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  bool FittedStripAt(const std::string& name) const {
    ImagePtr image = LoadImageFile(Path(name));
    return IsFittedStrip(image.get());
  }
  // Lets the unprivileged user work in the folder and own the named files.
  void GiveToTestUser(const std::vector<std::string>& names) {
    ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
    ASSERT_TRUE(testing::GiveToTestUser(root_));
    for (const auto& name : names) ASSERT_TRUE(testing::GiveToTestUser(Path(name))) << name;
  }

  TempDir dir_;
  std::string root_;
};

TEST_F(WriteTargets, ALinkIsFollowedAndKept) {
  std::filesystem::create_directory(Path("real"));
  ASSERT_TRUE(WriteNudgedPalettePng(Path("real/pic.png")));
  WriteTestFile(Path("real/game.p8"), kCart);
  ASSERT_EQ(symlink("real/pic.png", Path("link.png").c_str()), 0);
  ASSERT_EQ(symlink("real/game.p8", Path("link.p8").c_str()), 0);
  ASSERT_EQ(symlink("real/made.png", Path("dangling.png").c_str()), 0);

  ProcessResult result = Run({"colorimage", "link.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(FittedStripAt("real/pic.png"));
  result = Run({"colorimage", "real/pic.png", "dangling.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(FittedStripAt("real/made.png"));
  result = Run({"copy", "link.p8", "-", "--yes", "--clear", "sfx"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("real/game.p8")), kClearedCart);

  for (const char* name : {"link.png", "link.p8", "dangling.png"}) {
    EXPECT_TRUE(S_ISLNK(LinkInfo(Path(name)).st_mode)) << name;
  }
  EXPECT_EQ(FolderNames(root_),
            (std::set<std::string>{"real", "link.png", "link.p8", "dangling.png"}));
  EXPECT_EQ(FolderNames(Path("real")), (std::set<std::string>{"pic.png", "made.png", "game.p8"}));
}

TEST_F(WriteTargets, DevicesAndFifosAreWrittenNotReplaced) {
  ASSERT_TRUE(WriteNudgedPalettePng(Path("pic.png")));
  WriteTestFile(Path("game.p8"), kCart);
  // Devices of our own: 1,3 swallows everything, 1,7 refuses every write as a full disk.
  if (mknod(Path("null.png").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      mknod(Path("full.png").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 ||
      mknod(Path("null.p8").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      mknod(Path("full.p8").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
    GTEST_SKIP() << "cannot make device nodes here (needs root with CAP_MKNOD)";
  }
  ProcessResult result = Run({"colorimage", "pic.png", "null.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  result = Run({"colorimage", "pic.png", "full.png"});
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(result.err, "Failed to save image file:\n" + Path("full.png") + "\n");
  result = Run({"copy", "game.p8", "null.p8", "--yes", "--clear", "sfx"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  result = Run({"copy", "game.p8", "full.p8", "--yes", "--clear", "sfx"});
  EXPECT_EQ(result.exit_code, 141);
  EXPECT_EQ(result.err, "Failed to save destination file:\n" + Path("full.p8") + "\n");
  result = Run({"copy", "game.p8", "full.p8", "--yes"});
  EXPECT_EQ(result.exit_code, 144);
  EXPECT_EQ(result.err, "Failed to copy file to:\n" + Path("full.p8") + "\n");
  for (const char* name : {"null.png", "full.png", "null.p8", "full.p8"}) {
    EXPECT_TRUE(S_ISCHR(LinkInfo(Path(name)).st_mode)) << name;
  }

  // A FIFO nobody reads fails at once; one with a reader receives the whole picture.
  ASSERT_EQ(mkfifo(Path("pipe.png").c_str(), 0666), 0);
  auto start = std::chrono::steady_clock::now();
  result = Run({"colorimage", "pic.png", "pipe.png"});
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(result.err, "Failed to save image file:\n" + Path("pipe.png") + "\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  int reader = open(Path("pipe.png").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  result = Run({"colorimage", "pic.png", "pipe.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::vector<uint8_t> bytes(65536);
  ssize_t n = read(reader, bytes.data(), bytes.size());
  close(reader);
  ASSERT_GT(n, 0);
  ImagePtr piped = LoadImageFromMemory(bytes.data(), static_cast<size_t>(n));
  EXPECT_TRUE(IsFittedStrip(piped.get()));
  EXPECT_TRUE(S_ISFIFO(LinkInfo(Path("pipe.png")).st_mode));
  EXPECT_EQ(FolderNames(root_).size(), 7u);
}

TEST_F(WriteTargets, AReadOnlyFileIsNotRewrittenByAnOrdinaryUser) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  ASSERT_TRUE(WriteNudgedPalettePng(Path("pic.png")));
  WriteTestFile(Path("game.p8"), kCart);
  const std::string picture = ReadTestFile(Path("pic.png"));
  GiveToTestUser({"pic.png", "game.p8"});
  chmod(Path("pic.png").c_str(), 0444);
  chmod(Path("game.p8").c_str(), 0444);

  ProcessResult result = Run({"colorimage", "pic.png"}, /*unprivileged=*/true);
  EXPECT_EQ(result.exit_code, 131);
  EXPECT_EQ(result.err, "Failed to save image file:\n" + Path("pic.png") + "\n");
  result = Run({"copy", "game.p8", "-", "--yes", "--clear", "sfx"}, /*unprivileged=*/true);
  EXPECT_EQ(result.exit_code, 141);
  EXPECT_EQ(result.err, "Failed to save destination file:\n" + Path("game.p8") + "\n");
  EXPECT_EQ(ReadTestFile(Path("pic.png")), picture);
  EXPECT_EQ(ReadTestFile(Path("game.p8")), kCart);
  EXPECT_EQ(FolderNames(root_), (std::set<std::string>{"pic.png", "game.p8"}));
}

TEST_F(WriteTargets, AWritableFileInAReadOnlyFolderIsRewrittenInPlace) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  ASSERT_TRUE(WriteNudgedPalettePng(Path("pic.png")));
  WriteTestFile(Path("game.p8"), kCart);
  GiveToTestUser({"pic.png", "game.p8"});
  chmod(Path("pic.png").c_str(), 0644);
  chmod(Path("game.p8").c_str(), 0644);
  const ino_t picture_inode = LinkInfo(Path("pic.png")).st_ino;
  const ino_t cart_inode = LinkInfo(Path("game.p8")).st_ino;
  ASSERT_EQ(chmod(root_.c_str(), 0555), 0);

  ProcessResult result = Run({"colorimage", "pic.png"}, /*unprivileged=*/true);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ProcessResult copied =
      Run({"copy", "game.p8", "-", "--yes", "--clear", "sfx"}, /*unprivileged=*/true);
  EXPECT_EQ(copied.exit_code, 0) << copied.err;
  // A new file cannot be made in the folder, changed or not.
  ProcessResult fresh = Run({"colorimage", "pic.png", "new.png"}, /*unprivileged=*/true);
  ProcessResult fresh_copy = Run({"copy", "game.p8", "new.p8"}, /*unprivileged=*/true);
  chmod(root_.c_str(), 0755);

  EXPECT_TRUE(FittedStripAt("pic.png"));
  EXPECT_EQ(LinkInfo(Path("pic.png")).st_ino, picture_inode);
  EXPECT_EQ(ReadTestFile(Path("game.p8")), kClearedCart);
  EXPECT_EQ(LinkInfo(Path("game.p8")).st_ino, cart_inode);
  EXPECT_EQ(fresh.exit_code, 131);
  EXPECT_EQ(fresh.err, "Failed to save image file:\n" + Path("new.png") + "\n");
  EXPECT_EQ(fresh_copy.exit_code, 144);
  EXPECT_EQ(fresh_copy.err, "Failed to copy file to:\n" + Path("new.p8") + "\n");
  EXPECT_EQ(FolderNames(root_), (std::set<std::string>{"pic.png", "game.p8"}));
}

// The save stays atomic: the name written gets a new file, its other names keep the old.
TEST_F(WriteTargets, AHardLinkedFileIsSplitFromItsOtherNames) {
  ASSERT_TRUE(WriteNudgedPalettePng(Path("pic.png")));
  WriteTestFile(Path("game.p8"), kCart);
  const std::string picture = ReadTestFile(Path("pic.png"));
  ASSERT_EQ(link(Path("pic.png").c_str(), Path("twin.png").c_str()), 0);
  ASSERT_EQ(link(Path("game.p8").c_str(), Path("twin.p8").c_str()), 0);

  ProcessResult result = Run({"colorimage", "pic.png"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  result = Run({"copy", "game.p8", "-", "--yes", "--clear", "sfx"});
  EXPECT_EQ(result.exit_code, 0) << result.err;

  EXPECT_TRUE(FittedStripAt("pic.png"));
  EXPECT_EQ(ReadTestFile(Path("twin.png")), picture);
  EXPECT_EQ(ReadTestFile(Path("game.p8")), kClearedCart);
  EXPECT_EQ(ReadTestFile(Path("twin.p8")), kCart);
  for (const char* name : {"pic.png", "twin.png", "game.p8", "twin.p8"}) {
    EXPECT_EQ(LinkInfo(Path(name)).st_nlink, 1u) << name;
  }
}

// Starts the binary without waiting for it, its output thrown away.
pid_t StartBrasswick(const std::vector<std::string>& args, const std::string& folder) {
  std::vector<std::string> words = {BRASSWICK_BINARY};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    if (chdir(folder.c_str()) != 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

TEST_F(WriteTargets, AnInterruptedSaveLeavesNoTemporaryAndTheOldFile) {
  testing::CartPictures pictures;
  pictures.Randomize(7);
  WriteTestFile(Path("cart.p8"), pictures.ToP8());
  WriteTestFile(Path("big.bmp"), "the old picture");
  // 128 x 128 pixels enlarged 60 times at 32 bits: some 235 MB, long enough to write
  // that its temporary can be caught in flight.
  pid_t child = StartBrasswick({"sheet", "cart.p8", "big.bmp", "--scale", "60"}, root_);
  ASSERT_GT(child, 0);
  bool seen = false;
  int status = 0;
  bool ended = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!seen && !ended && std::chrono::steady_clock::now() < deadline) {
    for (const auto& name : FolderNames(root_)) {
      if (name.rfind(".big.bmp.tmp-", 0) == 0) seen = true;
    }
    if (seen) break;
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  if (!ended) {
    kill(child, SIGTERM);
    waitpid(child, &status, 0);
  }
  ASSERT_TRUE(seen) << "the save ended before its temporary was seen";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(ReadTestFile(Path("big.bmp")), "the old picture");
  EXPECT_EQ(FolderNames(root_), (std::set<std::string>{"cart.p8", "big.bmp"}));
}

}  // namespace
}  // namespace brasswick
