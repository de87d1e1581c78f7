// The BMP loader on any bytes. A decoded picture has the width and height of the
// information header, and a depth the loader offers.
#include <cstring>

#include "fuzz_support.h"
#include "image_checks.h"
#include "runtime/image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Other signatures would reach the other decoders.
  if (size < 2 || std::memcmp(data, "BM", 2) != 0) return 0;
  uint32_t width = 0;
  uint32_t height = 0;
  const bool framed = size >= 54;
  if (framed) {
    width = brasswick::fuzz::ReadLe32(data + 18);
    height = brasswick::fuzz::ReadLe32(data + 22);
    // A negative height is refused, so only heights read as positive can decode.
    if (uint64_t{width} * height > brasswick::fuzz::kMaxFuzzPixels) return 0;
  }
  const brasswick::ImagePtr image = brasswick::LoadImageFromMemory(data, size);
  if (image == nullptr) return 0;
  FUZZ_CHECK(framed);
  brasswick::fuzz::CheckDecoded(*image, width, height);
  brasswick::fuzz::CheckDeclaredSize(data, size, *image);
  const int bits = data[28] | (data[29] << 8);
  FUZZ_CHECK(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
  FUZZ_CHECK(image->source_depth() == bits);
  if (bits != 32) FUZZ_CHECK(image->depth() == 24);
  return 0;
}
