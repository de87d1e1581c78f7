#include "color/palette_fit.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brasswick {

PaletteSearch::PaletteSearch(int row) {
  for (int i = 0; i < kPaletteSize; ++i) {
    const ColorValue entry = PaletteColor(i, row);
    if (entry == kNoColor) return;
    red_[i] = ColorRed(entry);
    green_[i] = ColorGreen(entry);
    blue_[i] = ColorBlue(entry);
    red_green_[2 * i] = static_cast<int16_t>(red_[i]);
    red_green_[2 * i + 1] = static_cast<int16_t>(green_[i]);
    blue_zero_[2 * i] = static_cast<int16_t>(blue_[i]);
  }
  valid_ = true;
}

int PaletteSearch::Nearest(int red, int green, int blue) const {
  return valid_ ? Search(red, green, blue) : 0;
}

// Inlined into the fitting loop, where the entries stay in registers across pixels.
inline __attribute__((always_inline)) int PaletteSearch::Search(int red, int green,
                                                                int blue) const {
#if defined(__SSE2__)
  // Each lane holds distance * 16 + index: the smallest key is the nearest entry, the
  // lowest index on a tie. A key is below 3 * 255^2 * 16 + 16 < 2^24, so it is exact
  // as a float, and the float minimum (one instruction, where the integer one is not)
  // orders keys as integers would.
  const __m128i pixel_red_green = _mm_set1_epi32(red | (green << 16));
  const __m128i pixel_blue = _mm_set1_epi32(blue);
  __m128 best = _mm_set1_ps(1e30f);
  for (int group = 0; group < kPaletteSize / 4; ++group) {
    const __m128i rg = _mm_sub_epi16(
        _mm_load_si128(reinterpret_cast<const __m128i*>(red_green_) + group), pixel_red_green);
    const __m128i b = _mm_sub_epi16(
        _mm_load_si128(reinterpret_cast<const __m128i*>(blue_zero_) + group), pixel_blue);
    const __m128i distance = _mm_add_epi32(_mm_madd_epi16(rg, rg), _mm_madd_epi16(b, b));
    const __m128i index = _mm_setr_epi32(group * 4, group * 4 + 1, group * 4 + 2, group * 4 + 3);
    best = _mm_min_ps(best, _mm_cvtepi32_ps(_mm_or_si128(_mm_slli_epi32(distance, 4), index)));
  }
  best = _mm_min_ps(best, _mm_shuffle_ps(best, best, _MM_SHUFFLE(1, 0, 3, 2)));
  best = _mm_min_ps(best, _mm_shuffle_ps(best, best, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<int>(_mm_cvtss_f32(best)) & 15;
#else
  int best = 0;
  int best_distance = 0x7FFFFFFF;
  for (int i = 0; i < kPaletteSize; ++i) {
    const int dr = red - red_[i];
    const int dg = green - green_[i];
    const int db = blue - blue_[i];
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best = i;
      best_distance = distance;
    }
  }
  return best;
#endif
}

int NearestPaletteIndex(ColorValue color, int row) {
  return PaletteSearch(row).Nearest(ColorRed(color), ColorGreen(color), ColorBlue(color));
}

ColorValue NearestPaletteColor(ColorValue color, int row) {
  return PaletteColor(NearestPaletteIndex(color, row), row);
}

void FitImageToPalette(RgbaImage& image, int row) {
  // The row is read once; every pixel is then compared with its 16 entries directly in
  // the pixel buffer.
  const PaletteSearch search(row);
  if (!search.valid()) return;
  const int channels = image.channels();
  for (int y = 0; y < image.height(); ++y) {
    uint8_t* p = image.Row(y);
    for (int x = 0; x < image.width(); ++x, p += channels) {
      const int i = search.Search(p[0], p[1], p[2]);
      p[0] = static_cast<uint8_t>(search.Red(i));
      p[1] = static_cast<uint8_t>(search.Green(i));
      p[2] = static_cast<uint8_t>(search.Blue(i));
    }
  }
}

}  // namespace brasswick
