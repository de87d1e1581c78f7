// Players as consoles export them, read and written back: lists of one ROM a cart, two
// carts in one list, players of a console older than the current code format, and pages
// that name other scripts of their site. Every player here is written by the test, and
// every expectation is read from the list and the code area by the format's rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/player_fixture.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPictures;
using testing::kCodeAreaSize;
using testing::kCodeStart;
using testing::kRomSize;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

// A ROM of a real game's look: a drawn sheet whose lower half is the map's lower half,
// flags on every sprite (blank ones too), sound bytes, and plain code.
std::vector<uint8_t> GameRom(uint32_t seed, const std::string& code) {
  CartPictures pictures;
  pictures.Randomize(seed);
  for (int y = 0; y < 8; ++y)
    std::fill(pictures.sheet[y].begin(), pictures.sheet[y].begin() + 8, 0);
  std::vector<uint8_t> rom = pictures.Memory(seed);
  rom.resize(kRomSize);
  for (size_t i = 0; i < 256; ++i) rom[0x3000 + i] = static_cast<uint8_t>(i * 37 + seed);
  std::fill(rom.begin() + kCodeStart, rom.end(), 0);
  std::copy(code.begin(), code.end(), rom.begin() + kCodeStart);
  return rom;
}

// The list as an export writes it: decimal values, a line break now and then.
std::string ListText(const std::vector<uint8_t>& values) {
  std::string list;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) list += i % 100 == 0 ? ",\n" : ",";
    list += std::to_string(values[i]);
  }
  return list;
}

std::string PlayerScript(const std::string& names, const std::vector<uint8_t>& values) {
  return "// exported player\nvar _cartname=[" + names +
         "];\nvar _cdpos=0; var _cdlen=0;\nvar _cartdat=[" + ListText(values) +
         "];\nfunction _load(){ return _cartdat.length; }\n";
}

// The list's values: the text between "_cartdat=[" and "]" split at commas.
std::vector<std::string> ListTokens(const std::string& script) {
  const size_t start = script.find("_cartdat=[") + 10;
  const std::string list = script.substr(start, script.find(']', start) - start);
  std::vector<std::string> tokens;
  size_t at = 0;
  for (;;) {
    const size_t comma = list.find(',', at);
    tokens.push_back(list.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (comma == std::string::npos) return tokens;
    at = comma + 1;
  }
}
std::vector<uint8_t> ListBytes(const std::string& script) {
  std::vector<uint8_t> bytes;
  for (const std::string& token : ListTokens(script)) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(token)));
  }
  return bytes;
}

// The code an old console reads from the area: ":c:\0" streams by their rules, else
// the bytes up to the first zero.
std::optional<std::string> OldConsoleCode(const std::vector<uint8_t>& area) {
  static constexpr std::string_view kTable =
      "^\n 0123456789abcdefghijklmnopqrstuvwxyz!#%(){}[]<>+=/*:;.,~_";
  if (!std::equal(area.begin(), area.begin() + 4, std::string_view(":c:\0", 4).begin())) {
    return std::string(area.begin(), std::find(area.begin(), area.end(), 0));
  }
  const size_t length = size_t{area[4]} << 8 | area[5];
  std::string code;
  size_t at = 8;
  while (code.size() < length && at < area.size()) {
    const uint8_t v = area[at++];
    if (v == 0) {
      code += static_cast<char>(area.at(at++));
    } else if (v < 60) {
      code += kTable[v];
    } else {
      const uint8_t w = area.at(at++);
      const size_t distance = (v - 60u) * 16 + (w & 15);
      if (distance == 0 || distance > code.size()) return std::nullopt;
      for (int i = 0; i < (w >> 4) + 2; ++i) code += code[code.size() - distance];
    }
  }
  return code;
}

// The .p8 of the pictures with code as its code (the section's last line break is no
// part of the code).
std::string P8WithCode(const CartPictures& pictures, const std::string& code) {
  std::string text = pictures.ToP8();
  text.replace(text.find("print(1)\n"), 9, code + "\n");
  return text;
}

