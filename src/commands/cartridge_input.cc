#include "commands/cartridge_input.h"

#include <memory>
#include <string_view>
#include <utility>

#include "cart/cart_image.h"
#include "cart/cart_reader.h"
#include "cart/player_script.h"
#include "cart/text_file.h"
#include "color/label_colors.h"
#include "color/output_paths.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "console/console.h"
#include "html/html_player.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"

namespace brasswick {
namespace {

constexpr std::string_view kPictureExtension = ".p8.png";

std::string PictureStem(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string_view name =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (!EndsWithIgnoringCase(name, kPictureExtension)) return FileStem(path);
  return std::string(name.substr(0, name.size() - kPictureExtension.size()));
}

std::optional<ExportCartridge> ExportCartridgeOf(CartFile file, const std::string& path,
                                                 bool with_label) {
  if (file.form == CartForm::kText) {
    return ExportCartridge{CartSource::FromDocument(std::move(*file.document)),
                           std::move(file.read_paths), FileStem(path)};
  }
  // The exports read a game's three forms; a raw ROM is left to convert.
  if (file.form == CartForm::kRom) return std::nullopt;
  std::optional<LabelPixels> label;
  if (with_label) label = CartFileLabel(file);
  std::optional<CartSource> source = CartSource::FromMemory(file.payload, std::move(label));
  if (!source) return std::nullopt;
  const std::string stem = file.form == CartForm::kPicture ? PictureStem(path) : FileStem(path);
  return ExportCartridge{std::move(*source), std::move(file.read_paths), stem};
}

}  // namespace

std::optional<LabelPixels> CartFileLabel(CartFile& file) {
  // Each pixel the nearest of the 32 label colours by its upper six bits, as the console
  // shows it (a cartridge picture's low two carry its payload).
  const LabelColorRule rule{kLabelColorCount, true};
  if (file.form == CartForm::kPicture && file.picture) {
    return PickLabelColors(*file.picture, kCartLabelX, kCartLabelY, rule);
  }
  if (file.form != CartForm::kPlayer || file.page_path.empty()) return std::nullopt;
  HtmlPlayerPtr player = file.page_text.empty() ? LoadHtmlPlayer(file.page_path)
                                                : HtmlPlayerFromText(std::move(file.page_text));
  ImagePtr picture;
  if (!player || FindEmbeddedLabel(*player, &picture) < 0) return std::nullopt;
  return PickLabelColors(*picture, 0, 0, rule);
}

std::optional<CartDocument> LoadInputCartridge(const std::string& input_path) {
  PrintVerbose("Loading p8 file...");
  std::optional<CartDocument> document = LoadCartDocument(input_path);
  if (!document) RecordFailure(kLoadCartridgeFailed, LoadP8FailedMessage(input_path));
  return document;
}

std::optional<ExportCartridge> LoadExportCartridge(const std::string& input_path, bool with_label) {
  PrintVerbose("Loading p8 file...");
  std::optional<CartFile> file = ReadCartFile(input_path);
  std::optional<ExportCartridge> cartridge;
  if (file) cartridge = ExportCartridgeOf(std::move(*file), input_path, with_label);
  if (!cartridge) RecordFailure(kLoadCartridgeFailed, LoadP8FailedMessage(input_path));
  return cartridge;
}

std::optional<std::string> PlayerScriptHolding(const std::string& script_path,
                                               std::span<const uint8_t> bytes,
                                               const std::string& shown_path) {
  std::optional<std::string> script;
  if (!script_path.empty()) script = ReadWholeFile(script_path, kMaxPageFileSize);
  std::optional<std::string> written;
  if (script) written = ReplaceCartData(*script, bytes);
  if (!written) {
    RecordFailure(kNotAPlayer, "Failed to find a player's cartridge list in:\n" + shown_path);
  }
  return written;
}

bool CheckOutputIsNotRead(const ExportCartridge& cartridge, const std::string& output_path) {
  for (const std::string& path : cartridge.read_paths) {
    if (!CheckOutputIsNotInput(path, output_path)) return false;
  }
  return true;
}

}  // namespace brasswick
