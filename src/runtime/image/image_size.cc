#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/image/byte_io.h"
#include "runtime/image/image.h"
#include "runtime/image/image_codecs.h"

namespace brasswick {
namespace {

uint32_t ReadBe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
uint16_t ReadBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// The signature, then the IHDR chunk, which must come first: length 13, "IHDR", width,
// height.
std::optional<ImageSize> PngSize(const uint8_t* data, size_t size) {
  constexpr size_t kHeaderEnd = 8 + 8 + 8;
  if (size < kHeaderEnd || ReadBe32(data + 8) != 13 || data[12] != 'I' || data[13] != 'H' ||
      data[14] != 'D' || data[15] != 'R') {
    return std::nullopt;
  }
  return ImageSize{ReadBe32(data + 16), ReadBe32(data + 20)};
}

// The frame header (SOF0-SOF15 but for DHT, JPG and DAC) holds the size; the segments
// before it are stepped over by their lengths, and stray bytes between segments are
// skipped, as the decoder skips them.
std::optional<ImageSize> JpegSize(const uint8_t* data, size_t size) {
  size_t at = 2;
  while (at + 4 <= size) {
    if (data[at] != 0xFF) {
      ++at;
      continue;
    }
    const uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // image data before a frame
    const size_t length = ReadBe16(data + at + 2);
    if (length < 2) return std::nullopt;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || at + 9 > size) return std::nullopt;
      return ImageSize{ReadBe16(data + at + 7), ReadBe16(data + at + 5)};
    }
    at += 2 + length;
  }
  return std::nullopt;
}

std::optional<ImageSize> BmpSize(const uint8_t* data, size_t size) {
  if (size < 26) return std::nullopt;
  const int64_t height = ReadLeInt32(data + 22);
  return ImageSize{ReadLeInt32(data + 18), height < 0 ? -height : height};
}

}  // namespace

std::optional<ImageSize> ReadImageSize(const uint8_t* data, size_t size) {
  if (data == nullptr) return std::nullopt;
  if (HasPngSignature(data, size)) return PngSize(data, size);
  if (HasJpegSignature(data, size)) return JpegSize(data, size);
  if (HasBmpSignature(data, size)) return BmpSize(data, size);
  return std::nullopt;
}

}  // namespace brasswick
