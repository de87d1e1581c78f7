// The map, sheet and label commands: load a cartridge, render one picture in the chosen
// palette, crop, enlarge and save it by extension.
#include <optional>
#include <string>

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
#include "commands/palette_options.h"
#include "console/console.h"
#include "runtime/image/image.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

struct CropRect {
  int64_t x = 0;
  int64_t y = 0;
  int64_t width = 0;
  int64_t height = 0;
};

// What differs between the three export commands.
struct ExportKind {
  const char* suffix;
  const char* generating_message;
  const char* generate_failure;
  const char* selecting_message;
  const char* crop_failure;
  ImagePtr (*render)(const CartSource& source);
  // Narrows the crop rectangle from the command's switches; may record a failure.
  void (*select)(CropRect& crop);
  // Records the failure of a render that gave nothing; null: generate_failure, 130.
  void (*report_render_failure)(const CartSource& source) = nullptr;
  // Whether the render reads the label, which a picture or player is searched for.
  bool reads_label = false;
};

void RunExport(const ExportKind& kind) {
  PrintBannerIfVerbose();
  std::string input_path = ResolvePath(GetArgValue(arg::kP8File), "");
  std::optional<ExportCartridge> cartridge = LoadExportCartridge(input_path, kind.reads_label);
  if (!cartridge) return;
  std::string output_path = DefaultOutputPath(input_path, GetArgValue(arg::kOutputFile),
                                              kind.suffix, true, cartridge->stem);
  if (!CheckOutputIsNotRead(*cartridge, output_path)) return;
  ApplyPaletteOptions();
  ApplyTransparentOption();
  if (ExitCode() != 0) return;

  PrintVerbose(kind.generating_message);
  ImagePtr image = kind.render(cartridge->source);
  if (!image) {
    if (kind.report_render_failure) {
      kind.report_render_failure(cartridge->source);
    } else {
      RecordFailure(kGenerateImageFailed, kind.generate_failure);
    }
    return;
  }

  PrintVerbose(kind.selecting_message);
  CropRect crop{0, 0, image->width(), image->height()};
  if (kind.select) kind.select(crop);
  if (ExitCode() != 0) return;
  if (crop.x != 0 || crop.y != 0 || crop.width != image->width() ||
      crop.height != image->height()) {
    ImagePtr region = CopyImageRegion(*image, static_cast<int>(crop.x), static_cast<int>(crop.y),
                                      static_cast<int>(crop.width), static_cast<int>(crop.height));
    if (!region) {
      RecordFailure(kGenerateImageFailed, kind.crop_failure);
      return;
    }
    image = std::move(region);
  }

  // An enlargement that cannot be made must not quietly save the picture unscaled.
  if (!UpscaleForOutput(*image, GetArgInt(arg::kScale, 0, 0), kGenerateImageFailed,
                        kind.generate_failure)) {
    return;
  }

  PrintVerbose("Saving image...");
  if (!SaveOutputImage(*image, output_path)) return;
  PrintVerbose("Exported: " + output_path);
  RunFinishingActions(output_path, "Opening exported image...", "Locating exported image...");
}

// The map's picture, one pixel a sprite pixel.
constexpr int64_t kMapWidth = int64_t{kMapColumns} * kSpriteSide;
constexpr int64_t kMapHeight = int64_t{kMapRows} * kSpriteSide;

