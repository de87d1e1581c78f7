// Colour specifications and custom palettes on any text. A spec gives no colour or a
// 32-bit one, the palette index forms give their table entries, "#" with six hex
// digits the colour written, and a name the first CSS name equal to it; a palette text
// fills each index from its field as the field's form says, or, with more than 15
// commas, changes nothing.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "color/color_text.h"
#include "color/css_color_names.h"
#include "color/custom_palette.h"
#include "color/palette.h"
#include "fuzz_support.h"

namespace {

using brasswick::ColorValue;

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

ColorValue NameColor(std::string_view text) {
  std::string key;
  for (const char c : text) {
    if (c == ' ' || c == '-') continue;
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const brasswick::CssColorName& entry : brasswick::CssColorNames()) {
    if (entry.name == key) return entry.color;
  }
  return brasswick::kNoColor;
}

void CheckSpec(std::string_view spec) {
  const ColorValue color = brasswick::ColorFromSpec(spec);
  FUZZ_CHECK(color == brasswick::kNoColor || (color >= 0 && color <= 0xFFFFFFFF));
  std::string_view bare = spec;
  if (bare.size() >= 2 && (bare.front() == '"' || bare.front() == '\'') &&
      bare.back() == bare.front()) {
    bare = bare.substr(1, bare.size() - 2);
  }
  if (spec.find_first_of("\"'") != std::string_view::npos) return;
  if (AllDigits(bare) && bare.size() <= 3) {
    const int value = std::stoi(std::string(bare));
    if (value <= 15) FUZZ_CHECK(color == brasswick::PaletteColor(value, brasswick::kStandardRow));
    if (value >= 128 && value <= 143) {
      FUZZ_CHECK(color == brasswick::PaletteColor(value - 128, brasswick::kAlternateRow));
    }
  }
  if (bare.size() == 7 && bare[0] == '#' &&
      bare.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string_view::npos) {
    const unsigned long n = std::stoul(std::string(bare.substr(1)), nullptr, 16);
    FUZZ_CHECK(color ==
               static_cast<ColorValue>(((n >> 16) & 0xFF) | (n & 0xFF00) | ((n & 0xFF) << 16)));
  }
  if (!bare.empty() && !std::isdigit(static_cast<unsigned char>(bare[0])) && bare[0] != '#' &&
      bare[0] != '$') {
    FUZZ_CHECK(color == NameColor(bare));
  }
}

void CheckPalette(std::string_view text) {
  brasswick::InitPalettes();
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t comma; (comma = text.find(',', start)) != std::string_view::npos; start = comma + 1) {
    fields.push_back(text.substr(start, comma - start));
  }
  fields.push_back(text.substr(start));
  const bool filled = brasswick::FillCustomPalette(text);
  FUZZ_CHECK(filled == (fields.size() <= 16));
  if (!filled) {
    FUZZ_CHECK(brasswick::ActivePaletteRow() == brasswick::kStandardRow);
    return;
  }
  FUZZ_CHECK(brasswick::ActivePaletteRow() == brasswick::kCustomRow);
  for (int i = 0; i < brasswick::kPaletteSize; ++i) {
    const std::string_view field = i < static_cast<int>(fields.size()) ? fields[i] : "";
    ColorValue expected = brasswick::PaletteColor(i, brasswick::kStandardRow);
    // Fields are measured in characters: UTF-8 continuation bytes start none.
    const size_t characters = std::count_if(field.begin(), field.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    if (characters >= 2 || (field.size() == 1 && field[0] >= '0' && field[0] <= '9')) {
      expected = brasswick::ColorFromSpec(field) & 0xFFFFFF;
    } else if (field == "a" || field == "A") {
      expected = brasswick::PaletteColor(i, brasswick::kAlternateRow);
    }
    FUZZ_CHECK(brasswick::PaletteColor(i, brasswick::kCustomRow) == expected);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brasswick::InitPalettes();
  brasswick::LoadCssColorNames();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = brasswick::fuzz::AsText(data, size);
  CheckSpec(text);
  CheckPalette(text);
  return 0;
}
