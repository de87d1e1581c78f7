// A picture's 128 x 128 square as label colours: the one packer every label reader and
// writer uses, whatever form the label comes from or goes to.
#ifndef BRASSWICK_COLOR_LABEL_COLORS_H_
#define BRASSWICK_COLOR_LABEL_COLORS_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "cart/cart_source.h"
#include "runtime/image/image.h"

namespace brasswick {

struct LabelColorRule {
  // 16: the standard palette only (what a .p8 label is written with); 32: the standard
  // palette, then the alternate one as colours 16-31 (what the console shows).
  int color_count = 16;
  // Compare only each channel's upper six bits: a cartridge picture keeps its payload in
  // the low two.
  bool upper_six_bits = false;
};

// The kLabelPixelCount pixels of the 128 x 128 square from (x0, y0), each the colour
// nearest by plain RGB distance, the lowest colour winning a tie. The picture must hold
// the square (the caller checks); none when it does not.
std::optional<LabelPixels> PickLabelColors(const RgbaImage& picture, int x0, int y0,
                                           LabelColorRule rule);

// The label a .p8 holds for a picture: its centred square (CartLabelSquare) in the
// standard palette's 16 colours. None when the square cannot be made.
std::optional<LabelPixels> P8LabelOfPicture(const RgbaImage& picture);

// Label pixels of colours 0-15 as the bytes of a .p8's "label" section: two pixels a
// byte, the left one in the high four bits.
std::vector<uint8_t> PackLabelPixels(const LabelPixels& pixels);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_LABEL_COLORS_H_
