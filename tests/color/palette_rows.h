// The palette rows as tabled, for unit tests that check colours against them.
#ifndef BRASSWICK_TESTS_COLOR_PALETTE_ROWS_H_
#define BRASSWICK_TESTS_COLOR_PALETTE_ROWS_H_

#include <cstdint>

#include "runtime/image/color_value.h"

namespace brasswick::testing {

constexpr ColorValue Rgb(uint32_t rgb) {
  return MakeColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

inline constexpr uint32_t kStandard[16] = {
    0x000000, 0x1D2B53, 0x7E2553, 0x008751, 0xAB5236, 0x5F574F, 0xC2C3C7, 0xFFF1E8,
    0xFF004D, 0xFFA300, 0xFFEC27, 0x00E436, 0x29ADFF, 0x83769C, 0xFF77A8, 0xFFCCAA};
inline constexpr uint32_t kAlternate[16] = {
    0x291814, 0x111D35, 0x422136, 0x125359, 0x742F29, 0x49333B, 0xA28879, 0xF3EF7D,
    0xBE1250, 0xFF6C24, 0xA8E72E, 0x00B543, 0x065AB5, 0x754665, 0xFF6E59, 0xFF9D81};

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_COLOR_PALETTE_ROWS_H_
