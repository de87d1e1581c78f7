#include "commands/cartridge_input.h"

#include <memory>
#include <string_view>
#include <utility>

#include "console/console.h"
#include "cart/cart_image.h"
#include "cart/player_script.h"
#include "cart/text_file.h"
#include "color/output_paths.h"
#include "color/palette.h"
#include "color/palette_fit.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
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

// The 128 x 128 pixels from (x0, y0) as standard palette indices in sheet layout, each
// pixel the colour nearest its upper six bits: what the console shows of a picture.
// The picture must hold that square.
ByteBuffer NearestIndexLabel(const RgbaImage& picture, int x0, int y0) {
  ByteBuffer label(static_cast<size_t>(kLabelByteCount));
  const int channels = picture.channels();
  const PaletteSearch standard(kStandardRow);
  auto index_at = [&](const uint8_t* p) {
    return standard.Nearest(p[0] & 0xFC, p[1] & 0xFC, p[2] & 0xFC);
  };
  size_t next = 0;
  for (int y = 0; y < kCartLabelSide; ++y) {
    const uint8_t* p = picture.Row(y0 + y) + x0 * channels;
    for (int x = 0; x < kCartLabelSide; x += 2, p += 2 * channels) {
      label[next++] = static_cast<uint8_t>((index_at(p) << 4) | index_at(p + channels));
    }
  }
  return label;
}

std::optional<ExportCartridge> LoadTextForm(const std::string& path,
                                            std::shared_ptr<const std::string> bytes) {
  std::optional<CartDocument> document = LoadCartDocumentFromBytes(path, std::move(bytes));
  if (!document) return std::nullopt;
  return ExportCartridge{CartSource::FromDocument(std::move(*document)), {path}, FileStem(path)};
}

std::optional<ExportCartridge> LoadPictureForm(const std::string& path, const std::string& bytes,
                                               bool with_label) {
  ImagePtr picture =
      LoadCartImageFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!picture) return std::nullopt;
  std::optional<CartPayload> payload = DecodeCartPixels(*picture);
  if (!payload) return std::nullopt;
  std::optional<ByteBuffer> label;
  if (with_label) label = NearestIndexLabel(*picture, kCartLabelX, kCartLabelY);
  std::optional<CartSource> source = CartSource::FromMemory(*payload, std::move(label));
  if (!source) return std::nullopt;
  return ExportCartridge{std::move(*source), {path}, PictureStem(path)};
}

// The page's first embedded 128 x 128 picture as a label, as setlabel finds it; none
// when the page cannot be loaded or has no such picture.
std::optional<ByteBuffer> PlayerLabel(const std::string& page_path) {
  HtmlPlayerPtr player = LoadHtmlPlayer(page_path);
  ImagePtr picture;
  if (!player || FindEmbeddedLabel(*player, &picture) < 0) return std::nullopt;
  return NearestIndexLabel(*picture, 0, 0);
}

// A script is told by its list; a page by the script it leads to, which is read once.
// The page is read for its pictures only when the label is wanted.
std::optional<ExportCartridge> LoadPlayerForm(const std::string& path, std::string text,
                                              bool with_label) {
  std::vector<std::string> read_paths = {path};
  std::string page_path;
  if (text.find(kCartDataStart) == std::string::npos) {
    std::string script_text;
    const std::string script_path = FindPlayerScriptForPage(path, text, &script_text);
    if (script_path.empty()) return std::nullopt;
    text = std::move(script_text);
    read_paths.push_back(script_path);
    page_path = path;
  } else if (with_label) {
    page_path = FindPlayerHtmlForJs(path);
    if (!page_path.empty()) read_paths.push_back(page_path);
  }
  // An unclosed list is a cut-off script, not a cartridge.
  const std::optional<std::string_view> list = FindTextBetween(text, kCartDataStart, kCartDataEnd);
  if (!list) return std::nullopt;
  std::optional<CartPayload> payload = ParseCartData(*list);
  if (!payload) return std::nullopt;
  std::optional<ByteBuffer> label;
  if (with_label && !page_path.empty()) label = PlayerLabel(page_path);
  std::optional<CartSource> source = CartSource::FromMemory(*payload, std::move(label));
  if (!source) return std::nullopt;
  return ExportCartridge{std::move(*source), std::move(read_paths), FileStem(path)};
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
  // The file is read once, whichever form it turns out to be.
  std::optional<ExportCartridge> cartridge;
  std::optional<std::string> read = ReadWholeFile(input_path);
  if (read) {
    auto bytes = std::make_shared<std::string>(std::move(*read));
    cartridge = LoadTextForm(input_path, bytes);
    if (!cartridge) cartridge = LoadPictureForm(input_path, *bytes, with_label);
    // Neither form kept the bytes, so they can become the text.
    if (!cartridge) {
      cartridge = LoadPlayerForm(input_path, DecodeTextBytes(std::move(*bytes)), with_label);
    }
  }
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
