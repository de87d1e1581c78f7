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

TEST(Registry, HoldsTheProgramsProceduresAndConstantsInOrder) {
  RegisterProgramRuntimes();
  const auto& entries = GlobalRuntimeRegistry().entries();
  const char* expected[] = {"ExportSpritesheetRT()",
                            "ColorImageRT()",
                            "ExtractJSROMRT()",
                            "VersionRT()",
                            "CopyP8RT()",
                            "ExportMapRT()",
                            "FormatCopyDestRT()",
                            "SetLabelRT()",
                            "ExportSpritesRT()",
                            "EditHTMLRT()",
                            "ExportLabelRT()",
                            "SetTitleRT()",
                            "ConvertRT()",
                            "SetSheetRT()",
                            "SetMapRT()",
                            "#SW_Title",
                            "#SW_Version"};
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].name, expected[i]);
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
    for (std::string_view name : kReportingArgNames) check(name);
  }
  CliReset();
}

}  // namespace
}  // namespace brasswick
