// The palette table: 16 colour indices in three rows (standard, alternate, custom) and
// the row the image commands draw with. Process-wide state, set up by InitPalettes().
#ifndef BRASSWICK_COLOR_PALETTE_H_
#define BRASSWICK_COLOR_PALETTE_H_

#include "runtime/image/color_value.h"

namespace brasswick {

inline constexpr int kPaletteSize = 16;
inline constexpr int kStandardRow = 0;
inline constexpr int kAlternateRow = 1;  // named by users as indices 128-143
inline constexpr int kCustomRow = 2;
inline constexpr int kPaletteRowCount = 3;
inline constexpr int kActiveRow = -1;

// Fills the standard and alternate rows, resets the custom row to the standard colours
// and selects the standard row. Safe to call again (tests use it to reset).
void InitPalettes();

// Makes row (0-2) the active row and gives the previous one; other values change
// nothing.
int SelectPaletteRow(int row);
int ActivePaletteRow();

// Stores the colour, masked to its low 24 bits, at index (0-15) of the custom row and
// selects the custom row. Indices outside 0-15 change nothing.
void SetCustomColor(int index, ColorValue color);

// The entry at (index, row); row kActiveRow means the active row. Entries carry no
// alpha. kNoColor for an index outside 0-15 or an unknown row.
ColorValue PaletteColor(int index, int row = kActiveRow);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_PALETTE_H_
