// The exports on the three forms of one cartridge: the .p8 text, a .p8.png picture
// carrying the same memory, and an exported player (page and script). The picture and
// the player are written here from the memory layout, not by the program, so a form
// that reads a byte from the wrong place gives a different file.
#include <sys/stat.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/cart_picture.h"
#include "gtest/gtest.h"
#include "player_page.h"
#include "runtime/image/image.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::CartPictures;
using testing::FolderNames;
using testing::kPayloadSize;
using testing::kStandardPalette;
using testing::PageImage;
using testing::PathExists;
using testing::PlayerPageText;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::TestBase64;
using testing::WriteTestFile;

// The label drawn in its 32 colours, as a 128 x 128 RGB picture.
ImagePtr LabelPicture(const CartPictures& pictures) {
  ImagePtr image = CreateImage(128, 128, 24);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const auto rgb = testing::LabelRgb(pictures.label[y][x]);
      uint8_t* p = image->Row(y) + x * 3;
      p[0] = static_cast<uint8_t>(rgb.r);
      p[1] = static_cast<uint8_t>(rgb.g);
      p[2] = static_cast<uint8_t>(rgb.b);
    }
  }
  return image;
}

std::string PngBase64(const RgbaImage& image) {
  std::optional<std::vector<uint8_t>> png = EncodeImageToMemory(image, ImageFormat::kPng);
  return png ? TestBase64(*png) : std::string();
}

ImagePtr Filled(int width, int height, uint8_t value) {
  ImagePtr image = CreateImage(width, height, 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width * 3; ++x) image->Row(y)[x] = value;
  }
  return image;
}

std::string ScriptOf(const std::vector<uint8_t>& memory) {
  std::string script = "var _cartname=['game.p8'];\nvar _cartdat=[";
  for (size_t i = 0; i < memory.size(); ++i) {
    if (i > 0) script += (i % 32 == 0) ? ",\n" : ",";
    script += std::to_string(memory[i]);
  }
  return script + "];\nvar _after=[1,2];\n";
}

struct Form {
  const char* name;
  const char* file;
};
// The text first: the other forms are compared with it.
constexpr Form kForms[] = {
    {"p8", "game.p8"}, {"png", "game.p8.png"}, {"page", "game.html"}, {"script", "game.js"}};

class ExportFormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pictures_.Randomize(1216);
    // The label in all 32 colours the console draws labels with.
    std::mt19937 random(32);
    for (auto& row : pictures_.label) {
      for (int& color : row) color = static_cast<int>(random() % 32);
    }
    memory_ = pictures_.Memory(7);
    WriteTestFile(dir_.File("game.p8"), pictures_.ToP8());

    CartPicture picture = CartPicture::Template();
    ASSERT_FALSE(picture.pixels.empty());
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const auto rgb = testing::LabelRgb(pictures_.label[y][x]);
        picture.At(16 + x, 24 + y) = {rgb.r, rgb.g, rgb.b, 255};
      }
    }
    picture.WritePayload(memory_);
    ASSERT_TRUE(picture.Save(dir_.File("game.p8.png")));

    // An undecodable picture and a larger one come before the label, another 128 x 128
    // picture after it: only the first of that size is the label.
    ImagePtr label = LabelPicture(pictures_);
    const std::vector<PageImage> images = {{"png", "AAAA"},
                                           {"png", PngBase64(*Filled(200, 128, 0x77))},
                                           {"png", PngBase64(*label)},
                                           {"png", PngBase64(*Filled(128, 128, 0xFF))}};
    WriteTestFile(dir_.File("game.html"), PlayerPageText(images));
    WriteTestFile(dir_.File("game.js"), ScriptOf(memory_));
  }

  std::string Out(const Form& form, const std::string& name) const {
    return dir_.File(std::string(form.name) + "-" + name);
  }

  TempDir dir_;
  CartPictures pictures_;
  std::vector<uint8_t> memory_;
};

// Every export with its selections, each with the same palette switches.
struct ExportCase {
  const char* command;
  const char* output;
  std::vector<std::string> switches;
};
const ExportCase kCases[] = {
    {"sheet", "sheet.png", {}},
    {"sheet", "half.png", {"--half"}},
    {"sheet", "sub.bmp", {"--sub", "17", "2", "1.5"}},
    {"map", "map.png", {}},
    {"map", "maphalf.png", {"--half"}},
    {"map", "cells.png", {"--cells", "1.5", "40", "2", "2"}},
    {"label", "label.png", {"--scale", "2"}},
    // The sheet above is compared whole; these sprites take the slicing to its edges
    // and both halves without writing 256 files a form.
    {"sprites", "sprites/s%3d.png", {"--numbers", "0,1,15,16,127,128,254,255"}},
};

