// Colour reduction for the palette writers (PNG colour type 3, BMP 1/4/8 bits): a table
// of 2^depth colours and the index of every pixel in it.
//   depth 1: black and white; a pixel takes white when its luminance is at least half.
//   depth 2-8: when the picture has no more distinct colours than the table holds,
//   the table is those colours and every pixel keeps its exact colour; otherwise the
//   table is learnt by the neural quantiser (neuquant.h). Pixels map to the nearest
//   entry; in a learnt table a fully transparent pixel takes the entry of the
//   lowest alpha.
#ifndef BRASSWICK_RUNTIME_IMAGE_PALETTE_REDUCTION_H_
#define BRASSWICK_RUNTIME_IMAGE_PALETTE_REDUCTION_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/image/neuquant.h"

namespace brasswick {

class EncoderInput;

class PaletteReduction {
 public:
  // depth is 1, 2, 4 or 8.
  PaletteReduction(EncoderInput& input, int depth);
  PaletteReduction(const PaletteReduction&) = delete;
  PaletteReduction& operator=(const PaletteReduction&) = delete;

  // Exactly 2^depth entries.
  const std::vector<Rgba>& colors() const { return colors_; }
  // Writes row y as indices of bit_depth bits, packed from the most significant bit,
  // into out (PackedRowBytes bytes; unused low bits of the last byte are 0). Does not
  // allocate.
  void PackedRow(EncoderInput& input, int y, int bit_depth, uint8_t* out);
  static size_t PackedRowBytes(int width, int bit_depth) {
    return (static_cast<size_t>(width) * static_cast<size_t>(bit_depth) + 7) / 8;
  }

 private:
  // The exact-colour set: open addressing over more than four times the largest table.
  static constexpr size_t kSlots = 1024;
  static size_t Slot(uint32_t color) { return (color * 2654435761u) % kSlots; }

  std::vector<Rgba> FewDistinctColors(EncoderInput& input, int limit);
  int IndexOf(const uint8_t* pixel, int channels);
  int Nearest(const Rgba& color) const;

  int depth_;
  std::vector<Rgba> colors_;
  // Table indices sorted by green, for a nearest search that stops early.
  std::vector<int> by_green_;
  // In a learnt table, the entry of the lowest alpha, for fully transparent pixels;
  // -1 for an exact or black-and-white table.
  int clearest_ = -1;
  // Whether the table holds every colour of the picture; then the set below gives each
  // colour's entry.
  bool exact_ = false;
  std::array<uint32_t, kSlots> exact_keys_{};
  std::array<int16_t, kSlots> exact_index_{};
  uint32_t cached_color_ = 0;
  int cached_index_ = -1;
};

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_IMAGE_PALETTE_REDUCTION_H_
