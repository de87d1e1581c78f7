#include "html/html_player.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "player_page.h"
#include "runtime/platform/file_system.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::PageImage;
using testing::PlayerPageText;
using testing::ReadTestFile;
using testing::TempDir;
using testing::WriteTestFile;

HtmlPlayerPtr LoadText(const TempDir& dir, const std::string& text) {
  WriteTestFile(dir.File("page.html"), text);
  return LoadHtmlPlayer(dir.File("page.html"));
}

std::string Page(const std::string& body_style) {
  return "<title>T</title><body style=\"" + body_style + "\"><div id=\"p8_playarea\"></div>";
}

TEST(HtmlPlayer, FindsTheBodyColoursAsWritten) {
  TempDir dir;
  struct Case {
    std::string style;
    const char* background;  // nullptr: no placeholder
    const char* foreground;
  };
  const Case cases[] = {
      {"padding:0px; background-color:#222; color:#ccc", "#222", "#ccc"},
      {"background-color: #222; color: #ccc;", " #222", " #ccc"},
      {"background-color:#000;color:#fff", "#000", nullptr},
      {"background-color:#000; color:#fff", "#000", "#fff"},
      {"background-color:#000", nullptr, nullptr},
      // The same text in both values still puts each placeholder in its own place.
      {" color:#fff; background-color:#fff;", "#fff", "#fff"},
  };
  for (const Case& c : cases) {
    HtmlPlayerPtr player = LoadText(dir, Page(c.style));
    ASSERT_TRUE(player) << c.style;
    EXPECT_EQ(player->background_color, c.background ? c.background : "") << c.style;
    EXPECT_EQ(player->foreground_color, c.foreground ? c.foreground : "") << c.style;
    EXPECT_EQ(player->html.find(kBackgroundPlaceholder) != std::string::npos,
              c.background != nullptr)
        << c.style;
    EXPECT_EQ(player->html.find(kForegroundPlaceholder) != std::string::npos,
              c.foreground != nullptr)
        << c.style;

    player->background_color = "#111111";
    player->foreground_color = "#eeeeee";
    ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
    std::string expected = c.style;
    if (c.background) {
      const size_t at = expected.find(std::string("background-color:") + c.background);
      expected.replace(at + 17, std::string(c.background).size(), "#111111");
    }
    if (c.foreground) {
      const size_t at = expected.find(std::string(" color:") + c.foreground);
      expected.replace(at + 7, std::string(c.foreground).size(), "#eeeeee");
    }
    EXPECT_EQ(ReadTestFile(dir.File("out.html")), Page(expected)) << c.style;
  }
}

TEST(HtmlPlayer, SavesAnUnchangedPageByteForByte) {
  TempDir dir;
  const std::vector<PageImage> images = {{"png", "iVBORw0K"}, {"jpeg", "/9j/4AAQ"}};
  const std::string pages[] = {
      "\xEF\xBB\xBF" + PlayerPageText(images, "Caf\xC3\xA9 <Game>"),
      PlayerPageText(images, ""),
      // Tags and URIs left open, and text that looks like a placeholder.
      "<title>open<body style=\"background-color:#1; color:#2;\" p8_playarea "
      "id=\"touch_controls_background\" \"data:image/png;base64,AAAA",
      "p8_playarea <title>%BRASSWICK-TITLE%</title><body style=\"background-color:#1;\">",
  };
  for (const std::string& page : pages) {
    HtmlPlayerPtr player = LoadText(dir, page);
    ASSERT_TRUE(player);
    ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
    EXPECT_EQ(ReadTestFile(dir.File("out.html")), page);
  }
}

TEST(HtmlPlayer, FillsTouchBackgroundAndTitleAndIgnoresAMissingTitle) {
  TempDir dir;
  HtmlPlayerPtr player = LoadText(dir, PlayerPageText({}, "Old"));
  ASSERT_TRUE(player);
  EXPECT_EQ(player->touch_background_color, "#000");
  EXPECT_EQ(player->title, "Old");
  player->touch_background_color = "#123456";
  player->title = "New %BRASSWICK-BGCOL% & <b>";
  ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
  std::string expected = PlayerPageText({}, "New %BRASSWICK-BGCOL% & <b>");
  expected.replace(expected.find("background-color:#000"), 21, "background-color:#123456");
  EXPECT_EQ(ReadTestFile(dir.File("out.html")), expected);

  const std::string untitled = "<body><p id=\"p8_playarea\"></p></body>";
  player = LoadText(dir, untitled);
  ASSERT_TRUE(player);
  player->title = "Ignored";
  ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
  EXPECT_EQ(ReadTestFile(dir.File("out.html")), untitled);
}

