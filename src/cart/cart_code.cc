#include "cart/cart_code.h"

#include <algorithm>
#include <array>
#include <new>
#include <numeric>
#include <utility>

#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

constexpr uint32_t kVariationSelector = 0xFE0F;

// The character a byte is written as in .p8 text; `emoji` marks the glyphs written with
// the variation selector after them.
struct Glyph {
  uint32_t code_point;
  bool emoji;
};

constexpr std::array<Glyph, 256> MakeGlyphTable() {
  std::array<Glyph, 256> table{};
  for (uint32_t b = 0; b < 256; ++b) table[b] = {b, false};
  constexpr uint32_t kLow[32] = {
      0x0000, 0x00B9, 0x00B2, 0x00B3, 0x2074, 0x2075, 0x2076, 0x2077,  // 00-07
      0x2078, 0x0009, 0x000A, 0x1D47, 0x1D9C, 0x000D, 0x1D49, 0x1DA0,  // 08-0F
      0x25AE, 0x25A0, 0x25A1, 0x2059, 0x2058, 0x2016, 0x25C0, 0x25B6,  // 10-17
      0x300C, 0x300D, 0x00A5, 0x2022, 0x3001, 0x3002, 0x309B, 0x309C,  // 18-1F
  };
  for (uint32_t b = 0; b < 32; ++b) table[b] = {kLow[b], false};
  table[0x7F] = {0x25CB, false};
  constexpr uint32_t kHigh[128] = {
      0x2588, 0x2592, 0x1F431, 0x2B07, 0x2591,  0x273D, 0x25CF,  0x2665,  // 80-87
      0x2609, 0xC6C3, 0x2302,  0x2B05, 0x1F610, 0x266A, 0x1F17E, 0x25C6,  // 88-8F
      0x2026, 0x27A1, 0x2605,  0x29D7, 0x2B06,  0x02C7, 0x2227,  0x274E,  // 90-97
      0x25A4, 0x25A5, 0x3042,  0x3044, 0x3046,  0x3048, 0x304A,  0x304B,  // 98-9F
      0x304D, 0x304F, 0x3051,  0x3053, 0x3055,  0x3057, 0x3059,  0x305B,  // A0-A7
      0x305D, 0x305F, 0x3061,  0x3064, 0x3066,  0x3068, 0x306A,  0x306B,  // A8-AF
      0x306C, 0x306D, 0x306E,  0x306F, 0x3072,  0x3075, 0x3078,  0x307B,  // B0-B7
      0x307E, 0x307F, 0x3080,  0x3081, 0x3082,  0x3084, 0x3086,  0x3088,  // B8-BF
      0x3089, 0x308A, 0x308B,  0x308C, 0x308D,  0x308F, 0x3092,  0x3093,  // C0-C7
      0x3063, 0x3083, 0x3085,  0x3087, 0x30A2,  0x30A4, 0x30A6,  0x30A8,  // C8-CF
      0x30AA, 0x30AB, 0x30AD,  0x30AF, 0x30B1,  0x30B3, 0x30B5,  0x30B7,  // D0-D7
      0x30B9, 0x30BB, 0x30BD,  0x30BF, 0x30C1,  0x30C4, 0x30C6,  0x30C8,  // D8-DF
      0x30CA, 0x30CB, 0x30CC,  0x30CD, 0x30CE,  0x30CF, 0x30D2,  0x30D5,  // E0-E7
      0x30D8, 0x30DB, 0x30DE,  0x30DF, 0x30E0,  0x30E1, 0x30E2,  0x30E4,  // E8-EF
      0x30E6, 0x30E8, 0x30E9,  0x30EA, 0x30EB,  0x30EC, 0x30ED,  0x30EF,  // F0-F7
      0x30F2, 0x30F3, 0x30C3,  0x30E3, 0x30E5,  0x30E7, 0x25DC,  0x25DD,  // F8-FF
  };
  for (uint32_t b = 0; b < 128; ++b) table[0x80 + b] = {kHigh[b], false};
  for (uint32_t b : {0x83u, 0x8Bu, 0x8Eu, 0x91u, 0x94u}) table[b].emoji = true;
  return table;
}

constexpr std::array<Glyph, 256> kGlyphs = MakeGlyphTable();

// The table's characters sorted, each with its byte, for the way back.
struct GlyphByte {
  uint32_t code_point;
  uint8_t byte;
};
const std::array<GlyphByte, 256>& SortedGlyphs() {
  static const std::array<GlyphByte, 256> sorted = [] {
    std::array<GlyphByte, 256> entries{};
    for (int b = 0; b < 256; ++b) {
      entries[b] = {kGlyphs[b].code_point, static_cast<uint8_t>(b)};
    }
    std::sort(entries.begin(), entries.end(),
              [](const GlyphByte& x, const GlyphByte& y) { return x.code_point < y.code_point; });
    return entries;
  }();
  return sorted;
}