void SelectMapCells(CropRect& crop) {
  if (IsArgSet(arg::kCells)) {
    // Huge values are clamped by the rounding, and the right and bottom edges are checked
    // as differences, so no arithmetic here can overflow.
    double x = GetArgNumber(arg::kCells, 0, 0) * 8;
    double y = GetArgNumber(arg::kCells, 1, 0) * 8;
    double width = GetArgNumber(arg::kCells, 2, kMapColumns) * kSpriteSide;
    double height = GetArgNumber(arg::kCells, 3, kMapRows) * kSpriteSide;
    crop = {RoundHalfEven(x), RoundHalfEven(y), RoundHalfEven(width), RoundHalfEven(height)};
    if (crop.x < 0 || crop.y < 0 || crop.x >= kMapWidth || crop.y >= kMapHeight || crop.width < 1 ||
        crop.height < 1 || crop.width > kMapWidth - crop.x || crop.height > kMapHeight - crop.y) {
      RecordFailure(kMapCellsOutOfRange, "Out of map range (128x64 cells)");
    }
  } else if (IsArgSet(arg::kHalf)) {
    crop.height = kMapHeight / 2;
  }
}

void SelectSheetSprites(CropRect& crop) {
  if (IsArgSet(arg::kSub)) {
    int64_t first = GetArgInt(arg::kSub, 0, 0);
    if (first < 0 || first >= kSpriteCount) {
      RecordFailure(kSpriteOutOfRange, "Out of sprite number range (0-255)");
      return;
    }
    crop.x = (first % kSpritesPerRow) * kSpriteSide;
    crop.y = (first / kSpritesPerRow) * kSpriteSide;
    crop.width = RoundHalfEven(GetArgNumber(arg::kSub, 1, 0) * 8);
    crop.height = RoundHalfEven(GetArgNumber(arg::kSub, 2, 0) * 8);
    if (crop.width < 1 || crop.height < 1) {
      RecordFailure(kSpriteOutOfRange, "Width and Height must be positive");
    } else if (crop.width > kSheetSide - crop.x || crop.height > kSheetSide - crop.y) {
      RecordFailure(kSpriteOutOfRange, "Out of spritesheet range (16x16 sprites)");
    }
  } else if (IsArgSet(arg::kHalf)) {
    crop.height = kSheetSide / 2;
  }
}

ImagePtr RenderWholeMap(const CartSource& source) {
  std::optional<ByteBuffer> map = source.Map(true);
  std::optional<ByteBuffer> sheet = map ? source.Sheet(false) : std::nullopt;
  return sheet ? RenderMap(*map, *sheet, 0, 1) : nullptr;
}
ImagePtr RenderWholeSheet(const CartSource& source) {
  std::optional<ByteBuffer> sheet = source.Sheet(false);
  return sheet ? RenderSheetBytes(*sheet, 1) : nullptr;
}
ImagePtr RenderWholeLabel(const CartSource& source) {
  std::optional<LabelPixels> label = source.Label();
  return label ? RenderLabelPixels(*label, 1) : nullptr;
}

// A label section that is there but unreadable is a different fault from none at all.
void ReportLabelFailure(const CartSource& source) {
  if (source.HasLabel()) {
    RecordFailure(kGenerateImageFailed, "Failed to generate label image");
  } else {
    RecordFailure(kNoLabelSection, "P8 file does not have a 'label' section");
  }
}

}  // namespace

int ExportMapRT() {
  static const ExportKind kMap{".map.png",
                               "Generating map image...",
                               "Failed to generate map image",
                               "Cropping and scaling...",
                               "Failed to generate sub-map image",
                               RenderWholeMap,
                               SelectMapCells};
  RunExport(kMap);
  return 0;
}

int ExportSpritesheetRT() {
  static const ExportKind kSheet{".spritesheet.png",
                                 "Generating spritesheet image...",
                                 "Failed to generate spritesheet image",
                                 "Cropping and scaling...",
                                 "Failed to generate sub-sheet image",
                                 RenderWholeSheet,
                                 SelectSheetSprites};
  RunExport(kSheet);
  return 0;
}

int ExportLabelRT() {
  static const ExportKind kLabel{".label.png",
                                 "Generating label image...",
                                 "Failed to generate label image",
                                 "Scaling...",
                                 "",
                                 RenderWholeLabel,
                                 nullptr,
                                 ReportLabelFailure,
                                 true};
  RunExport(kLabel);
  return 0;
}

}  // namespace brasswick
