// Image services: RgbaImage, loading PNG/JPEG/BMP by content, creating,
// copying, cropping, resizing, drawing pixel by pixel, and saving PNG/JPEG/BMP.
// Nothing here prints; every failure is reported by the result.
#ifndef BRASSWICK_RUNTIME_IMAGE_IMAGE_H_
#define BRASSWICK_RUNTIME_IMAGE_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/image/color_value.h"
#include "runtime/platform/file_system.h"

typedef struct _GdkPixbuf GdkPixbuf;

namespace brasswick {

// Width and height above this are refused before any pixel memory is allocated.
inline constexpr int kMaxImageSide = 32767;
// A PNG, JPEG or BMP file to be decoded (at most kMaxImageSide pixels a side) is read
// whole only up to this size.
inline constexpr uint64_t kMaxPictureFileSize = 64 * kMiB;

enum class ImageFormat { kPng, kJpeg, kBmp, kJpeg2000 };
enum class ResizeMode { kRaw, kSmooth };
enum class DrawingMode { kDefault, kAlphaChannel, kAllChannels };

// An image of 8-bit channels, RGB (depth 24) or RGBA (depth 32). source_depth is the
// bit depth of the file it came from (PNG: 24 RGB, 32 RGBA, else the sample depth of
// palette and grey files; BMP: bits per pixel; JPEG: 24; created: the depth asked
// for). Copies, crops and resizes carry it over; saving uses it by default.
class RgbaImage {
 public:
  // Takes ownership of one reference to an 8-bit RGB or RGBA pixbuf.
  RgbaImage(GdkPixbuf* pixbuf, int source_depth);
  // Takes ownership of a buffer of height rows of rowstride bytes, channels 3 or 4.
  RgbaImage(std::unique_ptr<uint8_t[]> buffer, int width, int height, int channels, int rowstride,
            int source_depth);
  ~RgbaImage();
  RgbaImage(const RgbaImage&) = delete;
  RgbaImage& operator=(const RgbaImage&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  int depth() const { return channels_ == 4 ? 32 : 24; }
  int channels() const { return channels_; }
  int source_depth() const { return source_depth_; }
  void set_source_depth(int depth) { source_depth_ = depth; }
  int rowstride() const { return rowstride_; }
  uint8_t* pixels() { return pixels_; }
  const uint8_t* pixels() const { return pixels_; }
  uint8_t* Row(int y) { return pixels_ + static_cast<std::ptrdiff_t>(y) * rowstride_; }
  const uint8_t* Row(int y) const { return pixels_ + static_cast<std::ptrdiff_t>(y) * rowstride_; }
  // Replaces the pixels by a pixbuf's (used by resizing); takes ownership of one
  // reference.
  void ReplacePixbuf(GdkPixbuf* pixbuf);

 private:
  void CacheLayout();

  // The pixels are either a plain buffer (decoded and created pictures, which need no
  // picture library) or a pixbuf (what the scaler gives back).
  GdkPixbuf* pixbuf_ = nullptr;
  std::unique_ptr<uint8_t[]> buffer_;
  uint8_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int channels_ = 0;
  int rowstride_ = 0;
  int source_depth_ = 0;
};

using ImagePtr = std::unique_ptr<RgbaImage>;

// Loading: the decoder is chosen by the content (PNG, JPEG or BMP signature). None when
// no decoder accepts the data, the data is damaged or the picture is too large. A file
// is read as ReadWholeFile reads it: a regular file of at most kMaxPictureFileSize
// bytes, else none.
ImagePtr LoadImageFile(const std::string& path);
ImagePtr LoadImageFromMemory(const uint8_t* data, size_t size);

// The width and height a PNG, JPEG or BMP file declares in its header, read without
// decoding anything, so that a caller can refuse a picture of the wrong size before
// its pixels cost memory and time. None when the data has no recognised signature or
// its header is cut short or damaged. The sides are as declared (not yet checked
// against kMaxImageSide); a BMP's negative height is given as its magnitude.
struct ImageSize {
  int64_t width = 0;
  int64_t height = 0;
};
std::optional<ImageSize> ReadImageSize(const uint8_t* data, size_t size);

// A new image filled with opaque black; depth 24 or 32. None for sizes below 1 or
// above kMaxImageSide.
ImagePtr CreateImage(int width, int height, int depth);
ImagePtr CopyImage(const RgbaImage& image);
// A deep copy of the rectangle; none unless it lies inside the image and is not empty.
ImagePtr CopyImageRegion(const RgbaImage& image, int x, int y, int width, int height);
// Raw: nearest neighbour; Smooth: bilinear. In place; the current size changes nothing.
// False (image unchanged) for sizes outside 1..kMaxImageSide or when the scaling library
// fails (it cannot be opened, or its memory runs out).
bool ResizeImage(RgbaImage& image, int width, int height, ResizeMode mode);
// A new image of the rectangle resized to width x height: the same pixels as
// CopyImageRegion followed by ResizeImage, without copying the rectangle first. None
// unless the rectangle lies inside the image and is not empty, for sizes outside
// 1..kMaxImageSide, or when the scaling library fails.
ImagePtr ResizeImageRegion(const RgbaImage& image, int x, int y, int region_width,
                           int region_height, int width, int height, ResizeMode mode);

// Saving. quality is 0-10 (JPEG quality x 10); depth 0 means the image's source_depth.
// Depth must be 1, 2, 4, 8, 16, 24 or 32. Alpha is kept at depth 32 (PNG, BMP) and in
// palette PNGs of depth 2-8 of a picture with transparency (a tRNS chunk); everything
// else is composited over white. The file is written through the atomic writer, by
// `files`: on failure an existing file at path is left as the result says (exactly as it
// was, unless it was being rewritten in place); an encoder failure writes nothing.
inline constexpr int kDefaultQuality = 7;
WriteResult SaveImageFile(const RgbaImage& image, const std::string& path, ImageFormat format,
                          int quality = kDefaultQuality, int depth = 0,
                          FileAccess& files = RealFiles());
std::optional<std::vector<uint8_t>> EncodeImageToMemory(const RgbaImage& image, ImageFormat format,
                                                        int quality = kDefaultQuality,
                                                        int depth = 0);
// Whether the format has a writer for that depth: PNG 1, 2, 4, 8, 16, 24, 32; BMP 1, 4,
// 8, 24, 32; JPEG any of the PNG depths (it always writes 24-bit RGB); JPEG 2000 none.
bool FormatWritesDepth(ImageFormat format, int depth);

// Drawing on one output image. Plot and Point are inline buffer accesses; coordinates
// outside the output are ignored by Plot and read as 0 by Point.
//   Default:      RGB written, alpha kept; Point gives RGB with alpha byte 0;
//                 DrawImage composites a source with alpha over the output.
//   AlphaChannel: only alpha written (from bits 24-31); on a 24-bit output nothing is
//                 drawn; Point gives the full RGBA value.
//   AllChannels:  all four bytes written/copied; on a 24-bit output acts as Default;
//                 Point gives the full RGBA value.
class ImageDrawing {
 public:
  ImageDrawing() = default;
  explicit ImageDrawing(RgbaImage& image) { BeginDrawing(image); }

