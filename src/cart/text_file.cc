#include "cart/text_file.h"

#include <cstdint>
#include <utility>

#include "cart/cart_memory.h"
#include "runtime/platform/file_system.h"
#include "runtime/text/text_codes.h"
#include "runtime/text/text_search.h"

namespace brasswick {
namespace {

bool StartsWithBytes(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string DecodeTextBytes(std::string bytes) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  constexpr std::string_view kUtf32LeMark{"\xFF\xFE\x00\x00", 4};
  constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
  constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
  constexpr std::string_view kUtf32BeMark{"\x00\x00\xFE\xFF", 4};
  const std::string_view view(bytes);
  if (StartsWithBytes(view, kUtf8Mark)) {
    bytes.erase(0, kUtf8Mark.size());
    return bytes;
  }
  if (StartsWithBytes(view, kUtf32LeMark) || StartsWithBytes(view, kUtf32BeMark)) return "";
  if (StartsWithBytes(view, kUtf16LeMark)) {
    const std::string_view units = view.substr(kUtf16LeMark.size());
    return Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(units.data()), units.size());
  }
  if (StartsWithBytes(view, kUtf16BeMark)) {
    // Swapped in place into little-endian order, so that one converter serves both.
    bytes.erase(0, kUtf16BeMark.size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  return bytes;
}

std::string ReadTextFile(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxPageFileSize);
  if (!bytes) return "";
  return DecodeTextBytes(std::move(*bytes));
}

}  // namespace brasswick
