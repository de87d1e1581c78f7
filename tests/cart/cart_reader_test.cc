#include "cart/cart_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "player_page.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::TempDir;
using testing::WriteTestFile;

std::string PictureFile(int width, int height, int depth) {
  ImagePtr image = CreateImage(width, height, depth);
  std::optional<std::vector<uint8_t>> png =
      image ? EncodeImageToMemory(*image, ImageFormat::kPng, kDefaultQuality, depth) : std::nullopt;
  return png ? std::string(png->begin(), png->end()) : std::string();
}

// A page that names its scripts, in the letter case and quoting pages use.
std::string PageNaming(const std::string& scripts) {
  return "<!doctype html><HTML><head>" + scripts +
         "</head><body><div id=\"p8_playarea\"></div></body></html>";
}

// Which form a file is read as, and which of the player's files hold its cartridge:
// the first payload byte tells the script that was read.
TEST(CartReader, TellsEachFormByContentAndFindsThePlayersScript) {
  TempDir dir;
  WriteTestFile(dir.File("own.html"), testing::PlayerPageText({}));
  WriteTestFile(dir.File("own.js"), testing::PlayerScriptText("1,2"));
  WriteTestFile(dir.File("index.js"), testing::PlayerScriptText("2"));
  WriteTestFile(dir.File("fallback.html"), testing::PlayerPageText({}));
  WriteTestFile(dir.File("named.html"),
                PageNaming("<script src=\"https://cdn/x.js\"></script>"
                           "<SCRIPT data-src=\"old.js\" SRC='v2.js?build=7'></SCRIPT>"));
  WriteTestFile(dir.File("named.js"), testing::PlayerScriptText("9"));  // stale, not named
  WriteTestFile(dir.File("v2.js"), "var a=1;\n_CartDat=[3,4];\n");
  WriteTestFile(dir.File("nameless.html"), PageNaming("<script src=\"none.js\"></script>"));
  WriteTestFile(dir.File("nameless.js"), testing::PlayerScriptText("9"));
  WriteTestFile(dir.File("single.html"),
                "\xEF\xBB\xBF\n  <html><body><script>var _cartdat=[5,6];</script></body></html>");
  WriteTestFile(dir.File("index.html"), "<html>.p8_menu_button</html>");
  WriteTestFile(dir.File("script.js"), "_cartdat=[7]");
  WriteTestFile(dir.File("cut.js"), "_cartdat=[7,8");
  WriteTestFile(dir.File("game.p8"), "pico-8 cartridge // http://www.pico-8.com\nversion 42\n");
  WriteTestFile(dir.File("cart.png"), PictureFile(160, 205, 32));
  WriteTestFile(dir.File("wide.png"), PictureFile(161, 205, 32));
  WriteTestFile(dir.File("opaque.png"), PictureFile(160, 205, 24));
  // Raw ROMs go by their size alone: bare, with the 32 bytes after, and one byte short.
  WriteTestFile(dir.File("bare.rom"), std::string(32768, '\x11'));
  WriteTestFile(dir.File("whole"), std::string(32800, '\x22'));
  WriteTestFile(dir.File("short.rom"), std::string(32767, '\x11'));

  struct Case {
    const char* name;
    std::optional<CartForm> form;
    const char* script;  // "" for none
    const char* page;
    int first_byte;  // -1: no payload
  };
  const Case cases[] = {
      {"own.html", CartForm::kPlayer, "own.js", "own.html", 1},
      {"fallback.html", CartForm::kPlayer, "index.js", "fallback.html", 2},
      {"named.html", CartForm::kPlayer, "v2.js", "named.html", 3},
      {"nameless.html", CartForm::kPlayer, "", "nameless.html", -1},
      {"single.html", CartForm::kPlayer, "single.html", "single.html", 5},
      {"script.js", CartForm::kPlayer, "script.js", "index.html", 7},
      {"cut.js", std::nullopt, "", "", -1},
      {"game.p8", CartForm::kText, "", "", -1},
      {"cart.png", CartForm::kPicture, "", "", 0},
      {"bare.rom", CartForm::kRom, "", "", 0x11},
      {"whole", CartForm::kRom, "", "", 0x22},
      {"short.rom", std::nullopt, "", "", -1},
      {"wide.png", std::nullopt, "", "", -1},
      {"opaque.png", std::nullopt, "", "", -1},
      {"missing.js", std::nullopt, "", "", -1},
  };
  // own.html goes to own.js before index.js only while own.js holds a cartridge.
  for (const Case& c : cases) {
    std::optional<CartFile> file = ReadCartFile(dir.File(c.name));
    ASSERT_EQ(file.has_value(), c.form.has_value()) << c.name;
    if (!file) continue;
    EXPECT_EQ(file->form, *c.form) << c.name;
    if (file->form != CartForm::kPlayer) {
      EXPECT_EQ(file->document.has_value(), file->form == CartForm::kText) << c.name;
      EXPECT_EQ(file->payload.size(), file->form == CartForm::kText ? 0 : kCartPayloadSize)
          << c.name;
      EXPECT_EQ(file->has_trailer, file->form == CartForm::kPicture || *c.name == 'w') << c.name;
      if (file->form == CartForm::kRom) {
        // A bare ROM is padded with zeros; a whole one keeps its last 32 bytes.
        EXPECT_EQ(file->payload.front(), c.first_byte) << c.name;
        EXPECT_EQ(file->payload.back(), file->has_trailer ? c.first_byte : 0) << c.name;
      }
      continue;
    }
    EXPECT_EQ(file->script_path, *c.script ? dir.File(c.script) : "") << c.name;
    EXPECT_EQ(file->page_path, dir.File(c.page)) << c.name;
    if (c.first_byte < 0) {
      EXPECT_TRUE(file->payload.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(file->payload.size(), kCartPayloadSize) << c.name;
    EXPECT_EQ(file->payload[0], c.first_byte) << c.name;
    // Every file read is listed, the input first.
    EXPECT_EQ(file->read_paths.front(), dir.File(c.name)) << c.name;
    for (const std::string& path : {file->script_path, file->page_path}) {
      EXPECT_NE(std::find(file->read_paths.begin(), file->read_paths.end(), path),
                file->read_paths.end())
          << c.name << " " << path;
    }
  }
  // Told apart only: a page's script is neither looked for nor read.
  std::optional<CartFile> form = ReadCartFile(dir.File("own.html"), CartContent::kFormOnly);
  ASSERT_TRUE(form);
  EXPECT_EQ(form->form, CartForm::kPlayer);
  EXPECT_EQ(form->script_path, "");
  EXPECT_TRUE(form->payload.empty());
  EXPECT_EQ(form->read_paths, std::vector<std::string>{dir.File("own.html")});

  // Without a cartridge in its own script, the page falls back to index.js.
  WriteTestFile(dir.File("own.js"), "var other=1;");
  std::optional<CartFile> file = ReadCartFile(dir.File("own.html"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->script_path, dir.File("index.js"));
}

}  // namespace
}  // namespace brasswick
