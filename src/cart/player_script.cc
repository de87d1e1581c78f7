#include "cart/player_script.h"

#include <cstdint>
#include <new>

#include "cart/text_file.h"
#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

// Where a value's reading stands. Once a character does not fit, the rest of the value
// up to its comma is skipped.
enum class Phase { kStart, kAfterSign, kDigits, kStopped };

int DigitValue(char c, int base) {
  if (base == 16) return HexDigitValue(static_cast<unsigned char>(c));
  if (c < '0' || c > '9') return -1;
  const int digit = c - '0';
  return digit < base ? digit : -1;
}

}  // namespace

std::optional<CartPayload> ParseCartData(std::string_view list_text) {
  CartPayload bytes;
  try {
    bytes.assign(kCartPayloadSize, 0);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  size_t count = 0;
  Phase phase = Phase::kStart;
  bool has_text = false;  // the value holds more than blanks
  bool negative = false;
  int base = 10;
  uint32_t value = 0;  // kept to its low 8 bits, which are all that is stored
  auto store = [&] {
    bytes[count++] = static_cast<uint8_t>(negative ? (0x100 - value) & 0xFF : value);
    phase = Phase::kStart;
    has_text = false;
    negative = false;
    base = 10;
    value = 0;
  };
  for (const char c : list_text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == ',') {
      store();
      if (count == kCartPayloadSize) return bytes;
      continue;
    }
    has_text = true;
    switch (phase) {
      case Phase::kStart:
        if (c == '+' || c == '-') {
          negative = c == '-';
          phase = Phase::kAfterSign;
          break;
        }
        [[fallthrough]];
      case Phase::kAfterSign:
        if (c == '$' || c == '%') {
          base = c == '$' ? 16 : 2;
          phase = Phase::kDigits;
          break;
        }
        phase = Phase::kDigits;
        [[fallthrough]];
      case Phase::kDigits: {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
          phase = Phase::kStopped;
        } else {
          value = (value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit)) & 0xFF;
        }
        break;
      }
      case Phase::kStopped:
        break;
    }
  }
  if (has_text) store();
  return bytes;
}

std::optional<std::string> ReplaceCartData(std::string_view script,
                                           std::span<const uint8_t> bytes) {
  size_t start = FindIgnoringCase(script, kCartDataStart);
  if (start == std::string_view::npos) return std::nullopt;
  start += kCartDataStart.size();
  const size_t end = script.find(kCartDataEnd, start);
  if (end == std::string_view::npos) return std::nullopt;
  try {
    std::string out;
    out.reserve(script.size() - (end - start) + bytes.size() * 4);
    out.append(script.substr(0, start));
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i > 0) out += ',';
      out += std::to_string(bytes[i]);
    }
    out.append(script.substr(end));
    return out;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace brasswick
