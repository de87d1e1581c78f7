#include <gtest/gtest.h>

#include <string>

#include "commands/failure_codes.h"

namespace brasswick {
namespace {

// The line a failed save's message gains tells what the save left of the file, and a
// save behind a temporary, which never touches the file, gains none.
TEST(WriteNote, SaysWhatAFailedSaveLeftOfTheFile) {
  const std::string message = "Failed to save p8 file:\n/tmp/x.p8";
  const struct {
    InPlaceResult in_place;
    std::string expected;
  } cases[] = {
      {InPlaceResult::kNone, message},
      {InPlaceResult::kIntact, message + "\nThe file is intact."},
      {InPlaceResult::kDamaged, message + "\nThe file may be damaged."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithWriteNote(message, {.ok = false, .in_place = c.in_place}), c.expected);
  }
}

}  // namespace
}  // namespace brasswick
