#include "color/palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "color/color_text.h"
#include "color/css_color_names.h"
#include "color/palette_rows.h"

namespace brasswick {
namespace {

using testing::kAlternate;
using testing::kStandard;
using testing::Rgb;

class PaletteTest : public ::testing::Test {
 protected:
  void SetUp() override { InitPalettes(); }
  void TearDown() override { InitPalettes(); }
};

TEST_F(PaletteTest, TableRowsAndSelection) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(PaletteColor(i, kStandardRow), Rgb(kStandard[i])) << i;
    EXPECT_EQ(PaletteColor(i, kAlternateRow), Rgb(kAlternate[i])) << i;
  }
  EXPECT_EQ(ActivePaletteRow(), kStandardRow);
  EXPECT_EQ(SelectPaletteRow(kAlternateRow), kStandardRow);
  EXPECT_EQ(PaletteColor(7), Rgb(0xF3EF7D));
  EXPECT_EQ(SelectPaletteRow(5), kAlternateRow);
  EXPECT_EQ(ActivePaletteRow(), kAlternateRow);
  EXPECT_EQ(PaletteColor(16), kNoColor);
  EXPECT_EQ(PaletteColor(-1), kNoColor);
  EXPECT_EQ(PaletteColor(0, 3), kNoColor);
}

TEST_F(PaletteTest, CustomColorsLoseAlphaAndSelectTheCustomRow) {
  SetCustomColor(3, MakeColor(1, 2, 3, 200));
  EXPECT_EQ(ActivePaletteRow(), kCustomRow);
  EXPECT_EQ(PaletteColor(3), MakeColor(1, 2, 3));
  SetCustomColor(4, kNoColor);
  EXPECT_EQ(PaletteColor(4), Rgb(0xFFFFFF));
  InitPalettes();
  EXPECT_EQ(ActivePaletteRow(), kStandardRow);
}

TEST_F(PaletteTest, ColorSpecForms) {
  const ColorValue red = Rgb(0xFF0000);
  EXPECT_EQ(ColorFromSpec("#f00"), red);
  EXPECT_EQ(ColorFromSpec("#FF0000"), red);
  EXPECT_EQ(ColorFromSpec("red"), red);
  EXPECT_EQ(ColorFromSpec("'red'"), red);
  EXPECT_EQ(ColorFromSpec("\"red\""), red);
  EXPECT_EQ(ColorFromSpec("#12345"), MakeColor(0x01, 0x23, 0x45));
  EXPECT_EQ(ColorFromSpec("#FF"), Rgb(0x0000FF));
  EXPECT_EQ(ColorFromSpec("#80102030"), MakeColor(0x10, 0x20, 0x30, 0x80));
  EXPECT_EQ(ColorFromSpec("#1g0"), MakeColor(0x11, 0x00, 0x00));  // short form: g reads 0
  EXPECT_EQ(ColorFromSpec("#12x456"), MakeColor(0, 0, 0x12));     // digits up to the x
  EXPECT_EQ(ColorFromSpec("#"), 0);
  // "$" keeps the number as it is: red in the lowest byte.
  EXPECT_EQ(ColorFromSpec("$0000ff"), red);
  EXPECT_EQ(ColorFromSpec("$ff0000"), Rgb(0x0000FF));

  EXPECT_EQ(ColorFromSpec("128"), Rgb(0x291814));
  EXPECT_EQ(ColorFromSpec("143"), Rgb(0xFF9D81));
  EXPECT_EQ(ColorFromSpec("15"), Rgb(0xFFCCAA));
  EXPECT_EQ(ColorFromSpec("0"), Rgb(0x000000));
  EXPECT_EQ(ColorFromSpec("007"), Rgb(0xFFF1E8));
  EXPECT_EQ(ColorFromSpec("16"), kNoColor);
  EXPECT_EQ(ColorFromSpec("127"), kNoColor);
  EXPECT_EQ(ColorFromSpec("144"), kNoColor);
  EXPECT_EQ(ColorFromSpec("99999999999999999999999999"), kNoColor);
  EXPECT_EQ(ColorFromSpec(" 8"), kNoColor);  // blanks belong to the colour text
  EXPECT_EQ(ColorFromSpec("-1"), kNoColor);
  EXPECT_EQ(ColorFromSpec("\""), kNoColor);
  EXPECT_EQ(ColorFromSpec(""), kNoColor);
}

TEST_F(PaletteTest, CssNames) {
  EXPECT_EQ(ColorFromSpec("Dark Slate Gray"), Rgb(0x2F4F4F));
  EXPECT_EQ(ColorFromSpec("darkslategrey"), Rgb(0x2F4F4F));
  EXPECT_EQ(ColorFromSpec("Alice Blue"), Rgb(0xF0F8FF));
  EXPECT_EQ(ColorFromSpec("alice-blue"), Rgb(0xF0F8FF));
  EXPECT_EQ(ColorFromSpec("ALICEBLUE"), Rgb(0xF0F8FF));
  EXPECT_EQ(LookupCssColorName("RebeccaPurple"), Rgb(0x663399));
  EXPECT_EQ(LookupCssColorName("grey"), Rgb(0x808080));
  EXPECT_EQ(LookupCssColorName("gray"), Rgb(0x808080));
  EXPECT_EQ(LookupCssColorName("yellowgreen"), Rgb(0x9ACD32));
  EXPECT_EQ(LookupCssColorName("transparent"), kNoColor);
  EXPECT_EQ(LookupCssColorName("notacolor"), kNoColor);
}

TEST_F(PaletteTest, EmbeddedColorNameText) {
  const std::string text(reinterpret_cast<const char*>(kCssColorNamesJson),
                         kCssColorNamesJson_size);
  EXPECT_EQ(text.size(), 3991u);
  ASSERT_GE(text.size(), 6u);
  EXPECT_EQ(text.substr(0, 3), "{\r\n");
  EXPECT_EQ(text.substr(text.size() - 3), "}\r\n");
  // One member a line, every line ending in CR LF: 148 members and the two braces.
  std::size_t breaks = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos;
       at = text.find("\r\n", at + 2)) {
    ++breaks;
  }
  EXPECT_EQ(breaks, 150u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 150);
  EXPECT_NE(text.find("\r\n  \"aliceblue\": \"#f0f8ff\",\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n  \"yellowgreen\": \"#9acd32\"\r\n}"), std::string::npos);

  LoadCssColorNames();
  const std::vector<CssColorName>& names = CssColorNames();
  ASSERT_EQ(names.size(), 148u);
  EXPECT_EQ(names.front().name, "aliceblue");
  EXPECT_EQ(names.back().name, "yellowgreen");
  EXPECT_EQ(names.back().color, Rgb(0x9ACD32));
}

}  // namespace
}  // namespace brasswick
