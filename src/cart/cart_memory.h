// The cartridge's memory: where each part of the 32 768-byte ROM lies, the 32 bytes a
// cartridge carries after it, the label beside it, and how sprites and map cells are
// addressed. Every reader and writer of a form takes these facts from here.
//
// Sprite sheet: 128 x 128 pixels, 64 bytes a pixel row; in memory a byte holds its left
// pixel in the low nibble. Sprite n covers columns (n % 16) * 8.. and rows (n / 16) * 8...
// Map: 128 x 64 cells, one sprite number a byte; rows 0-31 at the map area, rows 32-63
// are the sheet's lower half (sprites 128-255), 128 bytes a row there too.
//
// Nothing here prints or throws.
#ifndef BRASSWICK_CART_CART_MEMORY_H_
#define BRASSWICK_CART_CART_MEMORY_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/platform/file_access.h"

namespace brasswick {

// The ROM and what follows it.
inline constexpr size_t kCartRomSize = 0x8000;
inline constexpr size_t kCartTrailerSize = 32;
inline constexpr size_t kCartPayloadSize = kCartRomSize + kCartTrailerSize;
// Places in the trailer: the version id, then after the console's numbers the SHA-1.
inline constexpr size_t kTrailerVersionOffset = 0;
inline constexpr size_t kTrailerHashOffset = 6;

// The sprite sheet.
inline constexpr size_t kSheetStart = 0x0000;
inline constexpr int64_t kSheetByteCount = 0x2000;
inline constexpr int64_t kSheetHalfByteCount = 0x1000;
inline constexpr int kSheetSide = 128;  // pixels
inline constexpr size_t kSheetRowBytes = 64;
inline constexpr int kSpriteSide = 8;
inline constexpr int kSpriteCount = 256;
inline constexpr int kSpritesPerRow = 16;
// The sheet's lower half, which is also map rows 32-63.
inline constexpr size_t kSharedStart = 0x1000;
inline constexpr int kFirstSharedSprite = 128;

// The map: its upper half at kMapStart, its lower half shared with the sheet.
inline constexpr size_t kMapStart = 0x2000;
inline constexpr int64_t kMapHalfByteCount = 0x1000;
inline constexpr size_t kMapEnd = kMapStart + kMapHalfByteCount;  // the upper half's end
inline constexpr int64_t kMapByteCount = 0x2000;  // both halves, as the exports read them
inline constexpr int kMapColumns = 128;
inline constexpr int kMapRows = 64;
inline constexpr int kSharedMapRow = 32;  // the first row held by the sheet's lower half

// Sprite flags, one byte a sprite.
inline constexpr size_t kFlagsStart = 0x3000;
// Music: 64 patterns of 4 bytes, one a channel.
inline constexpr size_t kMusicStart = 0x3100;
inline constexpr size_t kMusicPatternSize = 4;
inline constexpr int kMusicCount = 64;
// Sound effects: 64 of 68 bytes (32 notes of 2 bytes, then 4 of settings).
inline constexpr size_t kSfxStart = 0x3200;
inline constexpr size_t kSfxSize = 68;
inline constexpr int kSfxCount = 64;
// The code area, in one of the code formats.
inline constexpr size_t kCodeAreaStart = 0x4300;
inline constexpr size_t kCodeAreaSize = 0x3D00;  // 15 616

// The label, which is no part of the ROM: 128 x 128 pixels of colours 0-31 (16-31 the
// alternate palette's), and the bytes of a .p8's "label" section, two pixels a byte.
inline constexpr int kLabelSide = 128;
inline constexpr int kLabelPixelCount = kLabelSide * kLabelSide;
inline constexpr int kLabelColorCount = 32;
inline constexpr int64_t kLabelByteCount = kLabelPixelCount / 2;

// Bounds on reading a cartridge's files, each the largest legitimate file of its kind
// with room to spare: a .p8 text cartridge (about 1 MiB with the largest code), a
// .p8.png or a raw ROM; a player page with its embedded pictures, its script, or a file
// of head content.
inline constexpr uint64_t kMaxCartFileSize = 16 * kMiB;
inline constexpr uint64_t kMaxPageFileSize = 64 * kMiB;

static_assert(kCodeAreaStart + kCodeAreaSize == kCartRomSize);
static_assert(kSfxStart + kSfxCount * kSfxSize == kCodeAreaStart);
static_assert(kSharedStart + kMapHalfByteCount == kMapStart);

// The memory address of map cell (x, y), 0 <= x < 128, 0 <= y < 64: rows from 32 on are
// the sheet's lower half.
constexpr size_t CellAddress(int x, int y) {
  return y < kSharedMapRow
             ? kMapStart + static_cast<size_t>(y) * kMapColumns + static_cast<size_t>(x)
             : kSharedStart + static_cast<size_t>(y - kSharedMapRow) * kMapColumns +
                   static_cast<size_t>(x);
}

// The sprite whose pixels hold the byte at a sheet address (below kSheetByteCount).
constexpr int SpriteAt(size_t address) {
  const size_t row = address / kSheetRowBytes;
  const size_t column = (address % kSheetRowBytes) * 2;
  return static_cast<int>((row / kSpriteSide) * kSpritesPerRow + column / kSpriteSide);
}

// The address of the first byte of pixel row `row` (0-7) of sprite n (0-255).
constexpr size_t SpriteRowAddress(int n, int row) {
  return static_cast<size_t>((n / kSpritesPerRow) * kSpriteSide + row) * kSheetRowBytes +
         static_cast<size_t>((n % kSpritesPerRow) * kSpriteSide / 2);
}

// A sprite's 64 pixels as memory holds them: 8 rows of 4 bytes, the left pixel of each
// byte in its low nibble.
using SpriteTile = std::array<uint8_t, 32>;

// Sprite n's tile from memory holding at least the sheet (kSheetByteCount bytes).
SpriteTile ReadSpriteTile(std::span<const uint8_t> memory, int n);
// Writes sprite n's pixels; memory holds at least the sheet.
void WriteSpriteTile(std::span<uint8_t> memory, int n, const SpriteTile& tile);

// True when every pixel of sprite n (0-255) in the sheet is colour 0; false for n out
// of range. Bytes beyond the end of a short buffer count as 0.
bool IsSpriteBlank(std::span<const uint8_t> sheet, int64_t n);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_MEMORY_H_
