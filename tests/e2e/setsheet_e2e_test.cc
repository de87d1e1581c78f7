// The setsheet and setmap commands as a user runs them: the sheet and map pictures the
// exports give put back into cartridges of every form, and what each refuses. Every
// cartridge here is written by the test from the memory layout, and every expectation
// is read back by that layout, not by the program's readers.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/cart_picture.h"
#include "e2e/png_writer.h"
#include "player_page.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::CartPictures;
using testing::kPayloadSize;
using testing::kRomSize;
using testing::kStandardPalette;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::TestPng;
using testing::WriteTestFile;

constexpr size_t kHashAt = kRomSize + 6;

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The SHA-1 of bytes as the system's sha1sum gives it.
std::vector<uint8_t> Sha1Of(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteTestFile(path, std::string(bytes.begin(), bytes.end()));
  const ProcessResult result = testing::RunProgram("sha1sum", {path});
  std::vector<uint8_t> digest;
  for (size_t i = 0; i + 1 < result.out.size() && digest.size() < 20; i += 2) {
    digest.push_back(static_cast<uint8_t>(std::stoi(result.out.substr(i, 2), nullptr, 16)));
  }
  return digest;
}

// Memory of the pictures' sheet (left pixel in the low nibble) and upper map, with noise
// everywhere else, and a trailer whose hash is that of the ROM.
std::vector<uint8_t> MemoryOf(const CartPictures& pictures, uint32_t seed,
                              const std::string& scratch) {
  std::vector<uint8_t> memory = pictures.Memory(seed);
  const std::vector<uint8_t> hash =
      Sha1Of(scratch, std::vector<uint8_t>(memory.begin(), memory.begin() + kRomSize));
  std::copy(hash.begin(), hash.end(), memory.begin() + kHashAt);
  return memory;
}

std::string ScriptHead() { return "var _cartname=['game.p8'];\nvar _cartdat=["; }
std::string ScriptTail() { return "];\nvar _after=[1,2];\n"; }
std::string ScriptOf(const std::vector<uint8_t>& memory) {
  std::string list;
  for (size_t i = 0; i < memory.size(); ++i) {
    if (i > 0) list += (i % 32 == 0) ? ",\n" : ",";
    list += std::to_string(memory[i]);
  }
  return ScriptHead() + list + ScriptTail();
}

// The text with its sections named by markers taken out.
std::string WithoutSections(const std::string& text, const std::vector<std::string>& markers) {
  std::string out;
  bool dropping = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(at, end - at);
    std::string bare = line.substr(0, line.find_first_of("\r\n"));
    if (bare.size() >= 4 && bare.starts_with("__") && bare.ends_with("__")) {
      dropping = std::find(markers.begin(), markers.end(), bare) != markers.end();
    }
    if (!dropping) out += line;
    at = end;
  }
  return out;
}

// A section's lines without their breaks, as the layout reads them.
std::vector<std::string> SectionLines(const std::string& text, const std::string& marker) {
  std::vector<std::string> lines;
  bool inside = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 4 && line.starts_with("__") && line.ends_with("__")) {
      inside = line == marker;
    } else if (inside) {
      lines.push_back(line);
    }
    at = end + 1;
  }
  return lines;
}

int HexAt(const std::vector<std::string>& lines, size_t line, size_t column) {
  if (line >= lines.size() || column >= lines[line].size()) return 0;
  return std::stoi(lines[line].substr(column, 1), nullptr, 16);
}

// The sheet and upper map a .p8 text holds (missing lines and digits are zero).
CartPictures PicturesOf(const std::string& text) {
  CartPictures pictures;
  const std::vector<std::string> gfx = SectionLines(text, "__gfx__");
  const std::vector<std::string> map = SectionLines(text, "__map__");
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) pictures.sheet[y][x] = HexAt(gfx, y, x);
  }
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x)
      pictures.map[y][x] = HexAt(map, y, 2 * x) * 16 + HexAt(map, y, 2 * x + 1);
  }
  return pictures;
}

