#include "html/html_player.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "faulty_files.h"
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

std::string Page(const std::string& body_style, const std::string& body = "body") {
  return "<title>T</title><" + body + " style=\"" + body_style +
         "\"><div id=\"p8_playarea\"></div>";
}

TEST(HtmlPlayer, FindsTheBodyColoursAsWritten) {
  TempDir dir;
  struct Case {
    std::string style;
    const char* background;  // nullptr: not found
    const char* foreground;
    std::string body = "body";
  };
  const Case cases[] = {
      {"padding:0px; background-color:#222; color:#ccc", "#222", "#ccc"},
      {"background-color: #222; color: #ccc;", " #222", " #ccc"},
      {"background-color:#000;color:#fff", "#000", nullptr},
      {"background-color:#000; color:#fff", "#000", "#fff"},
      // The last declaration of a style needs no ";".
      {"background-color:#000", "#000", nullptr},
      {"color:#111; background-color:#0a0", "#0a0", nullptr},
      {"background-color:#000; color:#fff", "#000", "#fff", "BODY"},
      {"background-color:#000; color:#fff", "#000", "#fff", "Body"},
      {"background-color:", "", nullptr},
      // The same text in both values still puts each in its own place.
      {" color:#fff; background-color:#fff;", "#fff", "#fff"},
  };
  for (const Case& c : cases) {
    const std::string context = c.body + " " + c.style;
    HtmlPlayerPtr player = LoadText(dir, Page(c.style, c.body));
    ASSERT_TRUE(player) << context;
    EXPECT_EQ(player->background_color, c.background ? c.background : "") << context;
    EXPECT_EQ(player->foreground_color, c.foreground ? c.foreground : "") << context;

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
    EXPECT_EQ(ReadTestFile(dir.File("out.html")), Page(expected, c.body)) << context;
  }
}

// Text a page holds for itself, however much it looks like anything the program might
// use, stays as it is, and every value is still set in its place.
TEST(HtmlPlayer, SetsEveryValueWhateverTextThePageHolds) {
  TempDir dir;
  const std::string script =
      "<script>var t = \"%BRASSWICK-TITLE%\", b = '%BRASSWICK-BGCOL%', x = \"%BRASSWICK-\";"
      "</script>";
  std::string page = PlayerPageText({{"png", "AAAA"}}, "Old");
  page.insert(page.find("</head>"), script);
  HtmlPlayerPtr player = LoadText(dir, page);
  ASSERT_TRUE(player);
  player->title = "New";
  player->background_color = "#ff0000";
  player->touch_background_color = "#00ff00";
  player->foreground_color = "%BRASSWICK-TITLE%";
  ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
  std::string expected = page;
  expected.replace(expected.find("<title>Old"), 10, "<title>New");
  expected.replace(expected.find("background-color:#222"), 21, "background-color:#ff0000");
  expected.replace(expected.find("color:#ccc"), 10, "color:%BRASSWICK-TITLE%");
  expected.replace(expected.find("background-color:#000"), 21, "background-color:#00ff00");
  EXPECT_EQ(ReadTestFile(dir.File("out.html")), expected);
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
      "p8_playarea %BRASSWICK-TITLE <TITLE>%BRASSWICK-</TITLE>",
  };
  for (const std::string& page : pages) {
    HtmlPlayerPtr player = LoadText(dir, page);
    ASSERT_TRUE(player);
    ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
    EXPECT_EQ(ReadTestFile(dir.File("out.html")), page);
  }
}

// A page in UTF-16 is read as text and written as UTF-8, without its mark.
TEST(HtmlPlayer, ReadsAUtf16PageAsText) {
  TempDir dir;
  const std::string page = PlayerPageText({{"png", "AAAA"}}, "Caf\xC3\xA9");
  std::string little = "\xFF\xFE";
  std::string big = "\xFE\xFF";
  for (const char c : page) {
    // The page is ASCII but for the e-acute, U+00E9.
    const char unit = c == '\xC3' ? '\0' : c == '\xA9' ? '\xE9' : c;
    if (c == '\xC3') continue;
    little += unit;
    little += '\0';
    big += '\0';
    big += unit;
  }
  for (const std::string& bytes : {little, big}) {
    WriteTestFile(dir.File("page.html"), bytes);
    HtmlPlayerPtr player = LoadHtmlPlayer(dir.File("page.html"));
    ASSERT_TRUE(player) << bytes.substr(0, 2);
    EXPECT_EQ(player->title, "Caf\xC3\xA9");
    EXPECT_EQ(EmbeddedImagePayload(*player, 0), "AAAA");
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

  // Tag names in any case; a title that is never closed is told apart from none.
  struct Case {
    std::string page;
    bool unclosed;
    std::string saved;  // after setting the title to "New"
  };
  const Case cases[] = {
      {"<body><p id=\"p8_playarea\"></p></body>", false, "<body><p id=\"p8_playarea\"></p></body>"},
      {"<TITLE>Old</Title> p8_playarea", false, "<TITLE>New</Title> p8_playarea"},
      {"<title>Old p8_playarea", true, "<title>Old p8_playarea"},
      {"</title><title>Old p8_playarea", true, "</title><title>Old p8_playarea"},
  };
  for (const Case& c : cases) {
    player = LoadText(dir, c.page);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->title_unclosed, c.unclosed) << c.page;
    player->title = "New";
    ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
    EXPECT_EQ(ReadTestFile(dir.File("out.html")), c.saved);
  }
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
  testing::FaultyFiles files;
  files.flush_fails = true;
  EXPECT_FALSE(SaveHtmlPlayer(*player, dir.File("page.html"), files).ok);
  EXPECT_EQ(ReadTestFile(dir.File("page.html")), page);
  EXPECT_EQ(testing::FolderNames(dir.path()), std::set<std::string>{"page.html"});
}

