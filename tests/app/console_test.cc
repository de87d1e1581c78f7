#include "app/console.h"

#include "app/program.h"
#include "cli/runtime_registry.h"
#include "gtest/gtest.h"

namespace brasswick {
namespace {

TEST(Console, FirstFailureWinsAndOnlyItsMessageIsShown) {
  SetExitCode(0);
  ::testing::internal::CaptureStderr();
  RecordFailure(131, "Failed to save image file:\n/x.png");
  RecordFailure(129, "Failed to load p8 file:\n/y.p8");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Failed to save image file:\n/x.png\n");
  EXPECT_EQ(ExitCode(), 131);
  SetExitCode(0);
}

TEST(Console, EmptyMessageNamesTheCode) {
  SetExitCode(0);
  ::testing::internal::CaptureStderr();
  RecordFailure(146, "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Software Error 146\n");
  SetExitCode(0);
}

TEST(Console, BannerIsTheVersionAndAnEmptyLine) {
  ::testing::internal::CaptureStdout();
  PrintBanner();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "brasswick 1.1\n\n");
}

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
                            "#SW_Title",
                            "#SW_Version"};
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].name, expected[i]);
  EXPECT_EQ(GlobalRuntimeRegistry().Find("FormatCopyDestRT()")->kind,
            RuntimeEntry::Kind::kFormatter);
  EXPECT_EQ(GlobalRuntimeRegistry().Find("#SW_Title")->text, "brasswick");
  EXPECT_EQ(GlobalRuntimeRegistry().Find("#SW_Version")->text, "1.1");
}

}  // namespace
}  // namespace brasswick