// An 8-bit RGB or RGBA PNG written by libpng from pixels.
void WritePng(const std::string& path, int width, int height,
              const std::function<std::array<int, 4>(int, int)>& at, bool alpha = false) {
  TestPng png;
  png.width = width;
  png.height = height;
  png.colour_type = alpha ? 6 : 2;
  for (int y = 0; y < height; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < width; ++x) {
      const std::array<int, 4> p = at(x, y);
      for (int c = 0; c < (alpha ? 4 : 3); ++c) row.push_back(static_cast<uint8_t>(p[c]));
    }
    png.rows.push_back(row);
  }
  ASSERT_TRUE(WriteTestPng(path, png));
}

std::array<int, 4> Colour(int index) {
  const testing::Rgb& c = kStandardPalette[index];
  return {c.r, c.g, c.b, 255};
}

// A PNG that is only its signature and a header declaring width x height.
std::string PngHeaderOnly(uint32_t width, uint32_t height) {
  std::string chunk = "IHDR";
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>((v >> shift) & 0xFF);
  }
  chunk += std::string("\x08\x02\x00\x00\x00", 5);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), chunk.size());
  std::string png = "\x89PNG\r\n\x1a\n";
  png += std::string("\x00\x00\x00\x0d", 4) + chunk;
  for (int shift = 24; shift >= 0; shift -= 8) png += static_cast<char>((crc >> shift) & 0xFF);
  return png;
}

struct Form {
  const char* name;
  const char* file;  // the cartridge named on the command line
};
constexpr Form kForms[] = {
    {"p8", "game.p8"}, {"png", "game.p8.png"}, {"page", "game.html"}, {"rom", "game.rom"}};

