// The setlabel command as a user runs it on each kind of input: a .p8 text cartridge,
// a .p8.png cartridge and an exported player page.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/pixels.h"
#include "player_page.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPictures;
using testing::kStandardPalette;
using testing::PageImage;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::Rgb;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

using testing::PixelAt;
using testing::Rgba;

ImagePtr MakePicture(int width, int height, int depth, const std::function<Rgba(int, int)>& at) {
  ImagePtr image = CreateImage(width, height, depth);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba px = at(x, y);
      uint8_t* p = image->Row(y) + x * image->channels();
      p[0] = static_cast<uint8_t>(px.r);
      p[1] = static_cast<uint8_t>(px.g);
      p[2] = static_cast<uint8_t>(px.b);
      if (image->channels() == 4) p[3] = static_cast<uint8_t>(px.a);
    }
  }
  return image;
}
std::function<Rgba(int, int)> RandomPixels(uint32_t seed, int alpha = 255) {
  auto random = std::make_shared<std::mt19937>(seed);
  return [random, alpha](int, int) {
    return Rgba{int((*random)() % 256), int((*random)() % 256), int((*random)() % 256), alpha};
  };
}
std::string SavePng(const RgbaImage& image, const std::string& path) {
  EXPECT_TRUE(SaveImageFile(image, path, ImageFormat::kPng));
  return path;
}
std::string EncodedBase64(const RgbaImage& image, ImageFormat format) {
  std::optional<std::vector<uint8_t>> bytes = EncodeImageToMemory(image, format);
  EXPECT_TRUE(bytes);
  return testing::TestBase64(*bytes);
}

int NearestIndex(Rgba c) {
  int best = 0;
  int best_distance = 1 << 30;
  for (int i = 0; i < 16; ++i) {
    const Rgb& p = kStandardPalette[i];
    const int d = (c.r - p.r) * (c.r - p.r) + (c.g - p.g) * (c.g - p.g) + (c.b - p.b) * (c.b - p.b);
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return best;
}

ProcessResult RunCommand(std::vector<std::string> args) {
  testing::RunOptions options;
  options.unprivileged = true;
  args.insert(args.begin(), "setlabel");
  return RunBrasswick(args, options);
}

TEST(SetLabel, P8LabelIsAlwaysPaletteFittedAndItsSectionCreated) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  CartPictures pictures;
  pictures.Randomize(3);
  const std::string original = pictures.ToP8(/*with_label=*/false);
  const std::string game = dir.File("game.p8");
  WriteTestFile(game, original);
  // 256 x 128: its centred square is columns 64-191, already 128 wide, so every pixel
  // of the label comes from one known pixel of the picture.
  ImagePtr picture = MakePicture(256, 128, 24, RandomPixels(11));
  SavePng(*picture, dir.File("pic.png"));
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{}, std::vector<std::string>{"--fitPalette"}}) {
    WriteTestFile(game, original);
    ASSERT_TRUE(testing::GiveToTestUser(game));
    std::vector<std::string> args = {game, dir.File("pic.png")};
    args.insert(args.end(), extra.begin(), extra.end());
    ProcessResult result = RunCommand(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");

    // Rewritten in place: what was there is kept, the label section follows it.
    const std::string written = ReadTestFile(game);
    ASSERT_EQ(written.substr(0, original.size()), original);
    std::string expected = "__label__\n";
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        expected += "0123456789abcdef"[NearestIndex(PixelAt(*picture, 64 + x, y))];
      }
      expected += "\n";
    }
    EXPECT_EQ(written.substr(original.size()), expected + "\n");
  }

  // An output name ending in .png still gets .p8 text, and the input stays as it was;
  // a 64 x 64 picture becomes each pixel repeated 2 x 2.
  WriteTestFile(game, original);
  ImagePtr small = MakePicture(64, 64, 32, RandomPixels(12));
  SavePng(*small, dir.File("small.png"));
  ProcessResult result = RunCommand({game, dir.File("small.png"), dir.File("out.png")});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadTestFile(game), original);
  const std::string out = ReadTestFile(dir.File("out.png"));
  const size_t label = out.find("__label__\n");
  ASSERT_NE(label, std::string::npos);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      ASSERT_EQ(out[label + 10 + y * 129 + x],
                "0123456789abcdef"[NearestIndex(PixelAt(*small, x / 2, y / 2))])
          << x << "," << y;
    }
  }
}

