#include "cart/cart_source.h"

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
                                                 std::optional<ByteBuffer> label) {
  if (memory.size() < kCartRomSize) return std::nullopt;
  if (label && label->size() != static_cast<size_t>(kLabelByteCount)) return std::nullopt;
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
    sheet[static_cast<size_t>(i)] =
        SwapNibbles(memory_[static_cast<size_t>(kMemorySheetStart + i)]);
  }
  return sheet;
}

std::optional<ByteBuffer> CartSource::Map(bool with_shared_half) const {
  if (document_) return MapBytes(*document_, with_shared_half);
  const auto upper = memory_.begin() + kMemoryMapStart;
  ByteBuffer map(upper, upper + kMapHalfByteCount);
  if (with_shared_half) {
    const auto shared = memory_.begin() + kMemorySharedStart;
    map.insert(map.end(), shared, shared + kMapHalfByteCount);
  }
  return map;
}

std::optional<ByteBuffer> CartSource::Label() const {
  if (!document_) return label_;
  std::optional<ByteBuffer> label = ReadSectionBytes(*document_, "label", 0, 0, false);
  if (label) label->resize(static_cast<size_t>(kLabelByteCount), 0);
  return label;
}

bool CartSource::HasLabel() const {
  return document_ ? HasSection(*document_, "label") : label_.has_value();
}

}  // namespace brasswick
