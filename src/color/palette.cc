#include "color/palette.h"

#include <array>

namespace brasswick {
namespace {

// Written as 0xRRGGBB for reading; stored as ColorValue (red in the low byte).
constexpr std::array<uint32_t, kPaletteSize> kStandardRgb = {
    0x000000, 0x1D2B53, 0x7E2553, 0x008751, 0xAB5236, 0x5F574F, 0xC2C3C7, 0xFFF1E8,
    0xFF004D, 0xFFA300, 0xFFEC27, 0x00E436, 0x29ADFF, 0x83769C, 0xFF77A8, 0xFFCCAA};
constexpr std::array<uint32_t, kPaletteSize> kAlternateRgb = {
    0x291814, 0x111D35, 0x422136, 0x125359, 0x742F29, 0x49333B, 0xA28879, 0xF3EF7D,
    0xBE1250, 0xFF6C24, 0xA8E72E, 0x00B543, 0x065AB5, 0x754665, 0xFF6E59, 0xFF9D81};

constexpr ColorValue FromRgb(uint32_t rgb) {
  return MakeColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

struct PaletteState {
  std::array<std::array<ColorValue, kPaletteSize>, kPaletteRowCount> rows{};
  int active_row = kStandardRow;

  PaletteState() { Reset(); }
  void Reset() {
    for (int i = 0; i < kPaletteSize; ++i) {
      rows[kStandardRow][i] = FromRgb(kStandardRgb[i]);
      rows[kAlternateRow][i] = FromRgb(kAlternateRgb[i]);
      rows[kCustomRow][i] = FromRgb(kStandardRgb[i]);
    }
    active_row = kStandardRow;
  }
};

PaletteState& State() {
  static PaletteState state;
  return state;
}

}  // namespace

void InitPalettes() { State().Reset(); }

int SelectPaletteRow(int row) {
  PaletteState& state = State();
  int previous = state.active_row;
  if (row >= 0 && row < kPaletteRowCount) state.active_row = row;
  return previous;
}

int ActivePaletteRow() { return State().active_row; }

void SetCustomColor(int index, ColorValue color) {
  if (index < 0 || index >= kPaletteSize) return;
  PaletteState& state = State();
  state.rows[kCustomRow][index] = color & 0xFFFFFF;
  state.active_row = kCustomRow;
}

ColorValue PaletteColor(int index, int row) {
  const PaletteState& state = State();
  if (row == kActiveRow) row = state.active_row;
  if (index < 0 || index >= kPaletteSize || row < 0 || row >= kPaletteRowCount) return kNoColor;
  return state.rows[row][index];
}

}  // namespace brasswick
