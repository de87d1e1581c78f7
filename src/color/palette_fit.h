// Nearest-colour fitting to a palette row by plain RGB distance, first index winning
// ties; alpha is ignored when comparing and kept when writing. No dithering.
#ifndef BRASSWICK_COLOR_PALETTE_FIT_H_
#define BRASSWICK_COLOR_PALETTE_FIT_H_

#include <cstdint>

#include "color/palette.h"
#include "runtime/image/image.h"

namespace brasswick {

// The nearest-entry search over one palette row, its 16 colours read once: the rule of
// NearestPaletteIndex for many pixels. Not valid (and every search gives 0) for an
// unknown row.
class PaletteSearch {
 public:
  explicit PaletteSearch(int row = kActiveRow);
  bool valid() const { return valid_; }
  // The index 0-15 of the entry nearest to the colour, the lowest index on a tie.
  int Nearest(int red, int green, int blue) const;
  int Red(int index) const { return red_[index]; }
  int Green(int index) const { return green_[index]; }
  int Blue(int index) const { return blue_[index]; }

 private:
  friend void FitImageToPalette(RgbaImage& image, int row);
  int Search(int red, int green, int blue) const;  // Nearest of a valid search

  bool valid_ = false;
  int red_[kPaletteSize] = {};
  int green_[kPaletteSize] = {};
  int blue_[kPaletteSize] = {};
  // The entries as 16-bit lanes, four a group: red and green pairs, and blue with a
  // zero beside it, so one multiply-add gives two squared differences summed.
  alignas(16) int16_t red_green_[kPaletteSize * 2] = {};
  alignas(16) int16_t blue_zero_[kPaletteSize * 2] = {};
};

// The index 0-15 of the row's entry nearest to the colour's red, green and blue;
// row kActiveRow means the active row. 0 for an unknown row.
int NearestPaletteIndex(ColorValue color, int row = kActiveRow);
// The row's entry at NearestPaletteIndex(color, row) (no alpha).
ColorValue NearestPaletteColor(ColorValue color, int row = kActiveRow);

// Replaces the red, green and blue of every pixel by its nearest palette colour, in
// place; alpha stays as it was (transparent pixels stay transparent).
void FitImageToPalette(RgbaImage& image, int row = kActiveRow);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_PALETTE_FIT_H_
