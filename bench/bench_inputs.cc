// Writes the inputs of the command benchmark into a folder:
//   random.p8      every picture byte random (sheet, map, flags, label), with code, sfx
//                  and music, the worst case for the compressor;
//   art.p8         drawn the way game art is: runs of colour, tiles and repeated sprites,
//                  a level map and a painted label;
//   art.p8.png     art's cartridge memory in the blank cartridge picture, its label drawn
//                  into the window;
//   player.html    a player page with the eleven pictures of an export, and player.js, a
//                  1.9 MB script holding art's memory as its _cartdat list;
//   full.p8.png, full.html, full.js
//                  art's cartridge with its whole code area filled with plain code, as
//                  a cartridge picture and as a player (the page again, its own script);
//   big.p8         art's cartridge with 65 000 bytes of code, near the console's limit,
//                  that still compresses into the code area;
//   count.p8       art's cartridge with 65 000 bytes of code within all three limits:
//                  functions, then the rooms of its levels as strings, as a full game
//                  holds its data to spare tokens;
//   game.p8        art's cartridge with the code of a game as its maker wrote it (long
//                  names, comments, indentation) and the design notes kept in a long
//                  comment at its end: past the character and compressed limits until
//                  it is minified;
//   photo.png, photo.jpg, photo8.png
//                  a 2048 x 2048 photographic-looking picture (smooth light plus grain)
//                  as RGB PNG, JPEG at quality 90, and a palette PNG of 256 colours.
// Everything is drawn from fixed seeds with integer arithmetic only, so the files are
// the same byte for byte on every run with the same libraries. The pictures are written
// with libpng and libjpeg directly, not through the program's own encoders, so that
// work on those encoders cannot change the inputs.
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

// jpeglib.h uses size_t and FILE without declaring them, so it comes after <cstdio>.
#include <jpeglib.h>

#include "code/game_code_generator.h"
#include "e2e/cart_builder.h"
#include "e2e/cart_picture.h"
#include "e2e/player_fixture.h"
#include "e2e/png_writer.h"
#include "test_support.h"

namespace {

using brasswick::testing::CartPicture;
using brasswick::testing::CartPictures;
using brasswick::testing::HexDigit;
using brasswick::testing::kStandardPalette;
using brasswick::testing::TestPng;

constexpr int kPhotoSide = 2048;
constexpr size_t kCartRomSize = 0x8000;
constexpr size_t kCartPayloadSize = 32800;
constexpr size_t kScriptSize = 1900 * 1024;

// The parts of a cartridge besides its pictures, in .p8 text and in memory.
struct CartExtras {
  std::string lua;
  std::vector<int> flags;               // 256 sprite flag bytes
  std::vector<std::vector<int>> sfx;    // 64 sounds of 68 bytes as the text holds them
  std::vector<std::vector<int>> music;  // 64 patterns: flag byte and four channels
};

std::string Hex2(int value) { return HexDigit(value >> 4) + HexDigit(value); }

std::string P8Text(const CartPictures& pictures, const CartExtras& extras) {
  std::string text = "pico-8 cartridge // http://www.pico-8.com\nversion 41\n__lua__\n";
  text += extras.lua;
  text += "__gfx__\n";
  for (const auto& row : pictures.sheet) {
    for (int pixel : row) text += HexDigit(pixel);
    text += "\n";
  }
  text += "__gff__\n";
  for (int line = 0; line < 2; ++line) {
    for (int i = 0; i < 128; ++i) text += Hex2(extras.flags[line * 128 + i]);
    text += "\n";
  }
  text += "__label__\n";
  for (const auto& row : pictures.label) {
    for (int pixel : row) text += HexDigit(pixel);
    text += "\n";
  }
  text += "\n__map__\n";
  for (const auto& row : pictures.map) {
    for (int cell : row) text += Hex2(cell);
    text += "\n";
  }
  text += "\n__sfx__\n";
  for (const auto& sound : extras.sfx) {
    for (int byte : sound) text += Hex2(byte);
    text += "\n";
  }
  text += "\n__music__\n";
  for (const auto& pattern : extras.music) {
    text += Hex2(pattern[0]) + " ";
    for (int c = 1; c < 5; ++c) text += Hex2(pattern[c]);
    text += "\n";
  }
  text += "\n";
  return text;
}

// Cartridge memory: sheet 0x0000 (left pixel in the low nibble), map 0x2000, flags
// 0x3000, music 0x3100, sfx 0x3200, code 0x4300 as plain text, then the 32 bytes a
// cartridge picture carries after the ROM.
std::vector<uint8_t> CartMemory(const CartPictures& pictures, const CartExtras& extras) {
  std::vector<uint8_t> memory(kCartPayloadSize, 0);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; x += 2) {
      memory[y * 64 + x / 2] =
          static_cast<uint8_t>(pictures.sheet[y][x] | (pictures.sheet[y][x + 1] << 4));
    }
  }
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x)
      memory[0x2000 + y * 128 + x] = static_cast<uint8_t>(pictures.map[y][x]);
  }
  for (int i = 0; i < 256; ++i) memory[0x3000 + i] = static_cast<uint8_t>(extras.flags[i]);
  for (int p = 0; p < 64; ++p) {
    for (int c = 0; c < 4; ++c) {
      const int flag = (extras.music[p][0] >> c) & 1;
      memory[0x3100 + p * 4 + c] = static_cast<uint8_t>(extras.music[p][c + 1] | (flag << 7));
    }
  }
  for (int s = 0; s < 64; ++s) {
    for (int i = 0; i < 68; ++i)
      memory[0x3200 + s * 68 + i] = static_cast<uint8_t>(extras.sfx[s][i]);
  }
  for (size_t i = 0; i < extras.lua.size() && 0x4300 + i < kCartRomSize; ++i) {
    memory[0x4300 + i] = static_cast<uint8_t>(extras.lua[i]);
  }
  memory[kCartRomSize] = 41;  // the version byte
  return memory;
}

