// Character-level helpers shared by the parsers: UTF-8 encoding and hex digits.
#ifndef BRASSWICK_RUNTIME_TEXT_TEXT_CODES_H_
#define BRASSWICK_RUNTIME_TEXT_TEXT_CODES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace brasswick {

// Appends the UTF-8 form of a code point (surrogates are encoded as they are).
inline void AppendUtf8(std::string& out, uint32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

// One UTF-8 character: its code point and length in bytes; length 0 when the bytes at
// that place are not a well-formed character (a stray or cut-off sequence, an overlong
// form, a surrogate, or a value past U+10FFFF).
struct Utf8Character {
  uint32_t code_point = 0;
  size_t length = 0;
};
inline Utf8Character DecodeUtf8At(std::string_view text, size_t at) {
  const auto byte = [&](size_t n) { return static_cast<unsigned char>(text[at + n]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  size_t length;
  uint32_t code_point;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
  } else {
    return {};
  }
  if (text.size() - at < length) return {};
  for (size_t n = 1; n < length; ++n) {
    if ((byte(n) & 0xC0) != 0x80) return {};
    code_point = (code_point << 6) | (byte(n) & 0x3F);
  }
  if ((length == 3 && code_point < 0x800) || (length == 4 && code_point < 0x10000) ||
      (code_point >= 0xD800 && code_point <= 0xDFFF) || code_point > 0x10FFFF) {
    return {};
  }
  return {code_point, length};
}

// UTF-16 little-endian bytes as UTF-8: surrogate pairs joined, an unpaired surrogate
// U+FFFD, an odd last byte dropped.
inline std::string Utf16LeToUtf8(const uint8_t* bytes, size_t length) {
  std::string out;
  out.reserve(length);
  const size_t units = length / 2;
  auto unit_at = [bytes](size_t i) {
    return static_cast<uint32_t>(bytes[2 * i]) | (static_cast<uint32_t>(bytes[2 * i + 1]) << 8);
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t unit = unit_at(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const uint32_t low = unit_at(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    AppendUtf8(out, unit);
  }
  return out;
}

// ASCII letters folded to lower case; every other character as it is.
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the texts are equal with ASCII letters compared without regard to case.
constexpr bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The value of a hex digit (0-9, a-f, A-F), or -1 for any other character.
constexpr int HexDigitValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_TEXT_TEXT_CODES_H_
