// Saves that fail, for every command that writes: an output that runs into the file-size
// limit, a destination folder the user may not write, a destination that is a folder,
// and a destination folder that does not exist. Each must fail with the command's own
// save message, leave every file that was there byte for byte as it was (the input too,
// where the command overwrites it) and leave no temporary or other new name behind.
#include <png.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/cart_picture.h"
#include "e2e/png_writer.h"
#include "gtest/gtest.h"
#include "player_page.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;
using testing::WriteTestFile;

// Far below every output (checked by the run without a fault) and far above the error
// message, which the limit binds too.
constexpr unsigned long long kSizeLimit = 1024;

// kShellSizeLimit is the limit as a plain "ulimit -f" leaves it, with SIGXFSZ not
// ignored: the program itself must keep the signal from killing it mid-write.
enum class Fault {
  kNone,
  kSizeLimit,
  kReadOnlyFolder,
  kFolderTarget,
  kMissingFolder,
  kShellSizeLimit,
  // A writable input in a folder the user may not write: rewritten in place, into the
  // size limit. The old bytes go back, and the message says so.
  kInPlaceSizeLimit
};
const char* FaultName(Fault fault) {
  static constexpr const char* kNames[] = {
      "no fault",       "size limit",       "read-only folder",   "destination is a folder",
      "missing folder", "shell size limit", "in place size limit"};
  return kNames[static_cast<int>(fault)];
}

// The input files by name, made once: a .p8 with every picture section filled, a
// .p8.png with a payload, a player page with a 128-pixel label, a player script and a
// picture of random colours.
const std::map<std::string, std::string>& InputFiles() {
  static const std::map<std::string, std::string> files = [] {
    std::map<std::string, std::string> made;
    TempDir scratch;
    testing::CartPictures pictures;
    pictures.Randomize(5);
    made["game.p8"] = pictures.ToP8();

    testing::CartPicture cart = testing::CartPicture::Template();
    cart.WritePayload(testing::RandomPayload(6));
    EXPECT_TRUE(cart.Save(scratch.File("cart.png")));
    made["game.p8.png"] = ReadTestFile(scratch.File("cart.png"));

    std::mt19937 random(7);
    testing::TestPng png{64, 64, 8, PNG_COLOR_TYPE_RGB, {}, {}, {}, {}};
    for (int y = 0; y < 64; ++y) {
      png.rows.emplace_back();
      for (int i = 0; i < 64 * 3; ++i) png.rows.back().push_back(static_cast<uint8_t>(random()));
    }
    EXPECT_TRUE(testing::WriteTestPng(scratch.File("pic.png"), png));
    made["pic.png"] = ReadTestFile(scratch.File("pic.png"));

    ImagePtr label = LoadImageFile(scratch.File("cart.png"));
    ImagePtr square = label ? CopyImageRegion(*label, 16, 24, 128, 128) : nullptr;
    std::optional<std::vector<uint8_t>> encoded =
        square ? EncodeImageToMemory(*square, ImageFormat::kPng) : std::nullopt;
    EXPECT_TRUE(encoded);
    made["game.html"] = testing::PlayerPageText(
        {{"png", testing::TestBase64(encoded.value_or(std::vector<uint8_t>{}))}});

    std::string list;
    for (int i = 0; i < 2000; ++i) list += (i ? "," : "") + std::to_string(random() % 256);
    made["game.js"] = testing::PlayerScriptText(list);
    return made;
  }();
  return files;
}

// What a failed run must give: the exit code, and the message up to the path.
struct Expected {
  int code;
  std::string head;
};
const Expected kImage{131, "Failed to save image file:\n"};
const Expected kP8{141, "Failed to save p8 file:\n"};
const Expected kHtml{142, "Failed to save HTML file:\n"};
const Expected kCopy{141, "Failed to save destination file:\n"};

