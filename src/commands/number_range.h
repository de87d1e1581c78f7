// Printer-page style number lists ("1,2,5-10"), as the sprites command takes them.
#ifndef BRASSWICK_COMMANDS_NUMBER_RANGE_H_
#define BRASSWICK_COMMANDS_NUMBER_RANGE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brasswick {

inline constexpr int kRangeRemoveDuplicates = 1 << 0;
inline constexpr int kRangeSortAscending = 1 << 4;
inline constexpr int kRangeSortDescending = 1 << 5;

// A list may expand to at most this many values; more would exhaust memory.
inline constexpr int64_t kMaxRangeValues = 1 << 20;

// What the latest parse saw: its smallest and largest value and its error text ("" when
// it succeeded).
struct RangeParseState {
  int64_t smallest = 0;
  int64_t largest = 0;
  std::string error;
};
const RangeParseState& LastRangeParse();

// Parses the text (spaces ignored) into values: comma-separated items, each an integer
// or two integers joined by "-" standing for every value between them. Gives the number
// of values parsed before duplicates were removed, or 0 with the list emptied and the
// error in LastRangeParse(): "String to parse is empty", "Invalid integer: " + item,
// "Value is out of range: " + value, "Both sort directions specified", or
// "Range is too large: " + the item that takes the list past kMaxRangeValues.
int64_t ParseNumberRange(std::string_view text, std::vector<int64_t>& list, int flags,
                         int64_t lowest, int64_t highest);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_NUMBER_RANGE_H_
