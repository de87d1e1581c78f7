// Nearest-colour fitting to a palette row by plain RGB distance, first index winning
// ties; alpha is ignored when comparing and kept when writing. No dithering.
#ifndef BRASSWICK_COLOR_PALETTE_FIT_H_
#define BRASSWICK_COLOR_PALETTE_FIT_H_

#include "color/palette.h"
#include "runtime/image/image.h"

namespace brasswick {

// The index 0-15 of the row's entry nearest to the colour's red, green and blue;
// row kActiveRow means the active row. 0 for an unknown row.
int NearestPaletteIndex(ColorValue color, int row = kActiveRow);
// The row's entry at NearestPaletteIndex(color, row) (no alpha).
ColorValue NearestPaletteColor(ColorValue color, int row = kActiveRow);

// Replaces the red, green and blue of every pixel by its nearest palette colour, in
// place; alpha stays as it was (transparent pixels stay transparent).
void FitImageToPalette(RgbaImage& image, int row = kActiveRow);
// A fitted copy; the image itself is untouched. None when the copy cannot be made.
ImagePtr FitImageCopyToPalette(const RgbaImage& image, int row = kActiveRow);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_PALETTE_FIT_H_
