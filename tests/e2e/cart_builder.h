// Builds .p8 cartridge texts for end-to-end tests from pixel and cell data, and gives
// the colours those data must come out as, straight from the cartridge layout rules.
#ifndef BRASSWICK_TESTS_E2E_CART_BUILDER_H_
#define BRASSWICK_TESTS_E2E_CART_BUILDER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace brasswick::testing {

// The cartridge's sizes and places, as the format gives them, and a .p8's first line.
inline constexpr size_t kRomSize = 32768;
inline constexpr size_t kPayloadSize = 32800;  // the ROM and the 32 bytes after it
inline constexpr size_t kCodeStart = 0x4300;
inline constexpr size_t kCodeAreaSize = 0x3D00;
inline constexpr char kP8Header[] = "pico-8 cartridge // http://www.pico-8.com\n";

// The palette rows as tabled: red, green, blue.
struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};
inline constexpr std::array<Rgb, 16> kStandardPalette = {{
    {0x00, 0x00, 0x00},
    {0x1D, 0x2B, 0x53},
    {0x7E, 0x25, 0x53},
    {0x00, 0x87, 0x51},
    {0xAB, 0x52, 0x36},
    {0x5F, 0x57, 0x4F},
    {0xC2, 0xC3, 0xC7},
    {0xFF, 0xF1, 0xE8},
    {0xFF, 0x00, 0x4D},
    {0xFF, 0xA3, 0x00},
    {0xFF, 0xEC, 0x27},
    {0x00, 0xE4, 0x36},
    {0x29, 0xAD, 0xFF},
    {0x83, 0x76, 0x9C},
    {0xFF, 0x77, 0xA8},
    {0xFF, 0xCC, 0xAA},
}};
inline constexpr std::array<Rgb, 16> kAlternatePalette = {{
    {0x29, 0x18, 0x14},
    {0x11, 0x1D, 0x35},
    {0x42, 0x21, 0x36},
    {0x12, 0x53, 0x59},
    {0x74, 0x2F, 0x29},
    {0x49, 0x33, 0x3B},
    {0xA2, 0x88, 0x79},
    {0xF3, 0xEF, 0x7D},
    {0xBE, 0x12, 0x50},
    {0xFF, 0x6C, 0x24},
    {0xA8, 0xE7, 0x2E},
    {0x00, 0xB5, 0x43},
    {0x06, 0x5A, 0xB5},
    {0x75, 0x46, 0x65},
    {0xFF, 0x6E, 0x59},
    {0xFF, 0x9D, 0x81},
}};

// A cartridge's picture data as the .p8 text holds it: one colour index a pixel for the
// sheet and the label, one sprite number a cell for the map's upper 32 rows.
struct CartPictures {
  std::vector<std::vector<int>> sheet;  // 128 rows of 128 indices
  std::vector<std::vector<int>> label;  // 128 rows of 128 colours 0-31
  std::vector<std::vector<int>> map;    // 32 rows of 128 sprite numbers

  CartPictures();
  void Randomize(uint32_t seed);

  // The sprite number of map cell (x, y), 0 <= y < 64: the lower half is read from the
  // sheet's lower half, a byte's left pixel in its low nibble.
  int MapCell(int x, int y) const;
  // The colour index of map pixel (x, y) of the 1024 x 512 map.
  int MapPixel(int x, int y) const;
  int SheetPixel(int x, int y) const { return sheet[y][x]; }

  // "pico-8 cartridge" text with __lua__, __gfx__, __label__ and __map__ sections.
  std::string ToP8(bool with_label = true, bool with_map = true) const;
  // The 32 800 bytes a .p8.png or player carries for these pictures: the sheet at 0x0000,
  // each byte's left pixel in its low nibble, the map's upper half at 0x2000, and noise
  // from seed everywhere else, which no reader of the pictures may take.
  std::vector<uint8_t> Memory(uint32_t seed) const;
};

std::string HexDigit(int value);
// A label pixel's digit: "0"-"9", then "a"-"v" for colours 10-31.
std::string LabelDigit(int color);
// The colour a label pixel shows: 0-15 the standard palette's, 16-31 the alternate's.
Rgb LabelRgb(int color);

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_E2E_CART_BUILDER_H_
