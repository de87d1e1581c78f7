// The map, sheet and label commands: load a cartridge, render one picture in the chosen
// palette, crop, enlarge and save it by extension.
#include <optional>
#include <string>

#include "app/console.h"
#include "cart/cart_document.h"
#include "cli/cli_api.h"
#include "color/output_paths.h"
#include "color/palette_options.h"
#include "color/render.h"
#include "commands/command_args.h"
#include "commands/command_procedures.h"
#include "runtime/image.h"

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
  ImagePtr (*render)(const CartDocument& document);
  // Narrows the crop rectangle from the command's switches; may record a failure.
  void (*select)(CropRect& crop);
  // Records the failure of a render that gave nothing; null: generate_failure, 130.
  void (*report_render_failure)(const CartDocument& document) = nullptr;
};

// Prints the banner and loads the input cartridge. None (with the failure recorded) when
// it cannot be loaded; input_path receives the resolved path either way.
std::optional<CartDocument> LoadExportInput(std::string& input_path) {
  PrintBannerIfVerbose();
  input_path = ResolvePath(GetArgValue("p8File"), "");
  PrintVerbose("Loading p8 file...");
  std::optional<CartDocument> document = LoadCartDocument(input_path);
  if (!document) RecordFailure(129, "Failed to load p8 file:\n" + input_path);
  return document;
}

void RunExport(const ExportKind& kind) {
  std::string input_path;
  std::optional<CartDocument> document = LoadExportInput(input_path);
  if (!document) return;
  std::string output_path =
      DefaultOutputPath(input_path, GetArgValue("outputFile"), kind.suffix, true);
  ApplyPaletteOptions();
  ApplyTransparentOption();
  if (ExitCode() != 0) return;

  PrintVerbose(kind.generating_message);
  ImagePtr image = kind.render(*document);
  if (!image) {
    if (kind.report_render_failure) {
      kind.report_render_failure(*document);
    } else {
      RecordFailure(130, kind.generate_failure);
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
      RecordFailure(130, kind.crop_failure);
      return;
    }
    image = std::move(region);
  }

  // An enlargement that cannot be made must not quietly save the picture unscaled.
  if (!UpscaleImage(*image, GetArgInt("scale", 0, 0))) {
    RecordFailure(130, kind.generate_failure);
    return;
  }

  PrintVerbose("Saving image...");
  if (!SaveImageByExtension(*image, output_path)) {
    RecordFailure(131, "Failed to save image file:\n" + output_path);
    return;
  }
  PrintVerbose("Exported: " + output_path);
  RunFinishingActions(output_path, "Opening exported image...", "Locating exported image...");
}

constexpr int64_t kMapWidth = 1024;
constexpr int64_t kMapHeight = 512;
constexpr int64_t kSheetSide = 128;

void SelectMapCells(CropRect& crop) {
  if (IsArgSet("cells")) {
    // Huge values are clamped by the rounding, and the right and bottom edges are checked
    // as differences, so no arithmetic here can overflow.
    double x = GetArgNumber("cells", 0, 0) * 8;
    double y = GetArgNumber("cells", 1, 0) * 8;
    double width = GetArgNumber("cells", 2, 128) * 8;
    double height = GetArgNumber("cells", 3, 64) * 8;
    crop = {RoundHalfEven(x), RoundHalfEven(y), RoundHalfEven(width), RoundHalfEven(height)};
    if (crop.x < 0 || crop.y < 0 || crop.x >= kMapWidth || crop.y >= kMapHeight || crop.width < 1 ||
        crop.height < 1 || crop.width > kMapWidth - crop.x || crop.height > kMapHeight - crop.y) {
      RecordFailure(135, "Out of map range (128x64 cells)");
    }
  } else if (IsArgSet("half")) {
    crop.height = 256;
  }
}

void SelectSheetSprites(CropRect& crop) {
  if (IsArgSet("sub")) {
    int64_t first = GetArgInt("sub", 0, 0);
    if (first < 0 || first > 255) {
      RecordFailure(136, "Out of sprite number range (0-255)");
      return;
    }
    crop.x = (first % 16) * 8;
    crop.y = (first / 16) * 8;
    crop.width = RoundHalfEven(GetArgNumber("sub", 1, 0) * 8);
    crop.height = RoundHalfEven(GetArgNumber("sub", 2, 0) * 8);
    if (crop.width < 1 || crop.height < 1) {
      RecordFailure(136, "Width and Height must be positive");
    } else if (crop.width > kSheetSide - crop.x || crop.height > kSheetSide - crop.y) {
      RecordFailure(136, "Out of spritesheet range (16x16 sprites)");
    }
  } else if (IsArgSet("half")) {
    crop.height = 64;
  }
}

ImagePtr RenderWholeMap(const CartDocument& document) { return RenderMap(document, true, 0, 1); }
ImagePtr RenderWholeSheet(const CartDocument& document) { return RenderSheet(document, false, 1); }
ImagePtr RenderWholeLabel(const CartDocument& document) { return RenderLabel(document, 1); }

// A label section that is there but unreadable is a different fault from none at all.
void ReportLabelFailure(const CartDocument& document) {
  if (HasSection(document, "label")) {
    RecordFailure(130, "Failed to generate label image");
  } else {
    RecordFailure(138, "P8 file does not have a 'label' section");
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
                                 ReportLabelFailure};
  RunExport(kLabel);
  return 0;
}

}  // namespace brasswick
