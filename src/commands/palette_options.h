// The image commands' colour switches: "--palette COLORS" fills and selects the custom
// row, "--alternate" selects the alternate row, neither selects the standard row, and
// "--transparent INDEX" sets the transparent index.
#ifndef BRASSWICK_COMMANDS_PALETTE_OPTIONS_H_
#define BRASSWICK_COMMANDS_PALETTE_OPTIONS_H_

#include <string_view>

namespace brasswick {

inline constexpr const char* kTooManyColorsMessage = "Too many colors specified (max 16)";

// Reads "palette" and "alternate" of the running command and calls
// ApplyPaletteSettings(). False when a failure was recorded.
bool ApplyPaletteOptions();

// Selects the row the switches ask for; a given palette text fills the custom row as
// FillCustomPalette() reads it. More than 16 fields records failure 134 "Too many
// colors specified (max 16)", leaves the active row as it was and gives false.
bool ApplyPaletteSettings(bool palette_given, std::string_view palette_text, bool alternate_given);

// The "--transparent" switch: records failure 134 when it is outside 0-15, else makes
// it the transparent index. False when a failure was recorded.
bool ApplyTransparentOption();

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_PALETTE_OPTIONS_H_
