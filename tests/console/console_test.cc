#include "console/console.h"

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

}  // namespace
}  // namespace brasswick
