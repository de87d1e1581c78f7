#include "cli/cli_confirm.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "cli_fixture.h"
#include "test_support.h"

namespace brasswick::testing {
namespace {

// A pseudo-terminal standing in for the user's keyboard.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char* name = ptsname(master_);
    if (name != nullptr) slave_ = open(name, O_RDWR | O_NOCTTY);
  }
  ~PseudoTerminal() {
    if (slave_ >= 0) close(slave_);
    CloseMaster();
  }
  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  int slave() const { return slave_; }
  void Type(const std::string& keys) {
    ssize_t written = write(master_, keys.data(), keys.size());
    (void)written;
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

// Types the keys after the prompt has dropped what was typed before it.
std::thread TypeLater(PseudoTerminal& terminal, const std::string& keys) {
  return std::thread([&terminal, keys]() {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    terminal.Type(keys);
  });
}

class CliConfirmTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_TRUE(Load("{'commands':[{'name':'go'}]}"));
  }
};

TEST_F(CliConfirmTest, AnswersYesWithoutAskingWhenConfirmedOrSilent) {
  Cli().invocation.confirmed = true;
  EXPECT_TRUE(ConfirmOverwrite("a.p8"));
  Cli().invocation.confirmed = false;
  Cli().invocation.silent = true;
  EXPECT_TRUE(ConfirmOverwrite("a.p8"));
  ASSERT_TRUE(Load("{'NoConsole':true,'commands':[{'name':'go'}]}"));
  EXPECT_TRUE(ConfirmOverwrite("a.p8"));
  EXPECT_TRUE(out_.str().empty());
}

TEST_F(CliConfirmTest, WithoutATerminalTheAnswerIsNo) {
  int saved = dup(STDIN_FILENO);
  int null_input = open("/dev/null", O_RDONLY);
  ASSERT_GE(null_input, 0);
  dup2(null_input, STDIN_FILENO);
  close(null_input);
  bool answer = ConfirmOverwrite("some/file.p8");
  dup2(saved, STDIN_FILENO);
  close(saved);
  EXPECT_FALSE(answer);
  EXPECT_EQ(out_.str(),
            "File already exists: some/file.p8\nOverwrite?  (Y = yes, N = no, L = locate file)\n");
}

TEST_F(CliConfirmTest, ConfirmTypeFailsWith61WhenRefused) {
  TempDir dir;
  const std::string file = dir.File("dest.p8");
  WriteTestFile(file, "x");
  int saved = dup(STDIN_FILENO);
  close(STDIN_FILENO);  // as the program does when its output is not a terminal
  RegisterCounter("Go()");
  bool ran =
      Run("{'commands':[{'name':'go','call':'Go','args':[{'name':'dest','type':'file-confirm'},"
          "{'name':'--yes','confirms':true}]}]}",
          {"go", file});
  dup2(saved, STDIN_FILENO);
  close(saved);
  EXPECT_FALSE(ran);
  EXPECT_EQ(Code(), 61);
  EXPECT_EQ(err_.str(), "File overwrite canceled by user\n");
  EXPECT_TRUE(trace_.empty());
  EXPECT_TRUE(
      Run("{'commands':[{'name':'go','call':'Go','args':[{'name':'dest','type':'file-confirm'},"
          "{'name':'--yes','confirms':true}]}]}",
          {"go", file, "--yes"}));
  EXPECT_EQ(trace_, std::vector<std::string>{"Go()"});
}

TEST_F(CliConfirmTest, ReadsKeysFromTheTerminal) {
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.ok());
  struct termios before;
  ASSERT_EQ(tcgetattr(terminal.slave(), &before), 0);
  std::vector<std::string> located;
  SetCliLocateAction([&located](const std::string& path) { located.push_back(path); });

  terminal.Type("y");  // typed before the question: dropped
  std::thread typist = TypeLater(terminal,
                                 "q\x01Ll"
                                 "n");
  EXPECT_FALSE(ReadOverwriteDecision("f.p8", terminal.slave()));
  typist.join();
  EXPECT_EQ(located, (std::vector<std::string>{"f.p8", "f.p8"}));

  typist = TypeLater(terminal, "Y");
  EXPECT_TRUE(ReadOverwriteDecision("f.p8", terminal.slave()));
  typist.join();
  typist = TypeLater(terminal, "\x1b");
  EXPECT_FALSE(ReadOverwriteDecision("f.p8", terminal.slave()));
  typist.join();

  struct termios after;
  ASSERT_EQ(tcgetattr(terminal.slave(), &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
}

TEST_F(CliConfirmTest, HangUpAnswersNo) {
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.ok());
  std::thread closer([&terminal]() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    terminal.CloseMaster();
  });
  EXPECT_FALSE(ReadOverwriteDecision("f.p8", terminal.slave()));
  closer.join();
}

TEST_F(CliConfirmTest, NotATerminalAnswersNo) {
  TempDir dir;
  const std::string file = dir.File("keys");
  WriteTestFile(file, "y");
  int fd = open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(ReadOverwriteDecision("f.p8", fd));
  close(fd);
}

}  // namespace
}  // namespace brasswick::testing
