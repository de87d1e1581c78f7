#include "cart/cart_source.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace brasswick {
namespace {

constexpr uint8_t SwapNibbles(uint8_t byte) {
  return static_cast<uint8_t>((byte << 4) | (byte >> 4));
}

}  // namespace

CartSource CartSource::FromDocument(CartDocument document) {
  CartSource source;
  source.document_ = std::move(document);
  return source;
}

std::optional<CartSource> CartSource::FromMemory(std::span<const uint8_t> memory,
                                                 std::optional<LabelPixels> label) {
  if (memory.size() < kCartRomSize) return std::nullopt;
  if (label && label->size() != static_cast<size_t>(kLabelPixelCount)) return std::nullopt;
  CartSource source;
  source.memory_.assign(memory.begin(), memory.begin() + kCartRomSize);
  source.label_ = std::move(label);
  return source;
}

std::optional<ByteBuffer> CartSource::Sheet(bool upper_half_only) const {
  if (document_) return SheetBytes(*document_, upper_half_only);
  const int64_t count = upper_half_only ? kSheetHalfByteCount : kSheetByteCount;
  ByteBuffer sheet(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    sheet[static_cast<size_t>(i)] = SwapNibbles(memory_[kSheetStart + static_cast<size_t>(i)]);
  }
  return sheet;
}

std::optional<ByteBuffer> CartSource::Map(bool with_shared_half) const {
  if (document_) return MapBytes(*document_, with_shared_half);
  const auto upper = memory_.begin() + kMapStart;
  ByteBuffer map(upper, upper + kMapHalfByteCount);
  if (with_shared_half) {
    const auto shared = memory_.begin() + kSharedStart;
    map.insert(map.end(), shared, shared + kMapHalfByteCount);
  }
  return map;
}

std::optional<LabelPixels> CartSource::Label() const {
  if (!document_) return label_;
  return ReadLabelPixels(*document_);
}

bool CartSource::HasLabel() const {
  return document_ ? HasSection(*document_, "label") : label_.has_value();
}

}  // namespace brasswick
