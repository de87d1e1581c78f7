#include "color/output_paths.h"

#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

constexpr int kSaveQuality = 9;

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

ImageFormat ImageFormatForPath(std::string_view path) {
  std::string extension = DottedExtension(path);
  if (!extension.empty()) extension = LowerAscii(extension.substr(1));
  if (extension == "jpg" || extension == "jpeg") return ImageFormat::kJpeg;
  if (extension == "jpg2") return ImageFormat::kJpeg2000;
  if (extension == "png") return ImageFormat::kPng;
  return ImageFormat::kBmp;
}

WriteResult SaveImageByExtension(const RgbaImage& image, const std::string& path) {
  return SaveImageFile(image, path, ImageFormatForPath(path), kSaveQuality, 0);
}

}  // namespace brasswick
