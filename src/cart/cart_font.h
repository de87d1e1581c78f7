// The bitmap font of cartridge titles and its text drawing. Codes 16-127 have glyphs
// 3 pixels wide that advance 4; codes 128-255 glyphs 7 wide that advance 8; all are 5
// rows high. Each glyph byte is one column, left first; bit r is row r, row 0 on top.
// The lower-case letter codes hold full-height capitals and the upper-case codes
// smaller capitals, which is why drawing swaps the case of ASCII letters.
#ifndef BRASSWICK_CART_CART_FONT_H_
#define BRASSWICK_CART_CART_FONT_H_

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/image/image.h"

namespace brasswick {

inline constexpr int kCartFontNarrowFirst = 16;
inline constexpr int kCartFontWideFirst = 128;
inline constexpr int kCartFontLast = 255;
inline constexpr int kCartFontNarrowWidth = 3;
inline constexpr int kCartFontWideWidth = 7;
inline constexpr int kCartFontHeight = 5;
inline constexpr size_t kCartFontSize = 112 * 3 + 128 * 7;  // 1232 bytes

extern const std::array<uint8_t, kCartFontSize> kCartFont;

// The column bytes of a code's glyph; empty for codes below 16 or above 255.
std::span<const uint8_t> CartGlyph(int code);

// Draws the text's UTF-16 code units from (x, y), one font pixel a pixel, under the
// drawing's current mode. ASCII letters are drawn with the glyph of the other case; a
// code without glyph draws nothing and takes no room. Pixels outside the output are
// cut off. Does nothing when the drawing has no output.
void DrawCartText(ImageDrawing& drawing, int x, int y, std::u16string_view text, ColorValue color);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_FONT_H_
