// SaveImageFile and EncodeImageToMemory: the depth check, the choice of encoder, the
// decision whether alpha is kept, and the atomic write of the encoded bytes.
#include <algorithm>
#include <string_view>

#include "runtime/image/encoder_input.h"
#include "runtime/image/image.h"
#include "runtime/image/image_codecs.h"
#include "runtime/platform/file_system.h"

namespace brasswick {

namespace {

bool ValidSaveDepth(int depth) {
  switch (depth) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

// Whether some pixel is less than fully opaque; stops at the first one.
bool HasTransparency(const RgbaImage& image) {
  if (image.channels() != 4) return false;
  for (int y = 0; y < image.height(); ++y) {
    const uint8_t* p = image.Row(y) + 3;
    for (int x = 0; x < image.width(); ++x, p += 4) {
      if (*p != 255) return true;
    }
  }
  return false;
}

}  // namespace

bool FormatWritesDepth(ImageFormat format, int depth) {
  switch (format) {
    case ImageFormat::kPng:
    case ImageFormat::kJpeg:
      return ValidSaveDepth(depth);
    case ImageFormat::kBmp:
      return depth == 1 || depth == 4 || depth == 8 || depth == 24 || depth == 32;
    case ImageFormat::kJpeg2000:
      return false;
  }
  return false;
}

std::optional<std::vector<uint8_t>> EncodeImageToMemory(const RgbaImage& image, ImageFormat format,
                                                        int quality, int depth) {
  if (image.pixels() == nullptr) return std::nullopt;
  if (depth == 0) depth = image.source_depth();
  if (!ValidSaveDepth(depth)) return std::nullopt;
  if (format == ImageFormat::kJpeg2000) return std::nullopt;
  // Only PNG and BMP have a 32-bit writer; everything else gets white-composited data,
  // except a palette PNG of a picture with transparency: its colour table carries each
  // entry's alpha, so transparent controls and sprites do not turn into white boxes.
  const bool keep_alpha =
      (depth == 32 && format != ImageFormat::kJpeg) ||
      (format == ImageFormat::kPng && depth >= 2 && depth <= 8 && HasTransparency(image));
  EncoderInput input(image, keep_alpha);
  std::vector<uint8_t> out;
  bool ok = false;
  switch (format) {
    case ImageFormat::kPng:
      ok = EncodePng(input, depth, out);
      break;
    case ImageFormat::kJpeg:
      ok = EncodeJpeg(input, std::clamp(quality, 0, 10) * 10, out);
      break;
    case ImageFormat::kBmp:
      ok = EncodeBmp(input, depth, out);
      break;
    case ImageFormat::kJpeg2000:
      ok = false;
      break;
  }
  if (!ok) return std::nullopt;
  return out;
}

WriteResult SaveImageFile(const RgbaImage& image, const std::string& path, ImageFormat format,
                          int quality, int depth, FileAccess& files) {
  std::optional<std::vector<uint8_t>> bytes = EncodeImageToMemory(image, format, quality, depth);
  if (!bytes) return {};
  return WriteFileAtomic(
      path, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), files);
}

}  // namespace brasswick
