// ColorValue: a colour as a signed 64-bit integer, red in bits 0-7, green 8-15,
// blue 16-23, alpha 24-31; -1 means no colour.
#ifndef BRASSWICK_RUNTIME_IMAGE_COLOR_VALUE_H_
#define BRASSWICK_RUNTIME_IMAGE_COLOR_VALUE_H_

#include <cstdint>

namespace brasswick {

using ColorValue = int64_t;
inline constexpr ColorValue kNoColor = -1;

constexpr ColorValue MakeColor(int red, int green, int blue, int alpha = 0) {
  return static_cast<ColorValue>(
      (static_cast<uint32_t>(red) & 0xFF) | ((static_cast<uint32_t>(green) & 0xFF) << 8) |
      ((static_cast<uint32_t>(blue) & 0xFF) << 16) | ((static_cast<uint32_t>(alpha) & 0xFF) << 24));
}
constexpr int ColorRed(ColorValue c) { return static_cast<int>(c & 0xFF); }
constexpr int ColorGreen(ColorValue c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int ColorBlue(ColorValue c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr int ColorAlpha(ColorValue c) { return static_cast<int>((c >> 24) & 0xFF); }

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_IMAGE_COLOR_VALUE_H_