TEST(HtmlPlayer, CountsAndReplacesPicturesInPageOrder) {
  TempDir dir;
  const std::string page =
      PlayerPageText({{"png", "AAAA"}, {"jpeg", "BBBB"}, {"gif", "CC\r\nCC"}, {"png", "DDDD"}}) +
      // Either quote opens a picture, in any letter case, and only its own kind closes
      // it; a quote without a picture is passed over.
      "<a href=\"DATA:IMAGE/bmp;base64,EEEE\"><img src='data:image/png;base64,FF\"F'>"
      "<i title=\"x\" '><img src=\"Data:Image/svg+xml,<svg a='data:image/x'/>\">";
  HtmlPlayerPtr player = LoadText(dir, page);
  ASSERT_TRUE(player);
  const char* payloads[] = {
      "AAAA", "BBBB", "CC\r\nCC", "DDDD", "EEEE", "FF\"F", "<svg a='data:image/x'/>"};
  ASSERT_EQ(EmbeddedImageCount(*player), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(EmbeddedImagePayload(*player, i), payloads[i]) << i;
  EXPECT_EQ(EmbeddedImagePayload(*player, 7), "");
  EXPECT_EQ(EmbeddedImagePayload(*player, -1), "");

  ASSERT_TRUE(ReplaceEmbeddedImage(*player, 1, "ZZZZ"));
  ASSERT_TRUE(ReplaceEmbeddedImages(*player, {{5, "Y"}, {4, "XXXXXXXX"}, {0, ""}}));
  EXPECT_FALSE(ReplaceEmbeddedImage(*player, 7, "ZZZZ"));
  EXPECT_FALSE(ReplaceEmbeddedImages(*player, {{2, "W"}, {2, "V"}}));
  EXPECT_EQ(EmbeddedImagePayload(*player, 2), "CC\r\nCC");
  ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
  std::string expected = page;
  expected.replace(expected.find("png;base64,AAAA"), 15, "png;base64,");
  expected.replace(expected.find("jpeg;base64,BBBB"), 16, "png;base64,ZZZZ");
  expected.replace(expected.find("bmp;base64,EEEE"), 15, "png;base64,XXXXXXXX");
  expected.replace(expected.find("png;base64,FF\"F"), 15, "png;base64,Y");
  EXPECT_EQ(ReadTestFile(dir.File("out.html")), expected);

  // An open URI has no payload and cannot be replaced, and takes in the rest of the
  // page; one without a comma is empty.
  player = LoadText(dir, "p8_playarea \"data:image/png;base64,AAAA 'data:image/png;base64,B'");
  ASSERT_TRUE(player);
  EXPECT_EQ(EmbeddedImageCount(*player), 1);
  EXPECT_EQ(EmbeddedImagePayload(*player, 0), "");
  EXPECT_FALSE(ReplaceEmbeddedImage(*player, 0, "QQ"));
  player = LoadText(dir, "p8_playarea \"data:image/png\"");
  ASSERT_TRUE(player);
  EXPECT_EQ(EmbeddedImagePayload(*player, 0), "");
}

// Replacing pictures and inserting text keep every value and picture in its place, so
// that setting the values afterwards writes them where the page had them.
TEST(HtmlPlayer, KeepsValuesAndPicturesInPlaceAcrossEdits) {
  TempDir dir;
  constexpr int kPictures = 2000;
  std::vector<PageImage> images;
  for (int i = 0; i < kPictures; ++i) images.push_back({"png", std::to_string(i)});
  std::string page = PlayerPageText(images, "Old");
  // Pictures before the values too, and one inside the title.
  page.insert(page.find("<title>"), "<link href=\"data:image/png;base64,head\">");
  page.replace(page.find("Old"), 3, "Old \"data:image/png;base64,title\"");
  HtmlPlayerPtr player = LoadText(dir, page);
  ASSERT_TRUE(player);
  ASSERT_EQ(EmbeddedImageCount(*player), kPictures + 2);

  std::vector<EmbeddedImageEdit> edits;
  for (int i = 0; i < kPictures + 2; i += 3) edits.push_back({i, "n" + std::to_string(i * 7)});
  ASSERT_TRUE(ReplaceEmbeddedImages(*player, edits));
  const size_t head_end = FindHeadEnd(*player);
  ASSERT_NE(head_end, std::string::npos);
  ASSERT_TRUE(InsertPageText(*player, head_end, "<meta a>"));
  ASSERT_TRUE(InsertPageText(*player, head_end + 8, "<meta b>"));
  EXPECT_FALSE(InsertPageText(*player, player->html.size() + 1, "x"));
  ASSERT_TRUE(ReplaceEmbeddedImage(*player, kPictures + 1, "last"));
  for (int i = 0; i < kPictures + 2; ++i) {
    std::string want = i == 0 ? "head" : i == 1 ? "title" : std::to_string(i - 2);
    if (i % 3 == 0) want = "n" + std::to_string(i * 7);
    if (i == kPictures + 1) want = "last";
    ASSERT_EQ(EmbeddedImagePayload(*player, i), want) << i;
  }

  player->title = "New";
  player->background_color = "#010203";
  player->touch_background_color = "#040506";
  ASSERT_TRUE(SaveHtmlPlayer(*player, dir.File("out.html")));
  const std::string saved = ReadTestFile(dir.File("out.html"));
  EXPECT_NE(saved.find("<title>New</title>"), std::string::npos);
  EXPECT_NE(saved.find("<meta a><meta b></head>"), std::string::npos);
  EXPECT_NE(saved.find("background-color:#010203; color:#ccc\""), std::string::npos);
  EXPECT_NE(saved.find("background-color:#040506; position"), std::string::npos);
  EXPECT_NE(saved.find("\"data:image/png;base64,last\">\r\n</div>"), std::string::npos);
}

// The size comes from the header alone: a picture cut off after it still tells it.
TEST(HtmlPlayer, ReadsAPicturesSizeFromItsHeader) {
  TempDir dir;
  ImagePtr picture = CreateImage(300, 350, 32);
  ASSERT_TRUE(picture);
  const std::optional<std::vector<uint8_t>> png = EncodeImageToMemory(*picture, ImageFormat::kPng);
  ASSERT_TRUE(png);
  const std::string whole(png->begin(), png->end());
  // Signature and IHDR only: enough for the size, not for the pixels.
  const std::string header_only = whole.substr(0, 33);
  std::string long_tail = header_only + std::string(3000, '\0');
  HtmlPlayerPtr player = LoadText(dir, PlayerPageText({{"png", testing::TestBase64(whole)},
                                                       {"png", testing::TestBase64(header_only)},
                                                       {"png", testing::TestBase64(long_tail)},
                                                       {"png", "bm90IGEgcGljdHVyZQ=="}}));
  ASSERT_TRUE(player);
  for (int i = 0; i < 3; ++i) {
    const std::optional<ImageSize> size = EmbeddedImageSize(*player, i);
    ASSERT_TRUE(size) << i;
    EXPECT_EQ(size->width, 300);
    EXPECT_EQ(size->height, 350);
  }
  EXPECT_FALSE(EmbeddedImageSize(*player, 3));
  EXPECT_FALSE(EmbeddedImageSize(*player, 4));
  EXPECT_FALSE(DecodeEmbeddedImage(*player, 1));

  int asked = 0;
  const auto tall = [&](const ImageSize& size) {
    ++asked;
    return size.height == 350;
  };
  EXPECT_TRUE(DecodeEmbeddedImageIf(*player, 0, tall));
  EXPECT_FALSE(DecodeEmbeddedImageIf(*player, 0, [](const ImageSize&) { return false; }));
  EXPECT_FALSE(DecodeEmbeddedImageIf(*player, 3, tall));
  EXPECT_EQ(asked, 1);
}

// The label is the first picture whose header and pixels are 128 x 128.
TEST(HtmlPlayer, FindsTheLabelByItsSize) {
  TempDir dir;
  const auto base64_of = [](int width, int height) {
    ImagePtr picture = CreateImage(width, height, 24);
    return testing::TestBase64(*EncodeImageToMemory(*picture, ImageFormat::kPng));
  };
  const std::string label = base64_of(128, 128);
  const std::string cut = label.substr(0, 60);  // a header of 128 x 128 and no pixels
  HtmlPlayerPtr player =
      LoadText(dir, PlayerPageText({{"png", base64_of(128, 127)}, {"png", cut}, {"PNG", label}}));
  ASSERT_TRUE(player);
  ImagePtr found;
  EXPECT_EQ(FindEmbeddedLabel(*player, &found), 2);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->width(), 128);
  player = LoadText(dir, PlayerPageText({{"png", cut}}));
  ASSERT_TRUE(player);
  EXPECT_EQ(FindEmbeddedLabel(*player, nullptr), -1);
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
