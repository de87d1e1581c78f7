// ColorSpec: a colour as the user writes it. Forms, tried in this order after one pair
// of enclosing double or single quotes is dropped (nothing is trimmed):
//   "0".."15"        the standard palette entry;
//   "128".."143"     the alternate palette entry (index - 128);
//   "#rgb"           each digit widened (d * 17);
//   "#..."           hex N: red (N >> 16), green (N >> 8), blue N, alpha (N >> 24);
//   "$..."           hex N taken as the ColorValue itself (digits read blue-green-red);
//   anything else    a CSS colour name (LookupCssColorName).
// Hex numbers are read up to the first non-hex character ("" reads as 0).
#ifndef BRASSWICK_COLOR_COLOR_TEXT_H_
#define BRASSWICK_COLOR_COLOR_TEXT_H_

#include <string_view>

#include "runtime/image/color_value.h"

namespace brasswick {

// The colour the text names, or kNoColor. Only the low 32 bits of a hex number count.
ColorValue ColorFromSpec(std::string_view text);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_COLOR_TEXT_H_