// Game code of the usual shape, so that the sections around the pictures are realistic.
std::string LuaCode(int functions, uint32_t seed) {
  std::mt19937 random(seed);
  std::string lua = "-- bench cartridge\nfunction _init()\n  t=0\n  px,py=64,64\nend\n";
  for (int f = 0; f < functions; ++f) {
    const std::string n = std::to_string(f);
    lua += "function update_" + n + "(o)\n  o.x+=o.dx*" + std::to_string(random() % 9) +
           "\n  if o.x>" + std::to_string(random() % 128) + " then o.dx=-o.dx sfx(" +
           std::to_string(random() % 64) + ") end\n  spr(" + std::to_string(random() % 256) +
           ",o.x,o.y)\nend\n";
  }
  lua += "function _update()\n  t+=1\nend\nfunction _draw()\n  cls()\n  map(0,0)\nend\n";
  return lua;
}

// Code of about 65 000 characters within 8192 tokens and the code area: 190 functions
// of 32 tokens, then rooms of 5 tokens a line, each 200 characters of tiles drawn from a
// few repeated runs, up to 65 000 characters.
std::string FullGameCode(uint32_t seed) {
  std::string lua = LuaCode(190, seed);
  std::mt19937 random(seed);
  std::vector<std::string> runs;
  for (int r = 0; r < 12; ++r) {
    std::string run;
    for (int i = 0; i < 20; ++i) run += "0123456789abcdef"[(random() % 4) * 4 + r % 4];
    runs.push_back(run);
  }
  for (int room = 1;; ++room) {
    std::string line = "rooms[" + std::to_string(room) + "]=\"";
    for (int i = 0; i < 10; ++i) line += runs[random() % runs.size()];
    line += "\"\n";
    if (lua.size() + line.size() > 65000) break;
    lua += line;
  }
  return lua;
}

