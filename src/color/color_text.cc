#include "color/color_text.h"

#include <cstdint>

#include "color/css_color_names.h"
#include "color/palette.h"
#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

// Leading hex digits as a number; longer runs keep their last 32 bits, which is all a
// colour can hold.
uint32_t LeadingHexValue(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    int digit = HexDigitValue(c);
    if (digit < 0) break;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

// The value of a non-empty all-digit text, or -1 when it is not one. Values past 143
// are all the same to the caller, so the count saturates instead of overflowing.
int SmallDecimalValue(std::string_view text) {
  if (text.empty()) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > 1000) value = 1000;
  }
  return value;
}

}  // namespace

ColorValue ColorFromSpec(std::string_view text) {
  if (!text.empty() && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string_view();
  }

  int number = SmallDecimalValue(text);
  if (number >= 0 && number < kPaletteSize) return PaletteColor(number, kStandardRow);
  if (number >= 128 && number < 128 + kPaletteSize) {
    return PaletteColor(number - 128, kAlternateRow);
  }

  if (!text.empty() && text.front() == '#') {
    if (text.size() == 4) {
      auto widen = [](char c) {
        int digit = HexDigitValue(c);
        return digit < 0 ? 0 : digit * 17;
      };
      return MakeColor(widen(text[1]), widen(text[2]), widen(text[3]));
    }
    uint32_t n = LeadingHexValue(text.substr(1));
    return MakeColor((n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF, (n >> 24) & 0xFF);
  }
  if (!text.empty() && text.front() == '$') {
    return static_cast<ColorValue>(LeadingHexValue(text.substr(1)));
  }
  return LookupCssColorName(text);
}

}  // namespace brasswick