// Sheet and upper map put back, one after the other, into each form of a cartridge
// whose sheet and map were cleared: the exports of the result are those of the
// original, and the cartridge is the original again wherever the rules tell it.
TEST(SetSheetAndMap, PutTheExportsBackIntoEveryForm) {
  TempDir dir;
  CartPictures pictures;
  pictures.Randomize(77);
  const std::vector<uint8_t> memory = MemoryOf(pictures, 5, dir.File("rom.bin"));
  std::vector<uint8_t> cleared = memory;
  std::fill(cleared.begin(), cleared.begin() + 0x3000, 0);
  const std::vector<uint8_t> cleared_hash = Sha1Of(
      dir.File("rom.bin"), std::vector<uint8_t>(cleared.begin(), cleared.begin() + kRomSize));
  std::copy(cleared_hash.begin(), cleared_hash.end(), cleared.begin() + kHashAt);

  // The text in CR LF with a section the console does not know; the cleared copy lacks
  // both sections, which must come back in their places.
  const std::string text = Crlf(pictures.ToP8() + "__meta:brasswick__\nkept\n");
  const std::string text_cleared = WithoutSections(text, {"__gfx__", "__map__"});
  ASSERT_EQ(text_cleared.find("__gfx__"), std::string::npos);
  WriteTestFile(dir.File("orig.p8"), text);
  WriteTestFile(dir.File("game.p8"), text_cleared);
  CartPicture picture = CartPicture::Template();
  ASSERT_FALSE(picture.pixels.empty());
  for (int x = 16; x < 144; ++x) picture.At(x, 40) = {0xFF, 0x00, 0x4D, 252};  // a visible row
  picture.WritePayload(cleared);
  ASSERT_TRUE(picture.Save(dir.File("game.p8.png")));
  WriteTestFile(dir.File("game.html"), testing::PlayerPageText({}));
  WriteTestFile(dir.File("game.js"), ScriptOf(cleared));
  WriteTestFile(dir.File("game.rom"), std::string(cleared.begin(), cleared.begin() + kRomSize));
  const std::string page = ReadTestFile(dir.File("game.html"));

  ASSERT_EQ(RunBrasswick({"sheet", dir.File("orig.p8"), dir.File("sheet.png")}).exit_code, 0);
  ASSERT_EQ(RunBrasswick({"map", dir.File("orig.p8"), dir.File("upper.png"), "--cells", "0", "0",
                          "128", "32"})
                .exit_code,
            0);
  ASSERT_EQ(RunBrasswick({"map", dir.File("orig.p8"), dir.File("map.png")}).exit_code, 0);
  const std::string sheet_png = ReadTestFile(dir.File("sheet.png"));
  const std::string map_png = ReadTestFile(dir.File("map.png"));
  ASSERT_FALSE(sheet_png.empty());

  for (const Form& form : kForms) {
    SCOPED_TRACE(form.name);
    const std::string cart = dir.File(form.file);
    ProcessResult set = RunBrasswick({"setsheet", cart, dir.File("sheet.png")});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    EXPECT_EQ(set.out + set.err, "");                       // the lower half held no map cells
    const bool exported = std::string(form.name) != "rom";  // the exports take no raw ROM
    if (exported) {
      ASSERT_EQ(RunBrasswick({"sheet", cart, dir.File("back.png")}).exit_code, 0);
      EXPECT_TRUE(ReadTestFile(dir.File("back.png")) == sheet_png);
    }

    set = RunBrasswick({"setmap", cart, dir.File("upper.png")});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    EXPECT_EQ(set.out + set.err, "");
    if (exported) {
      ASSERT_EQ(RunBrasswick({"map", cart, dir.File("back.png")}).exit_code, 0);
      EXPECT_TRUE(ReadTestFile(dir.File("back.png")) == map_png);
    }
  }

  EXPECT_TRUE(ReadTestFile(dir.File("game.p8")) == text);
  EXPECT_TRUE(ReadTestFile(dir.File("game.rom")) ==
              std::string(memory.begin(), memory.begin() + kRomSize));
  // The picture carries the original memory, hash included, and looks as it did.
  const CartPicture written = CartPicture::Load(dir.File("game.p8.png"));
  ASSERT_EQ(written.pixels.size(), picture.pixels.size());
  EXPECT_TRUE(written.Payload() == memory);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    for (int c = 0; c < 4; ++c) {
      ASSERT_EQ(written.pixels[i][c] & 0xFC, picture.pixels[i][c] & 0xFC) << i;
    }
  }
  // The player: its page untouched, its script changed only inside the list.
  EXPECT_TRUE(ReadTestFile(dir.File("game.html")) == page);
  const std::string script = ReadTestFile(dir.File("game.js"));
  ASSERT_TRUE(script.starts_with(ScriptHead()) && script.ends_with(ScriptTail()));
  std::vector<uint8_t> list;
  const std::string values =
      script.substr(ScriptHead().size(), script.size() - ScriptHead().size() - ScriptTail().size());
  for (size_t at = 0; at < values.size();) {
    list.push_back(static_cast<uint8_t>(std::stoi(values.substr(at))));
    at = values.find(',', at);
    at = at == std::string::npos ? values.size() : at + 1;
  }
  EXPECT_TRUE(list == memory);
  // A converter that checks the hash takes both.
  for (const char* name : {"game.p8.png", "game.js"}) {
    EXPECT_EQ(RunBrasswick({"convert", dir.File(name), dir.File("check.rom")}).exit_code, 0)
        << name;
  }
}

