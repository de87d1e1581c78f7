// Searching text without regard to ASCII letter case, and the small text helpers that
// reading a player's page and script needs. Header-only, like the rest of this room.
#ifndef BRASSWICK_RUNTIME_TEXT_TEXT_SEARCH_H_
#define BRASSWICK_RUNTIME_TEXT_TEXT_SEARCH_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/text/text_codes.h"

namespace brasswick {

// The first position at or after from where needle occurs, ignoring ASCII letter case;
// from itself for an empty needle, npos when there is none.
inline size_t FindIgnoringCase(std::string_view text, std::string_view needle, size_t from = 0) {
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

// Whether text ends with ending, ignoring ASCII letter case.
inline bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  return FindIgnoringCase(text.substr(text.size() - ending.size()), ending) == 0;
}

// The text after the first occurrence of start and before the next occurrence of end,
// both found ignoring ASCII letter case; an empty start begins at the text's start, an
// empty end runs to its end. None when a marker is missing. The view is into text.
inline std::optional<std::string_view> FindTextBetween(std::string_view text,
                                                       std::string_view start,
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

// The text without every byte that occurs in set (an ASCII set; UTF-8 sequences of the
// text are kept whole because their bytes are never ASCII).
inline std::string RemoveCharacters(std::string_view text, std::string_view set) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (set.find(c) == std::string_view::npos) out.push_back(c);
  }
  return out;
}

// The text without the blanks, tabs and carriage returns at either end.
inline std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_TEXT_TEXT_SEARCH_H_
