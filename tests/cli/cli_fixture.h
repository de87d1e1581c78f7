// A test fixture for the command-line framework: fresh framework state and registry
// per test, output and error streams captured in strings, and a fixed program name.
#ifndef BRASSWICK_TESTS_CLI_CLI_FIXTURE_H_
#define BRASSWICK_TESTS_CLI_CLI_FIXTURE_H_

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_api.h"
#include "cli/cli_config.h"
#include "cli/cli_output.h"
#include "cli/runtime_registry.h"

namespace brasswick::testing {

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CliReset();
    GlobalRuntimeRegistry().Clear();
    SetCliOutputStreams(&out_, &err_);
    SetCliProgramPath("/opt/tools/prog.bin");
  }
  void TearDown() override {
    SetCliOutputStreams(nullptr, nullptr);
    SetCliLocateAction(nullptr);
    CliReset();
    GlobalRuntimeRegistry().Clear();
  }

  // Loads a configuration written with single quotes for readability.
  bool Load(const std::string& json) { return CliLoadText(json, true); }

  // Loads json, which must succeed, then runs the words.
  bool Run(const std::string& json, std::vector<std::string> words) {
    EXPECT_TRUE(Load(json)) << GetCliError().message;
    return CliExecute(words);
  }

  int64_t Code() const { return GetCliError().code; }
  const std::string& Message() const { return GetCliError().message; }
  CliCommand& Command(size_t index) { return *Cli().config.commands.at(index); }
  CliArg& Arg(size_t command, size_t arg) { return *Command(command).args.at(arg); }

  // Registers a procedure that counts its calls into *calls and appends name to trace_.
  void RegisterCounter(const std::string& name, int result = 0) {
    GlobalRuntimeRegistry().RegisterProcedure(name, [this, name, result]() {
      trace_.push_back(name);
      return result;
    });
  }

  std::ostringstream out_;
  std::ostringstream err_;
  std::vector<std::string> trace_;
};

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_CLI_CLI_FIXTURE_H_