// Byte 0 is no character: code never holds it.
std::optional<uint8_t> ByteOfCharacter(uint32_t code_point) {
  if (code_point == 0) return std::nullopt;
  const std::array<GlyphByte, 256>& sorted = SortedGlyphs();
  auto it = std::lower_bound(
      sorted.begin(), sorted.end(), code_point,
      [](const GlyphByte& entry, uint32_t value) { return entry.code_point < value; });
  if (it == sorted.end() || it->code_point != code_point) return std::nullopt;
  return it->byte;
}

// The byte of each ASCII character, or kNoByte: most code is ASCII, and a look-up
// there costs a tenth of the search.
constexpr uint16_t kNoByte = 0x100;
const std::array<uint16_t, 128>& AsciiBytes() {
  static const std::array<uint16_t, 128> bytes = [] {
    std::array<uint16_t, 128> table{};
    for (uint32_t code_point = 0; code_point < 128; ++code_point) {
      const std::optional<uint8_t> byte = ByteOfCharacter(code_point);
      table[code_point] = byte ? *byte : kNoByte;
    }
    return table;
  }();
  return bytes;
}

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

constexpr size_t kCodeHeaderSize = 8;
constexpr size_t kCompressedToEnd = 0xFFFF;
constexpr uint8_t kCurrent[4] = {0x00, 0x70, 0x78, 0x61};

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

constexpr std::string_view kOldTable =
    "^\n 0123456789abcdefghijklmnopqrstuvwxyz!#%(){}[]<>+=/*:;.,~_";
static_assert(kOldTable.size() == 60);

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
    if (v == 0) {
      if (at >= area.size()) return std::nullopt;
      out.push_back(static_cast<char>(area[at++]));
    } else if (v < kOldTable.size()) {
      out.push_back(kOldTable[v]);
    } else {
      if (at >= area.size()) return std::nullopt;
      const uint8_t w = area[at++];
      const size_t distance = size_t{v - 60u} * 16 + (w & 15);
      if (!CopyBack(out, distance, static_cast<size_t>(w >> 4) + 2, length)) return std::nullopt;
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
  static constexpr uint8_t kOld[4] = {0x3A, 0x63, 0x3A, 0x00};
  if (std::equal(kCurrent, std::end(kCurrent), area.begin())) return DecodeCodeStream(area);
  if (std::equal(kOld, kOld + 4, area.begin())) return DecodeOld(area);
  const auto zero = std::find(area.begin(), area.end(), 0);
  return std::string(area.begin(), zero);
}

std::optional<size_t> StoredCodeSize(std::span<const uint8_t> area) {
  if (area.size() != kCodeAreaSize) return std::nullopt;
  static constexpr uint8_t kOld[4] = {0x3A, 0x63, 0x3A, 0x00};
  if (std::equal(kCurrent, std::end(kCurrent), area.begin())) {
    // As the decoder reads it: a stream stated to run past the area (the field's most
    // says "up to the end") stops at the area's end.
    const size_t compressed = ReadBe16(area, 6);
    if (compressed < kCodeHeaderSize) return std::nullopt;
    return std::min(compressed, area.size());
  }
  if (!std::equal(kOld, kOld + 4, area.begin())) return std::nullopt;
  size_t used = 0;
  try {
    if (!DecodeOld(area, &used)) return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return used;
}

std::optional<std::string> DecodeCodeStream(std::span<const uint8_t> stream) {
  if (stream.size() < kCodeHeaderSize ||
      !std::equal(kCurrent, std::end(kCurrent), stream.begin())) {
    return std::nullopt;
  }
  return DecodeCurrent(stream);
}

std::string CodeBytesToText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    const Glyph& glyph = kGlyphs[static_cast<uint8_t>(c)];
    AppendUtf8(text, glyph.code_point);
    if (glyph.emoji) AppendUtf8(text, kVariationSelector);
  }
  return text;
}

std::optional<std::string> CodeTextToBytes(std::string_view text, CodeTextFault* fault) {
  std::string bytes;
  bytes.reserve(text.size());
  const std::array<uint16_t, 128>& ascii = AsciiBytes();
  size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
      bytes.push_back('\n');
      at += 2;
      continue;
    }
    if (lead < 0x80 && ascii[lead] != kNoByte) {
      bytes.push_back(static_cast<char>(ascii[lead]));
      ++at;
      continue;
    }
    const Utf8Character character = DecodeUtf8At(text, at);
    if (character.length == 0) {
      // Not UTF-8: a glyph written as its raw byte.
      bytes.push_back(static_cast<char>(lead));
      ++at;
      continue;
    }
    const std::optional<uint8_t> byte = ByteOfCharacter(character.code_point);
    if (!byte) {
      if (fault != nullptr) *fault = {at, character.code_point};
      return std::nullopt;
    }
    at += character.length;
    bytes.push_back(static_cast<char>(*byte));
    if (kGlyphs[*byte].emoji && at < text.size()) {
      const Utf8Character next = DecodeUtf8At(text, at);
      if (next.length > 0 && next.code_point == kVariationSelector) at += next.length;
    }
  }
  return bytes;
}

}  // namespace brasswick