  bool BeginDrawing(RgbaImage& image);
  void EndDrawing() { output_ = nullptr; }
  void SetDrawingMode(DrawingMode mode) { mode_ = mode; }
  DrawingMode drawing_mode() const { return mode_; }
  int OutputWidth() const { return output_ ? output_->width() : 0; }
  int OutputHeight() const { return output_ ? output_->height() : 0; }

  void Plot(int x, int y, ColorValue color) {
    if (!output_ || x < 0 || y < 0 || x >= output_->width() || y >= output_->height()) return;
    uint8_t* p = output_->Row(y) + x * output_->channels();
    if (mode_ == DrawingMode::kAlphaChannel) {
      if (output_->channels() == 4) p[3] = static_cast<uint8_t>(ColorAlpha(color));
      return;
    }
    p[0] = static_cast<uint8_t>(ColorRed(color));
    p[1] = static_cast<uint8_t>(ColorGreen(color));
    p[2] = static_cast<uint8_t>(ColorBlue(color));
    if (mode_ == DrawingMode::kAllChannels && output_->channels() == 4) {
      p[3] = static_cast<uint8_t>(ColorAlpha(color));
    }
  }

  ColorValue Point(int x, int y) const {
    if (!output_ || x < 0 || y < 0 || x >= output_->width() || y >= output_->height()) return 0;
    const uint8_t* p = output_->Row(y) + x * output_->channels();
    int alpha = 0;
    if (mode_ != DrawingMode::kDefault) alpha = output_->channels() == 4 ? p[3] : 255;
    return MakeColor(p[0], p[1], p[2], alpha);
  }

  void Box(int x, int y, int width, int height, ColorValue color);
  void Circle(int center_x, int center_y, int radius, ColorValue color);
  void DrawImage(const RgbaImage& source, int x, int y);

 private:
  RgbaImage* output_ = nullptr;
  DrawingMode mode_ = DrawingMode::kDefault;
};

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_IMAGE_IMAGE_H_
