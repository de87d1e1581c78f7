// Writes the PNG pictures the end-to-end tests feed to the program, with libpng, in
// exactly the form a test asks for (colour type, bit depth, palette, tRNS colour).
#ifndef BRASSWICK_TESTS_E2E_PNG_WRITER_H_
#define BRASSWICK_TESTS_E2E_PNG_WRITER_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brasswick::testing {

struct TestPng {
  int width = 0;
  int height = 0;
  int bit_depth = 8;
  int colour_type = 2;  // PNG_COLOR_TYPE_*: 2 RGB, 3 palette, 6 RGBA
  // Each row's bytes as the file holds them before filtering (packed for depths < 8).
  std::vector<std::vector<uint8_t>> rows;
  std::vector<std::array<uint8_t, 3>> palette;      // colour type 3
  std::optional<std::array<uint16_t, 3>> trns_rgb;  // colour type 2: the transparent colour
  std::vector<uint8_t> trns_alpha;                  // colour type 3: the entries' alphas
};

// False when the file cannot be written.
bool WriteTestPng(const std::string& path, const TestPng& picture);

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_E2E_PNG_WRITER_H_
