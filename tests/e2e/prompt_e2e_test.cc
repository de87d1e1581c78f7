// The overwrite question as a person at a terminal meets it: the program runs on a
// pseudo-terminal and the test types the keys. Where no key can ever come, the answer
// is no at once. Every wait is bounded; a program still running is killed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "test_support.h"

namespace brasswick {
namespace {

using namespace std::chrono_literals;
using testing::ReadTestFile;
using testing::TempDir;
using testing::WriteTestFile;

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = 10s;  // generous for sanitizer builds; never reached when sound

enum class Input { kTerminal, kDevNull, kClosed, kPipeHoldingY };

// One run of the program with standard output and error on a pseudo-terminal.
class TerminalRun {
 public:
  ~TerminalRun() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }

  // typed_ahead is in the terminal's input before the program starts. Without
  // controlling_terminal the program does not own the terminal, so a hang-up reaches it
  // as end of input rather than as a signal.
  bool Start(const std::vector<std::string>& args, const std::string& folder, Input input,
             const std::string& typed_ahead = "", bool controlling_terminal = true) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return false;
    const char* name = ptsname(master_);
    if (name == nullptr) return false;
    std::string slave_name = name;
    slave_ = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) return false;
    if (!typed_ahead.empty() && !Type(typed_ahead)) return false;
    int pipe_fds[2] = {-1, -1};
    if (input == Input::kPipeHoldingY) {
      if (pipe(pipe_fds) != 0 || write(pipe_fds[1], "y\n", 2) != 2) return false;
      close(pipe_fds[1]);
    }
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      setsid();
      int terminal = open(slave_name.c_str(), controlling_terminal ? O_RDWR : O_RDWR | O_NOCTTY);
      if (terminal < 0 || chdir(folder.c_str()) != 0) _exit(125);
      switch (input) {
        case Input::kTerminal:
          dup2(terminal, 0);
          break;
        case Input::kDevNull:
          dup2(open("/dev/null", O_RDONLY), 0);
          break;
        case Input::kClosed:
          close(0);
          break;
        case Input::kPipeHoldingY:
          dup2(pipe_fds[0], 0);
          break;
      }
      dup2(terminal, 1);
      dup2(terminal, 2);
      // The program must hold no master side, or closing ours would not hang up.
      close(master_);
      close(slave_);
      if (terminal > 2) close(terminal);
      std::vector<std::string> copies = {BRASSWICK_BINARY};
      copies.insert(copies.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (auto& arg : copies) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (pipe_fds[0] >= 0) close(pipe_fds[0]);
    if (!controlling_terminal) {
      // Only the program holds the terminal side now, so closing the master hangs up.
      close(slave_);
      slave_ = -1;
    }
    return true;
  }

  bool Type(const std::string& keys) {
    return write(master_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
  }

  // Reads what the program shows until `text` has appeared or the timeout passes.
  bool WaitForOutput(const std::string& text) {
    for (auto deadline = Clock::now() + kTimeout; Clock::now() < deadline;) {
      if (Output().find(text) != std::string::npos) return true;
      Drain(50);
    }
    return Output().find(text) != std::string::npos;
  }

  // True once the program has put the terminal into key-at-a-time mode and has had
  // time to drop the keys that were waiting.
  bool WaitForKeyMode() {
    for (auto deadline = Clock::now() + kTimeout; Clock::now() < deadline;) {
      struct termios settings;
      if (tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ICANON) == 0) {
        Drain(300);
        return true;
      }
      Drain(10);
    }
    return false;
  }

  // The exit status, or -1 when the program had not ended within the timeout (then it
  // is killed).
  int WaitForExit() { return WaitForExitTyping(""); }

