// Times a command line: runs it N times, each in a fresh process (fork and exec, the
// standard streams on /dev/null), and measures each run's wall time on the steady clock
// and the child's peak resident memory (ru_maxrss from wait4).
//
//   bench_timer [--runs N] [--restore PRISTINE TARGET]... -- PROGRAM ARG...
//
// --restore copies PRISTINE over TARGET before every run, outside the timed part, for
// commands that rewrite their input. Prints one line:
//   RUNS FASTEST_MS MEDIAN_MS MAX_MS PEAK_KB
// A run that cannot start, or ends with a status other than 0, stops the timer with a
// message on standard error and status 1.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Run {
  double milliseconds = 0;
  long peak_kb = 0;
};

bool Restore(const std::vector<std::pair<std::string, std::string>>& restores) {
  for (const auto& [pristine, target] : restores) {
    std::error_code error;
    std::filesystem::copy_file(pristine, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error) {
      std::fprintf(stderr, "bench_timer: cannot restore %s: %s\n", target.c_str(),
                   error.message().c_str());
      return false;
    }
  }
  return true;
}

// One timed run; false when the command could not run or failed.
bool TimeOnce(char** command, Run* run) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    if (null < 0) _exit(126);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    execv(command[0], command);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return false;
  const auto end = std::chrono::steady_clock::now();
  run->milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
  run->peak_kb = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench_timer: %s ended with %s %d\n", command[0],
                 WIFEXITED(status) ? "status" : "signal",
                 WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    return false;
  }
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_timer [--runs N] [--restore PRISTINE TARGET]... -- PROGRAM ARG...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 11;
  std::vector<std::pair<std::string, std::string>> restores;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--restore") == 0 && i + 2 < argc) {
      restores.emplace_back(argv[i + 1], argv[i + 2]);
      i += 2;
    } else {
      return Usage();
    }
  }
  if (i + 1 >= argc || runs < 1) return Usage();
  char** command = argv + i + 1;

  std::vector<Run> results;
  for (int n = 0; n < runs; ++n) {
    Run run;
    if (!Restore(restores) || !TimeOnce(command, &run)) return 1;
    results.push_back(run);
  }
  std::vector<double> times;
  long peak_kb = 0;
  for (const Run& run : results) {
    times.push_back(run.milliseconds);
    peak_kb = std::max(peak_kb, run.peak_kb);
  }
  std::sort(times.begin(), times.end());
  const size_t middle = times.size() / 2;
  const double median =
      times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
  std::printf("%d %.2f %.2f %.2f %ld\n", runs, times.front(), median, times.back(), peak_kb);
  return 0;
}
