// Pixels of the pictures the end-to-end tests read back, as plain values to compare.
#ifndef BRASSWICK_TESTS_E2E_PIXELS_H_
#define BRASSWICK_TESTS_E2E_PIXELS_H_

#include <cstdint>

#include "e2e/cart_builder.h"
#include "runtime/image/image.h"

namespace brasswick::testing {

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

// The pixel at (x, y), which must lie inside the image; alpha 255 for an RGB image.
inline Rgba PixelAt(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * image.channels();
  return {p[0], p[1], p[2], image.channels() == 4 ? p[3] : 255};
}

// The colour of the pixel at (x, y) without its alpha.
inline Rgb PixelRgb(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * image.channels();
  return {p[0], p[1], p[2]};
}

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_E2E_PIXELS_H_
