// Cartridge pictures for end-to-end tests: the program's blank cartridge with a known
// payload written into its pixels, and the payload read back, both by the bit layout
// (byte bits 7-6 in alpha, 5-4 red, 3-2 green, 1-0 blue; pixel (x, y) is byte
// y * 160 + x) rather than by the program's own codec.
#ifndef BRASSWICK_TESTS_E2E_CART_PICTURE_H_
#define BRASSWICK_TESTS_E2E_CART_PICTURE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace brasswick::testing {

using Pixel = std::array<int, 4>;  // red, green, blue, alpha

struct CartPicture {
  static constexpr int kWidth = 160;
  static constexpr int kHeight = 205;
  std::vector<Pixel> pixels;  // row by row

  Pixel& At(int x, int y) { return pixels[static_cast<size_t>(y) * kWidth + x]; }
  const Pixel& At(int x, int y) const { return pixels[static_cast<size_t>(y) * kWidth + x]; }

  // The committed template picture; empty pixels when it cannot be read.
  static CartPicture Template();
  // Pixels of a 160 x 205 RGBA PNG file; empty pixels when it is anything else.
  static CartPicture Load(const std::string& path);

  void WritePayload(const std::vector<uint8_t>& bytes);  // 32 800 bytes
  std::vector<uint8_t> Payload() const;
  bool Save(const std::string& path) const;  // as an 8-bit RGBA PNG
};

std::vector<uint8_t> RandomPayload(uint32_t seed);

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_E2E_CART_PICTURE_H_
