// Printer-page style number lists: items, ranges, signs, bounds, ordering and errors.
#include "commands/number_range.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace brasswick {
namespace {

using Values = std::vector<int64_t>;

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int kSpritesFlags = kRangeRemoveDuplicates | kRangeSortAscending;

struct Parsed {
  int64_t result;
  Values values;
  std::string error;
};

Parsed Parse(const std::string& text, int flags = 0, int64_t lowest = kMin,
             int64_t highest = kMax) {
  // A list that already holds values shows that every parse starts from empty.
  Values values = {99, 98};
  int64_t result = ParseNumberRange(text, values, flags, lowest, highest);
  return {result, values, LastRangeParse().error};
}

TEST(NumberRange, ItemsAndRangesWithDuplicatesRemovedAndSorted) {
  Parsed parsed = Parse("10,2,5-3,2", kSpritesFlags);
  EXPECT_EQ(parsed.values, (Values{2, 3, 4, 5, 10}));
  // 10, 2, the three values of 5-3, and 2 again: six values before duplicates went.
  EXPECT_EQ(parsed.result, 6);
  EXPECT_EQ(parsed.error, "");
}

TEST(NumberRange, WithoutFlagsValuesKeepTheirOrderAndRepetitions) {
  Parsed parsed = Parse("3,1,5-3,3");
  EXPECT_EQ(parsed.values, (Values{3, 1, 3, 4, 5, 3}));
  EXPECT_EQ(parsed.result, 6);

  parsed = Parse("3,1,3", kRangeRemoveDuplicates);
  EXPECT_EQ(parsed.values, (Values{3, 1}));
  EXPECT_EQ(parsed.result, 3);
}

TEST(NumberRange, DescendingSort) {
  Parsed parsed = Parse("1,5,3", kRangeSortDescending);
  EXPECT_EQ(parsed.values, (Values{5, 3, 1}));
  parsed = Parse("2,2,1,4-3", kRangeSortDescending | kRangeRemoveDuplicates);
  EXPECT_EQ(parsed.values, (Values{4, 3, 2, 1}));
  EXPECT_EQ(parsed.result, 5);
}

TEST(NumberRange, BothSortDirectionsFail) {
  Parsed parsed = Parse("1,2", kRangeSortAscending | kRangeSortDescending);
  EXPECT_EQ(parsed.result, 0);
  EXPECT_TRUE(parsed.values.empty());
  EXPECT_EQ(parsed.error, "Both sort directions specified");
}

TEST(NumberRange, LeadingMinusIsASign) {
  Parsed parsed = Parse("-5");
  EXPECT_EQ(parsed.values, (Values{-5}));
  EXPECT_EQ(parsed.result, 1);

  parsed = Parse("-5--3");
  EXPECT_EQ(parsed.values, (Values{-5, -4, -3}));
  parsed = Parse("-3--5");
  EXPECT_EQ(parsed.values, (Values{-5, -4, -3}));
  parsed = Parse("2--1");
  EXPECT_EQ(parsed.values, (Values{-1, 0, 1, 2}));
  parsed = Parse("7-7");
  EXPECT_EQ(parsed.values, (Values{7}));
}

TEST(NumberRange, SpacesAreRemovedFirst) {
  Parsed parsed = Parse(" 1 , 4 - 2 ,1 0");
  EXPECT_EQ(parsed.values, (Values{1, 2, 3, 4, 10}));
  EXPECT_EQ(parsed.error, "");
  EXPECT_EQ(Parse("5 - x").error, "Invalid integer: x");
}

TEST(NumberRange, MalformedItems) {
  struct Case {
    const char* text;
    const char* error;
  };
  for (const Case& c :
       {Case{"5-x", "Invalid integer: x"}, Case{"x-5", "Invalid integer: x"},
        Case{"5-", "Invalid integer: "}, Case{"1,2,abc", "Invalid integer: abc"},
        Case{"1.5", "Invalid integer: 1.5"}, Case{"+5", "Invalid integer: +5"},
        Case{"0x10", "Invalid integer: 0x10"}, Case{"--5", "Invalid integer: -"},
        Case{"1-2-3", "Invalid integer: 2-3"}, Case{"1,,2", "String to parse is empty"},
        Case{",1", "String to parse is empty"}, Case{"1,", "String to parse is empty"},
        Case{"", "String to parse is empty"}, Case{"   ", "String to parse is empty"}}) {
    Parsed parsed = Parse(c.text, kSpritesFlags);
    EXPECT_EQ(parsed.result, 0) << c.text;
    EXPECT_TRUE(parsed.values.empty()) << c.text;
    EXPECT_EQ(parsed.error, c.error) << c.text;
  }
}

TEST(NumberRange, BoundsAreChecked) {
  Parsed parsed = Parse("1-5", 0, 0, 3);
  EXPECT_EQ(parsed.result, 0);
  EXPECT_TRUE(parsed.values.empty());
  EXPECT_EQ(parsed.error, "Value is out of range: 4");

  parsed = Parse("2,-2,1", 0, 0, 3);
  EXPECT_EQ(parsed.error, "Value is out of range: -2");
  EXPECT_TRUE(parsed.values.empty());

  parsed = Parse("0,3", 0, 0, 3);
  EXPECT_EQ(parsed.values, (Values{0, 3}));
  EXPECT_EQ(parsed.error, "");
}

TEST(NumberRange, SmallestAndLargestOfTheLatestParse) {
  Values values;
  ASSERT_EQ(ParseNumberRange("7,-3,12,4-5", values, 0, kMin, kMax), 5);
  EXPECT_EQ(LastRangeParse().smallest, -3);
  EXPECT_EQ(LastRangeParse().largest, 12);

  ASSERT_EQ(ParseNumberRange("", values, 0, kMin, kMax), 0);
  EXPECT_EQ(LastRangeParse().smallest, kMax);
  EXPECT_EQ(LastRangeParse().largest, kMin);

  // A successful parse after a failed one leaves no error behind.
  ASSERT_EQ(ParseNumberRange("9", values, 0, kMin, kMax), 1);
  EXPECT_EQ(LastRangeParse().error, "");
  EXPECT_EQ(LastRangeParse().smallest, 9);
  EXPECT_EQ(LastRangeParse().largest, 9);
}

TEST(NumberRange, ListsAreBoundedInSize) {
  constexpr int64_t kLimit = 1048576;
  ASSERT_EQ(kMaxRangeValues, kLimit);

  Parsed parsed = Parse("1-1048576");
  EXPECT_EQ(parsed.result, kLimit);
  ASSERT_EQ(parsed.values.size(), static_cast<size_t>(kLimit));
  EXPECT_EQ(parsed.values.front(), 1);
  EXPECT_EQ(parsed.values.back(), kLimit);

  parsed = Parse("0-1048576");
  EXPECT_EQ(parsed.result, 0);
  EXPECT_TRUE(parsed.values.empty());
  EXPECT_EQ(parsed.error, "Range is too large: 0-1048576");

  parsed = Parse("0-9999999999999", kSpritesFlags);
  EXPECT_EQ(parsed.error, "Range is too large: 0-9999999999999");

  // Items count together, duplicates included: the item that passes the bound is named.
  parsed = Parse("1-1048575,7", kSpritesFlags);
  EXPECT_EQ(parsed.result, kLimit);
  EXPECT_EQ(parsed.values.size(), static_cast<size_t>(1048575));
  parsed = Parse("1-1048575,7,8", kSpritesFlags);
  EXPECT_EQ(parsed.result, 0);
  EXPECT_EQ(parsed.error, "Range is too large: 8");
  parsed = Parse("1-600000,5-500000,3", kSpritesFlags);
  EXPECT_EQ(parsed.error, "Range is too large: 5-500000");
  EXPECT_TRUE(parsed.values.empty());
}

TEST(NumberRange, SixtyFourBitExtremes) {
  Parsed parsed = Parse("9223372036854775807,-9223372036854775808", kSpritesFlags);
  EXPECT_EQ(parsed.values, (Values{kMin, kMax}));

  parsed = Parse("9223372036854775805-9223372036854775807");
  EXPECT_EQ(parsed.values, (Values{kMax - 2, kMax - 1, kMax}));
  parsed = Parse("-9223372036854775807--9223372036854775808");
  EXPECT_EQ(parsed.values, (Values{kMin, kMin + 1}));

  parsed = Parse("-9223372036854775808-9223372036854775807");
  EXPECT_EQ(parsed.result, 0);
  EXPECT_EQ(parsed.error, "Range is too large: -9223372036854775808-9223372036854775807");

  // Integers past 64 bits are refused, never wrapped.
  for (const char* text :
       {"9223372036854775808", "-9223372036854775809", "1-99999999999999999999"}) {
    parsed = Parse(text);
    EXPECT_EQ(parsed.result, 0) << text;
    EXPECT_TRUE(parsed.values.empty()) << text;
    EXPECT_EQ(parsed.error.rfind("Invalid integer: ", 0), 0u) << parsed.error;
  }
}

}  // namespace
}  // namespace brasswick
