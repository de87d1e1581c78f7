#include "cart/cart_title.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cart/cart_font.h"
#include "cart/cart_image.h"

namespace brasswick {
namespace {

// Some glyphs as the font tables give them: column bytes, bit r is row r.
const std::map<int, std::vector<int>> kGlyphs = {
    {16, {0x1f, 0x1f, 0x1f}},
    {32, {0x00, 0x00, 0x00}},
    {65, {0x1c, 0x0a, 0x1e}},  // "A": the small capital
    {97, {0x1f, 0x05, 0x1f}},  // "a": the full-height capital
    {104, {0x1f, 0x04, 0x1f}},
    {127, {0x04, 0x0a, 0x04}},
    {128, {0x1f, 0x1f, 0x1f, 0x1f, 0x1f, 0x1f, 0x1f}},
    {201, {0x04, 0x0e, 0x14, 0x06, 0x0c, 0x00, 0x00}},
    {255, {0x04, 0x04, 0x08, 0x11, 0x02, 0x04, 0x04}},
};

// Plots the glyphs of codes at their advances from x, as the font's rules say.
using Bitmap = std::vector<std::vector<bool>>;
Bitmap Expect(int width, int x, const std::vector<int>& codes) {
  Bitmap bitmap(5, std::vector<bool>(width, false));
  for (int code : codes) {
    const std::vector<int>& glyph = kGlyphs.at(code);
    for (size_t column = 0; column < glyph.size(); ++column)
      for (int row = 0; row < 5; ++row)
        if (x + int(column) < width && ((glyph[column] >> row) & 1)) bitmap[row][x + column] = true;
    x += code < 128 ? 4 : 8;
  }
  return bitmap;
}

Bitmap Drawn(const std::u16string& text, int width, int x) {
  ImagePtr image = CreateImage(width, 7, 32);
  ImageDrawing drawing(*image);
  DrawCartText(drawing, x, 1, text, MakeColor(255, 255, 255));
  Bitmap bitmap(5, std::vector<bool>(width, false));
  for (int y = 0; y < 7; ++y) {
    for (int column = 0; column < width; ++column) {
      const bool lit = image->Row(y)[column * 4] == 255;
      if (y == 0 || y == 6) {
        EXPECT_FALSE(lit) << "outside the glyph rows at " << column << "," << y;
      } else {
        bitmap[y - 1][column] = lit;
      }
    }
  }
  return bitmap;
}

TEST(CartFont, DrawsGlyphsAtTheirAdvances) {
  struct Case {
    std::u16string text;
    std::vector<int> codes;
  };
  const std::vector<Case> cases = {
      {u"aA", {65, 97}},         // letters take the other case's glyph
      {u"\u00C9H", {201, 104}},  // wide glyphs advance 8
      {u"\x10\x7F\u0080\u00FF", {16, 127, 128, 255}},
      {u"H\t\x0F\u20AC\u0100\U0001F600 H", {104, 32, 104}},  // no glyph, no room
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Drawn(c.text, 40, 2), Expect(40, 2, c.codes)) << c.codes.front();
  }
  // Narrow glyphs end at 127 and wide ones begin at 128: a wrong edge shifts every glyph.
  for (const auto& [code, width] : {std::pair{16, 3u}, {127, 3u}, {128, 7u}, {255, 7u}}) {
    EXPECT_EQ(CartGlyph(code).size(), width) << code;
  }
  EXPECT_TRUE(CartGlyph(15).empty());
  EXPECT_TRUE(CartGlyph(256).empty());
}

TEST(CartFont, TextPastTheRightEdgeIsCutOff) {
  EXPECT_EQ(Drawn(u"\u00C9\u00C9", 12, 1), Expect(12, 1, {201, 201}));
  std::u16string long_text(100000, u'H');
  EXPECT_EQ(Drawn(long_text, 12, 0), Expect(12, 0, {104, 104, 104}));
}

TEST(CartTitle, TextIsDecodedAndUpperCased) {
  const std::string numeric_locale = std::setlocale(LC_NUMERIC, nullptr);
  struct Case {
    std::string utf8;
    std::u16string text;
  };
  const std::vector<Case> cases = {
      {"Hello", u"HELLO"},
      {"\xC3\xA9t\xC3\xA9", u"\u00C9T\u00C9"},                // é
      {"\xE2\x82\xAC\t", u"\u20AC\t"},                        // € and tab stay
      {"\xF0\x9F\x98\x80", u"\U0001F600"},                    // a surrogate pair
      {"\xEF\xBF\xBF\xF0\x90\x80\x80", u"\uFFFF\U00010000"},  // either side of 16 bits
      {"a\xFF"
       "b\x80",
       u"AB"},                                        // stray bytes skipped
      {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", u""},  // overlong, surrogate, too large
      {"x\xE2\x82", u"X"},                            // cut short at the end
      {"\xC3(", u"("},
      {"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(CartTitleText(c.utf8), c.text) << c.utf8;
  EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), numeric_locale);
}

TEST(CartTitle, RedrawsBothLinesAndKeepsThePayload) {
  std::mt19937 random(1);
  ImagePtr cart = CreateTemplateCartImage();
  ASSERT_TRUE(cart);
  // Another title in the way, and a payload in every pixel.
  ImageDrawing(*cart).Box(16, 167, 128, 13, MakeColor(200, 0, 0));
  std::vector<uint8_t> payload(kCartPayloadSize);
  for (uint8_t& b : payload) b = static_cast<uint8_t>(random());
  ASSERT_TRUE(EncodeCartPixels(*cart, payload));
  ImagePtr before = CopyImage(*cart);

  ASSERT_TRUE(ApplyCartTitle(*cart, "ha", ""));
  EXPECT_EQ(DecodeCartPixels(*cart), payload);
  const Bitmap glyphs = Expect(160, 18, {104, 97});
  for (int y = 0; y < 205; ++y) {
    for (int x = 0; x < 160; ++x) {
      const uint8_t* now = cart->Row(y) + x * 4;
      const uint8_t* old = before->Row(y) + x * 4;
      const bool line1 = y >= 167 && y <= 171, line2 = y >= 175 && y <= 179;
      if (!(line1 || line2) || x < 16 || x > 143) {
        ASSERT_TRUE(std::equal(now, now + 4, old)) << x << "," << y;
        continue;
      }
      // Cleared to the colour left of the text (column 17), or the title colour.
      const uint8_t* sample = before->Row(line1 ? 167 : 175) + 17 * 4;
      const bool lit = line1 && glyphs[y - 167][x];
      const std::array<int, 3> want = lit ? std::array<int, 3>{252, 248, 240}
                                          : std::array<int, 3>{sample[0], sample[1], sample[2]};
      for (int c = 0; c < 3; ++c) ASSERT_EQ(now[c] & 0xFC, want[c] & 0xFC) << x << "," << y;
      ASSERT_EQ(now[3], old[3]);
    }
  }

  ImagePtr rgb = CreateImage(160, 205, 24);
  EXPECT_FALSE(ApplyCartTitle(*rgb, "x", "y"));
}

}  // namespace
}  // namespace brasswick
