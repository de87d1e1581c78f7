// The sethtml command on a player page of the exported shape: page colours, control
// colours and hiding checked on the decoded pictures, the script named instead of the
// page, headers and title, and the refusals that must leave the page as it was.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/player_fixture.h"
#include "e2e/png_writer.h"
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

// The payload is a PNG of 8-bit RGBA samples.
void ExpectRgbaPng(const std::string& base64, const std::string& context) {
  const std::string png = testing::TestBase64Decode(base64);
  ASSERT_GT(png.size(), 25u) << context;
  EXPECT_EQ(png.substr(12, 4), "IHDR") << context;
  EXPECT_EQ(png[24], 8) << context;
  EXPECT_EQ(png[25], PNG_COLOR_TYPE_RGB_ALPHA) << context;
}

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

  ProcessResult Run(std::vector<std::string> words, const std::string& folder = "") {
    words.insert(words.begin(), "sethtml");
    testing::RunOptions options;
    options.working_folder = folder;
    return RunBrasswick(words, options);
  }

  // Every picture of the themed page against the fixture: RGB from expected_rgb (none
  // keeps the fixture's) and alpha from expected_alpha (none keeps the fixture's). A
  // picture the rules leave as it was keeps its payload byte for byte; a changed one is
  // an 8-bit RGBA PNG.
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
      std::vector<std::pair<Rgb, int>> expected;
      bool changed = false;
      for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
          const uint8_t* b = before.Row(y) + x * before.channels();
          const Rgb old_rgb{b[0], b[1], b[2]};
          const int old_alpha = before.channels() == 4 ? b[3] : 255;
          const Rgb rgb = expected_rgb(i, x, y).value_or(old_rgb);
          const int alpha = expected_alpha(i, x, y).value_or(old_alpha);
          changed = changed || rgb != old_rgb || alpha != old_alpha;
          expected.emplace_back(rgb, alpha);
        }
      }
      if (!changed) {
        EXPECT_EQ(payloads[i], fixture_.pictures[i].base64) << context << " picture " << i;
        continue;
      }
      ExpectRgbaPng(payloads[i], context + " picture " + std::to_string(i));
      ImagePtr after = DecodePayload(payloads[i]);
      ASSERT_TRUE(after) << context << " picture " << i;
      ASSERT_EQ(after->width(), before.width());
      ASSERT_EQ(after->height(), before.height());
      ASSERT_EQ(after->channels(), 4) << context << " picture " << i;
      for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
          const uint8_t* a = after->Row(y) + x * 4;
          const auto& [rgb, alpha] = expected[y * before.width() + x];
          ASSERT_EQ((Rgb{a[0], a[1], a[2]}), rgb)
              << context << " picture " << i << " at " << x << "," << y;
          ASSERT_EQ(a[3], alpha) << context << " picture " << i << " alpha at " << x << "," << y;
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
      // Black is a colour, not the lack of one.
      {{"--background", "0"}, "#000000", "#ccc", "#000000"},
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
      {{"--xButton", "0", "--dpad", "0"}, {}, {}, Rgb{0, 0, 0}, Rgb{0, 0, 0}, {}, "#ccc"},
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