class ExportFormsPalette : public ExportFormsTest,
                           public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(ExportFormsPalette, EveryFormGivesTheTextFormsFiles) {
  for (const Form& form : kForms) mkdir(Out(form, "sprites").c_str(), 0755);
  for (const ExportCase& c : kCases) {
    for (const Form& form : kForms) {
      std::vector<std::string> words = {c.command, dir_.File(form.file), Out(form, c.output)};
      words.insert(words.end(), c.switches.begin(), c.switches.end());
      words.insert(words.end(), GetParam().begin(), GetParam().end());
      ProcessResult result = RunBrasswick(words);
      ASSERT_EQ(result.exit_code, 0) << c.command << " " << form.name << ": " << result.err;
      EXPECT_EQ(result.err, "");
    }
  }
  for (const ExportCase& c : kCases) {
    if (std::string(c.command) == "sprites") continue;
    const std::string text_form = ReadTestFile(Out(kForms[0], c.output));
    ASSERT_FALSE(text_form.empty()) << c.output;
    for (const Form& form : kForms) {
      EXPECT_TRUE(ReadTestFile(Out(form, c.output)) == text_form) << c.output << " " << form.name;
    }
  }
  const std::set<std::string> sprites = FolderNames(Out(kForms[0], "sprites"));
  ASSERT_EQ(sprites.size(), 8u);
  for (const Form& form : kForms) {
    ASSERT_EQ(FolderNames(Out(form, "sprites")), sprites) << form.name;
    for (const std::string& name : sprites) {
      const std::string sprite = "sprites/" + name;
      ASSERT_TRUE(ReadTestFile(Out(form, sprite)) == ReadTestFile(Out(kForms[0], sprite)))
          << sprite << " " << form.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, ExportFormsPalette,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--alternate"},
                      std::vector<std::string>{"--palette", "#102030,red,3,navy,9"},
                      std::vector<std::string>{"--transparent", "0"},
                      std::vector<std::string>{"--alternate", "--transparent", "12"}));

// The byte-for-byte comparison above would pass if every form were wrong the same way:
// one sheet from the picture is checked against the pixels it was made from.
TEST_F(ExportFormsTest, ThePicturesSheetShowsItsMemory) {
  ASSERT_EQ(RunBrasswick({"sheet", dir_.File("game.p8.png"), "check.png"}).exit_code, 0);
  ImagePtr sheet = LoadImageFile(dir_.File("check.png"));
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->width(), 128);
  ASSERT_EQ(sheet->height(), 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const auto& want = kStandardPalette[pictures_.SheetPixel(x, y)];
      const uint8_t* p = sheet->Row(y) + x * sheet->channels();
      ASSERT_TRUE(p[0] == want.r && p[1] == want.g && p[2] == want.b) << x << ", " << y;
    }
  }
}

// Colours 16-31 of a label are the alternate palette's, whatever the palette switches
// do to 0-15; the forms are compared with this one above.
TEST_F(ExportFormsTest, TheLabelShowsItsThirtyTwoColours) {
  ASSERT_EQ(RunBrasswick({"label", dir_.File("game.p8"), "check.png", "--transparent", "0",
                          "--palette", "#102030,#405060"})
                .exit_code,
            0);
  ImagePtr label = LoadImageFile(dir_.File("check.png"));
  ASSERT_TRUE(label);
  ASSERT_EQ(label->channels(), 4);
  int seen_alternate = 0;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const int color = pictures_.label[y][x];
      testing::Rgb want = testing::LabelRgb(color);
      if (color == 0) want = {0, 0, 0};
      if (color == 1) want = {0x40, 0x50, 0x60};
      const int alpha = color == 0 ? 0 : 255;
      seen_alternate += color >= 16;
      const uint8_t* p = label->Row(y) + x * 4;
      ASSERT_TRUE(p[0] == want.r && p[1] == want.g && p[2] == want.b && p[3] == alpha)
          << x << ", " << y << " colour " << color;
    }
  }
  EXPECT_GT(seen_alternate, 0);
}

