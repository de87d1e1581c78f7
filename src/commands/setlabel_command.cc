// The setlabel command: a picture of any size made the label of a .p8 text cartridge,
// a .p8.png cartridge or an exported player page. The input's kind is found by loading
// it as each kind in turn, not by its name.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "console/console.h"
#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_layout.h"
#include "cli/cli_api.h"
#include "color/output_paths.h"
#include "color/palette_fit.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "html/base64.h"
#include "html/html_player.h"
#include "runtime/image/image.h"

namespace brasswick {
namespace {

// What one kind made of the input.
enum class LabelOutcome { kNotThisKind, kSaved, kFailed };

struct LabelJob {
  std::string input_path;
  std::string output_path;
  std::string image_path;
  const RgbaImage* label;
  bool fit_palette;
};

// The .p8 label: 128 x 128 standard palette indices, two a byte, the left pixel of a
// pair in the high four bits. None when the square cannot be made.
std::optional<std::vector<uint8_t>> PackLabelNibbles(const RgbaImage& picture) {
  ImagePtr square = CartLabelSquare(picture);
  if (!square) return std::nullopt;
  std::vector<uint8_t> bytes(kCartLabelSide * kCartLabelSide / 2);
  const PaletteSearch search;
  const int channels = square->channels();
  size_t next = 0;
  for (int y = 0; y < kCartLabelSide; ++y) {
    const uint8_t* p = square->Row(y);
    for (int x = 0; x < kCartLabelSide; x += 2, p += 2 * channels) {
      const uint8_t* q = p + channels;
      bytes[next++] = static_cast<uint8_t>((search.Nearest(p[0], p[1], p[2]) << 4) |
                                           search.Nearest(q[0], q[1], q[2]));
    }
  }
  return bytes;
}

// The player's label: the picture's centred square resized to 128 x 128 by nearest
// neighbour, a picture with alpha composited over its whole self squeezed to the
// square. Sampling commutes with the per-pixel compositing, so both layers are sampled
// first and only 128 x 128 pixels are blended. None when memory runs out.
ImagePtr CropToSquare(const RgbaImage& picture) {
  ImagePtr square = CartLabelSquare(picture);
  if (!square || picture.channels() != 4) return square;
  const int side = std::min(picture.width(), picture.height());
  ImagePtr background = ResizeImageRegion(picture, 0, 0, picture.width(), picture.height(), side,
                                          side, ResizeMode::kSmooth);
  if (!background || !ResizeImage(*background, kCartLabelSide, kCartLabelSide, ResizeMode::kRaw)) {
    return nullptr;
  }
  ImageDrawing drawing;
  if (drawing.BeginDrawing(*background)) {
    drawing.DrawImage(*square, 0, 0);
    drawing.EndDrawing();
  }
  return background;
}

void FitLabelToPalette(RgbaImage& square) { FitImageToPalette(square); }

LabelOutcome SetCartImageLabel(const LabelJob& job) {
  ImagePtr cart = LoadCartImage(job.input_path);
  if (!cart) return LabelOutcome::kNotThisKind;
  PrintVerbose("Loaded game file (cartridge .p8.png)");
  PrintVerbose("Applying label...");
  if (!ApplyCartLabel(*cart, *job.label, job.fit_palette ? FitLabelToPalette : nullptr)) {
    RecordFailure(kSetLabelOrTitleFailed, "Failed to set cartridge label:\n" + job.output_path);
    return LabelOutcome::kFailed;
  }
  PrintVerbose("Saving cartridge image...");
  if (!SaveOutputImage(*cart, job.output_path)) return LabelOutcome::kFailed;
  PrintVerbose("Saved cartridge image: " + job.output_path);
  return LabelOutcome::kSaved;
}

LabelOutcome SetP8Label(const LabelJob& job) {
  std::optional<CartDocument> document = LoadCartDocument(job.input_path);
  if (!document) return LabelOutcome::kNotThisKind;
  PrintVerbose("Loaded game file (p8 file)");
  PrintVerbose("Creating image buffer...");
  std::optional<std::vector<uint8_t>> nibbles = PackLabelNibbles(*job.label);
  if (!nibbles) {
    RecordFailure(kAllocateBufferFailed, "Failed to create image buffer for:\n" + job.image_path);
    return LabelOutcome::kFailed;
  }
  PrintVerbose("Applying label...");
  if (!WriteSectionBytes(*document, "label", *nibbles)) {
    RecordFailure(kSetLabelOrTitleFailed, "Failed to set p8 label:\n" + job.output_path);
    return LabelOutcome::kFailed;
  }
  PrintVerbose("Saving p8 file...");
  if (!SaveCartDocument(*document, job.output_path)) {
    RecordFailure(kSaveDestinationFailed, "Failed to save p8 file:\n" + job.output_path);
    return LabelOutcome::kFailed;
  }
  PrintVerbose("Saved file: " + job.output_path);
  return LabelOutcome::kSaved;
}

// Replaces the page's first embedded 128 x 128 picture by the label as PNG. A page
// without one is saved unchanged. Pictures after the label are never decoded.
LabelOutcome SetPlayerLabel(const LabelJob& job) {
  HtmlPlayerPtr player = LoadHtmlPlayer(job.input_path);
  if (!player) return LabelOutcome::kNotThisKind;
  PrintVerbose("Loaded game file (HTML player)");
  PrintVerbose("Applying label...");
  const int index = FindEmbeddedLabel(*player, nullptr);
  if (index >= 0) {
    ImagePtr label = CropToSquare(*job.label);
    std::optional<std::vector<uint8_t>> png =
        label ? EncodeImageToMemory(*label, ImageFormat::kPng) : std::nullopt;
    if (!png) {
      RecordFailure(kReencodeLabelFailed, "Failed to re-encode label image");
      return LabelOutcome::kFailed;
    }
    ReplaceEmbeddedImage(*player, index, Base64Encode(png->data(), png->size()));
  }
  if (ExitCode() != 0) return LabelOutcome::kFailed;
  PrintVerbose("Saving HTML file...");
  if (!SaveHtmlPlayer(*player, job.output_path)) {
    RecordFailure(kSaveHtmlFailed, "Failed to save HTML file:\n" + job.output_path);
    return LabelOutcome::kFailed;
  }
  PrintVerbose("Saved file: " + job.output_path);
  return LabelOutcome::kSaved;
}

// The kinds in the order they are tried.
constexpr LabelOutcome (*kLabelTargets[])(const LabelJob&) = {SetCartImageLabel, SetP8Label,
                                                              SetPlayerLabel};

}  // namespace

int SetLabelRT() {
  PrintBannerIfVerbose();
  LabelJob job;
  job.input_path = ResolvePath(GetArgValue(arg::kInputFile), "");
  job.image_path = ResolvePath(GetArgValue(arg::kImageFile), "");
  const std::string output_value = GetArgValue(arg::kOutputFile);
  job.output_path = output_value.empty() ? job.input_path : ResolvePath(output_value, "");
  job.fit_palette = IsArgSet(arg::kFitPalette);

  PrintVerbose("Loading label image...");
  ImagePtr label = LoadImageFile(job.image_path);
  if (!label) {
    RecordFailure(kLoadImageFailed, LoadImageFailedMessage(job.image_path));
    return 0;
  }
  job.label = label.get();

  PrintVerbose("Loading game file...");
  for (const auto target : kLabelTargets) {
    const LabelOutcome outcome = target(job);
    if (outcome == LabelOutcome::kNotThisKind) continue;
    if (outcome == LabelOutcome::kSaved) {
      RunFinishingActions(job.output_path, "Opening saved file...", "Locating saved file...");
    }
    return 0;
  }
  RecordFailure(kLoadCartridgeFailed, "Failed to load p8, cartridge, or HTML:\n" + job.input_path);
  return 0;
}

}  // namespace brasswick