// A generated game of 48 000 characters, then design notes of about 30 000 characters in
// a block comment: sentences of words drawn from a game maker's vocabulary.
std::string UnfitGameCode(uint32_t seed) {
  std::string lua = brasswick::testing::GenerateGameCode(seed, 48000);
  static const char* const kWords[] = {
      "the",    "player",  "jumps",   "when",     "enemy",  "spawns", "level",  "should",
      "feel",   "faster",  "after",   "boss",     "fight",  "maybe",  "add",    "coyote",
      "time",   "frames",  "tiles",   "map",      "room",   "door",   "key",    "sound",
      "music",  "title",   "screen",  "particles", "shake", "camera", "score",  "lives",
      "retry",  "checkpoint", "idea",  "todo",     "fix",    "bug",    "slow",   "tokens",
      "palette", "sprite",  "draw",   "order",    "dash",   "wall",   "slide",  "spikes"};
  std::mt19937 random(seed);
  std::string notes = "\n--[[ design notes\n";
  while (notes.size() < 30000) {
    const int words = 6 + static_cast<int>(random() % 10);
    for (int w = 0; w < words; ++w) {
      notes += kWords[random() % (sizeof kWords / sizeof *kWords)];
      notes += w + 1 < words ? " " : ".\n";
    }
  }
  return lua + notes + "]]\n";
}

CartExtras RandomExtras(uint32_t seed) {
  std::mt19937 random(seed);
  CartExtras extras;
  extras.lua = LuaCode(60, seed);
  for (int i = 0; i < 256; ++i) extras.flags.push_back(static_cast<int>(random() % 256));
  for (int s = 0; s < 64; ++s) {
    extras.sfx.emplace_back();
    for (int i = 0; i < 68; ++i) extras.sfx.back().push_back(static_cast<int>(random() % 256));
  }
  for (int p = 0; p < 64; ++p) {
    extras.music.push_back({static_cast<int>(random() % 16)});
    for (int c = 0; c < 4; ++c) extras.music.back().push_back(static_cast<int>(random() % 64));
  }
  return extras;
}

// A few sounds and patterns as a small game has them; the rest empty.
CartExtras ArtExtras() {
  CartExtras extras;
  extras.lua = LuaCode(25, 7);
  for (int i = 0; i < 256; ++i) extras.flags.push_back(i < 16 ? 1 : (i < 48 ? 2 : 0));
  for (int s = 0; s < 64; ++s) {
    std::vector<int> sound(68, 0);
    if (s < 12) {
      sound[1] = 8 + s;  // speed
      for (int note = 0; note < 32; ++note) {
        sound[4 + note * 2] = (note * 3 + s * 5) % 64;
        sound[5 + note * 2] = 0x40 | (s % 8);
      }
    }
    extras.sfx.push_back(sound);
  }
  for (int p = 0; p < 64; ++p) {
    if (p < 8) {
      extras.music.push_back({p == 7 ? 2 : 0, p % 12, (p + 1) % 12, 0x41, 0x42});
    } else {
      extras.music.push_back({0, 0x41, 0x42, 0x43, 0x44});
    }
  }
  return extras;
}

void FillSprite(CartPictures& pictures, int sprite, int (*draw)(int x, int y, int variant)) {
  const int x0 = (sprite % 16) * 8;
  const int y0 = (sprite / 16) * 8;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) pictures.sheet[y0 + y][x0 + x] = draw(x, y, sprite);
  }
}

int BrickTile(int x, int y, int variant) {
  const int mortar = 5 + variant % 2;
  if (y % 4 == 3) return mortar;
  if ((x + (y / 4) * 4) % 8 == 7) return mortar;
  return variant % 3 == 0 ? 4 : (variant % 3 == 1 ? 9 : 2);
}
int Figure(int x, int y, int variant) {
  const int dx = 2 * x - 7;
  const int dy = 2 * y - 5;
  if (y < 4 && dx * dx + dy * dy <= 10) return 15;                  // head
  if (y >= 4 && y < 7 && x >= 2 && x <= 5) return 8 + variant % 8;  // body
  if (y == 7 && (x == 2 || x == 5)) return 1;                       // feet
  return 0;
}
int Coin(int x, int y, int variant) {
  const int dx = 2 * x - 7;
  const int dy = 2 * y - 7;
  const int d = dx * dx + dy * dy;
  if (d <= 20) return 10;
  if (d <= 36) return variant % 2 == 0 ? 9 : 4;
  return 0;
}
int Stripes(int x, int y, int variant) { return ((x + y + variant) / 3) % 2 == 0 ? 12 : 13; }
int Sky(int, int, int) { return 12; }

