// An output picture saved in the format its path's extension names. The extension of a
// path is the text after the last "." of its file name (the part after the last "/");
// a file name without "." has none.
#ifndef BRASSWICK_COLOR_OUTPUT_PATHS_H_
#define BRASSWICK_COLOR_OUTPUT_PATHS_H_

#include <string>
#include <string_view>

#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"

namespace brasswick {

// The encoder an output path asks for: "jpg"/"jpeg" JPEG, "jpg2" JPEG 2000, "png" PNG,
// anything else (no extension included) BMP; the extension compared in lower case.
ImageFormat ImageFormatForPath(std::string_view path);

// Saves with ImageFormatForPath(path), quality 9, at the image's source depth (32 for
// every rendered image; a loaded palette picture keeps its palette depth). Fails when
// the encoder or the file fails (JPEG 2000 always fails: there is no encoder).
WriteResult SaveImageByExtension(const RgbaImage& image, const std::string& path);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_OUTPUT_PATHS_H_
