// setmap on cartridges made to look like real games: sprite 0 drawn, several blank
// sprites, look-alike sprites that the flags tell apart, flags on blank sprites, blank
// sprites used as markers on the map, and the map's rows 32-63 filled over sprites
// 128-255. Every cartridge is written here from the memory layout with plain file I/O,
// and every expectation is worked out from that layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/cart_picture.h"
#include "e2e/png_writer.h"
#include "player_page.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::HexDigit;
using testing::kPayloadSize;
using testing::kRomSize;
using testing::kStandardPalette;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

using Memory = std::vector<uint8_t>;
using Tile = std::array<int, 64>;  // colour indices, row by row

constexpr size_t kMapAt = 0x2000;
constexpr size_t kFlagsAt = 0x3000;

// The memory address of map cell (x, y): rows 32-63 are the sheet's lower half.
size_t CellAt(int x, int y) {
  if (y < 32) return kMapAt + static_cast<size_t>(y) * 128 + x;
  return 0x1000 + static_cast<size_t>(y - 32) * 128 + x;
}

// Sheet pixel (x, y): a byte holds its left pixel in the low nibble.
int Pixel(const Memory& memory, int x, int y) {
  const uint8_t byte = memory[static_cast<size_t>(y) * 64 + x / 2];
  return (x & 1) ? byte >> 4 : byte & 15;
}

void SetPixel(Memory& memory, int x, int y, int colour) {
  uint8_t& byte = memory[static_cast<size_t>(y) * 64 + x / 2];
  byte = (x & 1) ? static_cast<uint8_t>((byte & 0x0F) | colour << 4)
                 : static_cast<uint8_t>((byte & 0xF0) | colour);
}

Tile SpriteOf(const Memory& memory, int n) {
  Tile tile;
  for (int i = 0; i < 64; ++i) tile[i] = Pixel(memory, (n % 16) * 8 + i % 8, (n / 16) * 8 + i / 8);
  return tile;
}

void DrawSprite(Memory& memory, int n, const Tile& tile) {
  for (int i = 0; i < 64; ++i)
    SetPixel(memory, (n % 16) * 8 + i % 8, (n / 16) * 8 + i / 8, tile[i]);
}

// Sprites of the game below.
constexpr int kBlankUnused = 1;   // the first blank sprite
constexpr int kBlankFlagged = 5;  // blank, flagged, on no cell
constexpr int kWall = 6;          // blank and flagged: an invisible wall on the map
constexpr int kMarker = 20;       // blank, no flags, on the map
constexpr int kFirstFree = 21;    // blank, no flags, on no cell: 21, 22, 23
constexpr int kLookAlike = 17;    // shows what 3 shows, with another flag
constexpr int kLowBlank = 200;    // blank, as its 32 cells of rows 48-51 are sprite 0
constexpr int kLowBlankUnseen = 201;
constexpr int kLowMarkerX = 7;  // the cell that shows sprite 200
constexpr int kLowMarkerY = 2;

// The ROM (and trailer) of such a game; the trailer's hash is left zero.
Memory GameMemory() {
  std::mt19937 random(2024);
  Memory memory(kPayloadSize);
  for (uint8_t& b : memory) b = static_cast<uint8_t>(random());
  std::fill(memory.begin() + kRomSize, memory.end(), 0);
  memory[kRomSize] = 41;
  for (int n = 0; n < 128; ++n) {
    Tile tile;
    for (int& pixel : tile) pixel = static_cast<int>(random() % 16);
    if (n == kBlankUnused || n == kBlankFlagged || n == kWall || n == kMarker ||
        (n >= kFirstFree && n < kFirstFree + 3)) {
      tile.fill(0);
    }
    DrawSprite(memory, n, tile);
  }
  DrawSprite(memory, kLookAlike, SpriteOf(memory, 3));
  DrawSprite(memory, 41, SpriteOf(memory, 8));
  DrawSprite(memory, 42, SpriteOf(memory, 8));
  for (int n = 0; n < 256; ++n) memory[kFlagsAt + n] = n % 4 == 0 ? 1 : 0;
  memory[kFlagsAt + kBlankFlagged] = 4;
  memory[kFlagsAt + kWall] = 1;
  memory[kFlagsAt + kLookAlike] = 2;
  memory[kFlagsAt + kMarker] = 0;
  for (int n = kFirstFree; n < kFirstFree + 3; ++n) memory[kFlagsAt + n] = 0;
  // The map: rows 0-27 and all of rows 32-63 drawn with the game's tiles, mostly
  // empty (sprite 0), rows 28-31 empty as a trimmed __map__ leaves them.
  const int tiles[] = {0,  0,  0,          0,  2,  3,     4,       8,  9,
                       10, 11, kLookAlike, 41, 42, kWall, kMarker, 33, 34};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 128; ++x) {
      const int tile = (y >= 28 && y < 32) ? 0 : tiles[random() % std::size(tiles)];
      memory[CellAt(x, y)] = static_cast<uint8_t>(tile);
    }
  }
  for (int y = 48; y < 52; ++y) {
    for (int x : {32, 96}) {
      for (int i = 0; i < 8; ++i) memory[CellAt(x + i, y)] = 0;  // sprites 200 and 201
    }
  }
  memory[CellAt(kLowMarkerX, kLowMarkerY)] = kLowBlank;
  // Cells the edit test changes: drawn sprites that no block there shows.
  const int row_one[] = {2, 4, 8, 9, 10};
  for (int i = 0; i < 5; ++i) memory[CellAt(2 + i, 1)] = static_cast<uint8_t>(row_one[i]);
  return memory;
}

