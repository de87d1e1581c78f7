// The PNG loader on any bytes. Before decoding, the target writes the right CRC into
// every chunk that fits in the data, so that the fuzzer's changes reach the chunks'
// contents instead of stopping at their checksums. A decoded picture has IHDR's
// width and height, and an alpha channel when the colour type has one.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "image_checks.h"
#include "runtime/image/image.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Other signatures would reach the other decoders.
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  const bool framed = size >= 8 + 8 + 13 && std::memcmp(data + 12, "IHDR", 4) == 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int colour_type = -1;
  if (framed) {
    brasswick::fuzz::RepairChunkCrcs(bytes);
    width = brasswick::fuzz::ReadBe32(data + 16);
    height = brasswick::fuzz::ReadBe32(data + 20);
    colour_type = data[25];
    if (uint64_t{width} * height > brasswick::fuzz::kMaxFuzzPixels) return 0;
  }
  const brasswick::ImagePtr image = brasswick::LoadImageFromMemory(bytes.data(), bytes.size());
  if (image == nullptr) return 0;
  // Anything decoded as PNG had a signature and a header chunk first.
  FUZZ_CHECK(framed);
  brasswick::fuzz::CheckDecoded(*image, width, height);
  brasswick::fuzz::CheckDeclaredSize(data, size, *image);
  if (colour_type == 4 || colour_type == 6) FUZZ_CHECK(image->depth() == 32);
  return 0;
}
