#include "cart/cart_memory.h"

#include <cstring>

namespace brasswick {

SpriteTile ReadSpriteTile(std::span<const uint8_t> memory, int n) {
  SpriteTile tile;
  for (int row = 0; row < kSpriteSide; ++row) {
    std::memcpy(tile.data() + row * 4, memory.data() + SpriteRowAddress(n, row), 4);
  }
  return tile;
}

void WriteSpriteTile(std::span<uint8_t> memory, int n, const SpriteTile& tile) {
  for (int row = 0; row < kSpriteSide; ++row) {
    std::memcpy(memory.data() + SpriteRowAddress(n, row), tile.data() + row * 4, 4);
  }
}

bool IsSpriteBlank(std::span<const uint8_t> sheet, int64_t n) {
  if (n < 0 || n >= kSpriteCount) return false;
  for (int row = 0; row < kSpriteSide; ++row) {
    const size_t start = SpriteRowAddress(static_cast<int>(n), row);
    for (size_t k = start; k < start + kSpriteSide / 2; ++k) {
      if (k < sheet.size() && sheet[k] != 0) return false;
    }
  }
  return true;
}

}  // namespace brasswick
