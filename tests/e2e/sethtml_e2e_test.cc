// The sethtml command on a player page of the exported shape: page colours, control
// colours and hiding checked on the decoded pictures, the script named instead of the
// page, headers and title, and the refusals that must leave the page as it was.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/player_fixture.h"
#include "player_page.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::kButtonsPicture;
using testing::kDpadPicture;
using testing::kFirstIcon;
using testing::kFixturePictures;
using testing::kPaletteIcon;
using testing::kStandardPalette;
using testing::PlayerFixture;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::Rgb;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

constexpr Rgb kWhite{255, 255, 255};
constexpr const char* kBanner = "brasswick 1.1\n\n";

ImagePtr DecodePayload(const std::string& base64) {
  const std::string bytes = testing::TestBase64Decode(base64);
  return LoadImageFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The fixture page's own body and touch colours, as PlayerPageText writes them.
std::string WithPageColours(const std::string& page, const std::string& background,
                            const std::string& foreground, const std::string& touch) {
  std::string out =
      Replaced(page, "background-color:#222;", "background-color:" + background + ";");
  out = Replaced(out, "color:#ccc\"", "color:" + foreground + "\"");
  return Replaced(out, "background-color:#000;", "background-color:" + touch + ";");
}

class SetHtmlCommand : public ::testing::Test {
 protected:
  SetHtmlCommand()
      : root_(std::filesystem::canonical(dir_.path()).string()),
        fixture_(testing::MakePlayerFixture(root_)),
        page_path_(root_ + "/game.html") {
    WriteTestFile(page_path_, fixture_.page);
  }

  ProcessResult Run(std::vector<std::string> words) {
    words.insert(words.begin(), "sethtml");
    return RunBrasswick(words);
  }

  // Every picture of the themed page against the fixture: RGB from expected_rgb (none
  // keeps the fixture's) and alpha from expected_alpha (none keeps the fixture's).
  using RgbRule = std::function<std::optional<Rgb>(int picture, int x, int y)>;
  using AlphaRule = std::function<std::optional<int>(int picture, int x, int y)>;
  void ExpectPictures(const std::string& page, const RgbRule& expected_rgb,
                      const AlphaRule& expected_alpha, const std::string& context) {
    const std::vector<std::string> payloads = testing::PagePayloads(page);
    ASSERT_EQ(payloads.size(), size_t{kFixturePictures}) << context;
    for (const std::string& header : testing::PageMediaHeaders(page)) {
      EXPECT_EQ(header, "png;base64") << context;
    }
    for (int i = 0; i < kFixturePictures; ++i) {
      const RgbaImage& before = *fixture_.pictures[i].pixels;
      ImagePtr after = DecodePayload(payloads[i]);
      ASSERT_TRUE(after) << context << " picture " << i;
      ASSERT_EQ(after->width(), before.width());
      ASSERT_EQ(after->height(), before.height());
      ASSERT_EQ(after->channels(), before.channels()) << context << " picture " << i;
      for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
          const uint8_t* b = before.Row(y) + x * before.channels();
          const uint8_t* a = after->Row(y) + x * after->channels();
          const Rgb rgb = expected_rgb(i, x, y).value_or(Rgb{b[0], b[1], b[2]});
          ASSERT_EQ((Rgb{a[0], a[1], a[2]}), rgb)
              << context << " picture " << i << " at " << x << "," << y;
          if (before.channels() == 4) {
            ASSERT_EQ(a[3], expected_alpha(i, x, y).value_or(b[3]))
                << context << " picture " << i << " alpha at " << x << "," << y;
          }
        }
      }
    }
  }

  TempDir dir_;
  std::string root_;
  PlayerFixture fixture_;
  std::string page_path_;
};

const auto kKeepAlpha = [](int, int, int) { return std::optional<int>(); };

