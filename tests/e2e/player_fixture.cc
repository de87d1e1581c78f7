#include "e2e/player_fixture.h"

#include <png.h>

#include "e2e/png_writer.h"
#include "player_page.h"
#include "test_support.h"

namespace brasswick::testing {
namespace {

constexpr std::string_view kUriStart = "\"data:image/";

// Colour and alpha vary across the picture so that a recolouring that touches alpha,
// or misses a pixel, shows.
ImagePtr Pattern(int width, int height, int depth, int seed) {
  ImagePtr image = CreateImage(width, height, depth);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image->Row(y) + x * image->channels();
      p[0] = static_cast<uint8_t>(x + seed);
      p[1] = static_cast<uint8_t>(y * 3 + seed);
      p[2] = static_cast<uint8_t>((x ^ y) + seed);
      if (depth == 32) p[3] = static_cast<uint8_t>((x * 5 + y * 3 + seed) % 256);
    }
  }
  return image;
}

FixturePicture Encoded(ImagePtr image) {
  FixturePicture picture;
  std::optional<std::vector<uint8_t>> png = EncodeImageToMemory(*image, ImageFormat::kPng);
  if (png) picture.base64 = TestBase64(*png);
  picture.pixels = std::move(image);
  return picture;
}

// A 24 x 24 palette PNG of three entries, one half transparent and one fully.
FixturePicture PaletteIcon(const std::string& scratch) {
  const std::array<uint8_t, 3> colours[] = {{200, 200, 200}, {90, 60, 30}, {0, 0, 0}};
  const uint8_t alphas[] = {255, 128, 0};
  TestPng png{24, 24, 8, PNG_COLOR_TYPE_PALETTE, {}, {}, {}, {}};
  png.palette.assign(std::begin(colours), std::end(colours));
  png.trns_alpha.assign(std::begin(alphas), std::end(alphas));
  FixturePicture picture;
  picture.pixels = CreateImage(24, 24, 32);
  for (int y = 0; y < 24; ++y) {
    png.rows.emplace_back();
    for (int x = 0; x < 24; ++x) {
      const int index = (x / 3 + y) % 3;
      png.rows.back().push_back(static_cast<uint8_t>(index));
      uint8_t* p = picture.pixels->Row(y) + x * 4;
      p[0] = colours[index][0];
      p[1] = colours[index][1];
      p[2] = colours[index][2];
      p[3] = alphas[index];
    }
  }
  const std::string path = scratch + "/palette_icon.png";
  if (WriteTestPng(path, png)) picture.base64 = TestBase64(ReadTestFile(path));
  return picture;
}

}  // namespace

PlayerFixture MakePlayerFixture(const std::string& scratch) {
  PlayerFixture fixture;
  fixture.pictures.push_back(Encoded(Pattern(300, 350, 32, 0)));
  fixture.pictures.push_back(Encoded(Pattern(300, 300, 32, 40)));
  fixture.pictures.push_back(Encoded(Pattern(128, 128, 24, 80)));
  fixture.pictures.push_back(Encoded(Pattern(80, 80, 32, 120)));
  for (int i = kFirstIcon; i < kPaletteIcon; ++i) {
    fixture.pictures.push_back(Encoded(Pattern(24, 24, 32, 17 * i)));
  }
  fixture.pictures.push_back(PaletteIcon(scratch));
  std::vector<PageImage> images;
  for (const FixturePicture& picture : fixture.pictures) images.push_back({"png", picture.base64});
  fixture.page = PlayerPageText(images);
  return fixture;
}

std::vector<std::string> PagePayloads(std::string_view page) {
  std::vector<std::string> payloads;
  for (size_t at = page.find(kUriStart); at != std::string_view::npos;
       at = page.find(kUriStart, at + 1)) {
    const size_t comma = page.find(',', at);
    const size_t close = page.find('"', at + 1);
    if (comma == std::string_view::npos || comma > close) {
      payloads.emplace_back();
      continue;
    }
    payloads.emplace_back(page.substr(comma + 1, close - comma - 1));
  }
  return payloads;
}

std::vector<std::string> PageMediaHeaders(std::string_view page) {
  std::vector<std::string> headers;
  for (size_t at = page.find(kUriStart); at != std::string_view::npos;
       at = page.find(kUriStart, at + 1)) {
    const size_t start = at + kUriStart.size();
    const size_t comma = page.find(',', start);
    headers.emplace_back(page.substr(start, comma == std::string_view::npos ? 0 : comma - start));
  }
  return headers;
}

}  // namespace brasswick::testing
