// A picture that memory cannot hold leaves the image functions as std::bad_alloc, for
// the program's one guard to report, rather than passing for a size out of range.
#include <gtest/gtest.h>

#include "allocation_faults.h"
#include "runtime/image/image.h"

namespace brasswick {
namespace {

TEST(ImageOutOfMemory, CreatingOrCopyingAPictureThrows) {
  ImagePtr image = CreateImage(256, 256, 32);
  ASSERT_TRUE(image);
  // 256 KiB of pixels; the limit lies far below.
  constexpr size_t kFailingSize = 64 * 1024;
  EXPECT_TRUE(testing::RunsOutOfMemory(kFailingSize, [] { return CreateImage(256, 256, 24); }));
  EXPECT_TRUE(testing::RunsOutOfMemory(kFailingSize, [&] { return CopyImage(*image); }));
}

}  // namespace
}  // namespace brasswick
