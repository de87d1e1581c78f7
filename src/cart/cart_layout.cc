#include "cart/cart_layout.h"

#include <algorithm>
#include <string>

#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

// A pair read as a hex number up to its first non-hex character.
uint8_t PairValue(char first, char second) {
  int high = HexDigitValue(first);
  if (high < 0) return 0;
  int low = HexDigitValue(second);
  if (low < 0) return static_cast<uint8_t>(high);
  return static_cast<uint8_t>(high * 16 + low);
}

std::string BareSectionName(std::string_view name) {
  std::size_t begin = name.find_first_not_of('_');
  if (begin == std::string_view::npos) return std::string();
  std::size_t end = name.find_last_not_of('_');
  std::string bare(name.substr(begin, end - begin + 1));
  for (char& c : bare) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return bare;
}

}  // namespace

int64_t SectionByteCount(const CartSection* section) {
  if (section == nullptr) return 0;
  int64_t characters = 0;
  for (std::string_view line : section->lines) characters += static_cast<int64_t>(line.size());
  return characters / 2;
}

int64_t DecodeSectionHex(const CartSection* section, std::span<uint8_t> buffer, int64_t count,
                         int64_t skip, bool swap, bool pad) {
  if (section == nullptr || buffer.empty() || count < 1) return 0;
  count = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
  if (skip < 0) skip = 0;
  if (SectionByteCount(section) < count && !pad) return 0;

  int64_t written = 0;
  for (std::string_view line : section->lines) {
    if (written == count) break;
    for (std::size_t i = 0; i + 1 < line.size() && written < count; i += 2) {
      if (skip > 0) {
        --skip;
        continue;
      }
      buffer[written++] = swap ? PairValue(line[i + 1], line[i]) : PairValue(line[i], line[i + 1]);
    }
  }
  if (pad) {
    std::fill(buffer.begin() + written, buffer.begin() + count, 0);
    written = count;
  }
  return written;
}

std::optional<ByteBuffer> ReadSectionBytes(const CartDocument& document, std::string_view name,
                                           int64_t size, int64_t offset, bool allow_short) {
  if (name.empty()) return std::nullopt;
  const CartSection* section = FindSection(document, name);
  if (section == nullptr) return std::nullopt;
  int64_t available = SectionByteCount(section);
  if (size == 0) size = available;
  if (size < 1) return std::nullopt;
  if (offset < 0) offset = 0;

  int64_t wanted = size;
  if (available < size) {
    if (!allow_short || available < 1) return std::nullopt;
    wanted = available;
  }
  ByteBuffer bytes(static_cast<std::size_t>(size), 0);
  if (DecodeSectionHex(section, bytes, wanted, offset, false, false) < wanted) return std::nullopt;
  return bytes;
}

bool WriteSectionBytes(CartDocument& document, std::string_view name,
                       std::span<const uint8_t> bytes, int64_t bytes_per_line) {
  if (bytes.empty()) return false;
  CartSection* section = FindSection(document, name, true);
  section->lines.clear();

  std::string bare = BareSectionName(section->name);
  if (bytes_per_line < 1) {
    if (bare == "map") {
      bytes_per_line = 128;
    } else if (bare == "sfx") {
      bytes_per_line = 84;
    } else {
      bytes_per_line = 64;
    }
  }

  static constexpr char kDigits[] = "0123456789abcdef";
  std::string line;
  int64_t in_line = 0;
  for (uint8_t byte : bytes) {
    line += kDigits[byte >> 4];
    line += kDigits[byte & 0x0F];
    if (++in_line == bytes_per_line) {
      section->lines.push_back(line);
      line.clear();
      in_line = 0;
    }
  }
  if (in_line > 0) section->lines.push_back(line);
  if (bare == "label") section->lines.push_back("");
  return true;
}

std::optional<ByteBuffer> SheetBytes(const CartDocument& document, bool upper_half_only) {
  return ReadSectionBytes(document, "gfx", upper_half_only ? kSheetHalfByteCount : kSheetByteCount,
                          0, true);
}

std::optional<ByteBuffer> MapBytes(const CartDocument& document, bool with_shared_half) {
  if (!with_shared_half) return ReadSectionBytes(document, "map", kMapHalfByteCount, 0, true);

  ByteBuffer bytes(kMapByteCount, 0);
  std::span<uint8_t> upper(bytes.data(), kMapHalfByteCount);
  std::span<uint8_t> lower(bytes.data() + kMapHalfByteCount, kMapHalfByteCount);
  if (DecodeSectionHex(FindSection(document, "map"), upper, kMapHalfByteCount, 0, false, true) ==
      0) {
    return std::nullopt;
  }
  // The sheet's lower half read with each pair reversed: console memory keeps the left
  // pixel in the low nibble, and that byte is the map cell.
  if (DecodeSectionHex(FindSection(document, "gfx"), lower, kMapHalfByteCount, kSheetHalfByteCount,
                       true, true) == 0) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace brasswick
