// The built-in template picture against the cartridge layout, region by region, and
// against a fresh drawing by the tool that made it.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cart/cart_image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using Px = std::array<int, 4>;

// The layout's colours by the upper six bits of red, green, blue and alpha.
const std::map<std::string, Px> kColours = {
    {"outside", {100, 100, 104, 0}}, {"outline", {0, 4, 8, 252}},
    {"body", {100, 100, 100, 252}},  {"label", {136, 136, 136, 252}},
    {"title", {52, 52, 52, 252}},    {"text", {160, 160, 160, 252}},
    {"logo", {252, 240, 232, 252}},  {"address", {176, 168, 164, 252}},
};

struct Expected {
  std::array<std::array<Px, 160>, 205> px{};
  std::array<std::array<bool, 160>, 205> fixed{};
  void Paint(int row, int first, int last, Px colour) {
    for (int x = first; x <= last; ++x) {
      px[row][x] = colour;
      fixed[row][x] = true;
    }
  }
  // "outline 0, body 1-158, outline 159": colour names each followed by columns.
  void PaintSpans(int row, const std::string& spans) {
    std::istringstream in(spans);
    std::string name, columns;
    while (in >> name >> columns) {
      if (columns.back() == ',') columns.pop_back();
      size_t dash = columns.find('-');
      int first = std::stoi(columns.substr(0, dash));
      int last = dash == std::string::npos ? first : std::stoi(columns.substr(dash + 1));
      Paint(row, first, last, kColours.at(name));
    }
  }
  // "16-19, 21-24, 27": columns of one colour.
  void PaintColumns(int row, const std::string& columns, Px colour) {
    std::istringstream in(columns);
    std::string item;
    while (std::getline(in, item, ',')) {
      size_t dash = item.find('-');
      int first = std::stoi(item.substr(0, dash));
      int last = dash == std::string::npos ? first : std::stoi(item.substr(dash + 1));
      Paint(row, first, last, colour);
    }
  }
};

Expected LayoutOfTheTables() {
  Expected e;
  e.PaintSpans(0, "outside 0-2, outline 3-156, outside 157-159");
  e.PaintSpans(1, "outside 0-1, outline 2, body 3-156, outline 157, outside 158-159");
  e.PaintSpans(2, "outside 0, outline 1, body 2-157, outline 158, outside 159");
  for (int row = 3; row <= 194; ++row) e.PaintSpans(row, "outline 0, body 1-158, outline 159");
  for (int row = 195; row <= 201; ++row) {
    const int k = row - 195;
    e.Paint(row, 0, 0, kColours.at("outline"));
    e.Paint(row, 1, 157 - k, kColours.at("body"));
    e.Paint(row, 158 - k, 158 - k, kColours.at("outline"));
    e.Paint(row, 159 - k, 159, kColours.at("outside"));
  }
  e.PaintSpans(202, "outside 0, outline 1, body 2-150, outline 151, outside 152-159");
  e.PaintSpans(203, "outside 0-1, outline 2, body 3-149, outline 150, outside 151-159");
  e.PaintSpans(204, "outside 0-2, outline 3-149, outside 150-159");

  e.PaintSpans(23, "outline 15-144");
  e.PaintSpans(152, "outline 15-144");
  for (int row = 24; row <= 151; ++row) e.PaintSpans(row, "outline 15, label 16-143, outline 144");
  for (int row = 163; row <= 194; ++row) e.PaintSpans(row, "title 15-144");

  const Px text = kColours.at("text");
  e.PaintColumns(187,
                 "18-20, 22-24, 27-28, 31-32, 38-40, 47-48, 50-52, 54-56, 58-60, 62-64, "
                 "66-68, 70-71, 75-76, 78-80",
                 text);
  e.PaintColumns(188,
                 "18, 20, 23, 26, 30, 32, 38, 40, 46, 50, 52, 54, 56, 59, 62, 64, 67, 70, "
                 "72, 74, 78",
                 text);
  e.PaintColumns(189,
                 "18-20, 23, 26, 30, 32, 34-36, 38-40, 46, 50-52, 54-55, 59, 62-63, 67, 70, "
                 "72, 74, 78-79",
                 text);
  e.PaintColumns(190,
                 "18, 23, 26, 30, 32, 38, 40, 46, 50, 52, 54, 56, 59, 62, 64, 67, 70, 72, 74, "
                 "76, 78",
                 text);
  e.PaintColumns(191,
                 "18, 22-24, 27-28, 30-31, 38-40, 47-48, 50, 52, 54, 56, 59, 62, 64, 66-68, "
                 "70-72, 74-76, 78-80",
                 text);

  const Px logo = kColours.at("logo");
  e.PaintColumns(10, "16-19, 21-24, 27-29, 32-35, 41-44", logo);
  e.PaintColumns(11, "15-16, 18-19, 22-23, 26-27, 31-32, 34-35, 41, 44", logo);
  e.PaintColumns(12, "15-19, 22-23, 26-27, 31-32, 34-35, 37-38, 40-44", logo);
  e.PaintColumns(13, "15-16, 22-23, 26-27, 31-32, 34-35, 40-41, 44", logo);
  e.PaintColumns(14, "15-16, 21-24, 26-29, 31-34, 40-44", logo);

  struct Dot {
    int x, y;
    Px colour;
  };
  for (const Dot& d :
       {Dot{47, 6, {252, 0, 76, 252}}, Dot{46, 7, {252, 152, 0, 252}}, Dot{47, 7, logo},
        Dot{48, 7, {252, 204, 188, 252}}, Dot{45, 8, {252, 228, 36, 252}}, Dot{46, 8, logo},
        Dot{47, 8, logo}, Dot{48, 8, logo}, Dot{49, 8, {252, 116, 168, 252}},
        Dot{46, 9, {0, 224, 48, 252}}, Dot{47, 9, logo}, Dot{48, 9, {132, 112, 168, 252}},
        Dot{47, 10, {40, 172, 252, 252}}}) {
    e.Paint(d.y, d.x, d.x, d.colour);
  }
  // The address line may hold text or nothing: it is fixed only to those two colours.
  for (int row = 10; row <= 14; ++row)
    for (int x = 94; x <= 144; ++x) e.fixed[row][x] = false;
  return e;
}