// A single-file player carries its list in its own markup: it is the page to edit,
// and the player page beside it is left alone.
TEST_F(SetHtmlCommand, ASingleFilePlayerIsEditedItself) {
  const std::string single_path = root_ + "/single.html";
  const std::string single =
      Replaced(fixture_.page, "</body>", "<script>var _cartdat=[1,2];</script></body>");
  WriteTestFile(single_path, single);
  const std::string index_path = root_ + "/index.html";
  WriteTestFile(index_path, fixture_.page);
  const ProcessResult result = Run({single_path, "--title", "New"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ReadTestFile(single_path), Replaced(single, "Test Game", "New"));
  EXPECT_EQ(ReadTestFile(index_path), fixture_.page);
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
  const std::string open_title = root_ + "/opentitle.html";
  WriteTestFile(open_title, Replaced(fixture_.page, "</title>", ""));
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
      {{open_title, "--background", "red", "--title", "x"},
       152,
       "Missing </title> tag in HTML file: \n" + open_title},
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
    EXPECT_EQ(ReadTestFile(open_title), Replaced(fixture_.page, "</title>", ""));
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

// Tag names in any case, a style whose last declaration has no ";", and text in the
// page that looks like anything the program might use: every edit still lands in its
// place and the page's own text stays as it was.
TEST_F(SetHtmlCommand, EditsLandOnEveryPage) {
  std::string page = Replaced(fixture_.page, "<title>", "<TITLE>");
  page = Replaced(page, "</title>", "</Title>");
  page = Replaced(page, "</head>", "</HEAD>");
  page = Replaced(page, "<body", "<BODY");
  page = Replaced(page, "color:#ccc\"", "color:#ccc;background-color:#222\"");
  page = Replaced(page, "background-color:#222;", "");
  const std::string script =
      "<script>var t = \"%BRASSWICK-TITLE%\", c = '%BRASSWICK-BGCOL%';</script>";
  page = Replaced(page, "</HEAD>", script + "</HEAD>");
  WriteTestFile(page_path_, page);
  WriteTestFile(root_ + "/h.txt", "<meta name=\"h\">");
  const ProcessResult result = Run(
      {page_path_, "--background", "red", "--title", "New", "--headers", "./h.txt", "--verbose"},
      root_);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::string expected = Replaced(page, "Test Game", "New");
  expected = Replaced(expected, "color:#ccc;background-color:#222\"",
                      "color:#ccc;background-color:#ff0000\"");
  expected = Replaced(expected, "background-color:#000;", "background-color:#ff0000;");
  expected = Replaced(expected, "</HEAD>", "<meta name=\"h\"></HEAD>");
  EXPECT_EQ(ReadTestFile(page_path_), expected);
  EXPECT_NE(result.out.find("Adding headers from './h.txt'...\n"), std::string::npos) << result.out;
}

// Header files are named as typed, and read in whichever encoding their mark says.
TEST_F(SetHtmlCommand, HeadersAreNamedAsTypedAndDecoded) {
  WriteTestFile(root_ + "/le.txt", std::string("\xFF\xFE<\0b\0>\0\xE9\0", 10));
  WriteTestFile(root_ + "/be.txt", std::string("\xFE\xFF\0<\0i\0>\xD8\x3D\xDE\x00", 12));
  ProcessResult result = Run({page_path_, "--headers", "le.txt", "--headers", "./be.txt"}, root_);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(page_path_),
            Replaced(fixture_.page, "</head>", "<b>\xC3\xA9<i>\xF0\x9F\x98\x80</head>"));

  WriteTestFile(page_path_, fixture_.page);
  result = Run({page_path_, "--headers", "le.txt", "--headers", "./nope.txt", "--verbose"}, root_);
  EXPECT_EQ(result.exit_code, 147);
  EXPECT_EQ(result.err, "Failed to load headers file: \n./nope.txt\n");
  EXPECT_EQ(result.out,
            std::string(kBanner) + "Loading HTML file...\nAdding headers from 'le.txt'...\n");
  EXPECT_EQ(ReadTestFile(page_path_), fixture_.page);
}

// The page is opened and shown only when it was written.
TEST_F(SetHtmlCommand, FinishingActionsFollowAWrite) {
  const std::string bin = root_ + "/bin";
  std::filesystem::create_directory(bin);
  const std::string log = root_ + "/opener.log";
  WriteTestFile(bin + "/xdg-open", "#!/bin/sh\necho \"$1\" >> '" + log + "'\n");
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
  testing::RunOptions options;
  const char* path = std::getenv("PATH");
  options.env["PATH"] = bin + ":" + (path ? path : "/usr/bin:/bin");

  const std::string out = root_ + "/out.html";
  ProcessResult result =
      RunBrasswick({"sethtml", page_path_, out, "--open", "--locate", "--verbose"}, options);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, std::string(kBanner) + "Loading HTML file...\nClosing HTML file\n");
  result = RunBrasswick(
      {"sethtml", page_path_, root_ + "/no/out.html", "--title", "x", "--open", "--locate"},
      options);
  EXPECT_EQ(result.exit_code, 142);
  result = RunBrasswick(
      {"sethtml", page_path_, out, "--title", "x", "--open", "--locate", "--verbose"}, options);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Loading HTML file...\nSaving HTML file...\nSaved: " + out +
                            "\nOpening HTML file...\nLocating HTML file...\n");
  std::string opened;
  for (int i = 0; i < 500; ++i) {
    opened = ReadTestFile(log);
    if (std::count(opened.begin(), opened.end(), '\n') >= 2) break;
    usleep(10000);
  }
  usleep(100000);  // time for a stray opener of the earlier runs to show up too
  // The two openers run on their own, so their lines may come in either order.
  std::vector<std::string> lines;
  std::istringstream logged(ReadTestFile(log));
  for (std::string line; std::getline(logged, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  std::vector<std::string> expected = {out, root_ + "/"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
}

// Pictures of the control heights in depths an export may hold: a 1-bit palette icon
// with a transparent entry, a grey picture with alpha as the D-pad, a 4-bit palette
// button picture with several alpha levels. What the theme changes comes back as 8-bit
// RGBA with exactly the colours and alphas asked; the rest stays byte for byte.
TEST_F(SetHtmlCommand, ThemedPicturesKeepTheirTransparencyAndTheOthersStayAsTheyWere) {
  struct Source {
    testing::TestPng png;
    std::vector<std::array<int, 4>> pixels;  // RGBA, row by row
    std::string base64;
  };
  const auto encode = [&](Source& source, const std::string& name) {
    ASSERT_TRUE(testing::WriteTestPng(root_ + "/" + name, source.png));
    source.base64 = testing::TestBase64(ReadTestFile(root_ + "/" + name));
  };
  // 24 x 24, one bit a pixel: entry 0 transparent, entry 1 opaque green.
  Source icon{{24, 24, 1, PNG_COLOR_TYPE_PALETTE, {}, {{0, 0, 0}, {0, 200, 0}}, {}, {0}}, {}, {}};
  for (int y = 0; y < 24; ++y) {
    icon.png.rows.emplace_back(3, 0);
    for (int x = 0; x < 24; ++x) {
      const bool on = (x + y) % 3 == 0;
      if (on) icon.png.rows.back()[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      icon.pixels.push_back(on ? std::array<int, 4>{0, 200, 0, 255}
                               : std::array<int, 4>{0, 0, 0, 0});
    }
  }
  // 300 x 300 grey with alpha.
  Source dpad{{300, 300, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {}, {}, {}, {}}, {}, {}};
  for (int y = 0; y < 300; ++y) {
    dpad.png.rows.emplace_back();
    for (int x = 0; x < 300; ++x) {
      const int grey = (x * 7 + y) % 256;
      const int alpha = (x + y * 3) % 256;
      dpad.png.rows.back().push_back(static_cast<uint8_t>(grey));
      dpad.png.rows.back().push_back(static_cast<uint8_t>(alpha));
      dpad.pixels.push_back({grey, grey, grey, alpha});
    }
  }
  // 300 x 350, four bits a pixel: five entries of different alphas.
  const std::array<uint8_t, 3> colours[] = {
      {10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}, {130, 140, 150}};
  const uint8_t alphas[] = {0, 60, 128, 200, 255};
  Source buttons{{300, 350, 4, PNG_COLOR_TYPE_PALETTE, {}, {}, {}, {}}, {}, {}};
  buttons.png.palette.assign(std::begin(colours), std::end(colours));
  buttons.png.trns_alpha.assign(std::begin(alphas), std::end(alphas));
  for (int y = 0; y < 350; ++y) {
    buttons.png.rows.emplace_back(150, 0);
    for (int x = 0; x < 300; ++x) {
      const int entry = (x / 10 + y / 10) % 5;
      buttons.png.rows.back()[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? entry << 4 : entry);
      buttons.pixels.push_back(
          {colours[entry][0], colours[entry][1], colours[entry][2], alphas[entry]});
    }
  }
  encode(icon, "icon.png");
  encode(dpad, "dpad.png");
  encode(buttons, "buttons.png");
  const std::string page =
      testing::PlayerPageText({{"png", buttons.base64},
                               {"png", dpad.base64},
                               {"png", icon.base64},
                               {"png", fixture_.pictures[testing::kLabelPicture].base64}});

  const Rgb red = kStandardPalette[8];
  struct Case {
    std::vector<std::string> args;
    bool buttons_changed, dpad_changed, icon_changed;
    std::function<std::optional<Rgb>(int)> paint;  // by picture
    std::function<bool(int, int)> erased_in_dpad;
  };
  const auto no_paint = [](int) { return std::optional<Rgb>(); };
  const auto nothing_erased = [](int, int) { return false; };
  const Case cases[] = {
      {{"--noUp"},
       false,
       true,
       false,
       no_paint,
       [](int x, int y) { return x >= 128 && x < 178 && y >= 60 && y < 100; }},
      {{"--controls", "8"},
       true,
       true,
       true,
       [&](int) { return std::optional<Rgb>(red); },
       nothing_erased},
      // Height 24 without --controls and a button colour that names nothing change
      // nothing at all.
      {{"--dpad", "8", "--xButton", "nothing"},
       false,
       true,
       false,
       [&](int picture) { return picture == 1 ? std::optional<Rgb>(red) : std::nullopt; },
       nothing_erased},
  };
  for (const Case& c : cases) {
    WriteTestFile(page_path_, page);
    std::vector<std::string> args = {page_path_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult result = Run(args);
    ASSERT_EQ(result.exit_code, 0) << c.args[0] << result.err;
    const std::vector<std::string> payloads = testing::PagePayloads(ReadTestFile(page_path_));
    ASSERT_EQ(payloads.size(), 4u);
    EXPECT_EQ(payloads[3], fixture_.pictures[testing::kLabelPicture].base64) << c.args[0];
    const Source* sources[] = {&buttons, &dpad, &icon};
    const bool changed[] = {c.buttons_changed, c.dpad_changed, c.icon_changed};
    for (int i = 0; i < 3; ++i) {
      const std::string context = c.args[0] + " picture " + std::to_string(i);
      if (!changed[i]) {
        EXPECT_EQ(payloads[i], sources[i]->base64) << context;
        continue;
      }
      ExpectRgbaPng(payloads[i], context);
      ImagePtr after = DecodePayload(payloads[i]);
      ASSERT_TRUE(after) << context;
      ASSERT_EQ(after->channels(), 4) << context;
      const int width = after->width();
      ASSERT_EQ(size_t(width) * after->height(), sources[i]->pixels.size()) << context;
      for (int y = 0; y < after->height(); ++y) {
        for (int x = 0; x < width; ++x) {
          const std::array<int, 4>& source = sources[i]->pixels[y * width + x];
          const Rgb rgb =
              c.paint(i).value_or(Rgb{uint8_t(source[0]), uint8_t(source[1]), uint8_t(source[2])});
          const int alpha = i == 1 && c.erased_in_dpad(x, y) ? 0 : source[3];
          const uint8_t* p = after->Row(y) + x * 4;
          ASSERT_EQ((Rgb{p[0], p[1], p[2]}), rgb) << context << " at " << x << "," << y;
          ASSERT_EQ(p[3], alpha) << context << " at " << x << "," << y;
        }
      }
    }
  }
}

// Thousands of icons, their URIs opened by either quote and in either letter case, are
// all themed, each in its own place.
TEST_F(SetHtmlCommand, ThemesEveryPictureOfALargePage) {
  constexpr int kIcons = 2400;
  const std::string forms[][2] = {
      {"<img src=\"data:image/png;base64,", "\">"},
      {"<img src=\"DATA:IMAGE/PNG;base64,", "\">"},
      {"<img src='data:image/png;base64,", "'>"},
  };
  std::string icons;
  for (int i = 0; i < kIcons; ++i) {
    const auto& form = forms[i % 3];
    icons += form[0] + fixture_.pictures[kFirstIcon + i % 6].base64 + form[1] + "\n";
  }
  const std::string page =
      Replaced(fixture_.page, "</div>\r\n</body>", icons + "</div>\r\n</body>");
  WriteTestFile(page_path_, page);
  const ProcessResult result = Run({page_path_, "--controls", "8"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string themed = ReadTestFile(page_path_);
  const Rgb red = kStandardPalette[8];
  // The icons follow the fixture's own pictures.
  size_t at = 0;
  for (int i = 0; i < kFixturePictures; ++i) at = themed.find("<img", at) + 1;
  for (int i = 0; i < kIcons; ++i) {
    const auto& form = forms[i % 3];
    // The media type is written anew, the URI's own start kept.
    const std::string start = form[0].substr(0, form[0].find('/') + 1) + "png;base64,";
    at = themed.find("<img", at);
    ASSERT_NE(at, std::string::npos) << i;
    ASSERT_EQ(themed.compare(at, start.size(), start), 0) << i;
    const size_t payload = at + start.size();
    const size_t close = themed.find(form[1], payload);
    ASSERT_NE(close, std::string::npos) << i;
    ImagePtr icon = DecodePayload(themed.substr(payload, close - payload));
    ASSERT_TRUE(icon) << i;
    const RgbaImage& before = *fixture_.pictures[kFirstIcon + i % 6].pixels;
    ASSERT_EQ(icon->channels(), 4) << i;
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const uint8_t* p = icon->Row(y) + x * 4;
        ASSERT_EQ((Rgb{p[0], p[1], p[2]}), red) << i;
        ASSERT_EQ(p[3], before.Row(y)[x * 4 + 3]) << i;
      }
    }
    at = close;
  }
}

}  // namespace
}  // namespace brasswick
