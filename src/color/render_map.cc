#include <algorithm>
#include <cstring>

#include "cart/cart_layout.h"
#include "color/render.h"

namespace brasswick {

// Draws straight from the sheet bytes: each cell copies its sprite's 8-pixel rows out of
// a sheet rendered once into a flat RGBA array, which gives the same pixels as drawing
// 256 sliced sprite images cell by cell, without the per-cell image work.
ImagePtr RenderMap(std::span<const uint8_t> map, std::span<const uint8_t> sheet, int64_t row_limit,
                   int64_t scale) {
  int rows = static_cast<int>(std::min<std::size_t>(map.size() / 128, 64));
  if (rows < 1 || sheet.size() < static_cast<std::size_t>(kSheetByteCount)) return nullptr;
  if (row_limit >= 1 && row_limit < rows) rows = static_cast<int>(row_limit);
  if (scale < 1) scale = 1;

  const PixelTable pixels = CurrentPixelTable();
  std::vector<uint8_t> sheet_rgba(kSheetSide * kSheetSide * 4);
  for (int i = 0; i < kSheetSide * kSheetSide / 2; ++i) {
    std::memcpy(&sheet_rgba[i * 8], pixels[sheet[i] >> 4].data(), 4);
    std::memcpy(&sheet_rgba[i * 8 + 4], pixels[sheet[i] & 0x0F].data(), 4);
  }

  ImagePtr image = CreateImage(1024, rows * kSpriteSide, 32);
  if (!image || image->channels() != 4) return nullptr;
  constexpr int kSpriteRowBytes = kSpriteSide * 4;
  for (int cell_y = 0; cell_y < rows; ++cell_y) {
    const uint8_t* cells = map.data() + cell_y * 128;
    for (int py = 0; py < kSpriteSide; ++py) {
      uint8_t* out = image->Row(cell_y * kSpriteSide + py);
      for (int cell_x = 0; cell_x < 128; ++cell_x) {
        const int sprite = cells[cell_x];
        const int sheet_y = (sprite / 16) * kSpriteSide + py;
        const int sheet_x = (sprite % 16) * kSpriteSide;
        std::memcpy(out, &sheet_rgba[(sheet_y * kSheetSide + sheet_x) * 4], kSpriteRowBytes);
        out += kSpriteRowBytes;
      }
    }
  }
  if (!UpscaleImage(*image, scale)) return nullptr;
  return image;
}

}  // namespace brasswick