TEST_F(SetHtmlCommand, PageColoursAloneChangeOnlyTheirPlaces) {
  struct Case {
    std::vector<std::string> args;
    std::string background, foreground, touch;
  };
  const Case cases[] = {
      {{"--background", "red"}, "#ff0000", "#ccc", "#ff0000"},
      {{"--touchBackground", "navy", "--background", "red"}, "#ff0000", "#ccc", "#000080"},
      {{"--touchBackground", "1"}, "#222", "#ccc", "#1d2b53"},
      {{"--background", "#ABC"}, "#aabbcc", "#ccc", "#aabbcc"},
      {{"--background", "no-such-colour"}, "#ffffff", "#ccc", "#ffffff"},
  };
  for (const Case& c : cases) {
    WriteTestFile(page_path_, fixture_.page);
    std::vector<std::string> args = {page_path_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult result = Run(args);
    EXPECT_EQ(result.exit_code, 0) << c.args[1] << result.err;
    // The whole page is compared: the pictures are not rewritten.
    EXPECT_EQ(ReadTestFile(page_path_),
              WithPageColours(fixture_.page, c.background, c.foreground, c.touch))
        << c.args[1];
  }
}

TEST_F(SetHtmlCommand, ControlColoursPaintTheirAreasAndKeepAlpha) {
  const Rgb red = kStandardPalette[8];
  const Rgb blue = kStandardPalette[12];
  struct Case {
    std::vector<std::string> args;
    std::optional<Rgb> start, o, x, dpad, icons;
    std::string foreground;
  };
  const Case cases[] = {
      {{"--controls", "8", "--xButton", "12"}, red, red, blue, red, red, "#ff004d"},
      {{"--buttons", "9", "--oButton", "14"},
       kStandardPalette[9],
       kStandardPalette[14],
       kStandardPalette[9],
       {},
       {},
       "#ccc"},
      {{"--startButton", "#010203", "--xButton", "nothing"}, Rgb{1, 2, 3}, {}, {}, {}, {}, "#ccc"},
      // A colour that names nothing paints the D-pad and icons white and leaves the
      // button areas alone.
      {{"--dpad", "nothing"}, {}, {}, {}, kWhite, {}, "#ccc"},
      {{"--controls", "nothing"}, {}, {}, {}, kWhite, kWhite, "#ffffff"},
  };
  for (const Case& c : cases) {
    const std::string out = root_ + "/themed.html";
    std::vector<std::string> args = {page_path_, out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult result = Run(args);
    ASSERT_EQ(result.exit_code, 0) << c.args[0] << result.err;
    EXPECT_EQ(ReadTestFile(page_path_), fixture_.page) << "the input stays as it was";
    const std::string page = ReadTestFile(out);
    EXPECT_NE(page.find("color:" + c.foreground + "\""), std::string::npos) << c.args[0];
    ExpectPictures(
        page,
        [&](int picture, int x, int y) -> std::optional<Rgb> {
          if (picture == kButtonsPicture) return y < 64 ? c.start : x >= y - 45 ? c.o : c.x;
          if (picture == kDpadPicture) return c.dpad;
          if (picture >= kFirstIcon) return c.icons;
          return std::nullopt;
        },
        kKeepAlpha, c.args[0] + " " + c.args[1]);
  }
  // The palette icon stays a palette picture, its transparent pixels transparent.
  ASSERT_EQ(Run({page_path_, "--controls", "8"}).exit_code, 0);
  const std::string icon =
      testing::TestBase64Decode(testing::PagePayloads(ReadTestFile(page_path_))[kPaletteIcon]);
  ASSERT_GT(icon.size(), 25u);
  EXPECT_EQ(icon[25], PNG_COLOR_TYPE_PALETTE);
}

TEST_F(SetHtmlCommand, HidingSwitchesEraseTheirShapes) {
  const auto disc = [](int cx, int cy) {
    return [=](int x, int y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 65 * 65; };
  };
  const auto box = [](int left, int top, int width, int height) {
    return
        [=](int x, int y) { return x >= left && x < left + width && y >= top && y < top + height; };
  };
  struct Case {
    std::vector<std::string> args;
    int picture;
    std::function<bool(int, int)> erased;
  };
  const Case cases[] = {
      {{"--noO"}, kButtonsPicture, disc(205, 148)},
      {{"--noX"}, kButtonsPicture, disc(94, 253)},
      {{"--noStart"}, kButtonsPicture, box(150, 0, 120, 60)},
      {{"--noUp"}, kDpadPicture, box(128, 60, 50, 40)},
      {{"--noDown"}, kDpadPicture, box(128, 205, 50, 40)},
      {{"--noLeft"}, kDpadPicture, box(60, 128, 40, 50)},
      {{"--noRight"}, kDpadPicture, box(205, 128, 40, 50)},
      {{"--noDpad"}, kDpadPicture, box(0, 0, 300, 300)},
      {{"--noDpad", "--noUp"}, kDpadPicture, box(0, 0, 300, 300)},
  };
  for (const Case& c : cases) {
    WriteTestFile(page_path_, fixture_.page);
    std::vector<std::string> args = {page_path_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(Run(args).exit_code, 0) << c.args[0];
    ExpectPictures(
        ReadTestFile(page_path_), [](int, int, int) { return std::optional<Rgb>(); },
        [&](int picture, int x, int y) -> std::optional<int> {
          if (picture == c.picture && c.erased(x, y)) return 0;
          return std::nullopt;
        },
        c.args.back());
  }
}

TEST_F(SetHtmlCommand, TheScriptNamedInsteadOfThePageEditsThePage) {
  const std::string script_path = root_ + "/game.js";
  const std::string script = testing::PlayerScriptText("1,2,3");
  WriteTestFile(script_path, script);
  const ProcessResult result = Run({script_path, "--title", "New"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "Assuming you intended '" + page_path_ + "'...\n");
  EXPECT_EQ(ReadTestFile(page_path_), Replaced(fixture_.page, "Test Game", "New"));
  EXPECT_EQ(ReadTestFile(script_path), script);

  const ProcessResult silent = Run({script_path, "--title", "Again", "--silent"});
  EXPECT_EQ(silent.exit_code, 0);
  EXPECT_EQ(silent.out, "");
  EXPECT_EQ(ReadTestFile(page_path_), Replaced(fixture_.page, "Test Game", "Again"));
}

TEST_F(SetHtmlCommand, HeadersFollowTheCommandLineAndTheTitleIsTakenAsTyped) {
  WriteTestFile(root_ + "/a.txt", "<meta name=\"a\">\n");
  // A byte-order mark of the headers file does not land inside the page.
  WriteTestFile(root_ + "/b.txt", "\xEF\xBB\xBF<script>var b = 1 < 2;</script>\n");
  const std::string title = "<b>Tom & 'Jerry'</b> \"%20\"";
  const ProcessResult result = Run({page_path_, "--headers", root_ + "/a.txt", "--title", title,
                                    "--headers", root_ + "/b.txt", "--verbose"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::string expected = Replaced(fixture_.page, "Test Game", title);
  expected =
      Replaced(expected, "</head>", "<meta name=\"a\">\n<script>var b = 1 < 2;</script>\n</head>");
  EXPECT_EQ(ReadTestFile(page_path_), expected);
  EXPECT_EQ(result.out, std::string(kBanner) + "Loading HTML file...\nAdding headers from '" +
                            root_ + "/a.txt'...\nAdding headers from '" + root_ +
                            "/b.txt'...\nSaving HTML file...\nSaved: " + page_path_ + "\n");
}

TEST_F(SetHtmlCommand, NoOptionWritesNothing) {
  const std::string out = root_ + "/never.html";
  const ProcessResult result = Run({page_path_, out, "--verbose"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, std::string(kBanner) + "Loading HTML file...\nClosing HTML file\n");
  EXPECT_FALSE(testing::PathExists(out));
  EXPECT_EQ(ReadTestFile(page_path_), fixture_.page);
}

TEST_F(SetHtmlCommand, RefusalsLeaveEveryFileAsItWas) {
  const std::string no_head = root_ + "/nohead.html";
  WriteTestFile(no_head, Replaced(fixture_.page, "</head>", ""));
  const std::string not_player = root_ + "/plain.html";
  WriteTestFile(not_player, "<html><head></head><body>hello</body></html>");
  WriteTestFile(root_ + "/a.txt", "<meta>");
  std::filesystem::create_directory(root_ + "/folder.html");
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string message;
  };
  const Case cases[] = {
      {{no_head, "--title", "x", "--headers", root_ + "/a.txt"},
       148,
       "Missing </head> tag in HTML file: \n" + no_head},
      {{page_path_, "--controls", "8", "--headers", root_ + "/a.txt", "--headers",
        root_ + "/missing.txt"},
       147,
       "Failed to load headers file: \n" + root_ + "/missing.txt"},
      {{not_player, "--title", "x"}, 143, "Failed to load HTML file:\n" + not_player},
      {{page_path_, root_ + "/missing/out.html", "--title", "x"},
       142,
       "Failed to save HTML file:\n" + root_ + "/missing/out.html"},
      {{page_path_, root_ + "/folder.html", "--background", "red"},
       142,
       "Failed to save HTML file:\n" + root_ + "/folder.html"},
  };
  const std::set<std::string> names = testing::FolderNames(root_);
  for (const Case& c : cases) {
    const ProcessResult result = Run(c.args);
    EXPECT_EQ(result.exit_code, c.code) << c.message;
    EXPECT_EQ(result.err, c.message + "\n");
    EXPECT_EQ(ReadTestFile(page_path_), fixture_.page) << c.message;
    EXPECT_EQ(ReadTestFile(no_head), Replaced(fixture_.page, "</head>", ""));
    EXPECT_EQ(testing::FolderNames(root_), names) << c.message;
  }
}

// Pictures that do not decode, are cut off or have unexpected sizes are passed over,
// and the pictures around them are still themed.
TEST_F(SetHtmlCommand, DamagedAndOddPicturesAreSkipped) {
  ImagePtr narrow = CreateImage(7, 350, 32);
  ImagePtr small_pad = CreateImage(5, 300, 32);
  const auto base64_of = [](const RgbaImage& image) {
    return testing::TestBase64(*EncodeImageToMemory(image, ImageFormat::kPng));
  };
  const std::vector<testing::PageImage> images = {
      {"png", "A"},
      {"png", testing::TestBase64("not a picture")},
      {"png", base64_of(*narrow)},
      {"gif", base64_of(*small_pad)},
      {"png", fixture_.pictures[kFirstIcon].base64},
  };
  std::string page = testing::PlayerPageText(images);
  page += "<img src=\"data:image/png;base64," + fixture_.pictures[kFirstIcon].base64;
  WriteTestFile(page_path_, page);
  const ProcessResult result =
      Run({page_path_, "--controls", "8", "--noX", "--noO", "--noStart", "--noRight"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string themed = ReadTestFile(page_path_);
  const std::vector<std::string> payloads = testing::PagePayloads(themed);
  ASSERT_EQ(payloads.size(), 6u);
  EXPECT_EQ(payloads[0], "A");
  EXPECT_EQ(payloads[1], testing::TestBase64("not a picture"));
  EXPECT_EQ(testing::PageMediaHeaders(themed)[3], "png;base64");
  ImagePtr pad = DecodePayload(payloads[3]);
  ASSERT_TRUE(pad);
  EXPECT_EQ(pad->Row(0)[0], kStandardPalette[8].r);
  ImagePtr icon = DecodePayload(payloads[4]);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->Row(5)[5 * 4 + 1], kStandardPalette[8].g);
  // The unclosed last one and the rest of the page after it stay exactly as they were.
  EXPECT_TRUE(themed.ends_with(page.substr(page.rfind("<img"))));
}

}  // namespace
}  // namespace brasswick
