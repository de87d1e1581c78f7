// The copy command as a user runs it: destinations, deleted and cleared sections, byte
// exact copies, the overwrite question and failed saves.
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;
using testing::WriteTestFile;

std::string Join(const std::vector<std::string>& lines, const std::string& newline) {
  std::string text;
  for (const auto& line : lines) text += line + newline;
  return text;
}

const std::vector<std::string> kHeader = {"pico-8 cartridge // http://www.pico-8.com",
                                          "version 41"};
const std::vector<std::string> kLua = {"__lua__", "print(\"hi\")", "-- end"};
const std::vector<std::string> kGfx = {"__gfx__", "00112233", "44556677"};
const std::vector<std::string> kMap = {"__map__", "0102", "0304"};
const std::vector<std::string> kSfx = {"__sfx__", "010203", "040506"};

std::vector<std::string> Concat(const std::vector<std::vector<std::string>>& parts) {
  std::vector<std::string> lines;
  for (const auto& part : parts) lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

const std::string kCart = Join(Concat({kHeader, kLua, kGfx, kMap, kSfx}), "\n");

struct FileIdentity {
  ino_t inode;
  int64_t modified_ns;
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity Identity(const std::string& path) {
  struct stat info = {};
  stat(path.c_str(), &info);
  return {info.st_ino,
          static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class CopyCommand : public ::testing::Test {
 protected:
  CopyCommand() : root_(std::filesystem::canonical(dir_.path()).string()) {}

  ProcessResult Run(const std::vector<std::string>& words) {
    std::vector<std::string> args = {"copy"};
    args.insert(args.end(), words.begin(), words.end());
    RunOptions options;
    options.working_folder = root_;
    return RunBrasswick(args, options);
  }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }

  TempDir dir_;
  std::string root_;  // the folder as the program sees its working folder
};

TEST_F(CopyCommand, DashIsTheSourceItselfAndUnchangedWritesNothing) {
  WriteTestFile(Path("game.p8"), kCart);
  FileIdentity before = Identity(Path("game.p8"));
  ProcessResult result = Run({"game.p8", "-", "--yes", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "brasswick 1.1\n\nLoading p8 file...\nSaving p8 file...\nSaved: " +
                            Path("game.p8") + "\n");
  EXPECT_EQ(ReadTestFile(Path("game.p8")), kCart);
  EXPECT_EQ(Identity(Path("game.p8")), before);
  EXPECT_EQ(FilesIn(root_), (std::set<std::string>{"game.p8"}));
}

TEST_F(CopyCommand, DashWithAClearingRewritesTheSourceInPlace) {
  const std::string crlf_cart = Join(Concat({kHeader, kLua, kSfx, kMap}), "\r\n");
  WriteTestFile(Path("game.p8"), crlf_cart);
  ProcessResult result = Run({"game.p8", "-", "--clear", "sfx", "--yes"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ReadTestFile(Path("game.p8")),
            Join(Concat({kHeader, kLua, {"__sfx__"}, kMap}), "\r\n"));
}

TEST_F(CopyCommand, WithoutConfirmationTheSourceIsNotOverwritten) {
  WriteTestFile(Path("game.p8"), kCart);
  ProcessResult result = Run({"game.p8", "-", "--clear", "sfx"});
  EXPECT_EQ(result.exit_code, 61);
  EXPECT_EQ(result.out, "File already exists: " + Path("game.p8") +
                            "\nOverwrite?  (Y = yes, N = no, L = locate file)\n");
  EXPECT_EQ(result.err, "File overwrite canceled by user\n");
  EXPECT_EQ(ReadTestFile(Path("game.p8")), kCart);
}

TEST_F(CopyCommand, ARefusedOverwriteLeavesTheDestinationAlone) {
  WriteTestFile(Path("game.p8"), kCart);
  WriteTestFile(Path("old.p8"), "keep me\n");
  FileIdentity before = Identity(Path("old.p8"));
  ProcessResult result = Run({"game.p8", "old.p8"});
  EXPECT_EQ(result.exit_code, 61);
  // The question names the path as typed; the check runs before any resolving.
  EXPECT_EQ(result.out,
            "File already exists: old.p8\nOverwrite?  (Y = yes, N = no, L = locate file)\n");
  EXPECT_EQ(ReadTestFile(Path("old.p8")), "keep me\n");
  EXPECT_EQ(Identity(Path("old.p8")), before);

  // --yes and --silent both answer the question in advance.
  result = Run({"game.p8", "old.p8", "--yes"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ReadTestFile(Path("old.p8")), kCart);

  WriteTestFile(Path("old.p8"), "keep me\n");
  result = Run({"game.p8", "old.p8", "--silent"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadTestFile(Path("old.p8")), kCart);
}

TEST_F(CopyCommand, DestinationsAreRelativeToTheSourceFolder) {
  std::filesystem::create_directory(Path("dir"));
  std::filesystem::create_directory(Path("cwd"));
  WriteTestFile(Path("dir/game.p8"), kCart);
  RunOptions options;
  options.working_folder = Path("cwd");
  ProcessResult result = RunBrasswick({"copy", "../dir/game.p8", "out", "--verbose"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // ".." is kept as typed; the file is the same.
  EXPECT_NE(result.out.find("Saved: " + Path("cwd/../dir/out.p8") + "\n"), std::string::npos)
      << result.out;
  EXPECT_EQ(ReadTestFile(Path("dir/out.p8")), kCart);
  EXPECT_TRUE(FilesIn(Path("cwd")).empty());

  // Only the file name's own extension counts.
  std::filesystem::create_directory(Path("dir/v1.2"));
  result = RunBrasswick({"copy", "../dir/game.p8", "v1.2/out"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("dir/v1.2/out.p8")), kCart);

  // A name with an extension is kept as it is.
  result = RunBrasswick({"copy", "../dir/game.p8", "sub.txt"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("dir/sub.txt")), kCart);
  EXPECT_EQ(FilesIn(Path("dir")), (std::set<std::string>{"game.p8", "out.p8", "sub.txt", "v1.2"}));
}

TEST_F(CopyCommand, AnEmptyDestinationWritesACopyBesideTheSource) {
  WriteTestFile(Path("game.p8"), kCart);
  ProcessResult result = Run({"game.p8", ""});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("game.copy.p8")), kCart);
  // A source without extension gets ".copy" at the end.
  WriteTestFile(Path("game"), kCart);
  EXPECT_EQ(Run({"game", ""}).exit_code, 0);
  EXPECT_EQ(ReadTestFile(Path("game.copy")), kCart);
  // An existing copy is overwritten only when confirmed.
  ProcessResult again = Run({"game.p8", ""});
  EXPECT_EQ(again.exit_code, 61);
  EXPECT_EQ(again.out, "File already exists: " + Path("game.copy.p8") +
                           "\nOverwrite?  (Y = yes, N = no, L = locate file)\n");
}

TEST_F(CopyCommand, DeletingTheMapSectionByAnyOfItsNames) {
  WriteTestFile(Path("game.p8"), kCart);
  const std::string expected = Join(Concat({kHeader, kLua, kGfx, kSfx}), "\n");
  for (const char* name : {"__map__", "map", "MAP", "_map"}) {
    std::filesystem::remove(Path("out.p8"));
    ProcessResult result = Run({"game.p8", "out.p8", "--delete", name});
    EXPECT_EQ(result.exit_code, 0) << name << result.err;
    EXPECT_EQ(ReadTestFile(Path("out.p8")), expected) << name;
  }
  EXPECT_EQ(ReadTestFile(Path("game.p8")), kCart);
}

TEST_F(CopyCommand, SeveralDeletionsAndClearings) {
  WriteTestFile(Path("game.p8"), kCart);
  ProcessResult result = Run({"game.p8", "out.p8", "--clear", "gfx", "--delete", "lua", "--clear",
                              "sfx", "--delete", "map"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("out.p8")), Join(Concat({kHeader, {"__gfx__"}, {"__sfx__"}}), "\n"));
}

TEST_F(CopyCommand, DeletionsRunBeforeClearings) {
  WriteTestFile(Path("game.p8"), kCart);
  ProcessResult result =
      Run({"game.p8", "out.p8", "--clear", "map", "--delete", "map", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "brasswick 1.1\n\nLoading p8 file...\nDeleting section 'map'...\n"
            "Clearing section 'map'...\nSaving p8 file...\nSaved: " +
                Path("out.p8") + "\n");
  // Cleared first, the marker would have been deleted too; deleted first, clearing the
  // missing section does nothing. Either way no marker is left, and no failure.
  EXPECT_EQ(ReadTestFile(Path("out.p8")), Join(Concat({kHeader, kLua, kGfx, kSfx}), "\n"));
}

TEST_F(CopyCommand, UnderscoresAloneAreIgnoredAndMissingSectionsChangeNothing) {
  // CR LF, text after the last section, no final line break: a byte exact copy keeps all.
  const std::string odd = Join(Concat({kHeader, kLua, kGfx}), "\r\n") + "trailing text";
  WriteTestFile(Path("game.p8"), odd);
  ProcessResult result = Run({"game.p8", "out.p8", "--delete", "___", "--delete", "music",
                              "--clear", "label", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "brasswick 1.1\n\nLoading p8 file...\nDeleting section 'music'...\n"
            "Clearing section 'label'...\nSaving p8 file...\nSaved: " +
                Path("out.p8") + "\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadTestFile(Path("out.p8")), odd);
}

TEST_F(CopyCommand, AnUnchangedCopyIsByteExact) {
  // Line endings mixed after the first 128 characters and a byte-order mark: a save
  // would change them, a copy must not.
  const std::string odd =
      "\xEF\xBB\xBFpico-8 cartridge\nversion 41\n__lua__\r\nx = 1\r\n"
      "\r\n__gfx__\n0011\r0011";
  WriteTestFile(Path("game.p8"), odd);
  ProcessResult result = Run({"game.p8", "copy"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("copy.p8")), odd);
}

TEST_F(CopyCommand, AChangedCopyIsWrittenAnew) {
  const std::vector<std::string> lines = Concat({kHeader, kLua, kSfx, kGfx});
  std::string crlf = Join(lines, "\r\n");
  crlf.resize(crlf.size() - 2);  // no final line break
  WriteTestFile(Path("game.p8"), crlf);
  ProcessResult result = Run({"game.p8", "out.p8", "--clear", "sfx"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // The gfx section is untouched and so keeps its missing final break.
  std::string expected = Join(Concat({kHeader, kLua, {"__sfx__"}, kGfx}), "\r\n");
  expected.resize(expected.size() - 2);
  EXPECT_EQ(ReadTestFile(Path("out.p8")), expected);
  EXPECT_EQ(ReadTestFile(Path("game.p8")), crlf);
}

// Deleting and clearing touch only the named sections: the others keep every byte,
// whatever their line ends, NUL bytes in code strings, bytes that are not UTF-8 or a
// last line without a break.
TEST_F(CopyCommand, SectionsLeftAloneKeepEveryByte) {
  using namespace std::string_literals;
  const std::string head = "pico-8 cartridge // http://www.pico-8.com\nversion 41\r\n";
  const std::string lua = "__lua__\nprint(\"a\0b\")\rx=1\r\n\n-- \xFF\xFE\n"s;
  const std::string gfx = "__gfx__\r0011\r2233\0"s + "4455\n";
  const std::string map = "__map__\n0102\n";
  const std::string sfx = "__sfx__\r\n0102\n0304\r";
  const std::string meta = "__meta:x__\n\n\n";
  const std::string label = "__label__\n0123\n4567";
  WriteTestFile(Path("game.p8"), head + lua + gfx + map + sfx + meta + label);
  ProcessResult result =
      Run({"game.p8", "out.p8", "--clear", "sfx", "--delete", "map", "--delete", "meta:x"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // The cleared marker takes the newline of the file's start (CR LF there).
  EXPECT_EQ(ReadTestFile(Path("out.p8")), head + lua + gfx + "__sfx__\r\n" + label);

  // A cleared last section whose marker ends the file.
  WriteTestFile(Path("game.p8"), head + lua + "__sfx__");
  result = Run({"game.p8", "out.p8", "--clear", "sfx", "--yes"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("out.p8")), head + lua + "__sfx__\r\n");
}

TEST_F(CopyCommand, CopyingOntoItselfUnderAnotherSpellingKeepsTheContent) {
  std::filesystem::create_directory(Path("dir"));
  WriteTestFile(Path("dir/game.p8"), kCart);
  RunOptions options;
  options.working_folder = Path("dir");
  ProcessResult result = RunBrasswick({"copy", "game.p8", "../dir/game.p8", "--yes"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(Path("dir/game.p8")), kCart);
  EXPECT_EQ(FilesIn(Path("dir")), (std::set<std::string>{"game.p8"}));
}

TEST_F(CopyCommand, FailedSavesLeaveEverythingAsItWas) {
  WriteTestFile(Path("game.p8"), kCart);
  ProcessResult result = Run({"game.p8", "missing/out.p8"});
  EXPECT_EQ(result.exit_code, 144);
  EXPECT_EQ(result.err, "Failed to copy file to:\n" + Path("missing/out.p8") + "\n");

  result = Run({"game.p8", "missing/out.p8", "--delete", "map", "--verbose"});
  EXPECT_EQ(result.exit_code, 141);
  EXPECT_EQ(result.err, "Failed to save destination file:\n" + Path("missing/out.p8") + "\n");
  EXPECT_EQ(result.out.find("Saved:"), std::string::npos);

  EXPECT_EQ(FilesIn(root_), (std::set<std::string>{"game.p8"}));
  EXPECT_EQ(ReadTestFile(Path("game.p8")), kCart);
}

TEST_F(CopyCommand, TheSourceMustBeACartridge) {
  WriteTestFile(Path("notes.p8"), "PICO-8 CARTRIDGE\n__lua__\n");
  ProcessResult result = Run({"notes.p8", "out.p8", "--delete", "lua"});
  EXPECT_EQ(result.exit_code, 129);
  EXPECT_EQ(result.err, "Failed to load p8 file:\n" + Path("notes.p8") + "\n");
  EXPECT_FALSE(PathExists(Path("out.p8")));
}

}  // namespace
}  // namespace brasswick