CartPictures ArtPictures() {
  CartPictures pictures;
  FillSprite(pictures, 0, Sky);
  for (int s = 1; s < 16; ++s) FillSprite(pictures, s, BrickTile);
  for (int s = 16; s < 32; ++s) FillSprite(pictures, s, Figure);
  for (int s = 32; s < 48; ++s) FillSprite(pictures, s, Coin);
  for (int s = 48; s < 64; ++s) FillSprite(pictures, s, Stripes);
  // Sprites 64 to 255 repeat the first 64 with swapped colours, as recoloured enemies
  // and tiles do.
  for (int s = 64; s < 256; ++s) {
    const int from = s % 64;
    const int shift = s / 64;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        const int c = pictures.sheet[(from / 16) * 8 + y][(from % 16) * 8 + x];
        pictures.sheet[(s / 16) * 8 + y][(s % 16) * 8 + x] = c == 0 ? 0 : (c + shift) % 16;
      }
    }
  }
  // A level: sky, a few clouds and floating platforms with coins, and solid ground.
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) {
      int cell = 0;
      if (y >= 26) {
        cell = 1 + (y == 26 ? 0 : 1 + (x + y) % 3);
      } else if (y % 7 == 3 && (x / 6) % 3 == 1) {
        cell = 4 + (y / 7) % 4;
      } else if (y % 7 == 2 && (x / 6) % 3 == 1 && x % 3 == 0) {
        cell = 32 + x % 16;
      } else if (y < 6 && (x / 10) % 4 == 2 && y > 1) {
        cell = 48 + (x % 3);
      } else if (y == 25 && x % 17 == 5) {
        cell = 16 + (x / 17) % 16;
      }
      pictures.map[y][x] = cell;
    }
  }
  // The label: bands of evening sky, a sun, two ranges of hills and a field.
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      static constexpr int kBands[] = {1, 1, 2, 2, 13, 14, 14, 15};
      int c = kBands[std::min(y / 10, 7)];
      const int sx = x - 84;
      const int sy = y - 52;
      if (sx * sx + sy * sy < 18 * 18) c = sx * sx + sy * sy < 13 * 13 ? 10 : 9;
      const int far = 70 + (std::abs((x % 48) - 24) * 3) / 4;
      if (y > far) c = 5;
      const int near = 88 + std::abs((x % 64) - 32) / 2;
      if (y > near) c = 3;
      if (y > 110) c = ((x / 4 + y / 3) % 5 == 0) ? 11 : 3;
      if (x >= 30 && x < 38 && y >= 96 && y < 110) c = (y < 100) ? 15 : 8;
      pictures.label[y][x] = c;
    }
  }
  return pictures;
}

bool WriteText(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

// The cartridge picture: the blank cartridge with the label drawn into its window (upper
// six bits of each channel) and the memory in the two low bits of every channel.
bool WriteCartPicture(const std::string& path, const CartPictures& pictures,
                      const std::vector<uint8_t>& memory) {
  CartPicture picture = CartPicture::Template();
  if (picture.pixels.empty()) return false;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const auto& rgb = kStandardPalette[pictures.label[y][x]];
      picture.At(16 + x, 24 + y) = {rgb.r & 0xFC, rgb.g & 0xFC, rgb.b & 0xFC, 0xFC};
    }
  }
  picture.WritePayload(memory);
  TestPng png;
  png.width = CartPicture::kWidth;
  png.height = CartPicture::kHeight;
  png.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  for (int y = 0; y < CartPicture::kHeight; ++y) {
    png.rows.emplace_back();
    for (int x = 0; x < CartPicture::kWidth; ++x) {
      for (int channel : picture.At(x, y)) png.rows.back().push_back(static_cast<uint8_t>(channel));
    }
  }
  return brasswick::testing::WriteTestPng(path, png);
}

