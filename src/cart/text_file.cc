#include "cart/text_file.h"

#include <cstdint>
#include <utility>

#include "runtime/platform/file_system.h"
#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

bool StartsWithBytes(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  return FindIgnoringCase(text.substr(text.size() - ending.size()), ending) == 0;
}

size_t FindIgnoringCase(std::string_view text, std::string_view needle, size_t from) {
  if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
  if (text.size() < needle.size()) return std::string_view::npos;
  // A needle that begins with anything but a letter lets the search jump to each place
  // its first byte stands, as the page's '"data:image/' does from quote to quote.
  const char first = needle[0];
  const bool first_is_letter = AsciiLower(first) != first || (first >= 'a' && first <= 'z');
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (!first_is_letter) {
      i = text.find(first, i);
      if (i == std::string_view::npos || i + needle.size() > text.size()) {
        return std::string_view::npos;
      }
    }
    size_t k = 0;
    while (k < needle.size() && AsciiLower(text[i + k]) == AsciiLower(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

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

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  if (path.empty()) return "";
  const size_t slash = path.rfind('/');
  const size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  const bool has_extension = dot != std::string_view::npos && dot >= name_start;
  std::string out(path.substr(0, has_extension ? dot : path.size()));
  if (!extension.empty()) {
    out += '.';
    out += extension;
  }
  return out;
}

std::optional<std::string_view> FindTextBetween(std::string_view text, std::string_view start,
                                                std::string_view end) {
  size_t begin = 0;
  if (!start.empty()) {
    const size_t at = FindIgnoringCase(text, start, 0);
    if (at == std::string_view::npos) return std::nullopt;
    begin = at + start.size();
  }
  size_t stop = text.size();
  if (!end.empty()) {
    stop = FindIgnoringCase(text, end, begin);
    if (stop == std::string_view::npos) return std::nullopt;
  }
  return text.substr(begin, stop - begin);
}

std::string RemoveCharacters(std::string_view text, std::string_view set) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (set.find(c) == std::string_view::npos) out.push_back(c);
  }
  return out;
}

}  // namespace brasswick
