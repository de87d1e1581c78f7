#include "runtime/image/encoder_input.h"

namespace brasswick {

EncoderInput::EncoderInput(const RgbaImage& image, bool keep_alpha)
    : image_(image),
      channels_(image.channels() == 4 && keep_alpha ? 4 : 3),
      flatten_(image.channels() == 4 && !keep_alpha) {
  // One row of scratch space: flattening never needs the whole image in memory.
  if (flatten_) scratch_.resize(static_cast<size_t>(image.width()) * 3);
}

const uint8_t* EncoderInput::Row(int y) {
  const uint8_t* source = image_.Row(y);
  if (!flatten_) return source;
  uint8_t* out = scratch_.data();
  const int width = image_.width();
  for (int x = 0; x < width; ++x, source += 4, out += 3) {
    const int alpha = source[3];
    out[0] = OverWhite(source[0], alpha);
    out[1] = OverWhite(source[1], alpha);
    out[2] = OverWhite(source[2], alpha);
  }
  return scratch_.data();
}

void EncoderInput::Pixel(int x, int y, uint8_t rgba[4]) const {
  const uint8_t* p = image_.Row(y) + static_cast<size_t>(x) * image_.channels();
  if (flatten_) {
    rgba[0] = OverWhite(p[0], p[3]);
    rgba[1] = OverWhite(p[1], p[3]);
    rgba[2] = OverWhite(p[2], p[3]);
    rgba[3] = 255;
    return;
  }
  rgba[0] = p[0];
  rgba[1] = p[1];
  rgba[2] = p[2];
  rgba[3] = image_.channels() == 4 ? p[3] : 255;
}

}  // namespace brasswick
