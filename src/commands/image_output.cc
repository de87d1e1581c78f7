#include "commands/image_output.h"

#include <algorithm>
#include <limits>

#include "color/output_paths.h"
#include "color/render.h"
#include "commands/failure_codes.h"
#include "console/console.h"
#include "forms/cart_writer.h"
#include "runtime/platform/file_identity.h"

namespace brasswick {

std::string PictureSizeReason(int64_t width, int64_t height) {
  const std::string limit = "; the limit is " + std::to_string(kMaxImageSide) + ".";
  if (width > kMaxImageSide) {
    return "The picture would be " + std::to_string(width) + " pixels wide" + limit;
  }
  if (height > kMaxImageSide) {
    return "The picture would be " + std::to_string(height) + " pixels high" + limit;
  }
  return std::string();
}

std::string ScaledSizeReason(int64_t width, int64_t height, int64_t factor) {
  if (width < 1 || height < 1 || factor < 2) return std::string();
  // A factor this large makes a side that no 64-bit count can hold, far past the limit.
  if (factor > std::numeric_limits<int64_t>::max() / std::max(width, height)) {
    return "The picture would be larger than the limit of " + std::to_string(kMaxImageSide) +
           " pixels a side.";
  }
  return PictureSizeReason(width * factor, height * factor);
}

bool UpscaleForOutput(RgbaImage& image, int64_t factor, int64_t code,
                      const std::string& failure_message) {
  if (UpscaleImage(image, factor)) return true;
  std::string reason = ScaledSizeReason(image.width(), image.height(), factor);
  RecordFailure(code, reason.empty() ? failure_message : failure_message + "\n" + reason);
  return false;
}

bool SaveOutputImage(const RgbaImage& image, const std::string& path) {
  const WriteResult saved = SaveImageByExtension(image, path);
  if (saved) return true;
  std::string reason;
  if (ImageFormatForPath(path) == ImageFormat::kBmp &&
      !FormatWritesDepth(ImageFormat::kBmp, image.source_depth())) {
    reason = "A depth of " + std::to_string(image.source_depth()) +
             " bits per pixel is not supported for BMP files.";
  }
  RecordFailure(kSaveImageFailed, WithWriteNote(SaveImageFailedMessage(path, reason), saved));
  return false;
}

bool SaveCartPicture(const RgbaImage& image, const std::string& path) {
  const WriteResult saved = SaveCartPictureFile(image, path);
  if (saved) return true;
  RecordFailure(kSaveImageFailed, WithWriteNote(SaveImageFailedMessage(path), saved));
  return false;
}

bool CheckOutputIsNotInput(const std::string& input_path, const std::string& output_path) {
  if (!SameFile(input_path, output_path)) return true;
  RecordFailure(kSaveImageFailed, OutputIsInputMessage(output_path));
  return false;
}

}  // namespace brasswick