// An exported script: some start-up code, the cartridge list, then the bulk of the
// runtime that makes real exports big.
std::string PlayerScript(const std::vector<uint8_t>& memory) {
  std::string script =
      "var Module=typeof Module!=='undefined'?Module:{};\nvar _cdpos=0;\n"
      "var _cartname=['art.p8'];\nvar _cartdat=[";
  for (size_t i = 0; i < memory.size(); ++i) {
    if (i > 0) script += (i % 64 == 0) ? ",\n" : ",";
    script += std::to_string(memory[i]);
  }
  script += "];\n";
  std::mt19937 random(11);
  for (int n = 0; script.size() < kScriptSize; ++n) {
    const std::string id = std::to_string(n);
    script += "function _f" + id + "(a,b){var c=(a*" + std::to_string(random() % 997) + "+b)|0;" +
              "if(c>" + std::to_string(random() % 65536) + "){c=HEAP32[(c>>2)+" +
              std::to_string(random() % 4096) + "];}return c^" + std::to_string(random() % 256) +
              ";}\nvar _t" + id + "=[" + std::to_string(random() % 100) + "," +
              std::to_string(random() % 100) + "];\n";
  }
  return script;
}

struct Photo {
  std::vector<std::vector<uint8_t>> rgb_rows;  // 2048 rows of 3 x 2048 bytes
};

int Clamp(int value) { return std::max(0, std::min(255, value)); }

// Soft light from three sources over a tilted gradient, with fine grain: many distinct
// colours changing slowly, as in a photograph.
Photo MakePhoto() {
  struct Light {
    int x, y, radius, r, g, b;
  };
  static constexpr Light kLights[] = {{500, 600, 900, 150, 90, 40},
                                      {1500, 700, 800, 40, 110, 160},
                                      {1100, 1700, 1000, 90, 140, 60}};
  Photo photo;
  uint32_t grain = 2463534242u;
  for (int y = 0; y < kPhotoSide; ++y) {
    std::vector<uint8_t> row;
    row.reserve(3 * kPhotoSide);
    for (int x = 0; x < kPhotoSide; ++x) {
      int r = 30 + x / 32;
      int g = 20 + y / 24;
      int b = 40 + (x + y) / 40;
      for (const Light& light : kLights) {
        const int64_t dx = x - light.x;
        const int64_t dy = y - light.y;
        const int64_t d2 = dx * dx + dy * dy;
        const int64_t r2 = static_cast<int64_t>(light.radius) * light.radius;
        if (d2 < r2) {
          const int64_t falloff = r2 - d2;  // brightest at the centre, smooth to the edge
          r += static_cast<int>(light.r * falloff / r2);
          g += static_cast<int>(light.g * falloff / r2);
          b += static_cast<int>(light.b * falloff / r2);
        }
      }
      grain ^= grain << 13;
      grain ^= grain >> 17;
      grain ^= grain << 5;
      const int noise = static_cast<int>(grain % 17) - 8;
      row.push_back(static_cast<uint8_t>(Clamp(r + noise)));
      row.push_back(static_cast<uint8_t>(Clamp(g + noise)));
      row.push_back(static_cast<uint8_t>(Clamp(b + noise)));
    }
    photo.rgb_rows.push_back(std::move(row));
  }
  return photo;
}

bool WritePhotoPng(const std::string& path, const Photo& photo) {
  TestPng png;
  png.width = kPhotoSide;
  png.height = kPhotoSide;
  png.colour_type = PNG_COLOR_TYPE_RGB;
  png.rows = photo.rgb_rows;
  return brasswick::testing::WriteTestPng(path, png);
}

