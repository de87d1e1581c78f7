#include "e2e/cart_picture.h"

#include <random>

#include "runtime/image/image.h"

namespace brasswick::testing {

CartPicture CartPicture::Load(const std::string& path) {
  CartPicture picture;
  ImagePtr image = LoadImageFile(path);
  if (!image || image->width() != kWidth || image->height() != kHeight || image->channels() != 4) {
    return picture;
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = image->Row(y) + x * 4;
      picture.pixels.push_back({p[0], p[1], p[2], p[3]});
    }
  }
  return picture;
}

CartPicture CartPicture::Template() {
  return Load(std::string(BRASSWICK_SOURCE_DIR) + "/src/cart/cart_template.png");
}

void CartPicture::WritePayload(const std::vector<uint8_t>& bytes) {
  for (size_t n = 0; n < pixels.size() && n < bytes.size(); ++n) {
    Pixel& p = pixels[n];
    const int b = bytes[n];
    p = {(p[0] & 0xFC) | ((b >> 4) & 3), (p[1] & 0xFC) | ((b >> 2) & 3), (p[2] & 0xFC) | (b & 3),
         (p[3] & 0xFC) | (b >> 6)};
  }
}

std::vector<uint8_t> CartPicture::Payload() const {
  std::vector<uint8_t> bytes;
  for (const Pixel& p : pixels) {
    bytes.push_back(static_cast<uint8_t>(((p[3] & 3) << 6) | ((p[0] & 3) << 4) | ((p[1] & 3) << 2) |
                                         (p[2] & 3)));
  }
  return bytes;
}

bool CartPicture::Save(const std::string& path) const {
  ImagePtr image = CreateImage(kWidth, kHeight, 32);
  if (!image || pixels.size() != static_cast<size_t>(kWidth) * kHeight) return false;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      for (int c = 0; c < 4; ++c) image->Row(y)[x * 4 + c] = static_cast<uint8_t>(At(x, y)[c]);
    }
  }
  return SaveImageFile(*image, path, ImageFormat::kPng, kDefaultQuality, 32).ok;
}

std::vector<uint8_t> RandomPayload(uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(CartPicture::kWidth * CartPicture::kHeight);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

}  // namespace brasswick::testing
