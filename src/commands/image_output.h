// The last steps of the image commands: the size a picture may reach, and saving it
// with a failure message that says why when the reason is known.
#ifndef BRASSWICK_COMMANDS_IMAGE_OUTPUT_H_
#define BRASSWICK_COMMANDS_IMAGE_OUTPUT_H_

#include <cstdint>
#include <string>

#include "runtime/image/image.h"

namespace brasswick {

// "The picture would be <width> pixels wide; the limit is 32767." (or "high" when only
// the height is too large); empty when both sides are within the limit.
std::string PictureSizeReason(int64_t width, int64_t height);

// PictureSizeReason() of the picture enlarged by factor, without overflowing.
std::string ScaledSizeReason(int64_t width, int64_t height, int64_t factor);

// Enlarges by the whole factor (below 2 changes nothing). On failure records code with
// failure_message, followed by the size reason when the picture would be too large.
bool UpscaleForOutput(RgbaImage& image, int64_t factor, int64_t code,
                      const std::string& failure_message);

// Saves by the path's extension. On failure records 131 "Failed to save image file:"
// and the path, followed by the reason when it is known (a depth the format has no
// writer for). False when a failure was recorded.
bool SaveOutputImage(const RgbaImage& image, const std::string& path);

// Saves a cartridge picture as a 32-bit RGBA PNG whatever the path's ending, for any
// other format would lose the game its pixels carry. On failure records 131 "Failed
// to save image file:" and the path. False when a failure was recorded.
bool SaveCartPicture(const RgbaImage& image, const std::string& path);

// An output that would overwrite the input cartridge is refused: records 131 "Output
// file is the input cartridge:" and the path, and gives false.
bool CheckOutputIsNotInput(const std::string& input_path, const std::string& output_path);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_IMAGE_OUTPUT_H_
