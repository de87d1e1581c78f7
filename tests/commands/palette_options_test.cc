#include "commands/palette_options.h"

#include <gtest/gtest.h>

#include "console/console.h"
#include "color/palette.h"
#include "color/palette_rows.h"

namespace brasswick {
namespace {

using testing::kAlternate;
using testing::kStandard;
using testing::Rgb;

class PaletteOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitPalettes();
    SetExitCode(0);
  }
  void TearDown() override {
    InitPalettes();
    SetExitCode(0);
  }
};

TEST_F(PaletteOptionsTest, PaletteOptionFieldsFillTheCustomRow) {
  ASSERT_TRUE(ApplyPaletteSettings(true, "8,9", false));
  EXPECT_EQ(ActivePaletteRow(), kCustomRow);
  EXPECT_EQ(PaletteColor(0), Rgb(0xFF004D));
  EXPECT_EQ(PaletteColor(1), Rgb(0xFFA300));
  for (int i = 2; i < 16; ++i) EXPECT_EQ(PaletteColor(i), Rgb(kStandard[i])) << i;

  ASSERT_TRUE(ApplyPaletteSettings(true, "a,A,,7", false));
  EXPECT_EQ(PaletteColor(0), Rgb(kAlternate[0]));
  EXPECT_EQ(PaletteColor(1), Rgb(kAlternate[1]));
  EXPECT_EQ(PaletteColor(2), Rgb(kStandard[2]));
  EXPECT_EQ(PaletteColor(3), Rgb(kStandard[7]));
  for (int i = 4; i < 16; ++i) EXPECT_EQ(PaletteColor(i), Rgb(kStandard[i])) << i;

  // " 8" is neither digits nor a name: white. "x" is a single non-digit: standard.
  ASSERT_TRUE(ApplyPaletteSettings(true, "0, 8,x,#0000ff,$0000ff,red,128", false));
  EXPECT_EQ(PaletteColor(0), Rgb(kStandard[0]));
  EXPECT_EQ(PaletteColor(1), Rgb(0xFFFFFF));
  EXPECT_EQ(PaletteColor(2), Rgb(kStandard[2]));
  EXPECT_EQ(PaletteColor(3), Rgb(0x0000FF));
  EXPECT_EQ(PaletteColor(4), Rgb(0xFF0000));
  EXPECT_EQ(PaletteColor(5), Rgb(0xFF0000));
  EXPECT_EQ(PaletteColor(6), Rgb(0x291814));
  EXPECT_EQ(ExitCode(), 0);
}

TEST_F(PaletteOptionsTest, AtMostSixteenPaletteFields) {
  ASSERT_TRUE(ApplyPaletteSettings(true, "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,2", false));
  EXPECT_EQ(PaletteColor(0), Rgb(kStandard[1]));
  EXPECT_EQ(PaletteColor(15), Rgb(kStandard[2]));

  SelectPaletteRow(kAlternateRow);
  EXPECT_FALSE(ApplyPaletteSettings(true, "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1", false));
  EXPECT_EQ(ExitCode(), 134);
  EXPECT_EQ(ActivePaletteRow(), kAlternateRow);
}

TEST_F(PaletteOptionsTest, AlternateOrStandardWithoutPalette) {
  SelectPaletteRow(kCustomRow);
  ASSERT_TRUE(ApplyPaletteSettings(false, "", true));
  EXPECT_EQ(ActivePaletteRow(), kAlternateRow);
  ASSERT_TRUE(ApplyPaletteSettings(false, "", false));
  EXPECT_EQ(ActivePaletteRow(), kStandardRow);
  // An empty palette value still fills the custom row, with the standard colours.
  ASSERT_TRUE(ApplyPaletteSettings(true, "", false));
  EXPECT_EQ(ActivePaletteRow(), kCustomRow);
  EXPECT_EQ(PaletteColor(9), Rgb(kStandard[9]));
}

}  // namespace
}  // namespace brasswick
