#include "color/palette_fit.h"

#include <array>

namespace brasswick {
namespace {

struct RowRgb {
  std::array<int, kPaletteSize> red{}, green{}, blue{};
  bool valid = false;
};

RowRgb LoadRow(int row) {
  RowRgb rgb;
  for (int i = 0; i < kPaletteSize; ++i) {
    ColorValue entry = PaletteColor(i, row);
    if (entry == kNoColor) return rgb;
    rgb.red[i] = ColorRed(entry);
    rgb.green[i] = ColorGreen(entry);
    rgb.blue[i] = ColorBlue(entry);
  }
  rgb.valid = true;
  return rgb;
}

int Nearest(const RowRgb& rgb, int red, int green, int blue) {
  // All 16 distances first (a loop the compiler vectorises), then the first smallest.
  std::array<int, kPaletteSize> distance;
  for (int i = 0; i < kPaletteSize; ++i) {
    const int dr = red - rgb.red[i];
    const int dg = green - rgb.green[i];
    const int db = blue - rgb.blue[i];
    distance[i] = dr * dr + dg * dg + db * db;
  }
  int best = 0;
  int best_distance = distance[0];
  for (int i = 1; i < kPaletteSize; ++i) {
    const bool closer = distance[i] < best_distance;
    best = closer ? i : best;
    best_distance = closer ? distance[i] : best_distance;
  }
  return best;
}

}  // namespace

int NearestPaletteIndex(ColorValue color, int row) {
  RowRgb rgb = LoadRow(row);
  if (!rgb.valid) return 0;
  return Nearest(rgb, ColorRed(color), ColorGreen(color), ColorBlue(color));
}

ColorValue NearestPaletteColor(ColorValue color, int row) {
  return PaletteColor(NearestPaletteIndex(color, row), row);
}

void FitImageToPalette(RgbaImage& image, int row) {
  // The row is read once; every pixel is then compared with its 16 entries directly in
  // the pixel buffer.
  const RowRgb rgb = LoadRow(row);
  if (!rgb.valid) return;
  const int channels = image.channels();
  for (int y = 0; y < image.height(); ++y) {
    uint8_t* p = image.Row(y);
    for (int x = 0; x < image.width(); ++x, p += channels) {
      const int i = Nearest(rgb, p[0], p[1], p[2]);
      p[0] = static_cast<uint8_t>(rgb.red[i]);
      p[1] = static_cast<uint8_t>(rgb.green[i]);
      p[2] = static_cast<uint8_t>(rgb.blue[i]);
    }
  }
}

ImagePtr FitImageCopyToPalette(const RgbaImage& image, int row) {
  ImagePtr copy = CopyImage(image);
  if (copy) FitImageToPalette(*copy, row);
  return copy;
}

}  // namespace brasswick
