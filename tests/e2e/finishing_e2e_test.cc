// --open and --locate hand the output to the desktop's opener: a stand-in xdg-open on
// PATH records the arguments it was started with.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "e2e/cart_builder.h"
#include "gtest/gtest.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;
using testing::WriteTestFile;

class FinishingActions : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bin = dir_.File("bin");
    mkdir(bin.c_str(), 0755);
    // Appends each argument on its own line, then a separator, to the log.
    WriteTestFile(bin + "/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" + Log() +
                                         "'; done\necho -- >> '" + Log() + "'\n");
    chmod((bin + "/xdg-open").c_str(), 0755);
    const char* path = std::getenv("PATH");
    options_.env["PATH"] = bin + ":" + (path ? path : "/usr/bin:/bin");
    mkdir(dir_.File("my carts").c_str(), 0755);
    cart_ = dir_.File("my carts/game.p8");
    WriteTestFile(cart_, testing::CartPictures().ToP8());
  }

  std::string Log() const { return dir_.File("opener.log"); }

  // The log once it holds `calls` separators, waiting up to five seconds for the
  // detached openers to finish.
  std::string WaitForLog(int calls) {
    for (int i = 0; i < 500; ++i) {
      std::string log = ReadTestFile(Log());
      int seen = 0;
      for (size_t at = log.find("--\n"); at != std::string::npos; at = log.find("--\n", at + 1)) {
        ++seen;
      }
      if (seen >= calls) return log;
      usleep(10000);
    }
    return ReadTestFile(Log());
  }

  TempDir dir_;
  RunOptions options_;
  std::string cart_;
};

TEST_F(FinishingActions, OpenHandsTheFullPathToTheOpener) {
  options_.working_folder = dir_.File("my carts");
  ProcessResult result = RunBrasswick({"map", "game.p8", "--open", "-v"}, options_);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("Exported: " + dir_.File("my carts/game.map.png") +
                            "\nOpening exported image...\n"),
            std::string::npos);
  // One argument even though the path holds a space.
  EXPECT_EQ(WaitForLog(1), dir_.File("my carts/game.map.png") + "\n--\n");
}

TEST_F(FinishingActions, LocateShowsTheFolderAfterOpen) {
  ProcessResult result = RunBrasswick({"label", cart_, "--locate", "--open"}, options_);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::string log = WaitForLog(2);
  // Both were started; open first, but detached processes may finish in either order.
  EXPECT_NE(log.find(dir_.File("my carts/game.label.png") + "\n--\n"), std::string::npos) << log;
  EXPECT_NE(log.find(dir_.File("my carts/") + "\n--\n"), std::string::npos) << log;
}

TEST_F(FinishingActions, NothingIsStartedAfterAFailureOrWithoutAnOpener) {
  ProcessResult failed = RunBrasswick({"map", cart_, "--open", "--transparent", "16"}, options_);
  EXPECT_EQ(failed.exit_code, 134);
  usleep(100000);
  EXPECT_EQ(ReadTestFile(Log()), "");

  RunOptions no_opener;
  no_opener.env["PATH"] = dir_.File("empty");
  ProcessResult quiet = RunBrasswick({"map", cart_, "--open", "--locate"}, no_opener);
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.err, "");
}

}  // namespace
}  // namespace brasswick