TEST(SetLabel, CartImageLabelKeepsThePayloadAndFitsOnlyWhenAsked) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  ImagePtr cart = MakePicture(160, 205, 32, RandomPixels(21, 0));
  for (int y = 0; y < 205; ++y) {
    for (int x = 0; x < 160; ++x)
      cart->Row(y)[x * 4 + 3] = static_cast<uint8_t>(0xFC | (x + y) % 4);
  }
  SavePng(*cart, dir.File("game.p8.png"));
  ImagePtr picture = MakePicture(64, 64, 24, RandomPixels(22));
  SavePng(*picture, dir.File("pic.png"));

  for (const bool fit : {false, true}) {
    // Whatever the output's name promises, it is the PNG that keeps the game.
    const std::string output = dir.File(fit ? "out.gif" : "out.p8.png");
    std::vector<std::string> args = {dir.File("game.p8.png"), dir.File("pic.png"), output};
    if (fit) args.push_back("--fitPalette");
    ProcessResult result = RunCommand(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(ReadTestFile(output).substr(0, 4), "\x89PNG");
    ImagePtr out = LoadImageFile(output);
    ASSERT_TRUE(out);
    ASSERT_EQ(out->width(), 160);
    ASSERT_EQ(out->height(), 205);
    ASSERT_EQ(out->channels(), 4);
    for (int y = 0; y < 205; ++y) {
      for (int x = 0; x < 160; ++x) {
        const Rgba before = PixelAt(*cart, x, y);
        const Rgba after = PixelAt(*out, x, y);
        const bool in_window = x >= 16 && x < 144 && y >= 24 && y < 152;
        if (!in_window) {
          ASSERT_EQ(after, before) << x << "," << y;
          continue;
        }
        Rgba want = PixelAt(*picture, (x - 16) / 2, (y - 24) / 2);
        if (fit) {
          const Rgb& p = kStandardPalette[NearestIndex(want)];
          want = {p.r, p.g, p.b, 255};
        }
        const Rgba expected = {(want.r & 0xFC) | (before.r & 3), (want.g & 0xFC) | (before.g & 3),
                               (want.b & 0xFC) | (before.b & 3), 0xFC | (before.a & 3)};
        ASSERT_EQ(after, expected) << x << "," << y << " fit " << fit;
      }
    }
  }
}

TEST(SetLabel, PlayerGetsOnlyItsFirstLabelPictureReplacedAsPng) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  auto plain = [](Rgba c) { return [c](int, int) { return c; }; };
  ImagePtr icon = MakePicture(24, 24, 32, plain({255, 255, 255, 128}));
  ImagePtr first_label = MakePicture(128, 128, 24, plain({10, 20, 30, 255}));
  ImagePtr second_label = MakePicture(128, 128, 24, plain({40, 50, 60, 255}));
  ImagePtr logo = MakePicture(80, 80, 32, plain({1, 2, 3, 255}));
  const std::vector<PageImage> images = {
      {"png", EncodedBase64(*icon, ImageFormat::kPng)},
      {"png", "bm90IGEgcGljdHVyZQ=="},  // decodes, but to no picture
      {"bmp", EncodedBase64(*first_label, ImageFormat::kBmp)},
      {"png", EncodedBase64(*second_label, ImageFormat::kPng)},
      {"png", EncodedBase64(*logo, ImageFormat::kPng)},
  };
  const std::string page = testing::PlayerPageText(images);
  WriteTestFile(dir.File("game.html"), page);
  ASSERT_TRUE(testing::GiveToTestUser(dir.File("game.html")));
  // 300 x 200: columns 50-149 are one colour, 150-249 another, the rest a third that
  // must not reach the label.
  const Rgba left = {200, 0, 0, 255}, right = {0, 0, 200, 255}, outside = {0, 255, 0, 255};
  ImagePtr picture = MakePicture(300, 200, 24, [&](int x, int) {
    return x < 50 || x >= 250 ? outside : (x < 150 ? left : right);
  });
  SavePng(*picture, dir.File("pic.png"));

  ProcessResult result = RunCommand({dir.File("game.html"), dir.File("pic.png"), "--verbose"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("Loaded game file (HTML player)\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Saved file: " + dir.File("game.html") + "\n"), std::string::npos);

  const std::string written = ReadTestFile(dir.File("game.html"));
  const std::string old_uri = "data:image/bmp;base64," + images[2].base64 + "\"";
  const size_t at = page.find(old_uri);
  ASSERT_NE(at, std::string::npos);
  const std::string head = page.substr(0, at) + "data:image/png;base64,";
  const std::string tail = page.substr(at + old_uri.size() - 1);
  ASSERT_EQ(written.substr(0, head.size()), head);
  ASSERT_GT(written.size(), head.size() + tail.size());
  ASSERT_EQ(written.substr(written.size() - tail.size()), tail);

  const std::string png = testing::TestBase64Decode(
      written.substr(head.size(), written.size() - head.size() - tail.size()));
  ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
  ImagePtr label = LoadImageFromMemory(reinterpret_cast<const uint8_t*>(png.data()), png.size());
  ASSERT_TRUE(label);
  ASSERT_EQ(label->width(), 128);
  ASSERT_EQ(label->height(), 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const Rgba px = PixelAt(*label, x, y);
      // Not palette-fitted, not smoothed: exactly one of the two colours, split in the
      // middle give or take the sampling of one column.
      if (x < 63) {
        ASSERT_EQ(px, left) << x << "," << y;
      }
      if (x > 64) {
        ASSERT_EQ(px, right) << x << "," << y;
      }
      ASSERT_TRUE(px == left || px == right) << x << "," << y;
    }
  }
}

