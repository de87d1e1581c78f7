// The drawing operations of ImageDrawing that cover more than one pixel. Plot and Point
// are inline in the header; these clip once and then work on the rows directly.
#include <algorithm>

#include "runtime/image/image.h"

namespace brasswick {

namespace {

// Source over destination with the source's alpha, truncating as the white
// compositing of the encoders does.
inline uint8_t Blend(int source, int destination, int alpha) {
  return static_cast<uint8_t>((alpha * source + (255 - alpha) * destination) / 255);
}

}  // namespace

bool ImageDrawing::BeginDrawing(RgbaImage& image) {
  mode_ = DrawingMode::kDefault;
  if (image.pixels() == nullptr) {
    output_ = nullptr;
    return false;
  }
  output_ = &image;
  return true;
}

void ImageDrawing::Box(int x, int y, int width, int height, ColorValue color) {
  if (output_ == nullptr || width <= 0 || height <= 0) return;
  // Clip in 64 bits: x + width may not fit an int.
  const int left = static_cast<int>(std::max<int64_t>(x, 0));
  const int top = static_cast<int>(std::max<int64_t>(y, 0));
  const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + width, output_->width()));
  const int bottom = static_cast<int>(std::min<int64_t>(int64_t{y} + height, output_->height()));
  for (int row = top; row < bottom; ++row) {
    for (int column = left; column < right; ++column) Plot(column, row, color);
  }
}

void ImageDrawing::Circle(int center_x, int center_y, int radius, ColorValue color) {
  if (output_ == nullptr || radius < 0) return;
  const int64_t radius_squared = int64_t{radius} * radius;
  const int top = static_cast<int>(std::max<int64_t>(int64_t{center_y} - radius, 0));
  const int bottom = static_cast<int>(
      std::min<int64_t>(int64_t{center_y} + radius, int64_t{output_->height()} - 1));
  for (int row = top; row <= bottom; ++row) {
    const int64_t dy = int64_t{row} - center_y;
    // The widest dx with dx^2 + dy^2 <= r^2.
    int64_t half = 0;
    while ((half + 1) * (half + 1) + dy * dy <= radius_squared) ++half;
    const int left = static_cast<int>(std::max<int64_t>(center_x - half, 0));
    const int right =
        static_cast<int>(std::min<int64_t>(center_x + half, int64_t{output_->width()} - 1));
    for (int column = left; column <= right; ++column) Plot(column, row, color);
  }
}

void ImageDrawing::DrawImage(const RgbaImage& source, int x, int y) {
  if (output_ == nullptr || source.pixels() == nullptr || &source == output_) return;
  const int out_channels = output_->channels();
  const int src_channels = source.channels();
  if (mode_ == DrawingMode::kAlphaChannel && out_channels != 4) return;
  // The part of the source that lands inside the output.
  const int64_t src_left = std::max<int64_t>(0, -int64_t{x});
  const int64_t src_top = std::max<int64_t>(0, -int64_t{y});
  const int64_t src_right = std::min<int64_t>(source.width(), int64_t{output_->width()} - x);
  const int64_t src_bottom = std::min<int64_t>(source.height(), int64_t{output_->height()} - y);
  if (src_left >= src_right || src_top >= src_bottom) return;

  // AllChannels on a 24-bit output behaves as Default, compositing included.
  const bool composite =
      src_channels == 4 &&
      (mode_ == DrawingMode::kDefault || (mode_ == DrawingMode::kAllChannels && out_channels == 3));
  const bool write_alpha = mode_ != DrawingMode::kDefault && out_channels == 4;
  const bool write_color = mode_ != DrawingMode::kAlphaChannel;
  for (int64_t sy = src_top; sy < src_bottom; ++sy) {
    const uint8_t* s = source.Row(static_cast<int>(sy)) + src_left * src_channels;
    uint8_t* d = output_->Row(static_cast<int>(sy + y)) + (src_left + x) * out_channels;
    for (int64_t sx = src_left; sx < src_right; ++sx, s += src_channels, d += out_channels) {
      const int alpha = src_channels == 4 ? s[3] : 255;
      if (composite) {
        d[0] = Blend(s[0], d[0], alpha);
        d[1] = Blend(s[1], d[1], alpha);
        d[2] = Blend(s[2], d[2], alpha);
        continue;
      }
      if (write_color) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      if (write_alpha) d[3] = static_cast<uint8_t>(alpha);
    }
  }
}

}  // namespace brasswick