std::string HexLine(const Memory& memory, size_t start, size_t count) {
  std::string line;
  for (size_t i = start; i < start + count; ++i)
    line += HexDigit(memory[i] >> 4) + HexDigit(memory[i]);
  return line + "\n";
}

// The .p8 text of the memory as the console writes it: __gfx__ a pixel a digit, __map__
// up to its last row that is not all sprite 0, and sections setmap never writes.
std::string GameText(const Memory& memory) {
  std::string text = std::string(testing::kP8Header) + "version 41\n__lua__\n" +
                     "function _update()\n if fget(mget(px,py),0) then px=ox end\nend\n";
  text += "__gfx__\n";
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) text += HexDigit(Pixel(memory, x, y));
    text += "\n";
  }
  text += "__label__\n";
  for (int y = 0; y < 128; ++y) text += std::string(64, '7') + std::string(64, 'c') + "\n";
  text += "\n__gff__\n" + HexLine(memory, kFlagsAt, 128) + HexLine(memory, kFlagsAt + 128, 128);
  int rows = 32;
  while (rows > 0 &&
         std::all_of(memory.begin() + kMapAt + (rows - 1) * 128,
                     memory.begin() + kMapAt + rows * 128, [](uint8_t b) { return b == 0; }))
    --rows;
  text += "__map__\n";
  for (int y = 0; y < rows; ++y) text += HexLine(memory, kMapAt + y * 128, 128);
  std::string notes;
  for (int i = 0; i < 30; ++i) notes += "00000";
  text += "__sfx__\n010f00001805018050" + notes + "\n";
  text += "__music__\n00 01424344\n";
  return text;
}

// The payload with its hash, as a cartridge picture or a player carries it.
Memory WithHash(Memory memory, const std::string& scratch) {
  WriteTestFile(scratch, std::string(memory.begin(), memory.begin() + kRomSize));
  const std::string digest = testing::RunProgram("sha1sum", {scratch}).out;
  for (size_t i = 0; i < 20; ++i)
    memory[kRomSize + 6 + i] =
        static_cast<uint8_t>(std::stoi(digest.substr(2 * i, 2), nullptr, 16));
  return memory;
}

std::string ListOf(const Memory& memory) {
  std::string list;
  for (uint8_t b : memory) list += (list.empty() ? "" : ",") + std::to_string(b);
  return list;
}

// The numbers of a script's "_cartdat" list.
Memory ListIn(const std::string& script) {
  const size_t start = script.find("_cartdat=[") + 10;
  const size_t end = script.find(']', start);
  Memory list;
  for (size_t at = start; at < end;) {
    list.push_back(static_cast<uint8_t>(std::stoi(script.substr(at))));
    at = script.find(',', at);
    at = (at == std::string::npos || at > end) ? end : at + 1;
  }
  return list;
}

