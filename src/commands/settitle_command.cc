// The settitle command: one or two title lines written onto a .p8.png cartridge in the
// cartridge font, its payload left exactly as it was.
#include <string>

#include "cart/cart_image.h"
#include "cart/cart_title.h"
#include "cli/cli_api.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "console/console.h"
#include "runtime/image/image.h"
#include "runtime/platform/paths.h"

namespace brasswick {

int SetTitleRT() {
  PrintBannerIfVerbose();
  const std::string input_path = ResolvePath(GetArgValue(arg::kInputFile), "");
  const std::string output_value = GetArgValue(arg::kOutputFile);
  const std::string output_path = output_value.empty() ? input_path : ResolvePath(output_value, "");

  PrintVerbose("Loading cartridge...");
  ImagePtr image = LoadCartImage(input_path);
  if (!image) {
    RecordFailure(kLoadCartridgeFailed, "Failed to load cartridge:\n" + input_path);
    return 0;
  }
  PrintVerbose("Loaded cartridge");

  PrintVerbose("Applying title...");
  if (!ApplyCartTitle(*image, GetArgValue(arg::kTitle), GetArgValue(arg::kSubtitle))) {
    RecordFailure(kSetLabelOrTitleFailed, "Failed to set cartridge title:\n" + output_path);
    return 0;
  }

  PrintVerbose("Saving cartridge image...");
  if (!SaveCartPicture(*image, output_path)) return 0;
  PrintVerbose("Saved cartridge image: " + output_path);
  RunFinishingActions(output_path, "Opening saved file...", "Locating saved file...");
  return 0;
}

}  // namespace brasswick
