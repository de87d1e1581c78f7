// The pixels an encoder writes, row by row: RGBA when the image's alpha is kept,
// otherwise RGB with every pixel composited over white,
// channel = (a * c + (255 - a) * 255) / 255.
#ifndef BRASSWICK_RUNTIME_IMAGE_ENCODER_INPUT_H_
#define BRASSWICK_RUNTIME_IMAGE_ENCODER_INPUT_H_

#include <cstdint>
#include <vector>

#include "runtime/image/image.h"

namespace brasswick {

inline uint8_t OverWhite(int channel, int alpha) {
  return static_cast<uint8_t>((alpha * channel + (255 - alpha) * 255) / 255);
}

class EncoderInput {
 public:
  // The image must outlive this object. keep_alpha matters only for a 32-bit image.
  EncoderInput(const RgbaImage& image, bool keep_alpha);
  EncoderInput(const EncoderInput&) = delete;
  EncoderInput& operator=(const EncoderInput&) = delete;

  int width() const { return image_.width(); }
  int height() const { return image_.height(); }
  int channels() const { return channels_; }  // 3 or 4
  // Row y (0 = top) with channels() bytes a pixel. The pointer stays valid until the
  // next call. False-free: y must lie in 0..height()-1.
  const uint8_t* Row(int y);
  // One pixel as RGBA (alpha 255 when the row has no alpha).
  void Pixel(int x, int y, uint8_t rgba[4]) const;

 private:
  const RgbaImage& image_;
  int channels_;
  bool flatten_;
  std::vector<uint8_t> scratch_;
};

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_IMAGE_ENCODER_INPUT_H_
