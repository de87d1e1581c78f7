#include "commands/number_range.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <optional>
#include <unordered_set>

namespace brasswick {
namespace {

RangeParseState last_parse;

// An optional "-" and at least one decimal digit, nothing else, within 64 bits.
std::optional<int64_t> ParseInteger(std::string_view text) {
  size_t digits_from = (!text.empty() && text[0] == '-') ? 1 : 0;
  if (digits_from >= text.size()) return std::nullopt;
  for (size_t i = digits_from; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int64_t Fail(std::string message) {
  last_parse.error = std::move(message);
  return 0;
}

// One item without commas, appended to the list. Gives its value count, 0 on error.
int64_t ParseItem(std::string_view item, std::vector<int64_t>& list, int64_t lowest,
                  int64_t highest) {
  if (item.empty()) return Fail("String to parse is empty");
  size_t first_value = list.size();
  size_t dash = item.find('-', 1);
  if (dash != std::string_view::npos) {
    std::string_view before = item.substr(0, dash);
    std::string_view after = item.substr(dash + 1);
    std::optional<int64_t> a = ParseInteger(before);
    if (!a) return Fail("Invalid integer: " + std::string(before));
    std::optional<int64_t> b = ParseInteger(after);
    if (!b) return Fail("Invalid integer: " + std::string(after));
    int64_t from = std::min(*a, *b);
    int64_t to = std::max(*a, *b);
    // The span is computed unsigned: from -2^63 to 2^63-1 must not overflow.
    uint64_t span = static_cast<uint64_t>(to) - static_cast<uint64_t>(from);
    if (span >= static_cast<uint64_t>(kMaxRangeValues) ||
        list.size() + span + 1 > static_cast<uint64_t>(kMaxRangeValues)) {
      return Fail("Range is too large: " + std::string(item));
    }
    for (uint64_t step = 0; step <= span; ++step) {
      list.push_back(static_cast<int64_t>(static_cast<uint64_t>(from) + step));
    }
  } else {
    std::optional<int64_t> value = ParseInteger(item);
    if (!value) return Fail("Invalid integer: " + std::string(item));
    if (list.size() + 1 > static_cast<uint64_t>(kMaxRangeValues)) {
      return Fail("Range is too large: " + std::string(item));
    }
    list.push_back(*value);
  }
  // Earlier values were checked when they were added; only the new ones need it.
  for (size_t i = first_value; i < list.size(); ++i) {
    int64_t value = list[i];
    last_parse.smallest = std::min(last_parse.smallest, value);
    last_parse.largest = std::max(last_parse.largest, value);
    if (value < lowest || value > highest) {
      return Fail("Value is out of range: " + std::to_string(value));
    }
  }
  return static_cast<int64_t>(list.size() - first_value);
}

void RemoveRepetitions(std::vector<int64_t>& list) {
  std::unordered_set<int64_t> seen;
  seen.reserve(list.size());
  auto kept_end = std::remove_if(list.begin(), list.end(),
                                 [&seen](int64_t value) { return !seen.insert(value).second; });
  list.erase(kept_end, list.end());
}

}  // namespace

const RangeParseState& LastRangeParse() { return last_parse; }

int64_t ParseNumberRange(std::string_view text, std::vector<int64_t>& list, int flags,
                         int64_t lowest, int64_t highest) {
  list.clear();
  std::string compact;
  for (char c : text) {
    if (c != ' ') compact += c;
  }
  last_parse.smallest = std::numeric_limits<int64_t>::max();
  last_parse.largest = std::numeric_limits<int64_t>::min();
  last_parse.error.clear();

  int64_t result = 0;
  if (compact.empty()) {
    result = Fail("String to parse is empty");
  } else {
    std::string_view rest = compact;
    for (;;) {
      size_t comma = rest.find(',');
      int64_t item_count = ParseItem(rest.substr(0, comma), list, lowest, highest);
      if (item_count == 0) {
        result = 0;
        break;
      }
      result += item_count;
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  if (result > 0) {
    if (flags & kRangeRemoveDuplicates) RemoveRepetitions(list);
    if ((flags & kRangeSortAscending) && (flags & kRangeSortDescending)) {
      result = Fail("Both sort directions specified");
    } else if (flags & kRangeSortAscending) {
      std::sort(list.begin(), list.end());
    } else if (flags & kRangeSortDescending) {
      std::sort(list.begin(), list.end(), std::greater<int64_t>());
    }
  }
  if (result == 0) list.clear();
  return result;
}

}  // namespace brasswick
