#include "color/label_colors.h"

#include <new>

#include "cart/cart_image.h"
#include "cart/cart_memory.h"
#include "color/palette.h"
#include "color/palette_fit.h"

namespace brasswick {
namespace {

int DistanceTo(const PaletteSearch& search, int index, int red, int green, int blue) {
  const int dr = red - search.Red(index);
  const int dg = green - search.Green(index);
  const int db = blue - search.Blue(index);
  return dr * dr + dg * dg + db * db;
}

}  // namespace

std::optional<LabelPixels> PickLabelColors(const RgbaImage& picture, int x0, int y0,
                                           LabelColorRule rule) {
  constexpr int kSide = kLabelSide;
  if (x0 < 0 || y0 < 0 || picture.width() - x0 < kSide || picture.height() - y0 < kSide) {
    return std::nullopt;
  }
  LabelPixels pixels;
  pixels.resize(static_cast<size_t>(kLabelPixelCount));
  const PaletteSearch standard(kStandardRow);
  const PaletteSearch alternate(kAlternateRow);
  const bool both = rule.color_count == kLabelColorCount;
  const int mask = rule.upper_six_bits ? 0xFC : 0xFF;
  const int channels = picture.channels();
  size_t next = 0;
  for (int y = 0; y < kSide; ++y) {
    const uint8_t* p = picture.Row(y0 + y) + static_cast<ptrdiff_t>(x0) * channels;
    for (int x = 0; x < kSide; ++x, p += channels) {
      const int red = p[0] & mask, green = p[1] & mask, blue = p[2] & mask;
      int color = standard.Nearest(red, green, blue);
      if (both) {
        const int other = alternate.Nearest(red, green, blue);
        if (DistanceTo(alternate, other, red, green, blue) <
            DistanceTo(standard, color, red, green, blue)) {
          color = kPaletteSize + other;
        }
      }
      pixels[next++] = static_cast<uint8_t>(color);
    }
  }
  return pixels;
}

std::optional<LabelPixels> P8LabelOfPicture(const RgbaImage& picture) {
  ImagePtr square = CartLabelSquare(picture);
  if (!square) return std::nullopt;
  return PickLabelColors(*square, 0, 0, {kPaletteSize, false});
}

std::vector<uint8_t> PackLabelPixels(const LabelPixels& pixels) {
  std::vector<uint8_t> bytes(pixels.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(((pixels[2 * i] & 15) << 4) | (pixels[2 * i + 1] & 15));
  }
  return bytes;
}

}  // namespace brasswick