// A two-cart player: the booting cart is read and edited, the other kept byte for byte.
TEST(Players, TwoCartListsKeepTheSecondCartAndTheirLength) {
  TempDir dir;
  const std::vector<uint8_t> first = GameRom(3, "print('one')\n");
  const std::vector<uint8_t> second = GameRom(4, "print('two')\n");
  std::vector<uint8_t> both = first;
  both.insert(both.end(), second.begin(), second.end());
  const std::string script = PlayerScript("`game.p8`,`level2.p8`", both);
  WriteTestFile(dir.File("game.js"), script);

  // The exported sheet put back unchanged leaves the script as it was.
  ProcessResult result = RunBrasswick({"sheet", dir.File("game.js"), dir.File("sheet.png")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  result = RunBrasswick({"setsheet", dir.File("game.js"), dir.File("sheet.png")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(ReadTestFile(dir.File("game.js")) == script);
  // The ROM is the first cart's.
  result = RunBrasswick({"extractjsrom", dir.File("game.js"), dir.File("first.rom")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(ReadTestFile(dir.File("first.rom")) == std::string(first.begin(), first.end()));

  // A .p8 converted into a copy: the first cart becomes the .p8's ROM, the second
  // stays as its text was.
  CartPictures pictures;
  pictures.Randomize(9);
  WriteTestFile(dir.File("new.p8"), P8WithCode(pictures, "function _draw() cls(1) end"));
  ASSERT_EQ(RunBrasswick({"convert", dir.File("new.p8"), dir.File("new.rom")}).exit_code, 0);
  WriteTestFile(dir.File("copy.js"), script);
  result = RunBrasswick({"convert", dir.File("new.p8"), dir.File("copy.js")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string copy = ReadTestFile(dir.File("copy.js"));
  const std::vector<std::string> before = ListTokens(script);
  const std::vector<std::string> after = ListTokens(copy);
  ASSERT_EQ(after.size(), 2 * kRomSize);
  EXPECT_TRUE(std::equal(after.begin() + kRomSize, after.end(), before.begin() + kRomSize));
  const std::vector<uint8_t> bytes = ListBytes(copy);
  const std::string rom = ReadTestFile(dir.File("new.rom"));
  EXPECT_TRUE(std::equal(rom.begin(), rom.end(), bytes.begin(),
                         [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
  EXPECT_EQ(copy.substr(0, copy.find("_cartdat=[")), script.substr(0, script.find("_cartdat=[")));
}

// An old console's player: edits keep its code area, and a converted cart's code goes
// in the old format or plain, which it runs, or is refused when it fits neither.
TEST(Players, OldPlayersGetCodeTheyCanRun) {
  TempDir dir;
  const std::string own_code = "-- old game\nprint('hi')\n";
  const std::vector<uint8_t> rom = GameRom(5, own_code);
  const std::string script = PlayerScript("'game.p8'", rom);
  WriteTestFile(dir.File("old.js"), script);
  ASSERT_EQ(RunBrasswick({"sheet", dir.File("old.js"), dir.File("sheet.png")}).exit_code, 0);
  ProcessResult result = RunBrasswick({"setsheet", dir.File("old.js"), dir.File("sheet.png")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(ReadTestFile(dir.File("old.js")) == script);
  // Another game's sheet put in: the list keeps its length, and everything past the
  // sheet, its code area included, stays as it was.
  const std::vector<uint8_t> other = GameRom(6, "print('other')");
  WriteTestFile(dir.File("other.js"), PlayerScript("'other.p8'", other));
  ASSERT_EQ(RunBrasswick({"sheet", dir.File("other.js"), dir.File("other.png")}).exit_code, 0);
  WriteTestFile(dir.File("edited.js"), script);
  result = RunBrasswick({"setsheet", dir.File("edited.js"), dir.File("other.png")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::vector<uint8_t> expected(other.begin(), other.begin() + 0x2000);
  expected.insert(expected.end(), rom.begin() + 0x2000, rom.end());
  EXPECT_TRUE(ListBytes(ReadTestFile(dir.File("edited.js"))) == expected);

  // Code that fits plain goes plain; longer code that compresses goes in the old format.
  std::string long_code;
  for (int i = 0; long_code.size() < kCodeAreaSize + 4000; ++i) {
    long_code += "x" + std::to_string(i % 50) + "=spr(" + std::to_string(i % 7) + ")\n";
  }
  CartPictures pictures;
  pictures.Randomize(12);
  for (const std::string& code : {std::string("function _draw() cls(2) end"), long_code}) {
    SCOPED_TRACE(code.size());
    WriteTestFile(dir.File("new.p8"), P8WithCode(pictures, code));
    ASSERT_EQ(RunBrasswick({"convert", dir.File("new.p8"), dir.File("new.rom")}).exit_code, 0);
    WriteTestFile(dir.File("copy.js"), script);
    result = RunBrasswick({"convert", dir.File("new.p8"), dir.File("copy.js")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::vector<uint8_t> bytes = ListBytes(ReadTestFile(dir.File("copy.js")));
    ASSERT_EQ(bytes.size(), kRomSize);
    const std::string data = ReadTestFile(dir.File("new.rom")).substr(0, kCodeStart);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin(),
                           [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
    const std::vector<uint8_t> area(bytes.begin() + kCodeStart, bytes.end());
    const bool plain = code.size() <= kCodeAreaSize;
    EXPECT_EQ(area[0] == ':', !plain);
    EXPECT_TRUE(OldConsoleCode(area) == code);
    // The program reads it back as the same code.
    ASSERT_EQ(RunBrasswick({"convert", dir.File("copy.js"), dir.File("back.lua")}).exit_code, 0);
    EXPECT_TRUE(ReadTestFile(dir.File("back.lua")) == code);
  }

  // Code the current format holds but neither the old one nor plain bytes can: a block
  // repeated farther back than an old copy reaches, of characters outside its table.
  std::mt19937 random(31);
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ$&'-?@`|";
  std::string block;
  for (int i = 0; i < 3500; ++i) block += letters[random() % letters.size()];
  std::string far_code;
  for (int i = 0; i < 6; ++i) far_code += block;
  WriteTestFile(dir.File("far.p8"), P8WithCode(pictures, far_code));
  WriteTestFile(dir.File("current.js"), PlayerScript("`game.p8`", rom));
  result = RunBrasswick({"convert", dir.File("far.p8"), dir.File("current.js")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  WriteTestFile(dir.File("copy.js"), script);
  result = RunBrasswick({"convert", dir.File("far.p8"), dir.File("copy.js")});
  EXPECT_EQ(result.exit_code, 158);
  const std::string prefix = "Failed to fit the compressed code in a cartridge (";
  const std::string suffix = " bytes, 15616 fit):\n" + dir.File("copy.js") + "\n";
  EXPECT_TRUE(result.err.starts_with(prefix) && result.err.ends_with(suffix)) << result.err;
  EXPECT_TRUE(ReadTestFile(dir.File("copy.js")) == script);
}

// A page naming another script of its site before it loads its player script by code,
// or naming it with a query or fragment: every command that reads players finds the
// cartridge.
TEST(Players, PagesNamingOtherScriptsStillLeadToTheirCartridge) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("site/game"));
  WriteTestFile(dir.File("site/custom.js"), "function track(event){ return event; }\n");
  const std::vector<uint8_t> rom = GameRom(8, "print('page')\n");
  const std::string page = testing::MakePlayerFixture(dir.path()).page;
  const std::string loader =
      "<script>var s=document.createElement('script');s.src='game.js';</script>";
  struct Case {
    const char* page;
    const char* script;
    std::string head;
  };
  const Case cases[] = {
      {"game", "game", "<script src=../custom.js></script>" + loader},
      {"game", "game", "<script src=../missing.js></script>" + loader},
      {"play", "lib", "<script src=../missing.js></script><script src=\"lib.js#v2\"></script>"},
      {"play", "lib", "<script src='../custom.js'></script><script src=lib.js?v=3></script>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    std::string text = page;
    text.insert(text.find("</head>"), c.head);
    const std::string page_path = dir.File(std::string("site/game/") + c.page + ".html");
    WriteTestFile(page_path, text);
    WriteTestFile(dir.File(std::string("site/game/") + c.script + ".js"),
                  PlayerScript("`game.p8`", rom));
    for (const char* command : {"label", "sheet"}) {
      const ProcessResult result = RunBrasswick({command, page_path, dir.File("out.png")});
      EXPECT_EQ(result.exit_code, 0) << command << ": " << result.err;
    }
    ProcessResult result = RunBrasswick({"convert", page_path, dir.File("out.p8")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    result = RunBrasswick({"extractjsrom", page_path, dir.File("out.rom")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(ReadTestFile(dir.File("out.rom")) == std::string(rom.begin(), rom.end()));
    std::filesystem::remove(page_path);
    std::filesystem::remove(dir.File(std::string("site/game/") + c.script + ".js"));
  }
}

}  // namespace
}  // namespace brasswick
