// The cartridge data list of a player script, on any script text: the list between
// "_cartdat=[" and "]" (found ignoring case), and the whole text read as a list. Each
// result is compared with the bytes the list's rules give, worked out here value by
// value.
#include <optional>
#include <string_view>

#include "cart/cart_image.h"
#include "cart/player_script.h"
#include "cart/text_file.h"
#include "fuzz_support.h"
#include "runtime/text/text_search.h"

namespace {

int DigitValue(char c, int base) {
  int digit = -1;
  if (c >= '0' && c <= '9') digit = c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  return digit < base ? digit : -1;
}

// One value: a sign, then "$" hex, "%" binary or decimal digits up to the first that
// does not fit; only the low 8 bits count, so the arithmetic is done modulo 256.
uint8_t ValueByte(std::string_view token) {
  size_t i = 0;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  int base = 10;
  if (i < token.size() && (token[i] == '$' || token[i] == '%')) base = token[i++] == '$' ? 16 : 2;
  unsigned value = 0;
  for (; i < token.size(); ++i) {
    const int digit = DigitValue(token[i], base);
    if (digit < 0) break;
    value = (value * base + digit) % 256;
  }
  return static_cast<uint8_t>(negative ? (256 - value) % 256 : value);
}

brasswick::CartPayload ExpectedBytes(std::string_view list) {
  const std::string text = brasswick::RemoveCharacters(list, " \r\n\t");
  brasswick::CartPayload bytes(brasswick::kCartPayloadSize, 0);
  size_t count = 0;
  size_t start = 0;
  while (count < bytes.size()) {
    const size_t comma = text.find(',', start);
    if (comma == std::string::npos) {
      if (start < text.size()) bytes[count] = ValueByte(std::string_view(text).substr(start));
      break;
    }
    bytes[count++] = ValueByte(std::string_view(text).substr(start, comma - start));
    start = comma + 1;
  }
  return bytes;
}

void Check(std::string_view list) {
  const std::optional<brasswick::CartPayload> bytes = brasswick::ParseCartData(list);
  FUZZ_CHECK(bytes.has_value());
  FUZZ_CHECK(*bytes == ExpectedBytes(list));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = brasswick::fuzz::AsText(data, size);
  Check(text);
  const std::optional<std::string_view> list =
      brasswick::FindTextBetween(text, brasswick::kCartDataStart, brasswick::kCartDataEnd);
  if (list) {
    FUZZ_CHECK(list->data() >= text.data() && list->data() + list->size() <= text.data() + size);
    FUZZ_CHECK(list->find(']') == std::string_view::npos);
    Check(*list);
  }
  return 0;
}
