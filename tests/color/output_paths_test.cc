#include "color/output_paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "test_support.h"

namespace brasswick {
namespace {

using testing::TempDir;

TEST(SaveImageByExtension, FormatFollowsTheExtension) {
  EXPECT_EQ(ImageFormatForPath("a/out.png"), ImageFormat::kPng);
  EXPECT_EQ(ImageFormatForPath("out.PNG"), ImageFormat::kPng);
  EXPECT_EQ(ImageFormatForPath("out.jpg"), ImageFormat::kJpeg);
  EXPECT_EQ(ImageFormatForPath("out.JPEG"), ImageFormat::kJpeg);
  EXPECT_EQ(ImageFormatForPath("out.jpg2"), ImageFormat::kJpeg2000);
  EXPECT_EQ(ImageFormatForPath("out.gif"), ImageFormat::kBmp);
  EXPECT_EQ(ImageFormatForPath("out"), ImageFormat::kBmp);
  EXPECT_EQ(ImageFormatForPath("dir.png/out"), ImageFormat::kBmp);
}

TEST(SaveImageByExtension, WritesTheChosenFormat) {
  TempDir dir;
  ImagePtr image = CreateImage(4, 4, 32);
  ASSERT_TRUE(image);
  auto starts_with = [&](const std::string& name, const std::string& magic) {
    std::string bytes = testing::ReadTestFile(dir.File(name));
    return bytes.compare(0, magic.size(), magic) == 0;
  };
  ASSERT_TRUE(SaveImageByExtension(*image, dir.File("out.gif")));
  EXPECT_TRUE(starts_with("out.gif", "BM"));
  ASSERT_TRUE(SaveImageByExtension(*image, dir.File("out.jpg")));
  EXPECT_TRUE(starts_with("out.jpg", "\xFF\xD8"));
  ASSERT_TRUE(SaveImageByExtension(*image, dir.File("out.png")));
  EXPECT_TRUE(starts_with("out.png", "\x89PNG"));
  // PNG header: colour type (byte 25) 6 is RGBA, 3 is a palette picture.
  EXPECT_EQ(testing::ReadTestFile(dir.File("out.png"))[25], 6);
  image->set_source_depth(8);  // as loaded from an 8-bit palette PNG
  ASSERT_TRUE(SaveImageByExtension(*image, dir.File("palette.png")));
  EXPECT_EQ(testing::ReadTestFile(dir.File("palette.png"))[25], 3);
  EXPECT_FALSE(SaveImageByExtension(*image, dir.File("out.jpg2")));
  EXPECT_FALSE(testing::PathExists(dir.File("out.jpg2")));
  EXPECT_FALSE(SaveImageByExtension(*image, dir.File("missing/out.png")));
}

}  // namespace
}  // namespace brasswick