// A raw ROM is written back at the size it was read: bare, or with the 32 bytes after
// the memory (whose hash follows the edit).
TEST(SetSheetAndMap, KeepsTheSizeOfARawRom) {
  TempDir dir;
  CartPictures pictures;
  pictures.Randomize(31);
  const std::vector<uint8_t> memory = MemoryOf(pictures, 8, dir.File("scratch.bin"));
  WritePng(dir.File("sprite.png"), 8, 8, [](int x, int y) { return Colour((x + y) % 16); });
  std::vector<uint8_t> want = memory;  // sprite 18: pixel rows 8-15, bytes 8-11 of each
  for (int y = 0; y < 8; ++y) {
    for (int k = 0; k < 4; ++k)
      want[(8 + y) * 64 + 8 + k] =
          static_cast<uint8_t>((2 * k + y) % 16 | ((2 * k + 1 + y) % 16) << 4);
  }
  const std::vector<uint8_t> hash =
      Sha1Of(dir.File("scratch.bin"), std::vector<uint8_t>(want.begin(), want.begin() + kRomSize));
  std::copy(hash.begin(), hash.end(), want.begin() + kHashAt);
  for (const size_t size : {kRomSize, kPayloadSize}) {
    SCOPED_TRACE(size);
    WriteTestFile(dir.File("game.rom"), std::string(memory.begin(), memory.begin() + size));
    const ProcessResult result =
        RunBrasswick({"setsheet", dir.File("game.rom"), dir.File("sprite.png"), "--at", "18"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(ReadTestFile(dir.File("game.rom")) ==
                std::string(want.begin(), want.begin() + size));
  }
}

class SetSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pictures_.Randomize(9);
    WriteTestFile(Cart(), pictures_.ToP8());
  }
  std::string Cart() const { return dir_.File("cart.p8"); }
  std::string Picture() const { return dir_.File("picture.png"); }
  ProcessResult Run(std::vector<std::string> words) {
    words.insert(words.begin() + 1, {Cart(), Picture()});
    return RunBrasswick(words);
  }

  TempDir dir_;
  CartPictures pictures_;
};

// The picture goes to its sprite's corner pixel for pixel; fully transparent pixels are
// colour 0 or the one asked for; nothing outside the picture changes.
TEST_F(SetSheetTest, PlacesThePictureAtItsSprite) {
  struct Case {
    std::vector<std::string> switches;
    int width, height, x0, y0, transparent;
  };
  const Case cases[] = {
      {{"--at", "17"}, 16, 9, 8, 8, 0},
      {{"--at", "255", "--transparent", "12"}, 8, 8, 120, 120, 12},
      {{}, 1, 1, 0, 0, 0},
      {{"--at", "15", "--transparent", "0"}, 8, 128 - 0, 120, 0, 0},
  };
  for (const Case& c : cases) {
    WriteTestFile(Cart(), pictures_.ToP8());
    auto index = [&](int x, int y) { return x == c.width - 1 && y == 0 ? -1 : (x * 3 + y) % 16; };
    WritePng(
        Picture(), c.width, c.height,
        [&](int x, int y) {
          const int i = index(x, y);
          return i < 0 ? std::array<int, 4>{0xFF, 0xFF, 0xFF, 0} : Colour(i);
        },
        true);
    const ProcessResult result = Run([&] {
      std::vector<std::string> w = {"setsheet"};
      w.insert(w.end(), c.switches.begin(), c.switches.end());
      return w;
    }());
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const CartPictures got = PicturesOf(ReadTestFile(Cart()));
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const bool inside = x >= c.x0 && y >= c.y0 && x < c.x0 + c.width && y < c.y0 + c.height;
        int want = pictures_.sheet[y][x];
        if (inside) {
          want = index(x - c.x0, y - c.y0);
          if (want < 0) want = c.transparent;
        }
        ASSERT_EQ(got.sheet[y][x], want) << x << ", " << y << " at " << c.x0 << ", " << c.y0;
      }
    }
    EXPECT_TRUE(got.map == pictures_.map);
  }
}