// In the arguments "IN" stands for the input's path, "PIC" for the picture's, and
// "DIR/" for the destination's folder.
struct Case {
  const char* name;
  Expected failure;
  std::string input;
  std::string destination;  // the (first) file written; empty: the input is overwritten
  std::vector<std::string> args;
  // The export commands write their own name into a folder named as the output, so for
  // them a folder in the way is one of that name inside it.
  std::string inside = "";
  std::map<Fault, Expected> differently = {};  // faults reported otherwise
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      Case("map", kImage, "game.p8", "out.png", {"map", "IN", "DIR/out.png"}, "game.map.png"),
      Case("sheet", kImage, "game.p8", "out.png", {"sheet", "IN", "DIR/out.png"},
           "game.spritesheet.png"),
      // Three sprites; the first file is the one that fails, so nothing is written.
      Case("sprites", kImage, "game.p8", "s01.bmp",
           {"sprites", "IN", "DIR/s%d.bmp", "--numbers", "1-3", "--scale", "4"}),
      Case("label", kImage, "game.p8", "out.png", {"label", "IN", "DIR/out.png"}, "game.label.png"),
      Case("colorimage", kImage, "pic.png", "out.png", {"colorimage", "IN", "DIR/out.png"}),
      Case("colorimage in place", kImage, "pic.png", "", {"colorimage", "IN"}),
      // A folder as the destination is refused before anything is read.
      Case("copy, changed", kCopy, "game.p8", "out.p8",
           {"copy", "IN", "DIR/out.p8", "--yes", "--clear", "map"}, "",
           {{Fault::kFolderTarget, {46, "'destFile' exists as a directory: "}}}),
      Case("copy, unchanged", {144, "Failed to copy file to:\n"}, "game.p8", "out.p8",
           {"copy", "IN", "DIR/out.p8", "--yes"}, "",
           {{Fault::kFolderTarget, {46, "'destFile' exists as a directory: "}}}),
      Case("copy in place", kCopy, "game.p8", "", {"copy", "IN", "-", "--yes", "--clear", "map"}),
      Case("setlabel .p8", kP8, "game.p8", "out.p8", {"setlabel", "IN", "PIC", "DIR/out.p8"}),
      Case("setlabel .p8 in place", kP8, "game.p8", "", {"setlabel", "IN", "PIC"}),
      Case("setlabel .p8.png", kImage, "game.p8.png", "out.p8.png",
           {"setlabel", "IN", "PIC", "DIR/out.p8.png"}),
      Case("setlabel .p8.png in place", kImage, "game.p8.png", "", {"setlabel", "IN", "PIC"}),
      Case("setlabel page", kHtml, "game.html", "out.html",
           {"setlabel", "IN", "PIC", "DIR/out.html"}),
      Case("setlabel page in place", kHtml, "game.html", "", {"setlabel", "IN", "PIC"}),
      Case("settitle", kImage, "game.p8.png", "out.p8.png",
           {"settitle", "IN", "DIR/out.p8.png", "--title", "faults"}),
      Case("settitle in place", kImage, "game.p8.png", "", {"settitle", "IN", "--title", "faults"}),
      Case("sethtml", kHtml, "game.html", "out.html",
           {"sethtml", "IN", "DIR/out.html", "--background", "red"}),
      Case("sethtml in place", kHtml, "game.html", "", {"sethtml", "IN", "--background", "red"}),
      Case("extractjsrom .p8.png", kImage, "game.js", "out.p8.png",
           {"extractjsrom", "IN", "DIR/out.p8.png"}),
      // The ROM file is created first and written after, so a write past the limit
      // fails once the file exists.
      Case("extractjsrom ROM", {151, "Failed to save ROM file:\n"}, "game.js", "out.rom",
           {"extractjsrom", "IN", "DIR/out.rom"}, "",
           {{Fault::kSizeLimit, {151, "Failed to write to ROM file:\n"}}}),
  };
  return cases;
}

// Every file and folder below the folder by its relative path, with the file's bytes
// ("/" for a folder).
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    const std::string path = entry.path().string();
    files[path.substr(folder.size())] = entry.is_directory() ? "/" : ReadTestFile(path);
  }
  return files;
}

// The names that appeared, went or changed between two snapshots; empty when none.
std::string Changes(const std::map<std::string, std::string>& before,
                    const std::map<std::string, std::string>& after) {
  std::string changes;
  for (const auto& [name, bytes] : before) {
    const auto now = after.find(name);
    if (now == after.end()) {
      changes += " gone:" + name;
    } else if (now->second != bytes) {
      changes += " changed:" + name;
    }
  }
  for (const auto& [name, bytes] : after) {
    if (!before.count(name)) changes += " new:" + name;
  }
  return changes;
}

