// Turns the cartridge's indexed pixel data into RGBA images through the active palette
// row and the transparent index, and enlarges images by whole factors.
//
// Pixel colour rule: index i becomes PaletteColor(i) with alpha 255, except that the
// transparent index becomes 0 in all four channels.
// Scale argument of RenderSheetBytes, RenderLabelPixels and SliceSprites: below 1 counts as 1, 128
// or more is divided by 128 (128-255 give 1, 256 gives 2). RenderMap only applies the
// first half. Factors of 2 or more enlarge by nearest neighbour; when the enlarged
// image would pass 32767 pixels a side or cannot be allocated, the renderer gives
// nothing rather than an image of the wrong size.
#ifndef BRASSWICK_COLOR_RENDER_H_
#define BRASSWICK_COLOR_RENDER_H_

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "cart/cart_memory.h"
#include "runtime/image/image.h"

namespace brasswick {

// Sets the transparent index to value when 0 <= value <= 15, else to -1 (none).
void SetTransparentIndex(int64_t value);
int64_t TransparentIndex();

// The pixel colour rule for all 16 indices under the current palette row and
// transparent index: red, green, blue, alpha bytes.
using PixelTable = std::array<std::array<uint8_t, 4>, 16>;
PixelTable CurrentPixelTable();

// The scale argument rule of the sheet, label and sprite renderers.
int64_t RendererScale(int64_t scale);

// Bytes in sheet layout (a sheet, its upper half or a label: 64 a pixel row, the left
// pixel in the high nibble) as a 128-wide image of one row per 64 bytes, at most 128,
// enlarged by the scale. None for fewer than 64 bytes or when the image cannot be made.
ImagePtr RenderSheetBytes(std::span<const uint8_t> bytes, int64_t scale);

// A label (kLabelPixelCount pixels, one colour 0-31 each) as a 128 x 128 image enlarged
// by the scale: colours 0-15 by the pixel colour rule, 16-31 the alternate palette's
// colours 0-15, always opaque. None for fewer pixels or when the image cannot be made.
ImagePtr RenderLabelPixels(std::span<const uint8_t> pixels, int64_t scale);

// Sprite n (0-255) of a rendered 128 x 128 sheet as its own image, enlarged by factor
// (not the scale argument rule). None for n out of range or when it cannot be made.
ImagePtr SliceSprite(const RgbaImage& sheet, int n, int64_t factor);

// Fills sprites with the 256 sprite images (8 * scale square) of a sheet's bytes and
// gives 256, or clears it and gives 0 when they are fewer than a whole sheet, an image
// cannot be made, or the 256 enlarged images together would need more than 4 GiB.
int SliceSprites(std::span<const uint8_t> sheet, std::vector<ImagePtr>& sprites, int64_t scale);

// The map, 1024 pixels wide and 8 per cell row, from the map's bytes (128 a cell row:
// 32 rows for 4096 bytes, 64 for 8192, never more; fewer when 1 <= row_limit < that) and
// the sheet's. Each cell shows the sprite its byte names, transparent pixels staying
// transparent. None when the map holds no whole cell row, the sheet is fewer than 8192
// bytes, or the image cannot be made.
ImagePtr RenderMap(std::span<const uint8_t> map, std::span<const uint8_t> sheet, int64_t row_limit,
                   int64_t scale);

// Enlarges in place by nearest neighbour, each pixel becoming a factor x factor block.
// A factor below 2 leaves the image as it is (true). False, image unchanged, when the
// result would be larger than 32767 a side or cannot be allocated.
bool UpscaleImage(RgbaImage& image, int64_t factor);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_RENDER_H_