// A map picture of cells x0.. and y0.. drawn from the blocks the function gives.
void WriteMapPicture(const std::string& path, int columns, int rows,
                     const std::function<Tile(int, int)>& block) {
  testing::TestPng png;
  png.width = columns * 8;
  png.height = rows * 8;
  for (int y = 0; y < rows * 8; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < columns * 8; ++x) {
      const testing::Rgb& c = kStandardPalette[block(x / 8, y / 8)[(y % 8) * 8 + x % 8]];
      row.insert(row.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
    }
    png.rows.push_back(row);
  }
  ASSERT_TRUE(testing::WriteTestPng(path, png));
}

class SetMapGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memory_ = WithHash(GameMemory(), dir_.File("scratch.rom"));
    text_ = GameText(memory_);
    WriteTestFile(dir_.File("game.p8"), text_);
  }
  // The map as the game shows it, cell (x, y) drawn with the sprite it names.
  Tile Shown(int x, int y) const { return SpriteOf(memory_, memory_[CellAt(x, y)]); }

  TempDir dir_;
  Memory memory_;
  std::string text_;
};

// The exports put back unchanged, map (upper half and whole) and sheet, leave every form
// as it was: cells that look like other sprites keep their numbers, and the rows 32-63
// that are the sheet's lower half are no writes.
TEST_F(SetMapGameTest, PutBackUnchangedLeavesEveryFormAsItWas) {
  const std::string rom(memory_.begin(), memory_.begin() + kRomSize);
  WriteTestFile(dir_.File("game.rom"), rom);
  CartPicture picture = CartPicture::Template();
  ASSERT_FALSE(picture.pixels.empty());
  picture.WritePayload(memory_);
  ASSERT_TRUE(picture.Save(dir_.File("game.p8.png")));
  const std::string page = testing::PlayerPageText({});
  const std::string script = testing::PlayerScriptText(ListOf(memory_));
  WriteTestFile(dir_.File("game.html"), page);
  WriteTestFile(dir_.File("game.js"), script);
  // Players as consoles export them: the ROM alone (32 768 values, broken over lines), two
  // carts (the second one's values must stay as they are), and an old console's player.
  const Memory rom_only(memory_.begin(), memory_.begin() + kRomSize);
  Memory second(kRomSize);
  for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<uint8_t>(i * 7 + i / 300);
  std::string wrapped;
  for (size_t i = 0; i < rom_only.size(); ++i) {
    wrapped += (i == 0 ? "" : i % 1000 == 0 ? ",\n" : ",") + std::to_string(rom_only[i]);
  }
  const std::map<std::string, std::string> players = {
      {"current.js", "var _cartname=[`game.p8`];\nvar _cartdat=[" + wrapped + "];\n"},
      {"two.js", "var _cartname=[`game.p8`,`level2.p8`];\nvar _cartdat=[" + ListOf(rom_only) + "," +
                     ListOf(second) + "];\n"},
      {"old.js", testing::PlayerScriptText(ListOf(rom_only))},
  };
  for (const auto& [name, text] : players) WriteTestFile(dir_.File(name), text);

  const std::string p8 = dir_.File("game.p8");
  ASSERT_EQ(RunBrasswick({"map", p8, dir_.File("half.png"), "--half"}).exit_code, 0);
  ASSERT_EQ(RunBrasswick({"map", p8, dir_.File("full.png")}).exit_code, 0);
  ASSERT_EQ(RunBrasswick({"sheet", p8, dir_.File("sheet.png")}).exit_code, 0);

  for (const char* name :
       {"game.p8", "game.rom", "game.p8.png", "game.html", "current.js", "two.js", "old.js"}) {
    SCOPED_TRACE(name);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"setmap", dir_.File(name), dir_.File("half.png")},
          {"setmap", dir_.File(name), dir_.File("full.png")},
          {"setsheet", dir_.File(name), dir_.File("sheet.png")}}) {
      const ProcessResult result = RunBrasswick(words);
      EXPECT_EQ(result.exit_code, 0) << words[2];
      EXPECT_EQ(result.out + result.err, "") << words[2];
    }
  }
  EXPECT_TRUE(ReadTestFile(dir_.File("game.p8")) == text_);
  EXPECT_TRUE(ReadTestFile(dir_.File("game.rom")) == rom);
  EXPECT_TRUE(CartPicture::Load(dir_.File("game.p8.png")).Payload() == memory_);
  EXPECT_TRUE(ReadTestFile(dir_.File("game.html")) == page);
  const std::string script_after = ReadTestFile(dir_.File("game.js"));
  EXPECT_TRUE(ListIn(script_after) == memory_);
  EXPECT_TRUE(script_after == script);
  for (const auto& [name, text] : players)
    EXPECT_TRUE(ReadTestFile(dir_.File(name)) == text) << name;
}

