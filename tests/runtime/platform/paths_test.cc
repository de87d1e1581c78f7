#include "runtime/platform/paths.h"

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

// Sets HOME for one test and puts the old value back.
class HomeOverride {
 public:
  explicit HomeOverride(const char* value) {
    if (const char* old = getenv("HOME")) old_ = old;
    if (value) {
      setenv("HOME", value, 1);
    } else {
      unsetenv("HOME");
    }
  }
  ~HomeOverride() {
    if (old_) {
      setenv("HOME", old_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }

 private:
  std::optional<std::string> old_;
};

std::string Cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? std::string(buffer) + "/" : std::string();
}

TEST(ResolvePath, HomeFolder) {
  HomeOverride home("/home/tester");
  EXPECT_EQ(ResolvePath("~"), "/home/tester/");
  EXPECT_EQ(ResolvePath("~/x.png"), "/home/tester/x.png");
  EXPECT_EQ(ResolvePath("~/x.png", "/elsewhere"), "/home/tester/x.png");
  EXPECT_EQ(ResolvePath("~other/x"), "~other/x");
  HomeOverride slashed("/home/tester/");
  EXPECT_EQ(ResolvePath("~/a"), "/home/tester/a");
}

TEST(ResolvePath, RelativeAbsoluteAndDotSegments) {
  EXPECT_EQ(ResolvePath(""), "");
  EXPECT_EQ(ResolvePath("/abs/x.p8", "/base"), "/abs/x.p8");
  EXPECT_EQ(ResolvePath("x.png", "/data/carts"), "/data/carts/x.png");
  EXPECT_EQ(ResolvePath("sub/x.png", "/data/carts///"), "/data/carts/sub/x.png");
  EXPECT_EQ(ResolvePath("x.png"), Cwd() + "x.png");
  EXPECT_EQ(ResolvePath("./a/././b/../c", "/r"), "/r/a/b/../c");
  EXPECT_EQ(ResolvePath("/x/./y"), "/x/y");
}

TEST(PathParts, DirectoryFormAndExtensions) {
  EXPECT_EQ(DirectoryForm(""), "");
  EXPECT_EQ(DirectoryForm("/a/b"), "/a/b/");
  EXPECT_EQ(DirectoryForm("/a/b///"), "/a/b/");
  EXPECT_EQ(DirectoryForm("/"), "/");

  EXPECT_EQ(DottedExtension("/a/game.p8"), ".p8");
  EXPECT_EQ(DottedExtension("/a.b/game"), "");
  EXPECT_EQ(DottedExtension("x.p8.png"), ".png");
  EXPECT_EQ(InsertBeforeExtension("/work/game.p8", ".copy"), "/work/game.copy.p8");
  EXPECT_EQ(InsertBeforeExtension("/work/game", ".copy"), "/work/game.copy");
  EXPECT_EQ(InsertBeforeExtension("sprite.png", ".%d"), "sprite.%d.png");
  EXPECT_EQ(InsertBeforeExtension("/v.1/sprite", ".%d"), "/v.1/sprite.%d");
  EXPECT_EQ(InsertBeforeExtension("", ".copy"), "");
}

TEST(DefaultOutputPath, NamesNextToTheCartridge) {
  const std::string input = "/data/carts/game.p8";
  EXPECT_EQ(DefaultOutputPath(input, "", ".map.png", true), "/data/carts/game.map.png");
  EXPECT_EQ(DefaultOutputPath(input, "out", ".map.png", true), "/data/carts/out.png");
  EXPECT_EQ(DefaultOutputPath(input, "out", ".sprite.%d.png", false), "/data/carts/out");
  EXPECT_EQ(DefaultOutputPath(input, "out.gif", ".map.png", true), "/data/carts/out.gif");
  EXPECT_EQ(DefaultOutputPath(input, "sub/x.png", ".map.png", true), "/data/carts/sub/x.png");
  EXPECT_EQ(DefaultOutputPath(input, "/abs/y", ".label.png", true), "/abs/y.png");
  EXPECT_EQ(DefaultOutputPath("/data/carts/game", "", ".label.png", true),
            "/data/carts/game.label.png");
  HomeOverride home("/home/tester");
  EXPECT_EQ(DefaultOutputPath(input, "~/x.png", ".map.png", true), "/home/tester/x.png");
}

TEST(DefaultOutputPath, ExistingFolderReceivesTheDefaultName) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.File("exports").c_str(), 0755), 0);
  const std::string input = "/data/carts/game.p8";
  EXPECT_EQ(DefaultOutputPath(input, dir.File("exports"), ".map.png", true),
            dir.File("exports") + "/game.map.png");
  EXPECT_EQ(DefaultOutputPath(input, dir.File("exports") + "//", ".map.png", true),
            dir.File("exports") + "/game.map.png");

  // A relative folder name is looked up in the current folder.
  const std::string previous = Cwd();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const std::string here = Cwd();
  std::string relative = DefaultOutputPath(input, "exports", ".spritesheet.png", true);
  ASSERT_EQ(chdir(previous.c_str()), 0);
  EXPECT_EQ(relative, here + "exports/game.spritesheet.png");
}

TEST(PathParts, ReplaceExtension) {
  EXPECT_EQ(ReplaceExtension("/a/b.c.html", "js"), "/a/b.c.js");
  EXPECT_EQ(ReplaceExtension("/a/game", "js"), "/a/game.js");
  EXPECT_EQ(ReplaceExtension("/a.b/game", "js"), "/a.b/game.js");
  EXPECT_EQ(ReplaceExtension("game.p8", ""), "game");
  EXPECT_EQ(ReplaceExtension("", "js"), "");
}

}  // namespace
}  // namespace brasswick