TEST(HtmlPlayer, RefusesWhatIsNotAPlayerPageAndAnUnwritablePath) {
  TempDir dir;
  EXPECT_FALSE(LoadText(dir, "<html><body>no play area</body></html>"));
  EXPECT_FALSE(LoadHtmlPlayer(dir.File("missing.html")));
  EXPECT_FALSE(LoadHtmlPlayer(dir.path()));
  HtmlPlayerPtr player = LoadText(dir, "p8_playarea");
  ASSERT_TRUE(player);
  EXPECT_FALSE(SaveHtmlPlayer(*player, ""));
  EXPECT_FALSE(SaveHtmlPlayer(*player, dir.File("no/such/folder.html")));

  // A page rewritten in place under a failing disk stays exactly as it was.
  const std::string page = PlayerPageText({}, "Old");
  player = LoadText(dir, page);
  ASSERT_TRUE(player);
  player->title = "New";
  SetWriteFailureForTesting(true);
  EXPECT_FALSE(SaveHtmlPlayer(*player, dir.File("page.html")));
  SetWriteFailureForTesting(false);
  EXPECT_EQ(ReadTestFile(dir.File("page.html")), page);
  EXPECT_EQ(testing::FolderNames(dir.path()), std::set<std::string>{"page.html"});
}

TEST(HtmlPlayer, CountsAndReplacesPicturesInPageOrder) {
  TempDir dir;
  const std::string page =
      PlayerPageText({{"png", "AAAA"}, {"jpeg", "BBBB"}, {"gif", "CC\r\nCC"}, {"png", "DDDD"}});
  HtmlPlayerPtr player = LoadText(dir, page + "<a href=\"DATA:IMAGE/bmp;base64,EEEE\">");
  ASSERT_TRUE(player);
  // The count is exact in case; the search for a picture is not.
  EXPECT_EQ(EmbeddedImageCount(*player), 4);
  const char* payloads[] = {"AAAA", "BBBB", "CC\r\nCC", "DDDD", "EEEE"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(EmbeddedImageData(*player, i), payloads[i]) << i;
  EXPECT_EQ(EmbeddedImageData(*player, 5), "");
  EXPECT_EQ(EmbeddedImageData(*player, -1), "");

  ASSERT_TRUE(ReplaceEmbeddedImage(*player, 1, "ZZZZ"));
  EXPECT_FALSE(ReplaceEmbeddedImage(*player, 5, "ZZZZ"));
  ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
  std::string expected = page + "<a href=\"DATA:IMAGE/bmp;base64,EEEE\">";
  expected.replace(expected.find("jpeg;base64,BBBB"), 16, "png;base64,ZZZZ");
  EXPECT_EQ(ReadTestFile(dir.File("out.html")), expected);

  // An open URI has no payload and cannot be replaced; one without a comma is empty.
  player = LoadText(dir, "p8_playarea \"data:image/png;base64,AAAA");
  ASSERT_TRUE(player);
  EXPECT_EQ(EmbeddedImageCount(*player), 1);
  EXPECT_EQ(EmbeddedImageData(*player, 0), "");
  EXPECT_FALSE(ReplaceEmbeddedImage(*player, 0, "QQ"));
  player = LoadText(dir, "p8_playarea \"data:image/png\"");
  ASSERT_TRUE(player);
  EXPECT_EQ(EmbeddedImageData(*player, 0), "");
}

TEST(FindPlayerHtmlForJs, PrefersTheScriptsOwnPage) {
  TempDir dir;
  const std::string script = dir.File("game.js");
  WriteTestFile(script, testing::PlayerScriptText("1,2"));
  const std::string page = PlayerPageText({});
  WriteTestFile(dir.File("index.html"), page);
  EXPECT_EQ(FindPlayerHtmlForJs(script), dir.File("index.html"));
  WriteTestFile(dir.File("game.htm"), page);
  EXPECT_EQ(FindPlayerHtmlForJs(script), dir.File("game.htm"));
  WriteTestFile(dir.File("game.html"), "<html>not a player</html>");
  EXPECT_EQ(FindPlayerHtmlForJs(script), dir.File("game.htm"));
  WriteTestFile(dir.File("game.html"), page);
  EXPECT_EQ(FindPlayerHtmlForJs(script), dir.File("game.html"));

  WriteTestFile(dir.File("other.js"), "var x=[1,2];");
  EXPECT_EQ(FindPlayerHtmlForJs(dir.File("other.js")), "");
  // A page named index.html that holds a cartridge is not its own page.
  WriteTestFile(dir.File("index.html"), page + "<script>_cartdat=[1]</script>");
  WriteTestFile(dir.File("index.htm"), "nothing");
  EXPECT_EQ(FindPlayerHtmlForJs(dir.File("index.html")), "");
}

}  // namespace
}  // namespace brasswick
