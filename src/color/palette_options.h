// The image commands' palette switches: "--palette COLORS" fills and selects the custom
// row, "--alternate" selects the alternate row, neither selects the standard row.
#ifndef BRASSWICK_COLOR_PALETTE_OPTIONS_H_
#define BRASSWICK_COLOR_PALETTE_OPTIONS_H_

#include <string_view>

namespace brasswick {

inline constexpr const char* kTooManyColorsMessage = "Too many colors specified (max 16)";
inline constexpr int kTooManyColorsCode = 134;

// Reads "palette" and "alternate" of the running command and calls
// ApplyPaletteSettings(). False when a failure was recorded.
bool ApplyPaletteOptions();

// The palette text is up to 16 comma-separated fields, field i for index i: a field of
// two or more characters or a single digit is a ColorSpec (unreadable ones give white),
// "a" or "A" takes alternate entry i, anything else (empty included) standard entry i;
// indices past the last field keep their standard colours. More than 15 commas records
// failure 134 "Too many colors specified (max 16)", leaves the active row as it was and
// gives false.
bool ApplyPaletteSettings(bool palette_given, std::string_view palette_text, bool alternate_given);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_PALETTE_OPTIONS_H_