TEST_F(SetSheetTest, RefusesColoursOutsideThePaletteUnlessAskedToFit) {
  const std::array<int, 4> near_red = {0xF0, 0x08, 0x50, 255};    // nearest 8
  const std::array<int, 4> near_black = {0x01, 0x01, 0x01, 255};  // nearest 0
  WritePng(Picture(), 4, 2, [&](int x, int y) {
    if (x == 2 && y == 0) return near_red;
    if (x == 1 && y == 1) return near_black;
    return Colour(7);
  });
  const std::string before = ReadTestFile(Cart());
  ProcessResult result = Run({"setsheet"});
  EXPECT_EQ(result.exit_code, 163);
  EXPECT_EQ(result.err, "Failed to match the picture's colours to the palette:\n" + Picture() +
                            "\n2 pixels are none of the 16 colours, the first at (2, 0). "
                            "--fitPalette takes the nearest colour instead.\n");
  EXPECT_TRUE(ReadTestFile(Cart()) == before);

  result = Run({"setsheet", "--fitPalette"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const CartPictures got = PicturesOf(ReadTestFile(Cart()));
  EXPECT_EQ(got.sheet[0][2], 8);
  EXPECT_EQ(got.sheet[1][1], 0);
  EXPECT_EQ(got.sheet[0][0], 7);
}

// Only the picture's header is read before a picture that cannot fit is refused.
TEST_F(SetSheetTest, RefusesPicturesThatDoNotFitFromTheirSprite) {
  const std::string before = ReadTestFile(Cart());
  struct Case {
    uint32_t width, height;
    const char* at;
    std::string reason;
  };
  const Case cases[] = {
      {129, 1, "0", "It is 129 x 1 pixels; from sprite 0 the sheet has room for 128 x 128."},
      {9, 8, "255", "It is 9 x 8 pixels; from sprite 255 the sheet has room for 8 x 8."},
      {8, 9, "240", "It is 8 x 9 pixels; from sprite 240 the sheet has room for 128 x 8."},
      {32767, 32767, "0",
       "It is 32767 x 32767 pixels; from sprite 0 the sheet has room for 128 x 128."},
  };
  for (const Case& c : cases) {
    if (c.width > 1000) {
      WriteTestFile(Picture(), PngHeaderOnly(c.width, c.height));
    } else {
      WritePng(Picture(), c.width, c.height, [](int, int) { return Colour(1); });
    }
    const ProcessResult result = Run({"setsheet", "--at", c.at});
    EXPECT_EQ(result.exit_code, 162) << c.reason;
    EXPECT_EQ(result.err, "Failed to place the picture in the sprite sheet:\n" + Picture() + "\n" +
                              c.reason + "\n");
  }
  EXPECT_EQ(Run({"setsheet", "--at", "256"}).exit_code, 136);
  EXPECT_EQ(Run({"setsheet", "--transparent", "16"}).exit_code, 134);
  // A cut-off picture is refused whole.
  ImagePtr photo = CreateImage(64, 64, 24);
  ASSERT_TRUE(photo);
  std::optional<std::vector<uint8_t>> jpeg = EncodeImageToMemory(*photo, ImageFormat::kJpeg);
  ASSERT_TRUE(jpeg);
  WriteTestFile(Picture(), std::string(jpeg->begin(), jpeg->begin() + jpeg->size() / 2));
  const ProcessResult cut = Run({"setsheet"});
  EXPECT_EQ(cut.exit_code, 132);
  EXPECT_EQ(cut.err, "Failed to load image file:\n" + Picture() + "\n");
  EXPECT_TRUE(ReadTestFile(Cart()) == before);
}

// Palette and grey pictures are read by their colours like any other.
TEST_F(SetSheetTest, ReadsPaletteAndGreyPictures) {
  TestPng palette;
  palette.width = 16;
  palette.height = 1;
  palette.colour_type = 3;
  std::vector<uint8_t> row;
  for (int i = 0; i < 16; ++i) {
    const testing::Rgb& c = kStandardPalette[15 - i];
    palette.palette.push_back({uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
    row.push_back(static_cast<uint8_t>(i));
  }
  palette.rows.push_back(row);
  ASSERT_TRUE(WriteTestPng(Picture(), palette));
  ProcessResult result = Run({"setsheet"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  CartPictures got = PicturesOf(ReadTestFile(Cart()));
  for (int x = 0; x < 16; ++x) EXPECT_EQ(got.sheet[0][x], 15 - x);

  TestPng grey;
  grey.width = 2;
  grey.height = 1;
  grey.colour_type = 0;
  grey.rows.push_back({0, 0});  // black: colour 0
  ASSERT_TRUE(WriteTestPng(Picture(), grey));
  result = Run({"setsheet", "--at", "1"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  got = PicturesOf(ReadTestFile(Cart()));
  EXPECT_EQ(got.sheet[0][8], 0);
  EXPECT_EQ(got.sheet[0][9], 0);
  EXPECT_EQ(got.sheet[0][10], 5);  // the palette picture's
}

// Sheet rows 64-127 are also map rows 32-63: overwriting cells that held something is
// said, once, unless silenced.
TEST_F(SetSheetTest, SaysWhenItOverwritesMapCells) {
  // Sprite 128's 32 bytes are map cells (0-3, 32), (64-67, 32), (0-3, 33), ...; one of
  // them is made empty and one made the number the picture gives it (0x33): neither is
  // overwritten.
  pictures_.sheet[64][0] = pictures_.sheet[64][1] = 0;
  pictures_.sheet[65][2] = pictures_.sheet[65][3] = 3;  // one cell that keeps its number
  int nonzero = 0;
  for (int y = 64; y < 72; ++y) {
    for (int k = 0; k < 4; ++k) {
      const int cell = pictures_.sheet[y][2 * k] | pictures_.sheet[y][2 * k + 1] << 4;
      nonzero += cell != 0 && cell != 0x33;
    }
  }
  WriteTestFile(Cart(), pictures_.ToP8());
  WritePng(Picture(), 8, 8, [](int, int) { return Colour(3); });
  ProcessResult result = Run({"setsheet", "--at", "128"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  ASSERT_LT(nonzero, 32);
  ASSERT_GT(nonzero, 0);
  EXPECT_EQ(result.out, "Warning: the picture also changed " + std::to_string(nonzero) +
                            " map cells of rows 32-63 that were not empty:\n" + Cart() + "\n");
  WritePng(Picture(), 8, 8, [](int, int) { return Colour(2); });
  result = Run({"setsheet", "--at", "128", "--silent", "--verbose"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out + result.err, "");
  // Just above the shared half, nothing is said.
  WritePng(Picture(), 8, 8, [](int, int) { return Colour(4); });
  result = Run({"setsheet", "--at", "127"});
  EXPECT_EQ(result.out + result.err, "");
}

// A failed write in place leaves the cartridge as it was.
TEST_F(SetSheetTest, AFailedWriteLeavesTheCartridge) {
  WritePng(Picture(), 8, 8, [](int, int) { return Colour(5); });
  const std::string before = ReadTestFile(Cart());
  testing::RunOptions options;
  options.file_size_limit = 1024;
  const ProcessResult result = RunBrasswick({"setsheet", Cart(), Picture()}, options);
  EXPECT_EQ(result.exit_code, 141);
  EXPECT_TRUE(result.err.starts_with("Failed to save p8 file:\n" + Cart() + "\n")) << result.err;
  EXPECT_TRUE(ReadTestFile(Cart()) == before);
}

// ---- setmap ----

// A sheet of mostly blank sprites: sprites 1-3 and 200 drawn, sprite 3 twice (as 9).
class SetMapTest : public SetSheetTest {
 protected:
  void SetUp() override {
    DrawSprite(1, 1);
    DrawSprite(2, 2);
    DrawSprite(3, 3);
    DrawSprite(9, 3);
    DrawSprite(200, 4);
    WriteTestFile(Cart(), pictures_.ToP8());
  }
  void DrawSprite(int n, int seed) {
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        pictures_.sheet[(n / 16) * 8 + y][(n % 16) * 8 + x] = (x * seed + y + seed) % 16;
      }
    }
  }
  // A picture of blocks, each a sprite's pixels, or for -k a pattern no sprite holds:
  // colour k on the diagonal, 14 elsewhere.
  void WriteBlocks(const std::vector<std::vector<int>>& blocks) {
    WritePng(Picture(), static_cast<int>(blocks[0].size()) * 8, static_cast<int>(blocks.size()) * 8,
             [&](int x, int y) {
               const int n = blocks[y / 8][x / 8];
               if (n < 0) return Colour(x % 8 == y % 8 ? -n : 14);
               return Colour(pictures_.sheet[(n / 16) * 8 + y % 8][(n % 16) * 8 + x % 8]);
             });
  }
};

TEST_F(SetMapTest, MatchesEachBlockToTheFirstSpriteThatShowsIt) {
  WriteBlocks({{2, 9, 0}, {1, 200, 3}});
  const ProcessResult result = Run({"setmap", "--at", "125", "30"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const CartPictures got = PicturesOf(ReadTestFile(Cart()));
  EXPECT_EQ(got.sheet, pictures_.sheet);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) {
      int want = 0;
      if (y == 30 && x == 125) want = 2;
      if (y == 30 && x == 126) want = 3;  // 9 shows what 3 shows
      if (y == 31 && x == 125) want = 1;
      if (y == 31 && x == 126) want = 200;
      if (y == 31 && x == 127) want = 3;
      ASSERT_EQ(got.map[y][x], want) << x << ", " << y;
    }
  }
  // One cell more to the right or below has no room.
  EXPECT_EQ(Run({"setmap", "--at", "127", "30"}).err,
            "Failed to place the picture in the map:\n" + Picture() +
                "\nIt is 3 x 2 cells; from cell (127, 30) the map has room for 1 x 34.\n");
  EXPECT_EQ(Run({"setmap", "--at", "0", "63"}).exit_code, 162);
  EXPECT_EQ(Run({"setmap", "--at", "128", "0"}).exit_code, 135);
  WritePng(Picture(), 12, 8, [](int, int) { return Colour(0); });
  const ProcessResult odd = Run({"setmap"});
  EXPECT_EQ(odd.exit_code, 162);
  EXPECT_EQ(odd.err, "Failed to place the picture in the map:\n" + Picture() +
                         "\nIt is 12 x 8 pixels; both sides must be multiples of 8, a cell each "
                         "8 x 8.\n");
}

TEST_F(SetMapTest, RefusesUnknownBlocksOrAddsThemAsSprites) {
  WriteBlocks({{-1, 1, -2, -1, -3, -4, -5, -6}});
  const std::string before = ReadTestFile(Cart());
  ProcessResult result = Run({"setmap", "--at", "0", "4"});
  EXPECT_EQ(result.exit_code, 164);
  EXPECT_EQ(result.err, "Failed to match the picture's cells to sprites:\n" + Picture() +
                            "\n7 cells match no sprite: (0, 4), (2, 4), (3, 4), (4, 4), (5, 4) "
                            "and more. --addSprites adds them as new sprites.\n");
  EXPECT_TRUE(ReadTestFile(Cart()) == before);

  result = Run({"setmap", "--at", "0", "4", "--addSprites"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const CartPictures got = PicturesOf(ReadTestFile(Cart()));
  // The six distinct new blocks take the first blank sprites after 0: 4-8, then 10.
  const int want[] = {4, 1, 5, 4, 6, 7, 8, 10};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(got.map[4][x], want[x]) << x;
  const int blocks[] = {-1, 1, -2, -1, -3, -4, -5, -6};
  for (int x = 0; x < 8; ++x) {
    const int n = want[x];
    for (int y = 0; y < 8; ++y) {
      for (int i = 0; i < 8; ++i) {
        const int pixel = blocks[x] > 0 ? pictures_.sheet[(n / 16) * 8 + y][(n % 16) * 8 + i]
                                        : (i == y ? -blocks[x] : 14);
        ASSERT_EQ(got.sheet[(n / 16) * 8 + y][(n % 16) * 8 + i], pixel) << n;
      }
    }
  }
}

// Of the blank sprites 7, 100 and 140 only 7 is free: 100 marks a cell of the map, and
// 140's bytes are cells of rows 32-63 that would then show drawn sprites instead of the
// blank sprite 0.
TEST_F(SetMapTest, RunsOutOfBlankSprites) {
  for (int n = 1; n < 256; ++n) {
    if (n != 7 && n != 100 && n != 140) DrawSprite(n, n % 13 + 1);
  }
  pictures_.map[5][5] = 100;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 128; ++x) ASSERT_NE(pictures_.MapCell(x, y), 7) << x << ", " << y;
  }
  WriteTestFile(Cart(), pictures_.ToP8());
  WriteBlocks({{-1, -2, -3}});
  const ProcessResult result = Run({"setmap", "--addSprites"});
  EXPECT_EQ(result.exit_code, 165);
  EXPECT_EQ(result.err, "Failed to add the picture's new sprites:\n" + Picture() +
                            "\n3 new sprites are needed and 1 blank ones are free.\n");
}

// Map rows 32-63 are the sheet's lower half: a cell there is written only over a blank
// sprite, and the sprites it overlaps take no new tile.
TEST_F(SetMapTest, WritesTheLowerRowsOnlyOverBlankSprites) {
  // Cell (64, 33) is the byte of sheet row 67, pixels 0-1: sprite 128, blank.
  WriteBlocks({{1, -1}});
  ProcessResult result = Run({"setmap", "--at", "63", "33", "--addSprites"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  CartPictures got = PicturesOf(ReadTestFile(Cart()));
  // Cell (63, 33) is sheet row 66, pixels 126-127 (sprite 143); the new block is
  // sprite 4, whose byte 0x04 shows left pixel 4, right pixel 0.
  EXPECT_EQ(got.MapCell(63, 33), 1);
  EXPECT_EQ(got.MapCell(64, 33), 4);
  EXPECT_EQ(got.sheet[66][126], 1);
  EXPECT_EQ(got.sheet[66][127], 0);
  EXPECT_EQ(got.sheet[67][0], 4);
  EXPECT_EQ(got.sheet[67][1], 0);
  EXPECT_EQ(got.map, pictures_.map);

  // With sprites 1-127 taken, a new block may not go to the blank sprite 128 its own
  // cell overlaps. Nor to 129 when the bytes it would hold, cells of rows 32-63 now
  // showing the blank sprite 0, name drawn sprites: colours 1 and 14 make byte 0x1E,
  // sprite 30. Colours 9 and 14 make bytes 0xE9, 0x9E and 0xEE, blank sprites.
  for (int n = 1; n < 128; ++n) DrawSprite(n, n % 11 + 1);
  WriteTestFile(Cart(), pictures_.ToP8());
  WriteBlocks({{-1}});
  result = Run({"setmap", "--at", "0", "32", "--addSprites"});
  EXPECT_EQ(result.exit_code, 165);
  EXPECT_EQ(result.err, "Failed to add the picture's new sprites:\n" + Picture() +
                            "\n1 new sprites are needed and 0 blank ones are free.\n");
  WriteBlocks({{-9}});
  result = Run({"setmap", "--at", "0", "32", "--addSprites"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  got = PicturesOf(ReadTestFile(Cart()));
  EXPECT_EQ(got.MapCell(0, 32), 129);
  EXPECT_EQ(got.sheet[64][0], 1);
  EXPECT_EQ(got.sheet[64][1], 8);
  EXPECT_EQ(got.sheet[64][8], 9);  // sprite 129's top-left pixel, on the diagonal
  EXPECT_EQ(got.sheet[64][9], 14);

  // Sprite 200's top row is sheet row 96, pixels 64-71: cells (32-35, 48), which a
  // picture may not change. Its row 4 shows colours 8 then 12 twice: two cells that
  // name sprite 200 (0xC8) and would show it changed.
  WriteBlocks({{2}});
  const std::string before = ReadTestFile(Cart());
  result = Run({"setmap", "--at", "32", "48"});
  EXPECT_EQ(result.exit_code, 166);
  EXPECT_EQ(result.err, "Failed to write map rows 32-63 over sprites in use:\n" + Cart() +
                            "\nCell (32, 48) would change sprite 200, which is not blank, and 2 "
                            "more cells would change sprites in use.\n");
  EXPECT_TRUE(ReadTestFile(Cart()) == before);
}

}  // namespace
}  // namespace brasswick
