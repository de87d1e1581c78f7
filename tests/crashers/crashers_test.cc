// Every input that once crashed, hung or misled one of the readers, run forever after
// through that reader and through the command that reads such a file. MANIFEST.tsv
// lists them, one a line:
//   target  file  reader  exit  command...
// target is the fuzz target (and folder) the input belongs to; reader says what the
// reader must do with it ("refuses" or "accepts"); the command's words follow, with
// {} for the input's path and {out} for an output path, and it must end with the exit
// status given and, for a refusal, the command's own message for such a file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_reader.h"
#include "cart/player_script.h"
#include "cart/text_file.h"
#include "cli/cli_api.h"
#include "color/custom_palette.h"
#include "color/palette.h"
#include "commands/number_range.h"
#include "html/html_player.h"
#include "runtime/image/image.h"
#include "runtime/json/json_document.h"
#include "runtime/text/text_search.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

const std::string kCrashers = std::string(BRASSWICK_SOURCE_DIR) + "/tests/crashers";

struct Crasher {
  std::string target;
  std::string file;
  bool accepted = false;
  int exit_code = 0;
  std::vector<std::string> command;
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
  return fields;
}

std::vector<Crasher> ReadManifest() {
  std::vector<Crasher> crashers;
  std::ifstream in(kCrashers + "/MANIFEST.tsv");
  if (!in) ADD_FAILURE() << "cannot read " << kCrashers << "/MANIFEST.tsv";
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() < 5) {
      ADD_FAILURE() << "manifest line without target, file, reader, exit and command: " << line;
      continue;
    }
    Crasher crasher;
    crasher.target = fields[0];
    crasher.file = fields[1];
    crasher.accepted = fields[2] == "accepts";
    crasher.exit_code = std::stoi(fields[3]);
    crasher.command.assign(fields.begin() + 4, fields.end());
    crashers.push_back(crasher);
  }
  return crashers;
}

// What the target's reader makes of the file: true when it accepts it.
bool ReaderAccepts(const std::string& target, const std::string& path) {
  const std::string bytes = ReadTestFile(path);
  if (target == "json_parser") return ParseJsonText(bytes, kJsonNoCase) != nullptr;
  if (target == "cli_config") {
    const bool loaded =
        CliInitFromBuffer(reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<int64_t>(bytes.size()), CliEncoding::kAutomatic, false);
    CliReset();
    return loaded;
  }
  if (target == "p8_document") return LoadCartDocument(path).has_value();
  if (target == "cart_file") return ReadCartFile(path).has_value();
  if (target == "png_image" || target == "jpeg_image" || target == "bmp_image") {
    return LoadImageFile(path) != nullptr;
  }
  if (target == "cart_payload") {
    ImagePtr cart = LoadCartImage(path);
    return cart != nullptr && DecodeCartPixels(*cart).has_value();
  }
  if (target == "cart_data_list") {
    const std::optional<std::string_view> list =
        FindTextBetween(bytes, kCartDataStart, kCartDataEnd);
    return list.has_value() && ParseCartData(*list).size() == kCartPayloadSize;
  }
  if (target == "html_player") return LoadHtmlPlayer(path) != nullptr;
  if (target == "number_range") {
    std::vector<int64_t> list;
    return ParseNumberRange(bytes, list, kRangeRemoveDuplicates | kRangeSortAscending,
                            std::numeric_limits<int64_t>::min(),
                            std::numeric_limits<int64_t>::max()) > 0;
  }
  if (target == "color_text") {
    InitPalettes();
    return FillCustomPalette(bytes);
  }
  ADD_FAILURE() << "no reader for target " << target;
  return false;
}

std::string Substitute(std::string word, const std::string& input, const std::string& output) {
  for (size_t at; (at = word.find("{out}")) != std::string::npos;) word.replace(at, 5, output);
  for (size_t at; (at = word.find("{}")) != std::string::npos;) word.replace(at, 2, input);
  return word;
}

// The message a command prints when it refuses a file of the target's kind.
std::string RefusalMessage(const std::string& target, const std::string& path) {
  if (target == "p8_document") return "Failed to load p8 file:\n" + path;
  if (target == "png_image" || target == "jpeg_image" || target == "bmp_image" ||
      target == "cart_payload") {
    return "Failed to load image file:\n" + path;
  }
  if (target == "cart_data_list") return "File contains no cart data:\n" + path;
  if (target == "html_player") return "Failed to load HTML file:\n" + path;
  if (target == "number_range") return "Sprite index error: ";
  if (target == "color_text") return "Too many colors specified (max 16)";
  return "";
}

TEST(Crashers, EachIsRefusedCleanlyByItsReaderAndItsCommand) {
  for (const Crasher& crasher : ReadManifest()) {
    SCOPED_TRACE(crasher.target + "/" + crasher.file);
    TempDir dir;
    const std::string input = dir.File(crasher.file);
    WriteTestFile(input, ReadTestFile(kCrashers + "/" + crasher.target + "/" + crasher.file));
    EXPECT_EQ(ReaderAccepts(crasher.target, input), crasher.accepted);

    std::vector<std::string> args;
    for (const std::string& word : crasher.command) {
      args.push_back(Substitute(word, input, dir.File("out.png")));
    }
    const testing::ProcessResult result = RunBrasswick(args);
    EXPECT_EQ(result.exit_code, crasher.exit_code) << result.err;
    if (!crasher.accepted) {
      const std::string message = RefusalMessage(crasher.target, input);
      EXPECT_NE(result.err.find(message), std::string::npos)
          << "expected \"" << message << "\" in:\n"
          << result.err;
    }
  }
}

// An input kept here without a manifest line would never be run again, and a line
// without its input would run nothing.
TEST(Crashers, ManifestListsExactlyTheInputsKept) {
  std::set<std::string> listed;
  for (const Crasher& crasher : ReadManifest()) {
    EXPECT_TRUE(listed.insert(crasher.target + "/" + crasher.file).second)
        << "listed twice: " << crasher.target << "/" << crasher.file;
  }
  std::set<std::string> kept;
  for (const auto& folder : std::filesystem::directory_iterator(kCrashers)) {
    if (!folder.is_directory()) continue;
    for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
      kept.insert(folder.path().filename().string() + "/" + file.path().filename().string());
    }
  }
  EXPECT_EQ(listed, kept);
}

}  // namespace
}  // namespace brasswick
