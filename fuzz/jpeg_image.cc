// The JPEG loader on any bytes that start like a JPEG file. A decoded picture is 24-bit and has the
// size of the frame header, found by walking the marker segments from the start of the file.
#include <optional>
#include <utility>

#include "fuzz_support.h"
#include "image_checks.h"
#include "runtime/image/image.h"

namespace {

// The width and height of the first frame header, when the segments before it are
// laid out without stray bytes between them.
std::optional<std::pair<uint32_t, uint32_t>> FrameSize(const uint8_t* data, size_t size) {
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return std::nullopt;
  size_t position = 2;
  while (position + 4 <= size) {
    if (data[position] != 0xFF) return std::nullopt;
    const uint8_t marker = data[position + 1];
    if (marker == 0xFF) {
      ++position;  // a fill byte
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA || (marker >= 0xD0 && marker <= 0xD8)) {
      return std::nullopt;
    }
    const uint32_t length = brasswick::fuzz::ReadBe16(data + position + 2);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (position + 9 > size) return std::nullopt;
      return std::make_pair(brasswick::fuzz::ReadBe16(data + position + 7),
                            brasswick::fuzz::ReadBe16(data + position + 5));
    }
    if (length < 2) return std::nullopt;
    position += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Only a frame whose size is known before decoding is decoded: the loader would
  // accept up to 32767 x 32767, more memory than a run may take.
  const std::optional<std::pair<uint32_t, uint32_t>> frame = FrameSize(data, size);
  if (!frame || uint64_t{frame->first} * frame->second > brasswick::fuzz::kMaxFuzzPixels) {
    return 0;
  }
  const brasswick::ImagePtr image = brasswick::LoadImageFromMemory(data, size);
  if (image == nullptr) return 0;
  FUZZ_CHECK(image->depth() == 24);
  FUZZ_CHECK(image->source_depth() == 24);
  brasswick::fuzz::CheckDecoded(*image, frame->first, frame->second);
  brasswick::fuzz::CheckDeclaredSize(data, size, *image);
  return 0;
}
