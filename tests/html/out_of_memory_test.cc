// Running out of memory is not a result: it leaves the page functions as
// std::bad_alloc, for the program's one guard to report, rather than passing for a page
// that is not a player, a picture not found or a file that cannot be written.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "allocation_faults.h"
#include "html/base64.h"
#include "html/html_player.h"
#include "player_page.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::RunsOutOfMemory;

// Far below what each case needs in one piece, far above what a small result takes.
constexpr size_t kFailingSize = 32 * 1024;

TEST(HtmlOutOfMemory, LeavesEveryFunctionAsAnException) {
  // A page of 100 000 bytes and more, its one picture as long.
  const std::string picture(100000, 'A');
  const std::string page = testing::PlayerPageText({{"png", picture}}, "Title");
  testing::TempDir dir;
  testing::WriteTestFile(dir.File("page.html"), page);
  const std::string head(100000, ' ');
  const struct {
    const char* name;
    std::function<bool()> work;  // true when the work succeeds
  } cases[] = {
      {"base64", [&] { return Base64Decode(picture).has_value(); }},
      {"page file", [&] { return LoadHtmlPlayer(dir.File("page.html")) != nullptr; }},
      {"insertion",
       [&] {
         HtmlPlayerPtr player = HtmlPlayerFromText(page);
         return player && InsertPageText(*player, 0, head);
       }},
      {"picture replaced",
       [&] {
         HtmlPlayerPtr player = HtmlPlayerFromText(page);
         return player && ReplaceEmbeddedImage(*player, 0, picture);
       }},
      {"save",
       [&] {
         HtmlPlayerPtr player = HtmlPlayerFromText(page);
         return player && SaveHtmlPlayer(*player, dir.File("out.html")).ok;
       }},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.work()) << c.name;
    EXPECT_TRUE(RunsOutOfMemory(kFailingSize, c.work)) << c.name;
  }
}

}  // namespace
}  // namespace brasswick
