// The colorimage command: any PNG, JPEG or BMP picture recoloured to a 16-colour palette.
#include <string>

#include "cli/cli_api.h"
#include "color/palette_fit.h"
#include "color/render.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "commands/palette_options.h"
#include "console/console.h"
#include "runtime/image/image.h"
#include "runtime/platform/paths.h"

namespace brasswick {

int ColorImageRT() {
  PrintBannerIfVerbose();
  std::string input_path = ResolvePath(GetArgValue(arg::kImageFile), "");
  std::string output_value = GetArgValue(arg::kOutputFile);
  std::string output_path = output_value.empty() ? input_path : ResolvePath(output_value, "");

  PrintVerbose("Loading image file...");
  ImagePtr image = LoadImageFile(input_path);
  if (!image) {
    RecordFailure(kLoadImageFailed, LoadImageFailedMessage(input_path));
    return 0;
  }

  int64_t fit_size = GetArgInt(arg::kFit, 0, 0);
  if (fit_size > 0) {
    std::string size_text = std::to_string(fit_size);
    PrintVerbose("Fitting to " + size_text + "x" + size_text + "...");
    if (fit_size > kMaxImageSide) {
      RecordFailure(kSaveImageFailed,
                    SaveImageFailedMessage(output_path, PictureSizeReason(fit_size, fit_size)));
      return 0;
    }
    if (!ResizeImage(*image, static_cast<int>(fit_size), static_cast<int>(fit_size),
                     ResizeMode::kSmooth)) {
      RecordFailure(kSaveImageFailed, SaveImageFailedMessage(output_path));
      return 0;
    }
  }

  PrintVerbose("Applying color palette...");
  if (!ApplyPaletteOptions()) return 0;
  FitImageToPalette(*image);

  int64_t scale = GetArgInt(arg::kScale, 0, 0);
  if (scale > 1) {
    PrintVerbose("Scaling up...");
    // An enlargement that cannot be made must not quietly save the picture unscaled.
    if (!UpscaleForOutput(*image, scale, kSaveImageFailed, SaveImageFailedMessage(output_path))) {
      return 0;
    }
  }

  PrintVerbose("Saving image...");
  if (!SaveOutputImage(*image, output_path)) return 0;
  PrintVerbose("Saved: " + output_path);
  RunFinishingActions(output_path, "Opening saved image...", "Locating saved image...");
  return 0;
}

}  // namespace brasswick
