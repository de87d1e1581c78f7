#include "cart/cart_code.h"

#include <algorithm>
#include <array>
#include <new>
#include <numeric>
#include <utility>

#include "cart/code_format.h"
#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

uint32_t ReadBe16(std::span<const uint8_t> bytes, size_t at) {
  return (uint32_t{bytes[at]} << 8) | bytes[at + 1];
}

// Bits taken from each byte lowest first; an n-bit number is read lowest bit first.
class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool UsedUp() const { return position_ >= bytes_.size() * 8; }

  // False when the stream ends before `count` bits.
  bool Read(int count, uint32_t& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
      if (UsedUp()) return false;
      value |= uint32_t{(bytes_[position_ >> 3] >> (position_ & 7)) & 1u} << i;
      ++position_;
    }
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

// Appends `count` bytes from `distance` back, one at a time so that an overlapping copy
// repeats its pattern; never past `limit`. False for a distance before the start.
bool CopyBack(std::string& out, size_t distance, size_t count, size_t limit) {
  if (distance == 0 || distance > out.size()) return false;
  count = std::min(count, limit - out.size());
  for (size_t i = 0; i < count; ++i) out.push_back(out[out.size() - distance]);
  return true;
}

std::optional<std::string> DecodeCurrent(std::span<const uint8_t> area) {
  const size_t length = ReadBe16(area, 4);
  const size_t compressed = ReadBe16(area, 6);
  if (compressed < kCodeHeaderSize) return std::nullopt;
  // The field cannot state a longer stream; at its most it says "up to the end".
  const size_t end =
      compressed == kCompressedToEnd ? area.size() : std::min(compressed, area.size());
  BitReader bits(area.subspan(kCodeHeaderSize, end - kCodeHeaderSize));

  std::array<uint8_t, 256> order;
  std::iota(order.begin(), order.end(), 0);
  std::string out;
  out.reserve(length);
  uint32_t bit, value;
  while (out.size() < length && !bits.UsedUp()) {
    if (!bits.Read(1, bit)) return std::nullopt;
    if (bit == 1) {
      int unary = 0;
      for (;;) {
        if (!bits.Read(1, bit)) return std::nullopt;
        if (bit == 0) break;
        if (++unary > 16) return std::nullopt;
      }
      if (!bits.Read(4 + unary, value)) return std::nullopt;
      const uint64_t position = value + 16 * ((uint64_t{1} << unary) - 1);
      if (position > 255) return std::nullopt;
      const uint8_t byte = order[position];
      std::copy_backward(order.begin(), order.begin() + position, order.begin() + position + 1);
      order[0] = byte;
      out.push_back(static_cast<char>(byte));
      continue;
    }
    if (!bits.Read(1, bit)) return std::nullopt;
    int width = 15;
    if (bit == 1) {
      if (!bits.Read(1, bit)) return std::nullopt;
      width = bit == 1 ? 5 : 10;
    }
    if (!bits.Read(width, value)) return std::nullopt;
    if (width == 10 && value == 0) {
      while (out.size() < length) {
        if (!bits.Read(8, value)) return std::nullopt;
        if (value == 0) break;
        out.push_back(static_cast<char>(value));
      }
      continue;
    }
    const size_t distance = size_t{value} + 1;
    size_t count = 3;
    do {
      if (!bits.Read(3, value)) return std::nullopt;
      count += value;
    } while (value == 7);
    if (!CopyBack(out, distance, count, length)) return std::nullopt;
  }
  // A header whose length the bits do not reach lies about the code: what was decoded
  // is only part of it.
  if (out.size() < length) return std::nullopt;
  return out;
}

// What an older console appended to make _update60 carts run; not part of the code.
constexpr std::string_view kOldEndings[] = {
    "if(_update60)_update=function()_update60()_update60()end",
    "if(_update60)_update=function()_update60()_update_buttons()_update60()end",
};

// *used: the bytes of the area the stream took, its header included.
std::optional<std::string> DecodeOld(std::span<const uint8_t> area, size_t* used = nullptr) {
  const size_t length = ReadBe16(area, 4);
  std::string out;
  out.reserve(length);
  size_t at = kCodeHeaderSize;
  while (out.size() < length) {
    if (at >= area.size()) return std::nullopt;
    const uint8_t v = area[at++];
    if (v == kOldLiteralEscape) {
      if (at >= area.size()) return std::nullopt;
      out.push_back(static_cast<char>(area[at++]));
    } else if (v < kOldCodeTable.size()) {
      out.push_back(kOldCodeTable[v]);
    } else {
      if (at >= area.size()) return std::nullopt;
      const uint8_t w = area[at++];
      const size_t distance = static_cast<size_t>(v - kOldFirstCopyByte) * 16 + (w & 15);
      if (!CopyBack(out, distance, static_cast<size_t>(w >> 4) + kOldCopyMinLength, length)) {
        return std::nullopt;
      }
    }
  }
  for (std::string_view ending : kOldEndings) {
    if (std::string_view(out).ends_with(ending)) {
      out.resize(out.size() - ending.size());
      break;
    }
  }
  if (used != nullptr) *used = at;
  return out;
}

}  // namespace

std::optional<std::string> DecodeCodeArea(std::span<const uint8_t> area) {
  if (area.size() != kCodeAreaSize) return std::nullopt;
  if (StartsWithMagic(area, kCurrentCodeMagic)) return DecodeCodeStream(area);
  if (StartsWithMagic(area, kOldCodeMagic)) return DecodeOld(area);
  const auto zero = std::find(area.begin(), area.end(), 0);
  return std::string(area.begin(), zero);
}

std::optional<size_t> StoredCodeSize(std::span<const uint8_t> area) {
  if (area.size() != kCodeAreaSize) return std::nullopt;
  if (StartsWithMagic(area, kCurrentCodeMagic)) {
    // As the decoder reads it: a stream stated to run past the area (the field's most
    // says "up to the end") stops at the area's end.
    const size_t compressed = ReadBe16(area, 6);
    if (compressed < kCodeHeaderSize) return std::nullopt;
    return std::min(compressed, area.size());
  }
  if (!StartsWithMagic(area, kOldCodeMagic)) return std::nullopt;
  size_t used = 0;
  try {
    if (!DecodeOld(area, &used)) return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return used;
}

std::optional<std::string> DecodeCodeStream(std::span<const uint8_t> stream) {
  if (stream.size() < kCodeHeaderSize || !StartsWithMagic(stream, kCurrentCodeMagic)) {
    return std::nullopt;
  }
  return DecodeCurrent(stream);
}

}  // namespace brasswick