// Changed blocks are matched to the first sprite showing them, and new ones go only to
// sprites that are blank, unflagged and on no cell, nor the sprite a changed blank block
// was just matched to; every other cell keeps its number.
TEST_F(SetMapGameTest, NewTilesGoOnlyToSpritesNothingUses) {
  Tile new_one;
  Tile new_two;
  for (int i = 0; i < 64; ++i) {
    new_one[i] = i % 9 == 0 ? 8 : 12;
    new_two[i] = i / 8 == 3 ? 10 : 1;
  }
  Tile blank;
  blank.fill(0);
  const std::array<Tile, 5> row_one = {blank, new_one, new_one, new_two, SpriteOf(memory_, 3)};
  WriteMapPicture(dir_.File("edited.png"), 128, 32, [&](int x, int y) {
    return y == 1 && x >= 2 && x < 7 ? row_one[x - 2] : Shown(x, y);
  });
  const ProcessResult result = RunBrasswick(
      {"setmap", dir_.File("game.p8"), dir_.File("edited.png"), "--addSprites", "--verbose"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("\nAdded sprites: 21, 22\n"), std::string::npos) << result.out;

  Memory want = memory_;
  const int cells[] = {kBlankUnused, kFirstFree, kFirstFree, kFirstFree + 1, 3};
  for (int i = 0; i < 5; ++i) want[CellAt(2 + i, 1)] = static_cast<uint8_t>(cells[i]);
  DrawSprite(want, kFirstFree, new_one);
  DrawSprite(want, kFirstFree + 1, new_two);
  EXPECT_TRUE(ReadTestFile(dir_.File("game.p8")) == GameText(want));

  // Without room the picture is refused: the two blank sprites left free are 23 and none
  // of 128-255, whose cells of rows 32-63 would show other sprites than sprite 0.
  Tile third = new_one;
  third[0] = 3;
  Tile fourth = new_one;
  fourth[0] = 4;
  WriteMapPicture(dir_.File("more.png"), 3, 1, [&](int x, int) {
    return std::array<Tile, 3>{third, fourth, new_two}[x];
  });
  const ProcessResult full = RunBrasswick(
      {"setmap", dir_.File("game.p8"), dir_.File("more.png"), "--addSprites", "--at", "0", "10"});
  EXPECT_EQ(full.exit_code, 165);
  EXPECT_EQ(full.err, "Failed to add the picture's new sprites:\n" + dir_.File("more.png") +
                          "\n2 new sprites are needed and 1 blank ones are free.\n");
}

// A written cell of rows 32-63 changes a blank sprite's pixels: refused when any cell of
// the map shows that sprite, written alone when none does.
TEST_F(SetMapGameTest, LowerRowsChangeOnlySpritesNoCellShows) {
  const Memory rom(memory_.begin(), memory_.begin() + kRomSize);
  WriteTestFile(dir_.File("game.rom"), std::string(rom.begin(), rom.end()));
  ASSERT_EQ(memory_[CellAt(kLowMarkerX, kLowMarkerY)], kLowBlank);
  struct Case {
    int x, y;  // a cell of sprite 200 or 201, showing sprite 0
    int code;
    std::string err;
  };
  const Case cases[] = {
      {33, 49, 166,
       "Failed to write map rows 32-63 over sprites in use:\n" + dir_.File("game.rom") +
           "\nCell (7, 2) would show sprite 200 changed by the picture's cells.\n"},
      {100, 51, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    ASSERT_EQ(memory_[CellAt(c.x, c.y)], 0);
    WriteMapPicture(dir_.File("full.png"), 128, 64, [&](int x, int y) {
      return x == c.x && y == c.y ? SpriteOf(memory_, 2) : Shown(x, y);
    });
    const ProcessResult result =
        RunBrasswick({"setmap", dir_.File("game.rom"), dir_.File("full.png")});
    EXPECT_EQ(result.exit_code, c.code);
    EXPECT_EQ(result.err, c.err);
    Memory want = rom;
    if (c.code == 0) want[CellAt(c.x, c.y)] = 2;
    EXPECT_TRUE(ReadTestFile(dir_.File("game.rom")) == std::string(want.begin(), want.end()));
  }
}

}  // namespace
}  // namespace brasswick