  // As WaitForExit, typing `key` at once and again every second while the program runs, so that a
  // key that arrives while waiting keys are being dropped is typed once more.
  int WaitForExitTyping(const std::string& key) {
    auto next_key = Clock::now();
    for (auto deadline = Clock::now() + kTimeout; Clock::now() < deadline;) {
      int status = 0;
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        Drain(50);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (!key.empty() && Clock::now() >= next_key) {
        Type(key);
        next_key = Clock::now() + 1s;
      }
      Drain(20);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return -1;
  }

  bool Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

  void HangUp() {
    close(master_);
    master_ = -1;
  }

  // What the program wrote, with the terminal's carriage returns removed.
  std::string Output() const {
    std::string text;
    for (char c : raw_output_)
      if (c != '\r') text += c;
    return text;
  }

  int slave() const { return slave_; }

 private:
  void Drain(int milliseconds) {
    if (master_ < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      return;
    }
    struct pollfd request = {master_, POLLIN, 0};
    if (poll(&request, 1, milliseconds) <= 0) return;
    char chunk[4096];
    ssize_t count = read(master_, chunk, sizeof chunk);
    if (count > 0) raw_output_.append(chunk, static_cast<size_t>(count));
    if (count <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  std::string raw_output_;
};

const std::string kCart = "pico-8 cartridge\n__lua__\nprint(1)\n__sfx__\n0102\n";
const std::string kQuestion = "Overwrite?  (Y = yes, N = no, L = locate file)\n";

class OverwritePrompt : public ::testing::Test {
 protected:
  OverwritePrompt() : root_(std::filesystem::canonical(dir_.path()).string()) {
    WriteTestFile(root_ + "/game.p8", kCart);
    WriteTestFile(root_ + "/old.p8", "old content\n");
  }
  std::vector<std::string> CopyOverOld() const { return {"copy", "game.p8", "old.p8"}; }
  std::string Old() const { return ReadTestFile(root_ + "/old.p8"); }

  // Starts the copy on a terminal and waits for the question and key-at-a-time mode.
  void StartAsking(TerminalRun& run, const std::string& typed_ahead = "") {
    ASSERT_TRUE(run.Start(CopyOverOld(), root_, Input::kTerminal, typed_ahead));
    ASSERT_TRUE(run.WaitForOutput(kQuestion)) << run.Output();
    ASSERT_TRUE(run.WaitForKeyMode());
  }

  // The terminal is back to line mode with echo once the program has ended.
  static void ExpectTerminalRestored(int slave) {
    struct termios settings;
    ASSERT_EQ(tcgetattr(slave, &settings), 0);
    EXPECT_NE(settings.c_lflag & ECHO, 0u);
    EXPECT_NE(settings.c_lflag & ICANON, 0u);
  }

  TempDir dir_;
  std::string root_;
};

TEST_F(OverwritePrompt, YesOverwrites) {
  for (const char* key : {"y", "Y"}) {
    WriteTestFile(root_ + "/old.p8", "old content\n");
    TerminalRun run;
    StartAsking(run);
    EXPECT_EQ(run.WaitForExitTyping(key), 0) << key << run.Output();
    EXPECT_EQ(run.Output(), "File already exists: old.p8\n" + kQuestion) << key;
    EXPECT_EQ(Old(), kCart) << key;
    ExpectTerminalRestored(run.slave());
  }
}

TEST_F(OverwritePrompt, NoAndEscapeRefuse) {
  for (const char* key : {"n", "N", "\x1b"}) {
    TerminalRun run;
    StartAsking(run);
    EXPECT_EQ(run.WaitForExitTyping(key), 61) << run.Output();
    EXPECT_EQ(run.Output(),
              "File already exists: old.p8\n" + kQuestion + "File overwrite canceled by user\n");
    EXPECT_EQ(Old(), "old content\n");
    ExpectTerminalRestored(run.slave());
  }
}

TEST_F(OverwritePrompt, OtherKeysAreIgnoredAndNotEchoed) {
  TerminalRun run;
  StartAsking(run);
  ASSERT_TRUE(run.Type("x"));
  ASSERT_TRUE(run.Type("q"));
  ASSERT_TRUE(run.Type("7"));
  std::this_thread::sleep_for(400ms);
  EXPECT_TRUE(run.Running());
  EXPECT_EQ(Old(), "old content\n");
  EXPECT_EQ(run.WaitForExitTyping("y"), 0) << run.Output();
  EXPECT_EQ(run.Output(), "File already exists: old.p8\n" + kQuestion);
  EXPECT_EQ(Old(), kCart);
  ExpectTerminalRestored(run.slave());
}

TEST_F(OverwritePrompt, KeysTypedBeforeTheQuestionDoNotAnswerIt) {
  TerminalRun run;
  StartAsking(run, "y");
  EXPECT_TRUE(run.Running());
  EXPECT_EQ(run.WaitForExitTyping("n"), 61) << run.Output();
  EXPECT_EQ(Old(), "old content\n");
  ExpectTerminalRestored(run.slave());
}

TEST_F(OverwritePrompt, TheSourceItselfIsAskedAbout) {
  TerminalRun run;
  ASSERT_TRUE(run.Start({"copy", "game.p8", "-", "--clear", "sfx"}, root_, Input::kTerminal));
  ASSERT_TRUE(run.WaitForOutput(kQuestion)) << run.Output();
  ASSERT_TRUE(run.WaitForKeyMode());
  EXPECT_EQ(run.WaitForExitTyping("y"), 0) << run.Output();
  EXPECT_EQ(run.Output(), "File already exists: " + root_ + "/game.p8\n" + kQuestion);
  EXPECT_EQ(ReadTestFile(root_ + "/game.p8"), "pico-8 cartridge\n__lua__\nprint(1)\n__sfx__\n");
}

TEST_F(OverwritePrompt, WithoutAKeyboardTheAnswerIsNo) {
  for (Input input : {Input::kDevNull, Input::kClosed, Input::kPipeHoldingY}) {
    TerminalRun run;
    ASSERT_TRUE(run.Start(CopyOverOld(), root_, input));
    EXPECT_EQ(run.WaitForExit(), 61) << run.Output();
    EXPECT_EQ(run.Output(),
              "File already exists: old.p8\n" + kQuestion + "File overwrite canceled by user\n");
    EXPECT_EQ(Old(), "old content\n");
  }
}

TEST_F(OverwritePrompt, AHungUpTerminalIsNo) {
  TerminalRun run;
  ASSERT_TRUE(run.Start(CopyOverOld(), root_, Input::kTerminal, "", false));
  ASSERT_TRUE(run.WaitForOutput(kQuestion)) << run.Output();
  run.HangUp();
  EXPECT_EQ(run.WaitForExit(), 61);
  EXPECT_EQ(Old(), "old content\n");
}

TEST_F(OverwritePrompt, OutsideATerminalTheAnswerIsNoAtOnce) {
  for (bool close_stdin : {false, true}) {
    testing::RunOptions options;
    options.working_folder = root_;
    options.close_stdin = close_stdin;
    testing::ProcessResult result = testing::RunBrasswick(CopyOverOld(), options);
    EXPECT_EQ(result.exit_code, 61);
    EXPECT_EQ(result.out, "File already exists: old.p8\n" + kQuestion);
    EXPECT_EQ(result.err, "File overwrite canceled by user\n");
    EXPECT_EQ(Old(), "old content\n");
  }
}

}  // namespace
}  // namespace brasswick
