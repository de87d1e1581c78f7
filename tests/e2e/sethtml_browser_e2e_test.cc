// A page themed by sethtml, opened where users see it: in headless Chromium. A probe
// inserted with --headers records whether every embedded picture decoded and the
// body's computed background; a screenshot shows the page colour and a recoloured,
// partly hidden control picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/player_fixture.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::kStandardPalette;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::Rgb;
using testing::RunBrasswick;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteTestFile;

// Shows the button picture unscaled at the top left and writes its findings into the
// body's attributes once everything has loaded.
constexpr const char* kProbe = R"(<style>
body { margin: 0; }
#p8_playarea img { position: absolute; left: 0; top: 0; }
#p8_playarea img + img { display: none; }
</style>
<script>
window.addEventListener('load', function () {
  var images = Array.prototype.slice.call(document.images);
  var shown = images.filter(function (i) { return i.complete && i.naturalWidth > 0; });
  document.body.setAttribute('data-pictures', shown.length + '/' + images.length);
  document.body.setAttribute('data-background', getComputedStyle(document.body).backgroundColor);
});
</script>
)";

// Runs Chromium headless on the page with its own profile folder, for at most a minute.
ProcessResult RunChromium(const std::string& profile, std::vector<std::string> words) {
  std::vector<std::string> args = {"60",
                                   "chromium",
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--no-first-run",
                                   "--force-device-scale-factor=1",
                                   "--user-data-dir=" + profile};
  args.insert(args.end(), words.begin(), words.end());
  return RunProgram("timeout", args);
}

std::string Attribute(const std::string& dom, const std::string& name) {
  const std::string key = name + "=\"";
  const size_t at = dom.find(key);
  if (at == std::string::npos) return "";
  const size_t end = dom.find('"', at + key.size());
  return dom.substr(at + key.size(), end - at - key.size());
}

Rgb ShotPixel(const RgbaImage& shot, int x, int y) {
  const uint8_t* p = shot.Row(y) + x * shot.channels();
  return {p[0], p[1], p[2]};
}

TEST(SetHtmlInBrowser, ThemedPageShowsEveryPictureAndItsColours) {
  TempDir dir;
  const std::string root = std::filesystem::canonical(dir.path()).string();
  const testing::PlayerFixture fixture = testing::MakePlayerFixture(root);
  const std::string page = root + "/game.html";
  WriteTestFile(page, fixture.page);
  WriteTestFile(root + "/probe.html", kProbe);
  const ProcessResult themed =
      RunBrasswick({"sethtml", page, "--background", "1", "--controls", "8", "--xButton", "12",
                    "--noStart", "--headers", root + "/probe.html"});
  ASSERT_EQ(themed.exit_code, 0) << themed.err;

  const std::string url = "file://" + page;
  const ProcessResult dom = RunChromium(root + "/profile", {"--dump-dom", url});
  ASSERT_EQ(dom.exit_code, 0) << "chromium could not run (make deps installs it):\n" << dom.err;
  EXPECT_EQ(Attribute(dom.out, "data-pictures"), std::to_string(testing::kFixturePictures) + "/" +
                                                     std::to_string(testing::kFixturePictures));
  EXPECT_EQ(Attribute(dom.out, "data-background"), "rgb(29, 43, 83)");

  const std::string shot_path = root + "/shot.png";
  const ProcessResult shot_run =
      RunChromium(root + "/profile", {"--window-size=400,400", "--screenshot=" + shot_path, url});
  ASSERT_EQ(shot_run.exit_code, 0) << shot_run.err;
  ImagePtr shot = LoadImageFile(shot_path);
  ASSERT_TRUE(shot);
  ASSERT_GE(shot->width(), 360);
  ASSERT_GE(shot->height(), 360);

  const Rgb background = kStandardPalette[1];
  EXPECT_EQ(ShotPixel(*shot, 350, 20), background);
  EXPECT_EQ(ShotPixel(*shot, 20, 380), background);
  // Fully opaque pixels of the button picture show their area's colour; the hidden
  // Start button shows the page through it.
  const RgbaImage& buttons = *fixture.pictures[testing::kButtonsPicture].pixels;
  int checked_x = 0, checked_o = 0, checked_start = 0;
  for (int y = 0; y < buttons.height(); ++y) {
    for (int x = 0; x < buttons.width(); ++x) {
      const bool erased = x >= 150 && x < 270 && y < 60;
      if (erased) {
        ASSERT_EQ(ShotPixel(*shot, x, y), background) << x << "," << y;
        ++checked_start;
        continue;
      }
      if (buttons.Row(y)[x * 4 + 3] != 255 || y < 64) continue;
      const bool o_area = x >= y - 45;
      ASSERT_EQ(ShotPixel(*shot, x, y), o_area ? kStandardPalette[8] : kStandardPalette[12])
          << x << "," << y;
      ++(o_area ? checked_o : checked_x);
    }
  }
  EXPECT_GT(checked_x, 10);
  EXPECT_GT(checked_o, 10);
  EXPECT_EQ(checked_start, 120 * 60);
}

}  // namespace
}  // namespace brasswick
