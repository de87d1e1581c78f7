#include "html/base64.h"

#include <array>
#include <new>

namespace brasswick {
namespace {

constexpr std::string_view kStandardAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kUrlAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

constexpr int kNotInAlphabet = -1;

constexpr std::array<int, 256> MakeDecodeTable() {
  std::array<int, 256> table{};
  for (int& entry : table) entry = kNotInAlphabet;
  for (size_t i = 0; i < kStandardAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kStandardAlphabet[i])] = static_cast<int>(i);
    table[static_cast<unsigned char>(kUrlAlphabet[i])] = static_cast<int>(i);
  }
  return table;
}
constexpr std::array<int, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

std::string Base64Encode(const uint8_t* bytes, size_t length, int flags) {
  if (bytes == nullptr || length == 0) return "";
  const std::string_view alphabet =
      (flags & kBase64UrlAlphabet) != 0 ? kUrlAlphabet : kStandardAlphabet;
  const bool pad = (flags & kBase64NoPadding) == 0;
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t group =
        (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out += alphabet[(group >> 18) & 63];
    out += alphabet[(group >> 12) & 63];
    out += alphabet[(group >> 6) & 63];
    out += alphabet[group & 63];
  }
  const size_t rest = length - i;
  if (rest > 0) {
    uint32_t group = uint32_t{bytes[i]} << 16;
    if (rest == 2) group |= uint32_t{bytes[i + 1]} << 8;
    out += alphabet[(group >> 18) & 63];
    out += alphabet[(group >> 12) & 63];
    if (rest == 2) out += alphabet[(group >> 6) & 63];
    if (pad) out.append(3 - rest, '=');
  }
  return out;
}

std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text) {
  size_t count = 0;  // alphabet characters before the first "="
  for (const char c : text) {
    if (c == '=') break;
    if (kDecodeTable[static_cast<unsigned char>(c)] != kNotInAlphabet) ++count;
  }
  if (count == 0 || count % 4 == 1) return std::nullopt;
  std::vector<uint8_t> out;
  out.reserve(count / 4 * 3 + (count % 4 == 0 ? 0 : count % 4 - 1));
  uint32_t group = 0;
  int held = 0;
  for (const char c : text) {
    if (c == '=') break;
    const int value = kDecodeTable[static_cast<unsigned char>(c)];
    if (value == kNotInAlphabet) continue;
    group = (group << 6) | static_cast<uint32_t>(value);
    if (++held == 4) {
      out.push_back(static_cast<uint8_t>(group >> 16));
      out.push_back(static_cast<uint8_t>(group >> 8));
      out.push_back(static_cast<uint8_t>(group));
      group = 0;
      held = 0;
    }
  }
  if (held == 2) {
    out.push_back(static_cast<uint8_t>(group >> 4));
  } else if (held == 3) {
    out.push_back(static_cast<uint8_t>(group >> 10));
    out.push_back(static_cast<uint8_t>(group >> 2));
  }
  return out;
}

}  // namespace brasswick
