#include "runtime/image/palette_reduction.h"

#include <algorithm>
#include <cstring>

#include "runtime/image/encoder_input.h"

namespace brasswick {

namespace {

uint32_t Pack(const uint8_t* p, int channels) {
  const uint32_t alpha = channels == 4 ? p[3] : 255;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (alpha << 24);
}

Rgba Unpack(uint32_t v) {
  return Rgba{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
              static_cast<uint8_t>(v >> 24)};
}

}  // namespace

// The distinct colours of the input when there are at most `limit`, else empty, each
// recorded in the exact-colour set with its table index. The scan stops as soon as the
// limit is passed.
std::vector<Rgba> PaletteReduction::FewDistinctColors(EncoderInput& input, int limit) {
  exact_index_.fill(-1);
  std::vector<Rgba> found;
  const int channels = input.channels();
  uint32_t last = 0;
  bool have_last = false;
  for (int y = 0; y < input.height(); ++y) {
    const uint8_t* p = input.Row(y);
    for (int x = 0; x < input.width(); ++x, p += channels) {
      const uint32_t color = Pack(p, channels);
      if (have_last && color == last) continue;
      last = color;
      have_last = true;
      size_t slot = Slot(color);
      while (exact_index_[slot] >= 0 && exact_keys_[slot] != color) slot = (slot + 1) % kSlots;
      if (exact_index_[slot] >= 0) continue;
      if (static_cast<int>(found.size()) == limit) return {};
      exact_index_[slot] = static_cast<int16_t>(found.size());
      exact_keys_[slot] = color;
      found.push_back(Unpack(color));
    }
  }
  return found;
}

namespace {

int Distance(const Rgba& a, const Rgba& b) {
  int sum = 0;
  for (size_t c = 0; c < 4; ++c) {
    const int d = a[c] - b[c];
    sum += d * d;
  }
  return sum;
}

}  // namespace

PaletteReduction::PaletteReduction(EncoderInput& input, int depth) : depth_(depth) {
  const int size = 1 << depth;
  if (depth == 1) {
    colors_ = {Rgba{0, 0, 0, 255}, Rgba{255, 255, 255, 255}};
    return;
  }
  colors_ = FewDistinctColors(input, size);
  exact_ = !colors_.empty();
  if (!exact_) {
    const int64_t pixels = int64_t{input.width()} * input.height();
    colors_ = LearnColorTable(input, size, NeuQuantSampleStep(pixels));
    clearest_ = 0;
    for (size_t i = 1; i < colors_.size(); ++i) {
      if (colors_[i][3] < colors_[static_cast<size_t>(clearest_)][3]) {
        clearest_ = static_cast<int>(i);
      }
    }
  }
  // Unused entries repeat the first colour, so they are never a closer match.
  const Rgba filler = colors_.empty() ? Rgba{0, 0, 0, 255} : colors_.front();
  colors_.resize(static_cast<size_t>(size), filler);
  by_green_.resize(colors_.size());
  for (size_t i = 0; i < by_green_.size(); ++i) by_green_[i] = static_cast<int>(i);
  std::stable_sort(by_green_.begin(), by_green_.end(),
                   [this](int a, int b) { return colors_[a][1] < colors_[b][1]; });
}

int PaletteReduction::Nearest(const Rgba& color) const {
  // Start at the first entry whose green is not below the pixel's and widen both ways;
  // a side stops once its green difference alone exceeds the best distance.
  const auto start =
      std::lower_bound(by_green_.begin(), by_green_.end(), color[1],
                       [this](int index, uint8_t green) { return colors_[index][1] < green; });
  int best_index = by_green_.front();
  int best = Distance(colors_[static_cast<size_t>(best_index)], color);
  ptrdiff_t up = start - by_green_.begin();
  ptrdiff_t down = up - 1;
  const ptrdiff_t count = static_cast<ptrdiff_t>(by_green_.size());
  while (up < count || down >= 0) {
    if (up < count) {
      const int index = by_green_[static_cast<size_t>(up)];
      const int dg = colors_[static_cast<size_t>(index)][1] - color[1];
      if (dg * dg > best) {
        up = count;
      } else {
        const int d = Distance(colors_[static_cast<size_t>(index)], color);
        if (d < best || (d == best && index < best_index)) {
          best = d;
          best_index = index;
        }
        ++up;
      }
    }
    if (down >= 0) {
      const int index = by_green_[static_cast<size_t>(down)];
      const int dg = color[1] - colors_[static_cast<size_t>(index)][1];
      if (dg * dg > best) {
        down = -1;
      } else {
        const int d = Distance(colors_[static_cast<size_t>(index)], color);
        if (d < best || (d == best && index < best_index)) {
          best = d;
          best_index = index;
        }
        --down;
      }
    }
  }
  return best_index;
}

int PaletteReduction::IndexOf(const uint8_t* pixel, int channels) {
  if (depth_ == 1) {
    const int luminance = 299 * pixel[0] + 587 * pixel[1] + 114 * pixel[2];
    return luminance >= 128 * 1000 ? 1 : 0;
  }
  const uint32_t packed = Pack(pixel, channels);
  if (cached_index_ >= 0 && packed == cached_color_) return cached_index_;
  if (exact_) {
    // Every pixel's colour is an entry of an exact table: its own entry is the nearest.
    for (size_t slot = Slot(packed); exact_index_[slot] >= 0; slot = (slot + 1) % kSlots) {
      if (exact_keys_[slot] == packed) {
        cached_color_ = packed;
        cached_index_ = exact_index_[slot];
        return cached_index_;
      }
    }
  }
  // In a learnt table a fully transparent pixel stays invisible whatever colour it
  // hides: nearness in colour could otherwise hand it an opaque entry.
  if (clearest_ >= 0 && channels == 4 && pixel[3] == 0) return clearest_;
  cached_color_ = packed;
  cached_index_ = Nearest(Unpack(packed));
  return cached_index_;
}

void PaletteReduction::PackedRow(EncoderInput& input, int y, int bit_depth, uint8_t* out) {
  const int channels = input.channels();
  const uint8_t* p = input.Row(y);
  std::memset(out, 0, PackedRowBytes(input.width(), bit_depth));
  if (bit_depth == 8) {
    for (int x = 0; x < input.width(); ++x, p += channels) {
      out[x] = static_cast<uint8_t>(IndexOf(p, channels));
    }
    return;
  }
  const int per_byte = 8 / bit_depth;
  for (int x = 0; x < input.width(); ++x, p += channels) {
    const int index = IndexOf(p, channels);
    const int shift = 8 - bit_depth * (x % per_byte + 1);
    out[x / per_byte] |= static_cast<uint8_t>(index << shift);
  }
}

}  // namespace brasswick