// The same picture with 256 colours: 3 bits of red and green, 2 of blue.
bool WritePalettePhotoPng(const std::string& path, const Photo& photo) {
  TestPng png;
  png.width = kPhotoSide;
  png.height = kPhotoSide;
  png.colour_type = PNG_COLOR_TYPE_PALETTE;
  for (int i = 0; i < 256; ++i) {
    png.palette.push_back({static_cast<uint8_t>((i >> 5) * 255 / 7),
                           static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7),
                           static_cast<uint8_t>((i & 3) * 255 / 3)});
  }
  for (const auto& rgb : photo.rgb_rows) {
    png.rows.emplace_back();
    for (int x = 0; x < kPhotoSide; ++x) {
      png.rows.back().push_back(static_cast<uint8_t>(
          (rgb[3 * x] & 0xE0) | ((rgb[3 * x + 1] >> 3) & 0x1C) | (rgb[3 * x + 2] >> 6)));
    }
  }
  return brasswick::testing::WriteTestPng(path, png);
}

bool WritePhotoJpeg(const std::string& path, const Photo& photo) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);  // a failure here exits the tool, which is fine
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = kPhotoSide;
  cinfo.image_height = kPhotoSide;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (const auto& row : photo.rgb_rows) {
    JSAMPROW samples = const_cast<JSAMPROW>(row.data());
    jpeg_write_scanlines(&cinfo, &samples, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_inputs FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  auto path = [&](const char* name) { return folder + "/" + name; };

  CartPictures random_pictures;
  random_pictures.Randomize(20240601);
  const CartPictures art = ArtPictures();
  const CartExtras art_extras = ArtExtras();
  const std::vector<uint8_t> art_memory = CartMemory(art, art_extras);
  // The code area full to its last byte, so that decoding and writing the code weigh
  // as much as they can.
  std::vector<uint8_t> full_memory = art_memory;
  for (size_t i = 0x4300; i < kCartRomSize; ++i) {
    full_memory[i] = static_cast<uint8_t>(art_extras.lua[(i - 0x4300) % art_extras.lua.size()]);
  }

  // Code near the length limit, cut after the last whole function that fits.
  CartExtras big_extras = art_extras;
  big_extras.lua = LuaCode(700, 9);
  big_extras.lua.resize(big_extras.lua.rfind("end\n", 65000 - 4) + 4);

  CartExtras count_extras = art_extras;
  count_extras.lua = FullGameCode(11);

  CartExtras game_extras = art_extras;
  game_extras.lua = UnfitGameCode(4);

  const brasswick::testing::PlayerFixture player = brasswick::testing::MakePlayerFixture(folder);
  std::remove(path("palette_icon.png").c_str());  // the fixture's scratch file
  const Photo photo = MakePhoto();

  struct Output {
    const char* name;
    bool ok;
  } outputs[] = {
      {"random.p8", WriteText(path("random.p8"), P8Text(random_pictures, RandomExtras(5)))},
      {"art.p8", WriteText(path("art.p8"), P8Text(art, art_extras))},
      {"art.p8.png", WriteCartPicture(path("art.p8.png"), art, art_memory)},
      {"player.html", !player.page.empty() && WriteText(path("player.html"), player.page)},
      {"player.js", WriteText(path("player.js"), PlayerScript(art_memory))},
      {"full.p8.png", WriteCartPicture(path("full.p8.png"), art, full_memory)},
      {"full.html", !player.page.empty() && WriteText(path("full.html"), player.page)},
      {"full.js", WriteText(path("full.js"), PlayerScript(full_memory))},
      {"big.p8", WriteText(path("big.p8"), P8Text(art, big_extras))},
      {"count.p8", WriteText(path("count.p8"), P8Text(art, count_extras))},
      {"game.p8", WriteText(path("game.p8"), P8Text(art, game_extras))},
      {"photo.png", WritePhotoPng(path("photo.png"), photo)},
      {"photo8.png", WritePalettePhotoPng(path("photo8.png"), photo)},
      {"photo.jpg", WritePhotoJpeg(path("photo.jpg"), photo)},
  };
  int status = 0;
  for (const Output& output : outputs) {
    if (!output.ok) {
      std::fprintf(stderr, "bench_inputs: could not write %s\n", output.name);
      status = 1;
    }
  }
  return status;
}
