// The setlabel command: a picture of any size made the label of a .p8 text cartridge,
// a .p8.png cartridge or an exported player page. The input's form is told by its
// content, as every cartridge reader tells it.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_layout.h"
#include "cart/cart_reader.h"
#include "cart/cart_source.h"
#include "cli/cli_api.h"
#include "color/label_colors.h"
#include "color/palette.h"
#include "color/palette_fit.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "console/console.h"
#include "html/base64.h"
#include "html/html_player.h"
#include "runtime/image/image.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

std::string LoadGameFailedMessage(const std::string& path) {
  return "Failed to load p8, cartridge, or HTML:\n" + path;
}

struct LabelJob {
  std::string input_path;
  std::string output_path;
  std::string image_path;
  const RgbaImage* label;
  bool fit_palette;
};

// The .p8 label: the picture's centred square in the standard palette, two pixels a
// byte, the left one in the high four bits. None when the square cannot be made.
std::optional<std::vector<uint8_t>> PackLabelNibbles(const RgbaImage& picture) {
  std::optional<LabelPixels> pixels = P8LabelOfPicture(picture);
  if (!pixels) return std::nullopt;
  return PackLabelPixels(*pixels);
}

// The player's label: the picture's centred square resized to 128 x 128 by nearest
// neighbour, a picture with alpha composited over its whole self squeezed to the
// square. Sampling commutes with the per-pixel compositing, so both layers are sampled
// first and only 128 x 128 pixels are blended. None when the square cannot be made.
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

bool SetCartImageLabel(const LabelJob& job, CartFile& file) {
  PrintVerbose("Loaded game file (cartridge .p8.png)");
  PrintVerbose("Applying label...");
  if (!ApplyCartLabel(*file.picture, *job.label, job.fit_palette ? FitLabelToPalette : nullptr)) {
    RecordFailure(kSetLabelOrTitleFailed, "Failed to set cartridge label:\n" + job.output_path);
    return false;
  }
  PrintVerbose("Saving cartridge image...");
  if (!SaveCartPicture(*file.picture, job.output_path)) return false;
  PrintVerbose("Saved cartridge image: " + job.output_path);
  return true;
}

bool SetP8Label(const LabelJob& job, CartFile& file) {
  CartDocument& document = *file.document;
  PrintVerbose("Loaded game file (p8 file)");
  PrintVerbose("Creating image buffer...");
  std::optional<std::vector<uint8_t>> nibbles = PackLabelNibbles(*job.label);
  if (!nibbles) {
    RecordFailure(kAllocateBufferFailed, "Failed to create image buffer for:\n" + job.image_path);
    return false;
  }
  PrintVerbose("Applying label...");
  if (!WriteSectionBytes(document, "label", *nibbles)) {
    RecordFailure(kSetLabelOrTitleFailed, "Failed to set p8 label:\n" + job.output_path);
    return false;
  }
  PrintVerbose("Saving p8 file...");
  const WriteResult saved = SaveCartDocument(document, job.output_path);
  if (!saved) {
    RecordFailure(kSaveDestinationFailed,
                  WithWriteNote("Failed to save p8 file:\n" + job.output_path, saved));
    return false;
  }
  PrintVerbose("Saved file: " + job.output_path);
  return true;
}

// Replaces the page's first embedded 128 x 128 picture by the label as PNG. A page
// without one has no label to set, which is said rather than saving the page as it
// was. Pictures after the label are never decoded.
bool SetPlayerLabel(const LabelJob& job, CartFile&) {
  HtmlPlayerPtr player = LoadHtmlPlayer(job.input_path);
  if (!player) {
    RecordFailure(kLoadCartridgeFailed, LoadGameFailedMessage(job.input_path));
    return false;
  }
  PrintVerbose("Loaded game file (HTML player)");
  PrintVerbose("Applying label...");
  const int index = FindEmbeddedLabel(*player, nullptr);
  if (index < 0) {
    RecordFailure(kSetLabelOrTitleFailed,
                  "HTML file has no 128 x 128 label picture:\n" + job.input_path);
    return false;
  }
  ImagePtr label = CropToSquare(*job.label);
  std::optional<std::vector<uint8_t>> png =
      label ? EncodeImageToMemory(*label, ImageFormat::kPng) : std::nullopt;
  if (!png) {
    RecordFailure(kReencodeLabelFailed, "Failed to re-encode label image");
    return false;
  }
  if (!ReplaceEmbeddedImage(*player, index, Base64Encode(png->data(), png->size()))) {
    RecordFailure(kSetLabelOrTitleFailed, "Failed to set HTML label:\n" + job.output_path);
    return false;
  }
  PrintVerbose("Saving HTML file...");
  const WriteResult saved = SaveHtmlPlayer(*player, job.output_path);
  if (!saved) {
    RecordFailure(kSaveHtmlFailed,
                  WithWriteNote("Failed to save HTML file:\n" + job.output_path, saved));
    return false;
  }
  PrintVerbose("Saved file: " + job.output_path);
  return true;
}

// What setting the label does in each form of cartridge.
struct LabelTarget {
  CartForm form;
  bool (*set)(const LabelJob& job, CartFile& file);
};
constexpr LabelTarget kLabelTargets[] = {{CartForm::kPicture, SetCartImageLabel},
                                         {CartForm::kText, SetP8Label},
                                         {CartForm::kPlayer, SetPlayerLabel}};

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
  // Only the page is edited: its script need not be found or read.
  std::optional<CartFile> file = ReadCartFile(job.input_path, CartContent::kFormOnly);
  // A player's label is in its page: a script names no picture to replace. A raw ROM
  // has no label at all.
  if (!file || file->form == CartForm::kRom ||
      (file->form == CartForm::kPlayer && file->page_path != job.input_path)) {
    RecordFailure(kLoadCartridgeFailed, LoadGameFailedMessage(job.input_path));
    return 0;
  }
  for (const LabelTarget& target : kLabelTargets) {
    if (target.form != file->form) continue;
    if (target.set(job, *file)) {
      RunFinishingActions(job.output_path, "Opening saved file...", "Locating saved file...");
    }
  }
  return 0;
}

}  // namespace brasswick
