#include "cart/cart_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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
  // A page naming another script of its site (there, or missing) and loading its player
  // script by code; script names with a query or a fragment.
  std::filesystem::create_directories(dir.File("site"));
  WriteTestFile(dir.File("custom.js"), "function track(n){ return n+1; }\n");
  const std::string loader = "<script>var s=document.createElement('script');s.src='x';</script>";
  WriteTestFile(dir.File("site/extra.html"),
                PageNaming("<script src=../custom.js></script>" + loader));
  WriteTestFile(dir.File("site/extra.js"), testing::PlayerScriptText("11"));
  WriteTestFile(
      dir.File("site/absent.html"),
      PageNaming("<script src=../absent.js></script><script src=\"play.js#v2\"></script>"));
  WriteTestFile(dir.File("site/play.js"), testing::PlayerScriptText("12"));
  WriteTestFile(dir.File("site/query.html"),
                PageNaming("<script src='../custom.js'></script><script src=lib.js?v=3></script>"));
  WriteTestFile(dir.File("site/lib.js"), testing::PlayerScriptText("13"));
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
      // Its named script is missing: the export's own name is tried.
      {"nameless.html", CartForm::kPlayer, "nameless.js", "nameless.html", 9},
      {"site/extra.html", CartForm::kPlayer, "site/extra.js", "site/extra.html", 11},
      {"site/absent.html", CartForm::kPlayer, "site/play.js", "site/absent.html", 12},
      {"site/query.html", CartForm::kPlayer, "site/lib.js", "site/query.html", 13},
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

// A list of n values, value i reading as (i * 5 + i / 32768) & 0xFF.
std::string ListOf(size_t n) {
  std::string list;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0) list += i % 40 == 0 ? ",\n" : ",";
    list += std::to_string((i * 5 + i / kCartRomSize) & 0xFF);
  }
  return list;
}

// Lists as consoles export them: one cart or two, named the current way or the old.
TEST(CartReader, ReadsTheBootingCartOfAListAndTellsOldPlayers) {
  TempDir dir;
  struct Case {
    const char* name;
    const char* names;  // between "_cartname=[" and "]"
    size_t values;
    size_t carts;
    bool trailer;
    bool old;
  };
  const Case cases[] = {
      {"two.js", "`game.p8`,`level2.p8`", 2 * kCartRomSize, 2, false, false},
      {"one.js", "`game.p8`", kCartRomSize, 1, false, false},
      {"old.js", "'game.p8'", kCartRomSize, 1, false, true},
      {"ours.js", "`game.p8`", kCartPayloadSize, 1, true, false},
      {"oldtwo.html", "'a.p8', 'b.p8'", 2 * kCartRomSize, 2, false, true},
  };
  for (const Case& c : cases) {
    std::string script =
        "var _cartname=[" + std::string(c.names) + "];\nvar _cartdat=[" + ListOf(c.values) + "];\n";
    if (std::string_view(c.name).ends_with(".html")) {
      script = "<html><body><script>" + script + "</script></body></html>";
    }
    WriteTestFile(dir.File(c.name), script);
    std::optional<CartFile> file = ReadCartFile(dir.File(c.name));
    ASSERT_TRUE(file) << c.name;
    EXPECT_EQ(file->form, CartForm::kPlayer) << c.name;
    EXPECT_EQ(file->cart_count, c.carts) << c.name;
    EXPECT_EQ(file->has_trailer, c.trailer) << c.name;
    EXPECT_EQ(file->old_console, c.old) << c.name;
    ASSERT_EQ(file->payload.size(), kCartPayloadSize) << c.name;
    // The first cart's ROM; after it its trailer, or zeros where the list has none
    // (the next cart's values are not this one's).
    for (size_t i = 0; i < kCartPayloadSize; ++i) {
      const uint8_t expected = i < kCartRomSize || c.trailer
                                   ? static_cast<uint8_t>((i * 5 + i / kCartRomSize) & 0xFF)
                                   : 0;
      ASSERT_EQ(file->payload[i], expected) << c.name << " byte " << i;
    }
  }
}

}  // namespace
}  // namespace brasswick
