#include "commands/palette_options.h"

#include <string>

#include "cli/cli_api.h"
#include "color/custom_palette.h"
#include "color/palette.h"
#include "color/render.h"
#include "commands/command_arg_names.h"
#include "commands/failure_codes.h"
#include "console/console.h"

namespace brasswick {

bool ApplyPaletteOptions() {
  bool palette_given = IsArgSet(arg::kPalette);
  std::string palette_text = palette_given ? GetArgValue(arg::kPalette) : std::string();
  return ApplyPaletteSettings(palette_given, palette_text, IsArgSet(arg::kAlternate));
}

bool ApplyPaletteSettings(bool palette_given, std::string_view palette_text, bool alternate_given) {
  if (!palette_given) {
    SelectPaletteRow(alternate_given ? kAlternateRow : kStandardRow);
    return true;
  }
  if (!FillCustomPalette(palette_text)) {
    RecordFailure(kColorOptionOutOfRange, kTooManyColorsMessage);
    return false;
  }
  return true;
}

bool ApplyTransparentOption() {
  if (ExitCode() != 0 || !IsArgSet(arg::kTransparent)) return ExitCode() == 0;
  int64_t index = GetArgInt(arg::kTransparent, 0, 0);
  if (index < 0 || index > 15) {
    RecordFailure(kColorOptionOutOfRange, "Transparent color out of range (0-15)");
    return false;
  }
  SetTransparentIndex(index);
  return true;
}

}  // namespace brasswick
