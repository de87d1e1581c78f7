#include "cart/player_script.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "cart/text_file.h"
#include "runtime/text/text_codes.h"
#include "runtime/text/text_search.h"

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

bool IsListBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One value of a list read character by character, blanks skipped.
class ValueReader {
 public:
  void Take(char c) {
    if (IsListBlank(c)) return;
    has_text_ = true;
    switch (phase_) {
      case Phase::kStart:
        if (c == '+' || c == '-') {
          negative_ = c == '-';
          phase_ = Phase::kAfterSign;
          break;
        }
        [[fallthrough]];
      case Phase::kAfterSign:
        if (c == '$' || c == '%') {
          base_ = c == '$' ? 16 : 2;
          phase_ = Phase::kDigits;
          break;
        }
        phase_ = Phase::kDigits;
        [[fallthrough]];
      case Phase::kDigits: {
        const int digit = DigitValue(c, base_);
        if (digit < 0) {
          phase_ = Phase::kStopped;
        } else {
          value_ = (value_ * static_cast<uint32_t>(base_) + static_cast<uint32_t>(digit)) & 0xFF;
        }
        break;
      }
      case Phase::kStopped:
        break;
    }
  }

  // Whether the value holds more than blanks: the text after a list's last comma is a
  // value only then.
  bool has_text() const { return has_text_; }
  uint8_t byte() const {
    return static_cast<uint8_t>(negative_ ? (0x100 - value_) & 0xFF : value_);
  }

 private:
  Phase phase_ = Phase::kStart;
  bool has_text_ = false;
  bool negative_ = false;
  int base_ = 10;
  uint32_t value_ = 0;  // kept to its low 8 bits, which are all that is stored
};

ValueReader ReadValue(std::string_view text) {
  ValueReader reader;
  for (const char c : text) reader.Take(c);
  return reader;
}

// The list text of the script's first list: start and end offsets in script.
bool FindList(std::string_view script, size_t* start, size_t* end) {
  *start = FindIgnoringCase(script, kCartDataStart);
  if (*start == std::string_view::npos) return false;
  *start += kCartDataStart.size();
  *end = script.find(kCartDataEnd, *start);
  return *end != std::string_view::npos;
}

void AppendValue(std::string& out, std::string_view old_text, uint8_t byte) {
  const size_t first = old_text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) {
    out.append(old_text);
    out += std::to_string(byte);
    return;
  }
  const size_t last = old_text.find_last_not_of(" \t\r\n");
  out.append(old_text.substr(0, first));
  out += std::to_string(byte);
  out.append(old_text.substr(last + 1));
}

}  // namespace

CartPayload ParseCartData(std::string_view list_text) {
  CartPayload bytes;
  bytes.assign(kCartPayloadSize, 0);
  size_t count = 0;
  ValueReader value;
  for (const char c : list_text) {
    if (c == ',') {
      bytes[count++] = value.byte();
      value = ValueReader();
      if (count == kCartPayloadSize) return bytes;
      continue;
    }
    value.Take(c);
  }
  if (value.has_text()) bytes[count] = value.byte();
  return bytes;
}

CartListShape ShapeOfCartList(std::string_view list_text) {
  CartListShape shape;
  // Every comma ends a value; the text after the last one is a value when it is more
  // than blanks.
  shape.value_count = static_cast<size_t>(std::count(list_text.begin(), list_text.end(), ','));
  const size_t last_comma = list_text.rfind(',');
  const std::string_view last =
      last_comma == std::string_view::npos ? list_text : list_text.substr(last_comma + 1);
  if (ReadValue(last).has_text()) ++shape.value_count;
  if (shape.value_count > 0 && shape.value_count % kCartRomSize == 0) {
    shape.cart_count = shape.value_count / kCartRomSize;
    shape.has_trailer = false;
    shape.first_cart_values = kCartRomSize;
  }
  return shape;
}

bool IsOldPlayerScript(std::string_view script) {
  constexpr std::string_view kCartName = "_cartname";
  for (size_t at = script.find(kCartName); at != std::string_view::npos;
       at = script.find(kCartName, at + 1)) {
    size_t next = at + kCartName.size();
    auto skip_blanks = [&] {
      while (next < script.size() && IsListBlank(script[next])) ++next;
    };
    skip_blanks();
    if (next >= script.size() || script[next] != '=') continue;
    ++next;
    skip_blanks();
    if (next >= script.size() || script[next] != '[') continue;
    ++next;
    skip_blanks();
    return next < script.size() && script[next] == '\'';
  }
  return false;
}

std::optional<std::string> ReplaceCartData(std::string_view script,
                                           std::span<const uint8_t> bytes) {
  size_t start = 0;
  size_t end = 0;
  if (!FindList(script, &start, &end)) return std::nullopt;
  const std::string_view list = script.substr(start, end - start);
  const CartListShape shape = ShapeOfCartList(list);
  bytes = bytes.first(std::min(bytes.size(), shape.first_cart_values));
  std::string out;
  out.reserve(script.size() +
              (bytes.size() > shape.value_count ? (bytes.size() - shape.value_count) * 4 : 0));
  out.append(script.substr(0, start));
  size_t index = 0;
  size_t at = 0;
  while (at <= list.size()) {
    const size_t comma = list.find(',', at);
    const bool last = comma == std::string_view::npos;
    const std::string_view text = list.substr(at, last ? std::string_view::npos : comma - at);
    if (last && !ReadValue(text).has_text()) {
      // No value here: what follows the last comma, or an empty list.
      out.append(text);
      break;
    }
    if (index < bytes.size() && ReadValue(text).byte() != bytes[index]) {
      AppendValue(out, text, bytes[index]);
    } else {
      out.append(text);
    }
    ++index;
    if (last) break;
    out += ',';
    at = comma + 1;
  }
  // Values the list lacks follow its last one, after a comma unless the list ends
  // with one or holds none.
  for (; index < bytes.size(); ++index) {
    const size_t last_mark = out.find_last_not_of(" \t\r\n");
    if (index > 0 && out[last_mark] != ',') out += ',';
    out += std::to_string(bytes[index]);
  }
  out.append(script.substr(end));
  return out;
}

}  // namespace brasswick