Px UpperAt(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Row(y) + x * 4;
  return {p[0] & 0xFC, p[1] & 0xFC, p[2] & 0xFC, p[3] & 0xFC};
}

TEST(CartTemplate, MatchesTheLayoutPixelForPixel) {
  ImagePtr image = CreateTemplateCartImage();
  ASSERT_TRUE(image);
  ASSERT_TRUE(IsCartImageShape(*image));
  const Expected expected = LayoutOfTheTables();
  for (int y = 0; y < 205; ++y) {
    for (int x = 0; x < 160; ++x) {
      const Px got = UpperAt(*image, x, y);
      if (expected.fixed[y][x]) {
        ASSERT_EQ(got, expected.px[y][x]) << "at " << x << "," << y;
      } else {
        ASSERT_TRUE(got == kColours.at("body") || got == kColours.at("address"))
            << "at " << x << "," << y;
      }
    }
  }
  // Every pixel is fixed by some row of the layout, apart from the address line.
  int unfixed = 0;
  for (const auto& row : expected.fixed)
    for (bool fixed : row) unfixed += !fixed;
  EXPECT_EQ(unfixed, 5 * 51);
}

TEST(CartTemplate, IsAnEightBitRgbaPngWithoutInterlace) {
  const std::string bytes =
      testing::ReadTestFile(std::string(BRASSWICK_SOURCE_DIR) + "/src/cart/cart_template.png");
  ASSERT_GE(bytes.size(), 33u);
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(bytes.substr(16, 8), std::string("\0\0\0\xA0\0\0\0\xCD", 8));  // 160 x 205
  EXPECT_EQ(bytes[24], 8);                                                 // bit depth
  EXPECT_EQ(bytes[25], 6);                                                 // RGBA
  EXPECT_EQ(bytes[28], 0);                                                 // no interlace
}

TEST(CartTemplate, TheToolDrawsTheSamePictureAgain) {
  testing::TempDir dir;
  const std::string out = dir.File("template.png");
  ASSERT_EQ(std::system((std::string(BRASSWICK_CART_TEMPLATE_TOOL) + " " + out).c_str()), 0);
  ImagePtr drawn = LoadImageFile(out);
  ImagePtr built_in = CreateTemplateCartImage();
  ASSERT_TRUE(drawn);
  ASSERT_TRUE(built_in);
  ASSERT_EQ(drawn->width(), built_in->width());
  ASSERT_EQ(drawn->height(), built_in->height());
  ASSERT_EQ(drawn->channels(), built_in->channels());
  for (int y = 0; y < drawn->height(); ++y) {
    ASSERT_TRUE(std::equal(drawn->Row(y), drawn->Row(y) + drawn->width() * drawn->channels(),
                           built_in->Row(y)))
        << "row " << y << ": run " << BRASSWICK_CART_TEMPLATE_TOOL << " src/cart/cart_template.png";
  }
}

}  // namespace
}  // namespace brasswick