// A single-file player carries its list in its own page: the page is read for both, and
// a page of another game beside it is not taken for its page.
TEST_F(ExportFormsTest, ASingleFilePlayerIsItsOwnPage) {
  std::string page = ReadTestFile(dir_.File("game.html"));
  page.insert(page.find("</body>"), "<script>" + ScriptOf(memory_) + "</script>");
  WriteTestFile(dir_.File("single.html"), page);
  WriteTestFile(dir_.File("index.html"),
                PlayerPageText({{"png", PngBase64(*Filled(128, 128, 0xFF))}}));
  for (const char* command : {"label", "sheet"}) {
    ASSERT_EQ(RunBrasswick({command, dir_.File("game.p8"), dir_.File("want.png")}).exit_code, 0);
    ProcessResult result = RunBrasswick({command, dir_.File("single.html"), dir_.File("got.png")});
    ASSERT_EQ(result.exit_code, 0) << command << ": " << result.err;
    EXPECT_TRUE(ReadTestFile(dir_.File("got.png")) == ReadTestFile(dir_.File("want.png")))
        << command;
  }
}

// The window's low two bits carry the payload, so only the upper six tell its colour:
// (4, 100, 0) is nearest the alternate palette's colour 0, but with its payload bits
// all set, (7, 103, 3), it would be nearest the standard colour 3.
TEST_F(ExportFormsTest, TheLabelWindowIsReadByItsUpperSixBits) {
  CartPicture picture = CartPicture::Template();
  picture.At(16, 24) = {4, 100, 0, 252};
  std::vector<uint8_t> memory = memory_;
  memory[24 * 160 + 16] = 0xFF;
  picture.WritePayload(memory);
  ASSERT_TRUE(picture.Save(dir_.File("window.p8.png")));
  ASSERT_EQ(RunBrasswick({"label", dir_.File("window.p8.png"), dir_.File("w.png")}).exit_code, 0);
  ImagePtr label = LoadImageFile(dir_.File("w.png"));
  ASSERT_TRUE(label);
  const uint8_t* p = label->Row(0);
  const testing::Rgb want = testing::kAlternatePalette[0];
  EXPECT_TRUE(p[0] == want.r && p[1] == want.g && p[2] == want.b)
      << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
}

// A page whose very first picture is its label.
TEST_F(ExportFormsTest, APagesFirstPictureCanBeItsLabel) {
  WriteTestFile(dir_.File("first.html"),
                PlayerPageText({{"png", PngBase64(*LabelPicture(pictures_))}}));
  WriteTestFile(dir_.File("first.js"), ScriptOf(memory_));
  ASSERT_EQ(RunBrasswick({"label", dir_.File("game.p8"), dir_.File("want.png")}).exit_code, 0);
  ProcessResult result = RunBrasswick({"label", dir_.File("first.html"), dir_.File("got.png")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(ReadTestFile(dir_.File("got.png")) == ReadTestFile(dir_.File("want.png")));
}

TEST_F(ExportFormsTest, OutputsAreNamedAfterTheInputWithoutItsCartridgeExtension) {
  WriteTestFile(dir_.File("Shout.P8.PNG"), ReadTestFile(dir_.File("game.p8.png")));
  WriteTestFile(dir_.File("plain.png"), ReadTestFile(dir_.File("game.p8.png")));
  const struct {
    std::vector<std::string> words;
    const char* written;
  } cases[] = {
      {{"sheet", dir_.File("game.p8.png")}, "game.spritesheet.png"},
      {{"map", dir_.File("Shout.P8.PNG")}, "Shout.map.png"},
      {{"label", dir_.File("plain.png")}, "plain.label.png"},
      {{"label", dir_.File("game.html")}, "game.label.png"},
      {{"map", dir_.File("game.js"), "--half"}, "game.map.png"},
      {{"sprites", dir_.File("game.p8.png"), "--numbers", "3"}, "game.sprite.03.png"},
  };
  for (const auto& c : cases) {
    ProcessResult result = RunBrasswick(c.words);
    EXPECT_EQ(result.exit_code, 0) << c.written << ": " << result.err;
    EXPECT_TRUE(PathExists(dir_.File(c.written))) << c.written;
  }
  EXPECT_FALSE(PathExists(dir_.File("game.p8.spritesheet.png")));
}

TEST_F(ExportFormsTest, NoExportWritesOverAFileItReads) {
  const std::string picture = ReadTestFile(dir_.File("game.p8.png"));
  const std::string page = ReadTestFile(dir_.File("game.html"));
  const std::string script = ReadTestFile(dir_.File("game.js"));
  const std::vector<std::vector<std::string>> runs = {
      {"sheet", dir_.File("game.p8.png"), dir_.File("game.p8.png")},
      {"sprites", dir_.File("game.p8.png"), dir_.File("game.p8.png"), "--numbers", "4"},
      {"map", dir_.File("game.html"), dir_.File("game.html")},
      {"map", dir_.File("game.html"), dir_.File("game.js")},  // the page's script
      {"sprites", dir_.File("game.js"), dir_.File("game.js"), "--numbers", "4"},
      {"label", dir_.File("game.js"), dir_.File("game.html")},  // the script's page
  };
  for (const std::vector<std::string>& words : runs) {
    ProcessResult result = RunBrasswick(words);
    EXPECT_EQ(result.exit_code, 131) << words[0] << " " << words[2];
    EXPECT_EQ(result.err, "Output file is the input cartridge:\n" + words[2] + "\n");
  }
  EXPECT_TRUE(ReadTestFile(dir_.File("game.p8.png")) == picture);
  EXPECT_TRUE(ReadTestFile(dir_.File("game.html")) == page);
  EXPECT_TRUE(ReadTestFile(dir_.File("game.js")) == script);
}

TEST_F(ExportFormsTest, AnAllZeroPayloadGivesAnAllBlackSheet) {
  CartPicture picture = CartPicture::Template();
  picture.WritePayload(std::vector<uint8_t>(kPayloadSize, 0));
  ASSERT_TRUE(picture.Save(dir_.File("zero.p8.png")));
  ProcessResult result = RunBrasswick({"sheet", dir_.File("zero.p8.png")});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  ImagePtr sheet = LoadImageFile(dir_.File("zero.spritesheet.png"));
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->width(), 128);
  ASSERT_EQ(sheet->height(), 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128 * sheet->channels(); ++x) {
      const int want = (sheet->channels() == 4 && x % 4 == 3) ? 255 : 0;
      ASSERT_EQ(sheet->Row(y)[x], want) << x << ", " << y;
    }
  }
}

