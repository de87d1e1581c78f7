#include "app/program.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/cli_api.h"
#include "cli/cli_binding.h"
#include "cli/cli_config.h"
#include "cli/runtime_registry.h"
#include "commands/command_arg_names.h"
#include "console/console.h"

namespace brasswick {
namespace {

// Every procedure the command table calls is registered, and every registered procedure
// is one the table uses: a command whose call is missing could never run, and a
// registration nothing names is dead.
TEST(Registry, HoldsExactlyTheNamesTheCommandTableUses) {
  RegisterProgramRuntimes();
  const std::string_view table = EmbeddedCommandTable();
  const auto& entries = GlobalRuntimeRegistry().entries();
  ASSERT_FALSE(entries.empty());
  for (const auto& entry : entries) {
    // The constants are the program's title and version, read by the framework.
    if (entry.kind == RuntimeEntry::Kind::kConstant) continue;
    EXPECT_NE(table.find("\"" + entry.name + "\""), std::string_view::npos)
        << entry.name << " is registered but no command uses it";
  }
  for (size_t at = table.find("\"call\": \""); at != std::string_view::npos;
       at = table.find("\"call\": \"", at + 1)) {
    const size_t start = at + 9;
    const std::string call(table.substr(start, table.find('"', start) - start));
    const RuntimeEntry* found = GlobalRuntimeRegistry().Find(call);
    ASSERT_NE(found, nullptr) << call << " is called by the table but not registered";
    EXPECT_EQ(found->kind, RuntimeEntry::Kind::kProcedure) << call;
  }
  EXPECT_EQ(GlobalRuntimeRegistry().Find("FormatCopyDestRT()")->kind,
            RuntimeEntry::Kind::kFormatter);
  EXPECT_EQ(GlobalRuntimeRegistry().Find("#SW_Title")->text, "brasswick");
  EXPECT_EQ(GlobalRuntimeRegistry().Find("#SW_Version")->text, "1.1");
}

// Every name a command procedure reads must be an argument of that command, spelt in
// full: a misspelt or shortened name would read as never given.
TEST(CommandTable, EveryArgumentNameTheProceduresReadExists) {
  CliReset();
  RegisterProgramRuntimes();
  std::string_view table = EmbeddedCommandTable();
  ASSERT_TRUE(CliInitFromBuffer(reinterpret_cast<const uint8_t*>(table.data()),
                                static_cast<int64_t>(table.size()), CliEncoding::kAutomatic, false))
      << GetCliError().message;
  for (const CommandArgNames& entry : kCommandArgNames) {
    const CliCommand* command = nullptr;
    for (const auto& candidate : Cli().config.commands) {
      if (candidate->name == entry.command) command = candidate.get();
    }
    ASSERT_NE(command, nullptr) << entry.command;
    auto check = [&](std::string_view name) {
      CliArg* found = nullptr;
      EXPECT_EQ(FindArgs(name, false, *command, true, true, &found), 1)
          << entry.command << " has no argument '" << name << "'";
    };
    for (std::string_view name : entry.names) check(name);
    for (std::string_view name : kReportingArgNames) {
      if (entry.writes || (name != kOpenArg && name != kLocateArg)) check(name);
    }
  }
  CliReset();
}

}  // namespace
}  // namespace brasswick
