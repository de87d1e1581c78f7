#include "runtime/text/text_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace brasswick {
namespace {

TEST(TextBetween, FindsMarkersIgnoringCaseAndKeepsTheTextsCase) {
  struct Case {
    const char* text;
    const char* start;
    const char* end;
    std::optional<std::string> between;
  };
  const Case cases[] = {
      {"var _CARTDAT=[1,2];", "_cartdat=[", "]", "1,2"},
      {"x=[Ab]", "X=[", "]", "Ab"},
      {"abc", "", "c", "ab"},
      {"abc", "a", "", "bc"},
      {"]x[1]", "[", "]", "1"},  // the end is searched after the start
      {"no marker", "[", "]", std::nullopt},
      {"_cartdat=[1,2", "_cartdat=[", "]", std::nullopt},
      {"[]", "[", "]", ""},
  };
  for (const Case& c : cases) {
    std::optional<std::string_view> found = FindTextBetween(c.text, c.start, c.end);
    EXPECT_EQ(found.has_value(), c.between.has_value()) << c.text;
    if (found && c.between) {
      EXPECT_EQ(*found, *c.between) << c.text;
    }
  }
}

TEST(TextHelpers, RemoveCharacters) {
  EXPECT_EQ(RemoveCharacters("a b\r\nc\td", " \r\n\t"), "abcd");
  EXPECT_EQ(RemoveCharacters("\xC3\xA9-x-", "-"), "\xC3\xA9x");
}

TEST(TextHelpers, EndsWithAndFindIgnoringCase) {
  EXPECT_TRUE(EndsWithIgnoringCase("GAME.P8.PNG", ".p8.png"));
  EXPECT_FALSE(EndsWithIgnoringCase("png", ".png"));
  EXPECT_EQ(FindIgnoringCase("x\"DATA:image/", "\"data:"), 1u);
  EXPECT_EQ(FindIgnoringCase("abcABC", "abc", 1), 3u);
  EXPECT_EQ(FindIgnoringCase("abc", "", 3), 3u);
  EXPECT_EQ(FindIgnoringCase("abc", "", 4), std::string_view::npos);
}

}  // namespace
}  // namespace brasswick