TEST_F(ExportFormsTest, WhatIsNoCartridgeStillFailsToLoad) {
  ImagePtr rgb = Filled(160, 205, 0x40);  // the cartridge's size without alpha
  ASSERT_TRUE(SaveImageFile(*rgb, dir_.File("rgb.png"), ImageFormat::kPng, kDefaultQuality, 24));
  ASSERT_TRUE(SaveImageFile(*Filled(64, 64, 1), dir_.File("small.png"), ImageFormat::kPng,
                            kDefaultQuality, 24));
  WriteTestFile(dir_.File("page.html"), "<html><body><div id=\"p8_playarea\"></div></body>");
  WriteTestFile(dir_.File("cut.js"), "var _cartdat=[1,2,3");
  for (const char* name : {"rgb.png", "small.png", "page.html", "cut.js"}) {
    for (const char* command : {"sheet", "label", "sprites"}) {
      ProcessResult result = RunBrasswick({command, dir_.File(name)});
      EXPECT_EQ(result.exit_code, 129) << command << " " << name;
      EXPECT_EQ(result.err, "Failed to load p8 file:\n" + dir_.File(name) + "\n");
    }
  }
  EXPECT_EQ(FolderNames(dir_.path()).size(), 8u);  // nothing written
}

TEST_F(ExportFormsTest, APlayerWithoutALabelPictureHasNoLabel) {
  const std::vector<PageImage> no_label = {{"png", PngBase64(*Filled(64, 64, 9))}};
  WriteTestFile(dir_.File("bare.html"), PlayerPageText(no_label));
  WriteTestFile(dir_.File("bare.js"), ScriptOf(memory_));
  WriteTestFile(dir_.File("alone.js"), ScriptOf(memory_));  // no page beside it
  for (const char* name : {"bare.html", "bare.js", "alone.js"}) {
    ProcessResult result = RunBrasswick({"label", dir_.File(name), dir_.File("l.png")});
    EXPECT_EQ(result.exit_code, 138) << name;
    EXPECT_EQ(result.err, "P8 file does not have a 'label' section\n") << name;
  }
  EXPECT_FALSE(PathExists(dir_.File("l.png")));
  // The sheet needs no label.
  EXPECT_EQ(RunBrasswick({"sheet", dir_.File("alone.js"), dir_.File("s.png")}).exit_code, 0);
}

}  // namespace
}  // namespace brasswick