class WriteFaults : public ::testing::TestWithParam<Fault> {
 protected:
  // Runs the case under the fault in a fresh folder and checks what it left.
  void Check(const Case& c, Fault run_fault) {
    const std::string context = std::string(c.name) + ", " + FaultName(run_fault);
    // Both size limits must end the same way.
    const Fault fault = run_fault == Fault::kShellSizeLimit ? Fault::kSizeLimit : run_fault;
    const bool in_place = c.destination.empty();
    // An input is neither a folder nor in a missing one.
    if (in_place && (fault == Fault::kFolderTarget || fault == Fault::kMissingFolder)) return;
    if (!in_place && fault == Fault::kInPlaceSizeLimit) return;
    TempDir dir;
    const std::string root = std::filesystem::canonical(dir.path()).string();
    for (const std::string& name : {c.input, std::string("pic.png")}) {
      WriteTestFile(root + "/" + name, InputFiles().at(name));
    }
    const std::string folder = fault == Fault::kMissingFolder ? root + "/missing" : root;
    const std::string destination = in_place ? root + "/" + c.input : folder + "/" + c.destination;
    if (fault == Fault::kSizeLimit && !in_place) WriteTestFile(destination, "the old output\n");
    // The file the command ends up writing.
    const std::string written = fault == Fault::kFolderTarget && !c.inside.empty()
                                    ? destination + "/" + c.inside
                                    : destination;
    if (fault == Fault::kFolderTarget) {
      ASSERT_TRUE(std::filesystem::create_directories(written));
    }

    RunOptions options;
    options.working_folder = root;
    if (fault == Fault::kSizeLimit || fault == Fault::kInPlaceSizeLimit) {
      options.file_size_limit = kSizeLimit;
    }
    options.ignore_file_size_signal = run_fault != Fault::kShellSizeLimit;
    if (fault == Fault::kReadOnlyFolder) {
      // The user may read everything and write nothing: an input they could write would
      // be rewritten in place, which a read-only folder allows.
      options.unprivileged = true;
      ASSERT_EQ(chmod((root + "/" + c.input).c_str(), 0444), 0);
      ASSERT_EQ(chmod(root.c_str(), 0555), 0);
    }
    if (fault == Fault::kInPlaceSizeLimit) {
      options.unprivileged = true;
      ASSERT_EQ(chmod((root + "/" + c.input).c_str(), 0666), 0);
      ASSERT_EQ(chmod(root.c_str(), 0555), 0);
    }
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
      args.push_back(arg == "IN"                 ? root + "/" + c.input
                     : arg == "PIC"              ? root + "/pic.png"
                     : arg.rfind("DIR/", 0) == 0 ? folder + arg.substr(3)
                                                 : arg);
    }
    const std::map<std::string, std::string> before = Snapshot(root);
    const ProcessResult result = RunBrasswick(args, options);
    ASSERT_EQ(chmod(root.c_str(), 0700), 0);

    // Without a fault the save succeeds, and its output is larger than the size limit,
    // so that the limit falls on the output and nothing before it.
    if (fault == Fault::kNone) {
      EXPECT_EQ(result.exit_code, 0) << context << ": " << result.err;
      EXPECT_EQ(result.out + result.err, "") << context;
      EXPECT_GT(std::filesystem::file_size(destination), kSizeLimit) << context;
      return;
    }
    const auto other = c.differently.find(fault);
    const Expected& expected = other == c.differently.end() ? c.failure : other->second;
    EXPECT_EQ(result.exit_code, expected.code) << context;
    const std::string note = fault == Fault::kInPlaceSizeLimit ? "The file is intact.\n" : "";
    EXPECT_EQ(result.err, expected.head + written + "\n" + note) << context;
    EXPECT_EQ(result.out, "") << context;
    // Nothing new, nothing changed: the input, an old output and a folder in the way.
    EXPECT_EQ(Changes(before, Snapshot(root)), "") << context;
  }
};

TEST_P(WriteFaults, EveryCommandThatWrites) {
  if (GetParam() == Fault::kReadOnlyFolder || GetParam() == Fault::kInPlaceSizeLimit) {
    BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  }
  for (const Case& c : Cases()) Check(c, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Faults, WriteFaults,
                         ::testing::Values(Fault::kNone, Fault::kSizeLimit, Fault::kReadOnlyFolder,
                                           Fault::kFolderTarget, Fault::kMissingFolder,
                                           Fault::kShellSizeLimit, Fault::kInPlaceSizeLimit),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           std::string name;
                           for (const char ch : std::string(FaultName(info.param)))
                             if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                           return name;
                         });

}  // namespace
}  // namespace brasswick
