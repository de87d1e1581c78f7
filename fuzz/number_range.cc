// The number-range parser on any text, with flags and bounds taken from the first two
// bytes. A parse that fails empties the list and says why; one that succeeds leaves
// no error, every value inside the bounds, the smallest and largest it reports, no
// value twice when duplicates are removed, and the order asked for.
#include "commands/number_range.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

// How many values the text's ranges expand to, counting only ranges the parser does
// not refuse up front for their size.
uint64_t ExpandedValues(std::string_view text) {
  std::string bare;
  for (const char c : text) {
    if (c != ' ') bare += c;
  }
  uint64_t total = 0;
  size_t start = 0;
  while (start <= bare.size()) {
    size_t comma = bare.find(',', start);
    if (comma == std::string::npos) comma = bare.size();
    const std::string item = bare.substr(start, comma - start);
    const size_t dash = item.size() > 1 ? item.find('-', 1) : std::string::npos;
    if (dash != std::string::npos) {
      errno = 0;
      const long long a = std::strtoll(item.substr(0, dash).c_str(), nullptr, 10);
      const long long b = std::strtoll(item.substr(dash + 1).c_str(), nullptr, 10);
      const uint64_t span =
          static_cast<uint64_t>(std::max(a, b)) - static_cast<uint64_t>(std::min(a, b));
      if (errno == 0 && span < static_cast<uint64_t>(brasswick::kMaxRangeValues)) total += span + 1;
    }
    start = comma + 1;
  }
  return total;
}

// Lists longer than this are legal but take each run tens of milliseconds; the
// fuzzer would spend its time on them.
constexpr uint64_t kMaxFuzzValues = 1 << 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  int flags = 0;
  if (data[0] & 1) flags |= brasswick::kRangeRemoveDuplicates;
  if (data[0] & 2) flags |= brasswick::kRangeSortAscending;
  if (data[0] & 4) flags |= brasswick::kRangeSortDescending;
  int64_t lowest = std::numeric_limits<int64_t>::min();
  int64_t highest = std::numeric_limits<int64_t>::max();
  if (data[1] & 1) {
    lowest = -static_cast<int64_t>(data[1]);
    highest = 255;
  }
  const std::string_view text = brasswick::fuzz::AsText(data + 2, size - 2);
  if (ExpandedValues(text) > kMaxFuzzValues) return 0;
  std::vector<int64_t> list = {42};  // a parse starts from an empty list
  const int64_t parsed = brasswick::ParseNumberRange(text, list, flags, lowest, highest);
  const brasswick::RangeParseState& state = brasswick::LastRangeParse();
  FUZZ_CHECK(parsed >= 0);
  if (parsed == 0) {
    FUZZ_CHECK(list.empty());
    FUZZ_CHECK(!state.error.empty());
    return 0;
  }
  FUZZ_CHECK(state.error.empty());
  FUZZ_CHECK(!list.empty());
  FUZZ_CHECK(static_cast<int64_t>(list.size()) <= parsed);
  FUZZ_CHECK(parsed <= brasswick::kMaxRangeValues);
  FUZZ_CHECK((flags & brasswick::kRangeSortAscending) == 0 ||
             (flags & brasswick::kRangeSortDescending) == 0);
  for (const int64_t value : list) FUZZ_CHECK(value >= lowest && value <= highest);
  FUZZ_CHECK(state.smallest == *std::min_element(list.begin(), list.end()));
  FUZZ_CHECK(state.largest == *std::max_element(list.begin(), list.end()));
  if (flags & brasswick::kRangeRemoveDuplicates) {
    FUZZ_CHECK(std::set<int64_t>(list.begin(), list.end()).size() == list.size());
  } else {
    FUZZ_CHECK(static_cast<int64_t>(list.size()) == parsed);
  }
  if (flags & brasswick::kRangeSortAscending) FUZZ_CHECK(std::is_sorted(list.begin(), list.end()));
  if (flags & brasswick::kRangeSortDescending) {
    FUZZ_CHECK(std::is_sorted(list.rbegin(), list.rend()));
  }
  return 0;
}
