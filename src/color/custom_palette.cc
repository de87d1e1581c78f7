#include "color/custom_palette.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "color/color_text.h"
#include "color/palette.h"

namespace brasswick {
namespace {

// Characters, not bytes: a single accented letter is one character like any other.
std::size_t Utf8Length(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<uint8_t>(c) & 0xC0) != 0x80; }));
}

}  // namespace

bool FillCustomPalette(std::string_view palette_text) {
  if (std::count(palette_text.begin(), palette_text.end(), ',') > kPaletteSize - 1) return false;

  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = palette_text.find(',', start);
    fields.push_back(palette_text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }

  for (int i = 0; i < kPaletteSize; ++i) {
    std::string_view field = i < static_cast<int>(fields.size()) ? fields[i] : std::string_view();
    std::size_t length = Utf8Length(field);
    ColorValue color;
    if (length >= 2 || (field.size() == 1 && field[0] >= '0' && field[0] <= '9')) {
      color = ColorFromSpec(field);
    } else if (field == "a" || field == "A") {
      color = PaletteColor(i, kAlternateRow);
    } else {
      color = PaletteColor(i, kStandardRow);
    }
    SetCustomColor(i, color);
  }
  SelectPaletteRow(kCustomRow);
  return true;
}

}  // namespace brasswick
