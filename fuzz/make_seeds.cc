// Writes the seed corpora under fuzz/corpus/<target>/: small files of each reader's
// format, made here (pictures by the program's own encoders and by hand, texts
// written out), so that the fuzzers start from valid inputs of every kind they know.
//   make_seeds FOLDER    (FOLDER is fuzz/corpus)
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cart/cart_code.h"
#include "cart/cart_image.h"
#include "html/base64.h"
#include "player_page.h"
#include "runtime/image/image.h"

namespace {

using brasswick::ImageFormat;
using brasswick::ImagePtr;

std::string g_root;

void Write(const std::string& target, const std::string& name, const std::string& bytes) {
  const std::string folder = g_root + "/" + target;
  mkdir(folder.c_str(), 0755);
  std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string AsBytes(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A small picture with a few colours, some of them half transparent.
ImagePtr Pattern(int width, int height) {
  ImagePtr image = brasswick::CreateImage(width, height, 32);
  brasswick::ImageDrawing drawing(*image);
  drawing.SetDrawingMode(brasswick::DrawingMode::kAllChannels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int shade = (x * 37 + y * 11) & 0xFF;
      const int alpha = (x + y) % 3 == 0 ? 0x80 : 0xFF;
      drawing.Plot(x, y, brasswick::MakeColor(shade, 255 - shade, (x * y) & 0xFF, alpha));
    }
  }
  return image;
}

std::string Encoded(const brasswick::RgbaImage& image, ImageFormat format, int depth) {
  auto bytes = brasswick::EncodeImageToMemory(image, format, 7, depth);
  return bytes ? AsBytes(*bytes) : "";
}

void ImageSeeds() {
  const ImagePtr small = Pattern(7, 5);
  const ImagePtr wide = Pattern(33, 3);
  for (int depth : {1, 2, 4, 8, 24, 32}) {
    Write("png_image", "depth" + std::to_string(depth) + ".png",
          Encoded(*small, ImageFormat::kPng, depth));
  }
  Write("png_image", "wide.png", Encoded(*wide, ImageFormat::kPng, 24));
  for (int quality : {1, 9}) {
    Write("jpeg_image", "q" + std::to_string(quality) + ".jpg",
          AsBytes(*brasswick::EncodeImageToMemory(*small, ImageFormat::kJpeg, quality)));
  }
  Write("jpeg_image", "wide.jpg",
        AsBytes(*brasswick::EncodeImageToMemory(*wide, ImageFormat::kJpeg, 5)));
  for (int depth : {1, 4, 8, 24, 32}) {
    Write("bmp_image", "depth" + std::to_string(depth) + ".bmp",
          Encoded(*small, ImageFormat::kBmp, depth));
  }
  // Layouts the program never writes: 16-bit 5-5-5 and 5-6-5 pixels and 8-bit
  // run-length coding, 2 x 2, written byte by byte.
  auto header = [](int bits, int compression, const std::string& table, const std::string& pixels) {
    std::string h = "BM";
    auto le32 = [&h](uint32_t v) {
      for (int i = 0; i < 4; ++i) h += static_cast<char>(v >> (8 * i));
    };
    auto le16 = [&h](uint32_t v) {
      h += static_cast<char>(v);
      h += static_cast<char>(v >> 8);
    };
    const uint32_t offset = 54 + static_cast<uint32_t>(table.size());
    le32(offset + static_cast<uint32_t>(pixels.size()));
    le32(0);
    le32(offset);
    le32(40);
    le32(2);
    le32(2);
    le16(1);
    le16(bits);
    le32(compression);
    le32(static_cast<uint32_t>(pixels.size()));
    le32(2835);
    le32(2835);
    le32(bits <= 8 ? static_cast<uint32_t>(table.size() / 4) : 0);  // colours used
    le32(0);
    return h + table + pixels;
  };
  Write("bmp_image", "rgb555.bmp",
        header(16, 0, "", std::string("\x1F\x00\xE0\x03\0\0\x00\x7C\xFF\x7F\0\0", 12)));
  Write("bmp_image", "rgb565.bmp",
        header(16, 3, std::string("\x00\xF8\0\0\xE0\x07\0\0\x1F\0\0\0", 12),
               std::string("\x1F\x00\xE0\x07\0\0\x00\xF8\xFF\xFF\0\0", 12)));
  Write("bmp_image", "rle8.bmp",
        header(8, 1, std::string("\0\0\0\0\xFF\xFF\xFF\0", 8),
               std::string("\x02\x01\x00\x00\x01\x00\x01\x01\x00\x01", 10)));
}

void CartSeeds() {
  ImagePtr cart = brasswick::CreateTemplateCartImage();
  std::vector<uint8_t> payload(brasswick::kCartPayloadSize, 0);
  for (size_t i = 0; i < 256; ++i) payload[i] = static_cast<uint8_t>(i);
  brasswick::EncodeCartPixels(*cart, payload);
  Write("cart_payload", "template.p8.png", Encoded(*cart, ImageFormat::kPng, 32));
  Write("cart_payload", "small.png", Encoded(*Pattern(4, 4), ImageFormat::kPng, 32));
}

// Code areas of the three encodings, their streams written bit by bit.
void CodeSeeds() {
  auto area = [](const std::string& signature, int length, const std::vector<uint8_t>& body) {
    std::string bytes = signature;
    bytes += static_cast<char>(length >> 8);
    bytes += static_cast<char>(length);
    const size_t compressed = 8 + body.size();
    bytes += static_cast<char>(compressed >> 8);
    bytes += static_cast<char>(compressed);
    bytes.append(body.begin(), body.end());
    bytes.resize(brasswick::kCodeAreaSize, '\0');
    return bytes;
  };
  std::vector<uint8_t> bits;
  size_t count = 0;
  auto put = [&](uint32_t value, int width) {
    for (int i = 0; i < width; ++i, ++count) {
      if (count % 8 == 0) bits.push_back(0);
      bits.back() |= static_cast<uint8_t>(((value >> i) & 1) << (count % 8));
    }
  };
  // 'p' (list position 112: three unary bits), then the byte now at position 0 again,
  // a 5-bit copy of distance 1 and length 3 + 7 + 1, a raw run "ab", a 15-bit copy.
  put(1, 1), put(0b0111, 4), put(0, 7);
  put(1, 1), put(0, 1), put(0, 4);
  put(0, 1), put(0b11, 2), put(0, 5), put(7, 3), put(1, 3);
  put(0, 1), put(0b01, 2), put(0, 10), put('a', 8), put('b', 8), put(0, 8);
  put(0, 1), put(0, 1), put(3, 15), put(2, 3);
  Write("cart_code", "current.bin", area(std::string("\0pxa", 4), 1 + 1 + 11 + 2 + 5, bits));
  Write("cart_code", "old.bin",
        area(std::string(":c:\0", 4), 34,
             {26, 27, 28, 0, 0x8B, 0, 'A', 1, 2, 60, 0x35, 60, 0xF1, 3, 13, 0, 0xFF, 58, 59}));
  Write("cart_code", "plain.bin", "function _draw()\n cls()\n print(\"\x8b\x83\")\nend\n");
  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte += static_cast<char>(b);
  Write("cart_code", "glyphs.txt", brasswick::CodeBytesToText(every_byte) + "\u2b07 \xe3\x81");

  // Code to compress: a little Lua with glyph bytes, and bytes that repeat at once.
  Write("code_compressor", "lua.txt",
        "function _update()\n if btn(\x8b) then x-=1 end\n if btn(\x91) then x+=1 end\n"
        " for e in all(enemies) do\n  e.x+=e.dx\n  e.y+=e.dy\n end\nend\n");
  Write("code_compressor", "repeats.bin", std::string(300, 'a') + "abcabcabc\x01\xff\x01\xff");
}

// The console's Lua: a game's usual shapes, then its dialect's corners.
void LuaSeeds() {
  Write("lua_reader", "game.lua",
        "-- a game\nfunction _init()\n px,py=64,64 enemies={}\nend\n"
        "function _update()\n if (btn(\x8b)) px-=1\n if (btn(\x91)) px+=1 else px=mid(0,px,120)\n"
        " for e in all(enemies) do e.x+=e.dx end\nend\n"
        "function _draw()\n cls() spr(1,px,py) ?\"score \"..score,0,0,7\nend\n");
  for (const char* target : {"lua_reader", "lua_minify"}) {
    Write(target, "dialect.lua",
          "local a,b=0x1f.8,0b101.1 a>>>=1 b<<>=2 a^^=b a..=\"\\z  x\\65\\x4a\\*\"\n"
          "while (a>0) a\\=2\nx=@a+%b+$c ~~a y=a!=b and [==[\nlong]]]==] or 'q'\n"
          "::top:: repeat local n=n or 1 until n>3 goto done ::done::\n"
          "local o={} function o:m(...) return self,... end // slashes\n--[[ long\n]]\n");
  }
  Write("lua_reader", "broken.lua", "if (a then\n x=\"open\n--[==[ never closed");

  // Names the minifier must keep or may rename: fields reached by strings, `_ENV`,
  // metatables, labels, shadowing, methods.
  Write("lua_minify", "game.lua",
        "player={x=64,y=64,speed=2}\nlocal axes=split(\"x,y\")\n"
        "function _update()\n for a in all(axes) do player[a]=mid(0,player[a],120) end\n"
        " if (btn(\x8b)) player.x-=player.speed\n local h=obj[\"on_\"..ev] obj.on_hit=1\nend\n"
        "function _draw() cls() ?\"hp \"..player.hp,0,0\nend\n");
  Write("lua_minify", "scopes.lua",
        "local v=1 do local v=v+1 print(v) end\nlocal o={} function o:m(s) return self.k+s end\n"
        "setmetatable(o,{__index=function(t,k) return k end})\n"
        "for i=1,3 do local c=i fs[i]=function() return c end end\n"
        "::top:: repeat local n=(n or 0)+1 until n>3 if (n) goto top\n"
        "local _ENV={print=print} x=0x0010+1.0+0x.8+0b11");
}

void TextSeeds() {
  Write("json_parser", "object.json",
        "{\"name\": \"map,exportmap\", \"N\": \"1\", \"args\": [1, -2.5e3, true, false, null],\r\n"
        " \"Name\": {\"x\": \"\\u0041\\ud83d\\ude00\\n\\t\\\"\\\\\\/\"}}\n");
  Write("json_parser", "array.json", "[[], {}, \"\", 0, 007, 1E+2, 12.0]");
  Write("json_parser", "broken.json", "{\"a\": [1, 2,]}");

  Write("cli_config", "small.json",
        "{\"ExecutableName\": \"{{#SW_Version}}\", \"ConsoleColumns\": \"100\",\n"
        " \"runtimes\": {\"SW_Desc\": \"text\", \"n\": 0.25, \"b\": true},\n"
        " \"deprecated\": \"old, older\",\n"
        " \"commands\": [\n"
        "  {\"name\": \"map, exportmap\", \"call\": \"ExportMapRT\", \"desc\": \"{{SW_Desc}}\",\n"
        "   \"exclusiveSets\": \"alt,palette\", \"requiredSets\": [\"scale\"],\n"
        "   \"args\": [{\"name\": \"p8File\", \"type\": \"file-exists\"},\n"
        "            {\"name\": \"outputFile\", \"N\": \"?\", \"type\": \"file\"},\n"
        "            {\"name\": \"--cells CX, CY;CW|CH\", \"type\": \"int-nonneg\"},\n"
        "            {\"name\": \"--alternate\"}, {\"name\": \"--palette COLORS\"},\n"
        "            {\"name\": \"--scale N\", \"type\": \"int-pos\", \"formatter\": \"Trim\"},\n"
        "            {\"name\": \"--verbose\", \"lin-hidden\": \"yes\", \"accumulator\": "
        "\"Collect()\"}]},\n"
        "  {\"name\": \"version\", \"call\": \"VersionRT()\", \"hidden\": true,\n"
        "   \"args\": [{\"name\": \"rest\", \"N\": \"*\"}]}]}\n");
  Write(
      "cli_config", "single.json",
      "{`commands`: [{`name`: `*`, `args`: [{`name`: `files`, `N`: `+`}]}], `AutoAddHelp`: `off`}");
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("{\"commands\":[{\"name\":\"a\"}]}")) {
    utf16 += c;
    utf16 += '\0';
  }
  Write("cli_config", "utf16.json", utf16);

  std::string gfx;
  for (int row = 0; row < 4; ++row) {
    for (int i = 0; i < 128; ++i) gfx += "0123456789abcdef"[(row * 3 + i) % 16];
    gfx += "\n";
  }
  std::string map;
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i < 256; ++i) map += "0123456789abcdef"[(row + i * 5) % 16];
    map += "\n";
  }
  Write("p8_document", "cart.p8",
        "pico-8 cartridge // made for brasswick\nversion 41\n__lua__\nprint(\"hi\")\n__init__\n"
        "__gfx__\n" +
            gfx + "__label__\n" + gfx + "__map__\n" + map +
            "__sfx__\n0110000000\n__music__\n00 01020304\n");
  Write("p8_document", "crlf.p8",
        "\xEF\xBB\xBFpico-8 cartridge\r\nversion 8\r\n__GFX__\r\n7z\r\n__gfx__\r\nz7ff\r");
  Write("p8_document", "short.p8", std::string("pico-8 cartridge\n__map__\n01\0__gfx__\nabc", 40));

  const std::string png = Encoded(*Pattern(3, 2), ImageFormat::kPng, 24);
  const std::string jpeg =
      AsBytes(*brasswick::EncodeImageToMemory(*Pattern(3, 2), ImageFormat::kJpeg, 5));
  Write("html_player", "page.html",
        brasswick::testing::PlayerPageText({{"png", brasswick::testing::TestBase64(png)},
                                            {"jpeg", brasswick::testing::TestBase64(jpeg)}}));
  Write("html_player", "bare.html",
        "<title>x</title><body style=\"color:#fff\"><div id=p8_playarea>"
        "<img src=\"DATA:IMAGE/gif,R0lGOD\"><img src=\"data:image/png;base64,QUJD=\">");
  Write("html_player", "base64.txt", "QUJDRA==\r\nZm9v-_YmFy");

  Write("cart_file", "page.html",
        "<!doctype html><html><head><script data-src=x.js src = 'v2.js?7'></script>"
        "<SCRIPT SRC=other.js></SCRIPT><script src=\"//cdn/x.js\"></script></head>"
        "<body><div id=\"p8_playarea\"></div></body></html>");
  Write("cart_file", "single.html", "\xEF\xBB\xBF <html><script>var _cartdat=[1,2,3];</script>");
  Write("cart_file", "script.js", "var _CARTDAT=[1,$2,%11];\n");
  Write("cart_file", "game.p8",
        "pico-8 cartridge // http://www.pico-8.com\nversion 42\n__label__\n0g\n");

  std::string list;
  for (int i = 0; i < 300; ++i)
    list += std::to_string((i * 7) % 256) + (i % 20 == 19 ? ",\n" : ",");
  Write("cart_data_list", "script.js", brasswick::testing::PlayerScriptText(list + "1"));
  Write("cart_data_list", "forms.js", "var _CARTDAT=[$FF, %101, -2, 300, +$1f, 0x1F,,\t7 ,];");
  Write("cart_data_list", "list.txt", "1, 2,\n3");

  // The first two bytes choose the flags and the bounds.
  Write("number_range", "list.txt", std::string("\x11\x00") + "10,2,5-3,2");
  Write("number_range", "negative.txt", std::string("\x13\x01") + "-5--1, 0 - 7,255");
  Write("number_range", "both.txt", std::string("\x06\x00") + "1-x,,9223372036854775807");

  Write("color_text", "index.txt",
        "8,9,a,,7,128,143,#f00,#FF0000,$0000ff,red,'Alice Blue',\"dark-slate-gray\"");
  Write("color_text", "hex.txt", "#12345");
  Write("color_text", "name.txt", "Dark Slate Gray");
  Write("color_text", "many.txt", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  g_root = argv[1];
  mkdir(g_root.c_str(), 0755);
  ImageSeeds();
  CartSeeds();
  CodeSeeds();
  TextSeeds();
  LuaSeeds();
  return 0;
}
