// Saving to files: the depth check, formats without encoder, and failed writes that
// must leave an existing file as it was.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "faulty_files.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::FolderNames;
using testing::ReadTestFile;
using testing::TempDir;
using testing::WriteTestFile;

TEST(ImageSave, WritesEachFormatAndLoadsItBack) {
  TempDir dir;
  ImagePtr image = CreateImage(6, 4, 32);
  for (auto [format, name] :
       {std::pair{ImageFormat::kPng, "a.png"}, std::pair{ImageFormat::kJpeg, "a.jpg"},
        std::pair{ImageFormat::kBmp, "a.bmp"}}) {
    ASSERT_TRUE(SaveImageFile(*image, dir.File(name), format, 9)) << name;
    ImagePtr back = LoadImageFile(dir.File(name));
    ASSERT_TRUE(back) << name;
    EXPECT_EQ(back->width(), 6);
    EXPECT_EQ(back->height(), 4);
  }
  EXPECT_FALSE(LoadImageFile(dir.File("missing.png")));
  EXPECT_FALSE(LoadImageFile(dir.path()));
}

TEST(ImageSave, LoadingReadsOnlyARegularFileOfAPictureFilesSize) {
  TempDir dir;
  ImagePtr image = CreateImage(6, 4, 24);
  std::optional<std::vector<uint8_t>> png = EncodeImageToMemory(*image, ImageFormat::kPng);
  ASSERT_TRUE(png);
  // The decoder stops at the end of the picture, so only the size tells these apart.
  const std::string path = dir.File("padded.png");
  WriteTestFile(path, std::string(png->begin(), png->end()));
  ASSERT_EQ(truncate(path.c_str(), 4096), 0);
  EXPECT_TRUE(LoadImageFile(path));
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kMaxPictureFileSize + 1)), 0);
  EXPECT_FALSE(LoadImageFile(path));

  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  const int status = testing::RunInChild([&] {
    alarm(20);  // a load that waits for a writer dies of it
    return LoadImageFile(dir.File("pipe")) ? 1 : 0;
  });
  EXPECT_EQ(testing::ChildExitCode(status), 0) << status;
}

TEST(ImageSave, RefusesDepthsOutsideTheSetAndJpeg2000) {
  ImagePtr image = CreateImage(2, 2, 32);
  for (int depth : {3, 5, 12, 33, -1}) {
    EXPECT_FALSE(EncodeImageToMemory(*image, ImageFormat::kPng, 7, depth)) << depth;
  }
  image->set_source_depth(7);  // the default depth is checked too
  EXPECT_FALSE(EncodeImageToMemory(*image, ImageFormat::kPng));
  image->set_source_depth(32);
  EXPECT_FALSE(EncodeImageToMemory(*image, ImageFormat::kJpeg2000));
  TempDir dir;
  EXPECT_FALSE(SaveImageFile(*image, dir.File("x.jpg2"), ImageFormat::kJpeg2000));
  EXPECT_TRUE(FolderNames(dir.path()).empty());
}

TEST(ImageSave, MissingFolderFailsAndWritesNothing) {
  TempDir dir;
  ImagePtr image = CreateImage(2, 2, 32);
  EXPECT_FALSE(SaveImageFile(*image, dir.File("no/such/folder/x.png"), ImageFormat::kPng));
  EXPECT_TRUE(FolderNames(dir.path()).empty());
}

TEST(ImageSave, FailedWriteLeavesTheOldFileAndNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("keep.png");
  const std::string old_content = "old bytes, not an image";
  WriteTestFile(path, old_content);
  ImagePtr image = CreateImage(8, 8, 32);
  testing::FaultyFiles files;
  files.flush_fails = true;
  const bool saved = SaveImageFile(*image, path, ImageFormat::kPng, kDefaultQuality, 0, files).ok;
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadTestFile(path), old_content);
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"keep.png"});

  // An encoder failure (no 16-bit BMP) leaves it too.
  EXPECT_FALSE(SaveImageFile(*image, path, ImageFormat::kBmp, 7, 16));
  EXPECT_EQ(ReadTestFile(path), old_content);
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"keep.png"});
}

TEST(ImageSave, AlphaIsKeptOnlyAtDepth32) {
  ImagePtr image = CreateImage(1, 1, 32);
  image->Row(0)[3] = 0;
  std::optional<std::vector<uint8_t>> png = EncodeImageToMemory(*image, ImageFormat::kPng);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->at(25), 6);
  ImagePtr back = LoadImageFromMemory(png->data(), png->size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Row(0)[3], 0);
  std::optional<std::vector<uint8_t>> bmp = EncodeImageToMemory(*image, ImageFormat::kBmp, 7, 32);
  ASSERT_TRUE(bmp);
  ImagePtr bmp_back = LoadImageFromMemory(bmp->data(), bmp->size());
  ASSERT_TRUE(bmp_back);
  // All fourth bytes zero: loads as an opaque 24-bit image of the stored colour.
  EXPECT_EQ(bmp_back->depth(), 24);
  std::optional<std::vector<uint8_t>> png16 = EncodeImageToMemory(*image, ImageFormat::kPng, 7, 16);
  ASSERT_TRUE(png16);
  EXPECT_EQ(png16->at(25), 2);
  EXPECT_EQ(png16->at(24), 8);
}

}  // namespace
}  // namespace brasswick
