// The checks every picture decoder's target makes on what it decoded.
#ifndef BRASSWICK_FUZZ_IMAGE_CHECKS_H_
#define BRASSWICK_FUZZ_IMAGE_CHECKS_H_

#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz_support.h"
#include "runtime/image/image.h"

namespace brasswick::fuzz {

// The picture has the size its header claims and an 8-bit RGB or RGBA buffer that
// holds every row; reading each row's first and last pixel lets the sanitizer see a
// buffer that is too short.
inline void CheckDecoded(const RgbaImage& image, uint32_t width, uint32_t height) {
  FUZZ_CHECK(static_cast<uint32_t>(image.width()) == width);
  FUZZ_CHECK(static_cast<uint32_t>(image.height()) == height);
  FUZZ_CHECK(image.depth() == 24 || image.depth() == 32);
  FUZZ_CHECK(image.channels() * 8 == image.depth());
  FUZZ_CHECK(image.rowstride() >= image.width() * image.channels());
  unsigned sum = 0;
  for (int y = 0; y < image.height(); ++y) {
    const uint8_t* row = image.Row(y);
    sum += row[0] + row[image.width() * image.channels() - 1];
  }
  volatile unsigned keep = sum;
  (void)keep;
}

// The sides its header declares, read without decoding, are the sides the decoder
// gave: callers refuse pictures of the wrong size by them before decoding.
inline void CheckDeclaredSize(const uint8_t* data, size_t size, const RgbaImage& image) {
  const std::optional<ImageSize> declared = ReadImageSize(data, size);
  FUZZ_CHECK(declared.has_value());
  FUZZ_CHECK(declared->width == image.width());
  FUZZ_CHECK(declared->height == image.height());
}

}  // namespace brasswick::fuzz

#endif  // BRASSWICK_FUZZ_IMAGE_CHECKS_H_
