#include "cart/text_file.h"

#include <cstdint>
#include <utility>

#include "runtime/platform/file_system.h"
#include "runtime/text_codes.h"

namespace brasswick {
namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

bool StartsWithBytes(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const size_t units = bytes.size() / 2;
  auto unit_at = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i + 1])) << 8);
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
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = kReplacementCharacter;
    AppendUtf8(out, unit);
  }
  return out;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The first position at or after from where needle occurs ignoring ASCII case, or npos.
size_t FindIgnoringCase(std::string_view text, std::string_view needle, size_t from) {
  if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
  if (text.size() < needle.size()) return std::string_view::npos;
  const char first_lower = AsciiLower(needle[0]);
  const char first_upper = (first_lower >= 'a' && first_lower <= 'z')
                               ? static_cast<char>(first_lower - 32)
                               : first_lower;
  const size_t last_start = text.size() - needle.size();
  for (size_t i = from; i <= last_start; ++i) {
    if (text[i] != first_lower && text[i] != first_upper) continue;
    size_t k = 1;
    while (k < needle.size() && AsciiLower(text[i + k]) == AsciiLower(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
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
  if (StartsWithBytes(view, kUtf32LeMark) || StartsWithBytes(view, kUtf16BeMark) ||
      StartsWithBytes(view, kUtf32BeMark)) {
    return "";
  }
  if (StartsWithBytes(view, kUtf16LeMark)) return Utf16LeToUtf8(view.substr(kUtf16LeMark.size()));
  return bytes;
}

std::string ReadTextFile(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path);
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

std::string_view TextBetween(std::string_view text, std::string_view start, std::string_view end) {
  return FindTextBetween(text, start, end).value_or(std::string_view());
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