// A player label from a picture with alpha: its centred square composited over the
// whole picture squeezed to that square, then sampled to 128 x 128. The reference does
// exactly that at full size with the image library; the command may sample first.
TEST(SetLabel, PlayerLabelWithAlphaShowsTheSqueezedPictureThroughItsHoles) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  ImagePtr slot = MakePicture(128, 128, 24, [](int, int) { return Rgba{9, 9, 9, 255}; });
  const std::string page =
      testing::PlayerPageText({{"png", EncodedBase64(*slot, ImageFormat::kPng)}});
  struct Case {
    int width, height;
  };
  for (const Case shape : {Case{300, 200}, Case{150, 260}, Case{256, 256}}) {
    SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
    WriteTestFile(dir.File("game.html"), page);
    ASSERT_TRUE(testing::GiveToTestUser(dir.File("game.html")));
    // Colour follows the position; alpha runs through opaque, clear and partial bands.
    ImagePtr picture = MakePicture(shape.width, shape.height, 32, [](int x, int y) {
      const int alphas[] = {255, 0, 128, 37};
      return Rgba{(x * 7) % 256, (y * 5) % 256, (x + y) % 256, alphas[(x / 16 + y / 16) % 4]};
    });
    SavePng(*picture, dir.File("pic.png"));
    ProcessResult result = RunCommand({dir.File("game.html"), dir.File("pic.png")});
    ASSERT_EQ(result.exit_code, 0) << result.err;

    const int side = std::min(shape.width, shape.height);
    ImagePtr expected = CopyImage(*picture);
    ASSERT_TRUE(ResizeImage(*expected, side, side, ResizeMode::kSmooth));
    ImageDrawing drawing;
    ASSERT_TRUE(drawing.BeginDrawing(*expected));
    drawing.DrawImage(*picture, (side - shape.width) / 2, (side - shape.height) / 2);
    drawing.EndDrawing();
    ASSERT_TRUE(ResizeImage(*expected, 128, 128, ResizeMode::kRaw));

    const std::string written = ReadTestFile(dir.File("game.html"));
    const std::string marker = "data:image/png;base64,";
    const size_t from = written.find(marker) + marker.size();
    const std::string png =
        testing::TestBase64Decode(written.substr(from, written.find('"', from) - from));
    ImagePtr label = LoadImageFromMemory(reinterpret_cast<const uint8_t*>(png.data()), png.size());
    ASSERT_TRUE(label);
    ASSERT_EQ(label->width(), 128);
    ASSERT_EQ(label->height(), 128);
    int clear = 0;
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        ASSERT_EQ(PixelAt(*label, x, y), PixelAt(*expected, x, y)) << x << "," << y;
        clear += PixelAt(*label, x, y).a < 255;
      }
    }
    EXPECT_GT(clear, 128 * 128 / 4);  // the holes reached the label
  }
}

