#include "cart/old_code_compressor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cart/cart_code.h"
#include "cart/code_format.h"

namespace brasswick {
namespace {

// Position 0 of the table is never written, so "^" goes as an escaped literal.

constexpr std::array<uint8_t, 256> MakeTableIndex() {
  std::array<uint8_t, 256> index{};
  for (size_t v = 1; v < kOldCodeTable.size(); ++v) {
    index[static_cast<uint8_t>(kOldCodeTable[v])] = static_cast<uint8_t>(v);
  }
  return index;
}
constexpr std::array<uint8_t, 256> kTableIndex = MakeTableIndex();

// Bytes the stream spends on c written alone.
size_t LiteralCost(char c) { return kTableIndex[static_cast<uint8_t>(c)] != 0 ? 1 : 2; }

// Chains of earlier positions by the two bytes that begin there, newest first.
class MatchFinder {
 public:
  explicit MatchFinder(std::string_view code) : code_(code), previous_(code.size(), kNone) {
    head_.fill(kNone);
  }

  void Insert(size_t at) {
    if (at + 1 >= code_.size()) return;
    const size_t key = Key(at);
    previous_[at] = head_[key];
    head_[key] = static_cast<int32_t>(at);
  }

  // The longest match for the bytes at `at` among the inserted positions within
  // reach: its length (0 for none shorter than kOldCopyMinLength) and distance.
  size_t Longest(size_t at, size_t* distance) const {
    const size_t most = std::min(kOldCopyMaxLength, code_.size() - at);
    if (most < kOldCopyMinLength) return 0;
    size_t best = 0;
    for (int32_t from = head_[Key(at)]; from != kNone; from = previous_[from]) {
      const size_t back = at - static_cast<size_t>(from);
      if (back > kOldCopyMaxDistance) break;
      size_t length = 0;
      // A copy may run into what it writes: the reader copies one byte at a time.
      while (length < most && code_[static_cast<size_t>(from) + length] == code_[at + length]) {
        ++length;
      }
      if (length > best) {
        best = length;
        *distance = back;
        if (best == most) break;
      }
    }
    return best >= kOldCopyMinLength ? best : 0;
  }

 private:
  static constexpr int32_t kNone = -1;

  size_t Key(size_t at) const {
    return static_cast<uint8_t>(code_[at]) << 8 | static_cast<uint8_t>(code_[at + 1]);
  }

  std::string_view code_;
  std::array<int32_t, 65536> head_;
  std::vector<int32_t> previous_;
};

}  // namespace

std::optional<std::string> CompressOldCode(std::string_view code) {
  if (code.size() > kMaxCodeLength) return std::nullopt;
  std::string out(std::begin(kOldCodeMagic), std::end(kOldCodeMagic));
  out.push_back(static_cast<char>(code.size() >> 8));
  out.push_back(static_cast<char>(code.size() & 0xFF));
  out.append(2, '\0');
  auto finder = std::make_unique<MatchFinder>(code);
  size_t at = 0;
  while (at < code.size()) {
    size_t distance = 0;
    const size_t length = finder->Longest(at, &distance);
    size_t alone = 0;
    for (size_t i = 0; i < length; ++i) alone += LiteralCost(code[at + i]);
    if (length > 0 && alone > 2) {
      out.push_back(static_cast<char>(kOldFirstCopyByte + distance / 16));
      out.push_back(static_cast<char>((length - kOldCopyMinLength) << 4 | (distance & 15)));
      for (size_t i = 0; i < length; ++i) finder->Insert(at + i);
      at += length;
      continue;
    }
    const uint8_t index = kTableIndex[static_cast<uint8_t>(code[at])];
    if (index != 0) {
      out.push_back(static_cast<char>(index));
    } else {
      out.push_back(static_cast<char>(kOldLiteralEscape));
      out.push_back(code[at]);
    }
    finder->Insert(at);
    ++at;
  }
  return out;
}

std::optional<std::string> OldConsoleCodeArea(std::string_view code, size_t* stream_size) {
  if (stream_size != nullptr) *stream_size = 0;
  std::string area;
  if (code.size() <= kCodeAreaSize && code.find('\0') == std::string_view::npos) {
    area.assign(code);
    area.resize(kCodeAreaSize, '\0');
    return area;
  }
  std::optional<std::string> stream = CompressOldCode(code);
  if (!stream) return std::nullopt;
  if (stream_size != nullptr) *stream_size = stream->size();
  if (stream->size() > kCodeAreaSize) return std::nullopt;
  area = std::move(*stream);
  area.resize(kCodeAreaSize, '\0');
  // The reader drops an ending an older console appended; code that really ends so
  // would lose it, so only a stream that reads back whole is written.
  const std::optional<std::string> back = DecodeCodeArea(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(area.data()), area.size()));
  if (!back || *back != code) return std::nullopt;
  return area;
}

}  // namespace brasswick
