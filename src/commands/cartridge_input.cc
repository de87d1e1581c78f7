#include "commands/cartridge_input.h"

#include <memory>
#include <string_view>
#include <utility>

#include "cart/cart_image.h"
#include "cart/cart_reader.h"
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

bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  return FindIgnoringCase(text.substr(text.size() - ending.size()), ending) == 0;
}

std::string PictureStem(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string_view name =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (!EndsWithIgnoringCase(name, kPictureExtension)) return FileStem(path);
  return std::string(name.substr(0, name.size() - kPictureExtension.size()));
}

// The label as the console shows it: each pixel the nearest of the 32 label colours
// by its upper six bits (a cartridge picture's low two carry its payload).
std::optional<LabelPixels> LabelOf(const RgbaImage& picture, int x0, int y0) {
  return PickLabelColors(picture, x0, y0, {kLabelColorCount, true});
}

// The page's first embedded 128 x 128 picture as a label, as setlabel finds it; none
// when the page cannot be loaded or has no such picture.
std::optional<LabelPixels> PlayerLabel(const std::string& page_path) {
  HtmlPlayerPtr player = LoadHtmlPlayer(page_path);
  ImagePtr picture;
  if (!player || FindEmbeddedLabel(*player, &picture) < 0) return std::nullopt;
  return LabelOf(*picture, 0, 0);
}

std::optional<ExportCartridge> ExportCartridgeOf(CartFile file, const std::string& path,
                                                 bool with_label) {
  if (file.form == CartForm::kText) {
    return ExportCartridge{CartSource::FromDocument(std::move(*file.document)),
                           std::move(file.read_paths), FileStem(path)};
  }
  std::optional<LabelPixels> label;
  if (with_label && file.form == CartForm::kPicture) {
    label = LabelOf(*file.picture, kCartLabelX, kCartLabelY);
  } else if (with_label && !file.page_path.empty()) {
    label = PlayerLabel(file.page_path);
  }
  std::optional<CartSource> source = CartSource::FromMemory(file.payload, std::move(label));
  if (!source) return std::nullopt;
  const std::string stem = file.form == CartForm::kPicture ? PictureStem(path) : FileStem(path);
  return ExportCartridge{std::move(*source), std::move(file.read_paths), stem};
}

}  // namespace

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

bool CheckOutputIsNotRead(const ExportCartridge& cartridge, const std::string& output_path) {
  for (const std::string& path : cartridge.read_paths) {
    if (!CheckOutputIsNotInput(path, output_path)) return false;
  }
  return true;
}

}  // namespace brasswick
