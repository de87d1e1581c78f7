#include "cli/cli_confirm.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <utility>

#include "cli/cli_config.h"
#include "cli/cli_output.h"

namespace brasswick {

namespace {

constexpr int kPollMilliseconds = 10;
constexpr unsigned char kEscape = 27;

std::function<void(const std::string&)>& LocateAction() {
  static std::function<void(const std::string&)> action;
  return action;
}

// What the signal handler needs to put the terminal back; only touched while a
// prompt runs.
volatile sig_atomic_t saved_fd = -1;
struct termios saved_settings;

void RestoreTerminalAndReraise(int signal_number) {
  if (saved_fd >= 0) tcsetattr(saved_fd, TCSANOW, &saved_settings);
  struct sigaction default_action = {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal_number, &default_action, nullptr);
  raise(signal_number);
}

// Holds the terminal in key-at-a-time mode and the signal handlers in place for
// the lifetime of the prompt.
class RawTerminal {
 public:
  explicit RawTerminal(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_settings) != 0) return;
    struct termios raw = saved_settings;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    saved_fd = fd_;
    struct sigaction handler = {};
    handler.sa_handler = RestoreTerminalAndReraise;
    sigemptyset(&handler.sa_mask);
    sigaction(SIGINT, &handler, &previous_int_);
    sigaction(SIGTERM, &handler, &previous_term_);
    if (tcsetattr(fd_, TCSANOW, &raw) != 0) {
      Restore();
      return;
    }
    active_ = true;
  }
  ~RawTerminal() { Restore(); }
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

  bool active() const { return active_; }

 private:
  void Restore() {
    if (saved_fd < 0) return;
    tcsetattr(fd_, TCSANOW, &saved_settings);
    sigaction(SIGINT, &previous_int_, nullptr);
    sigaction(SIGTERM, &previous_term_, nullptr);
    saved_fd = -1;
    active_ = false;
  }

  int fd_;
  bool active_ = false;
  struct sigaction previous_int_ = {};
  struct sigaction previous_term_ = {};
};

enum class KeyResult { kKey, kNone, kEnd };

// Waits up to one poll interval for a key.
KeyResult PollKey(int fd, unsigned char* key) {
  struct pollfd request = {fd, POLLIN, 0};
  int ready = poll(&request, 1, kPollMilliseconds);
  if (ready < 0) return errno == EINTR ? KeyResult::kNone : KeyResult::kEnd;
  if (ready == 0) return KeyResult::kNone;
  if ((request.revents & POLLIN) == 0) return KeyResult::kEnd;  // hang-up or error
  ssize_t count = read(fd, key, 1);
  if (count == 1) return KeyResult::kKey;
  if (count < 0 && (errno == EINTR || errno == EAGAIN)) return KeyResult::kNone;
  return KeyResult::kEnd;
}

}  // namespace

void SetCliLocateAction(std::function<void(const std::string& path)> action) {
  LocateAction() = std::move(action);
}

bool ReadOverwriteDecision(const std::string& path, int fd) {
  RawTerminal terminal(fd);
  if (!terminal.active()) return false;
  unsigned char key = 0;
  // Keys typed before the question was shown must not answer it.
  tcflush(fd, TCIFLUSH);
  while (true) {
    KeyResult result = PollKey(fd, &key);
    if (result == KeyResult::kEnd) return false;
    if (result == KeyResult::kNone) break;
  }
  while (true) {
    KeyResult result = PollKey(fd, &key);
    if (result == KeyResult::kEnd) return false;
    if (result == KeyResult::kNone) continue;
    switch (key) {
      case 'y':
      case 'Y':
        return true;
      case 'n':
      case 'N':
      case kEscape:
        return false;
      case 'l':
      case 'L':
        if (LocateAction()) LocateAction()(path);
        break;
      default:
        break;
    }
  }
}

bool ConfirmOverwrite(const std::string& path) {
  const CliState& state = Cli();
  if (state.config.no_console || state.invocation.confirmed || state.invocation.silent) {
    return true;
  }
  WriteCliOut("File already exists: " + path + "\n");
  WriteCliOut("Overwrite?  (Y = yes, N = no, L = locate file)\n");
  FlushCliOut();  // the question must be seen before the answer is awaited
  if (!isatty(STDIN_FILENO)) return false;
  return ReadOverwriteDecision(path, STDIN_FILENO);
}

}  // namespace brasswick
