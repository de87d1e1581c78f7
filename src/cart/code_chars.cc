#include "cart/code_chars.h"

#include <algorithm>
#include <array>
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

}  // namespace

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
