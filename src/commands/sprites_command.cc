// The sprites command: every chosen sprite of the sheet as its own image file.
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "cart/cart_layout.h"
#include "cart/cart_source.h"
#include "cli/cli_api.h"
#include "color/render.h"
#include "commands/cartridge_input.h"
#include "commands/command_arg_names.h"
#include "commands/command_args.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "commands/number_range.h"
#include "commands/palette_options.h"
#include "console/console.h"
#include "runtime/image/image.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

// "%Nd" for N = 5 down to 1 sets the number width and becomes "%d". 0 when absent.
int TakeNumberWidth(std::string& pattern) {
  for (int width = 5; width >= 1; --width) {
    std::string marker = "%" + std::to_string(width) + "d";
    if (pattern.find(marker) == std::string::npos) continue;
    for (size_t at = pattern.find(marker); at != std::string::npos;
         at = pattern.find(marker, at + 2)) {
      pattern.replace(at, marker.size(), "%d");
    }
    return width;
  }
  return 0;
}

int DigitCount(int64_t value) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  int digits = 1;
  while (magnitude >= 10) {
    magnitude /= 10;
    ++digits;
  }
  return digits;
}

// Every "%d" replaced by n, zero-padded to the width. A wider number is written in full
// so that two sprites never share a file name.
std::string SpriteFileName(const std::string& pattern, int64_t n, int width) {
  std::string number = std::to_string(n);
  if (static_cast<int>(number.size()) < width) {
    number.insert(0, static_cast<size_t>(width) - number.size(), '0');
  }
  std::string name;
  size_t from = 0;
  for (size_t at = pattern.find("%d"); at != std::string::npos; at = pattern.find("%d", from)) {
    name.append(pattern, from, at - from);
    name += number;
    from = at + 2;
  }
  name.append(pattern, from, std::string::npos);
  return name;
}

// In all-mode, the highest sprite in the list that is not blank; none when every one is
// blank or the sheet cannot be read, and then nothing is trimmed.
std::optional<int64_t> LastSpriteToExport(const std::optional<ByteBuffer>& sheet) {
  if (!sheet) return std::nullopt;
  const RangeParseState& parsed = LastRangeParse();
  if (parsed.largest < parsed.smallest) return std::nullopt;
  for (int64_t n = parsed.largest;; --n) {
    if (!IsSpriteBlank(*sheet, n)) return n;
    if (n == parsed.smallest) return std::nullopt;
  }
}

}  // namespace

int ExportSpritesRT() {
  PrintBannerIfVerbose();
  std::string input_path = ResolvePath(GetArgValue(arg::kP8File), "");

  std::string range_text = GetArgValue(arg::kNumbers);
  bool all_mode = !IsArgSet(arg::kNumbers) || range_text == "*" || range_text == "-";
  if (all_mode) range_text = IsArgSet(arg::kHalf) ? "0-127" : "0-255";

  std::optional<ExportCartridge> cartridge = LoadExportCartridge(input_path, false);
  if (!cartridge) return 0;
  std::string pattern = DefaultOutputPath(input_path, GetArgValue(arg::kOutputFile),
                                          ".sprite.%d.png", false, cartridge->stem);

  std::vector<int64_t> numbers;
  int64_t parsed =
      ParseNumberRange(range_text, numbers, kRangeRemoveDuplicates | kRangeSortAscending,
                       std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  if (parsed < 1) {
    RecordFailure(kSpriteListInvalid, "Sprite index error: " + LastRangeParse().error);
    return 0;
  }

  int width = TakeNumberWidth(pattern);
  if (parsed >= 2 && pattern.find("%d") == std::string::npos) {
    pattern = InsertBeforeExtension(pattern, ".%d");
  }
  if (width == 0) width = std::max(2, DigitCount(LastRangeParse().largest));

  ApplyPaletteOptions();
  ApplyTransparentOption();
  if (ExitCode() != 0) return 0;

  int64_t scale = GetArgInt(arg::kScale, 0, 0);
  const std::optional<ByteBuffer> sheet = cartridge->source.Sheet(false);
  std::optional<int64_t> last_to_export;
  if (all_mode) last_to_export = LastSpriteToExport(sheet);

  PrintVerbose("Generating sprite images...");
  std::vector<ImagePtr> sprites;
  int sprite_count = sheet ? SliceSprites(*sheet, sprites, scale) : 0;
  if (sprite_count == 0) {
    RecordFailure(kGenerateImageFailed, "Failed to generate sprite images");
    return 0;
  }

  // No sprite may land on the cartridge itself: checked for every name before any
  // file is written.
  for (int64_t n : numbers) {
    if (n < 0 || n >= sprite_count) break;
    if (last_to_export && n > *last_to_export) continue;
    if (!CheckOutputIsNotRead(*cartridge, SpriteFileName(pattern, n, width))) return 0;
  }

  std::string first_file;
  for (int64_t n : numbers) {
    if (n < 0 || n >= sprite_count) {
      RecordFailure(kSpriteOutOfRange,
                    "Out of sprite number range (0-" + std::to_string(sprite_count - 1) + ")");
      break;
    }
    if (last_to_export && n > *last_to_export) continue;
    std::string file_name = SpriteFileName(pattern, n, width);
    PrintVerbose("Saving sprite " + std::to_string(n) + "...");
    if (!SaveOutputImage(*sprites[static_cast<size_t>(n)], file_name)) break;
    if (first_file.empty()) first_file = file_name;
  }
  sprites.clear();
  if (ExitCode() == 0 && !first_file.empty()) {
    RunFinishingActions(first_file, "Opening exported image...", "Locating exported image...");
  }
  return 0;
}

}  // namespace brasswick
