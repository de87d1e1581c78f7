// The .p8.png payload decoder on any picture bytes. A picture of the cartridge shape
// gives the 32 800 bytes its pixels' low bits hold; writing them back changes no pixel,
// writing other bytes reads those back and keeps the upper six bits, and a label
// written from the same picture leaves the payload as it was. Any other picture gives
// no payload.
#include <cstring>
#include <optional>
#include <vector>

#include "cart/cart_image.h"
#include "fuzz_support.h"
#include "runtime/image/image.h"

namespace {

using brasswick::CartPayload;
using brasswick::RgbaImage;

// The payload read straight from the pixel buffer: alpha, red, green, blue low bits.
CartPayload PixelPayload(const RgbaImage& image) {
  CartPayload payload;
  for (int y = 0; y < brasswick::kCartImageHeight; ++y) {
    const uint8_t* p = image.Row(y);
    for (int x = 0; x < brasswick::kCartImageWidth; ++x, p += 4) {
      payload.push_back(static_cast<uint8_t>(((p[3] & 3) << 6) | ((p[0] & 3) << 4) |
                                             ((p[1] & 3) << 2) | (p[2] & 3)));
    }
  }
  return payload;
}

// The upper six bits of every channel, row by row.
std::vector<uint8_t> Picture(const RgbaImage& image) {
  std::vector<uint8_t> bits;
  for (int y = 0; y < image.height(); ++y) {
    const uint8_t* row = image.Row(y);
    for (int i = 0; i < image.width() * image.channels(); ++i) bits.push_back(row[i] & 0xFC);
  }
  return bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  brasswick::fuzz::RepairChunkCrcs(bytes);
  if (size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0 &&
      uint64_t{brasswick::fuzz::ReadBe32(data + 16)} * brasswick::fuzz::ReadBe32(data + 20) >
          brasswick::fuzz::kMaxFuzzPixels) {
    return 0;
  }
  const brasswick::ImagePtr image = brasswick::LoadImageFromMemory(bytes.data(), bytes.size());
  if (image == nullptr) return 0;
  std::optional<CartPayload> payload = brasswick::DecodeCartPixels(*image);
  FUZZ_CHECK(payload.has_value() == brasswick::IsCartImageShape(*image));
  if (!payload) {
    FUZZ_CHECK(
        !brasswick::EncodeCartPixels(*image, std::vector<uint8_t>(brasswick::kCartPayloadSize)));
    return 0;
  }
  FUZZ_CHECK(payload->size() == brasswick::kCartPayloadSize);
  FUZZ_CHECK(*payload == PixelPayload(*image));

  const std::vector<uint8_t> picture = Picture(*image);
  const brasswick::ImagePtr copy = brasswick::CopyImage(*image);
  FUZZ_CHECK(copy != nullptr);
  FUZZ_CHECK(brasswick::EncodeCartPixels(*image, *payload));
  for (int y = 0; y < image->height(); ++y) {
    FUZZ_CHECK(std::memcmp(image->Row(y), copy->Row(y), image->width() * 4) == 0);
  }

  CartPayload changed = *payload;
  for (uint8_t& b : changed) b ^= 0x5A;
  FUZZ_CHECK(brasswick::EncodeCartPixels(*image, changed));
  FUZZ_CHECK(brasswick::DecodeCartPixels(*image) == changed);
  FUZZ_CHECK(Picture(*image) == picture);

  // A ROM alone leaves the last 32 bytes as they were.
  FUZZ_CHECK(brasswick::EncodeCartPixels(
      *image, std::span<const uint8_t>(payload->data(), brasswick::kCartRomSize)));
  std::optional<CartPayload> mixed = brasswick::DecodeCartPixels(*image);
  FUZZ_CHECK(mixed.has_value());
  FUZZ_CHECK(
      std::equal(mixed->begin(), mixed->begin() + brasswick::kCartRomSize, payload->begin()));
  FUZZ_CHECK(std::equal(mixed->begin() + brasswick::kCartRomSize, mixed->end(),
                        changed.begin() + brasswick::kCartRomSize));

  FUZZ_CHECK(brasswick::ApplyCartLabel(*image, *copy));
  FUZZ_CHECK(brasswick::DecodeCartPixels(*image) == mixed);
  return 0;
}