// A page without a label picture has no label to set, and a script has no picture at
// all: both are refused, nothing written, rather than a success that changed nothing.
TEST(SetLabel, APlayerNeedsAPageWithALabelPicture) {
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  SavePng(*MakePicture(100, 100, 24, RandomPixels(41)), dir.File("pic.png"));
  ImagePtr small = MakePicture(64, 64, 24, RandomPixels(42));
  const std::string page =
      testing::PlayerPageText({{"png", EncodedBase64(*small, ImageFormat::kPng)}});
  WriteTestFile(dir.File("game.html"), page);
  // A script may name the play area it draws into; it is still no page.
  const std::string script =
      "var area=document.getElementById('p8_playarea');\n" + testing::PlayerScriptText("1,2,3");
  WriteTestFile(dir.File("game.js"), script);

  ProcessResult result =
      RunCommand({dir.File("game.html"), dir.File("pic.png"), dir.File("out.html")});
  EXPECT_EQ(result.exit_code, 145);
  EXPECT_EQ(result.err,
            "HTML file has no 128 x 128 label picture:\n" + dir.File("game.html") + "\n");
  EXPECT_FALSE(PathExists(dir.File("out.html")));
  EXPECT_EQ(ReadTestFile(dir.File("game.html")), page);

  result = RunCommand({dir.File("game.js"), dir.File("pic.png")});
  EXPECT_EQ(result.exit_code, 129);
  EXPECT_EQ(result.err, "Failed to load p8, cartridge, or HTML:\n" + dir.File("game.js") + "\n");
  EXPECT_EQ(ReadTestFile(dir.File("game.js")), script);
}

TEST(SetLabel, RefusesWhatItCannotUse) {
  BRASSWICK_SKIP_UNLESS_UNPRIVILEGED_RUNS();
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  ImagePtr picture = MakePicture(100, 100, 32, RandomPixels(31));
  SavePng(*picture, dir.File("pic.png"));
  const std::string before = ReadTestFile(dir.File("pic.png"));
  WriteTestFile(dir.File("notes.txt"), "not a picture");

  // A picture is neither a cartridge picture (wrong size), a .p8 nor a player.
  ProcessResult result = RunCommand({dir.File("pic.png"), dir.File("pic.png")});
  EXPECT_EQ(result.exit_code, 129);
  EXPECT_EQ(result.err, "Failed to load p8, cartridge, or HTML:\n" + dir.File("pic.png") + "\n");
  EXPECT_EQ(ReadTestFile(dir.File("pic.png")), before);

  WriteTestFile(dir.File("game.p8"), "pico-8 cartridge\n__lua__\n");
  result = RunCommand({dir.File("game.p8"), dir.File("notes.txt")});
  EXPECT_EQ(result.exit_code, 132);
  EXPECT_EQ(result.err, "Failed to load image file:\n" + dir.File("notes.txt") + "\n");
  EXPECT_EQ(ReadTestFile(dir.File("game.p8")), "pico-8 cartridge\n__lua__\n");

  result = RunCommand({dir.File("game.p8"), dir.File("pic.png"), dir.File("no/folder/out.p8")});
  EXPECT_EQ(result.exit_code, 141);
  EXPECT_EQ(result.err, "Failed to save p8 file:\n" + dir.File("no/folder/out.p8") + "\n");
}

// A .p8 whose code holds a NUL byte and a lone CR in strings, whose first lines mix CR LF
// with LF, and whose other sections carry odd bytes: setlabel changes the label section
// and not one byte besides.
TEST(SetLabel, P8KeepsEveryByteOutsideTheLabel) {
  using namespace std::string_literals;
  TempDir dir;
  ASSERT_TRUE(testing::GiveToTestUser(dir.path()));
  ImagePtr picture = MakePicture(128, 128, 24, RandomPixels(41));
  SavePng(*picture, dir.File("pic.png"));
  const std::string head = "pico-8 cartridge // http://www.pico-8.com\nversion 41\r\n";
  const std::string lua = "__lua__\nprint(\"a\0b\")\nprint(\"c\rd\")\r\n\n"s;
  const std::string gfx = "__gfx__\r0011\r2233\0"s + "4455\n";
  const std::string tail = "__map__\n0102\n__meta:x__\n\xFF\xFE\n\n__sfx__\r\n0102";
  struct Case {
    std::string before, label, after;
  };
  const Case cases[] = {
      {head + lua + gfx, "__label__\n0123\n\n", tail},
      // No label yet, and a last code line with neither a break nor a final LF.
      {head + gfx + lua + "end\r", "", ""},
  };
  // The document's newline is CR LF, from the start of the file.
  std::string label = "__label__\r\n";
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x)
      label += "0123456789abcdef"[NearestIndex(PixelAt(*picture, x, y))];
    label += "\r\n";
  }
  label += "\r\n";
  for (const Case& c : cases) {
    const std::string game = dir.File("game.p8");
    WriteTestFile(game, c.before + c.label + c.after);
    ASSERT_TRUE(testing::GiveToTestUser(game));
    ProcessResult result = RunCommand({game, dir.File("pic.png")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    const std::string expected =
        c.label.empty() ? c.before + "\r\n" + label : c.before + label + c.after;
    EXPECT_EQ(ReadTestFile(game), expected);
  }
}

}  // namespace
}  // namespace brasswick
