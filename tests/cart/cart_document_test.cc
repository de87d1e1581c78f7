#include "cart/cart_document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>

#include "test_support.h"

namespace brasswick {
namespace {

using namespace std::string_literals;
using testing::ReadTestFile;
using testing::TempDir;
using testing::WriteTestFile;

std::optional<CartDocument> LoadText(const TempDir& dir, const std::string& text) {
  std::string path = dir.File("cart.p8");
  WriteTestFile(path, text);
  return LoadCartDocument(path);
}

// Loads, saves to a second file and gives what was written.
std::string RoundTrip(const TempDir& dir, const std::string& text) {
  std::optional<CartDocument> document = LoadText(dir, text);
  if (!document) return "<not loaded>";
  std::string out = dir.File("out.p8");
  if (!SaveCartDocument(*document, out)) return "<not saved>";
  return ReadTestFile(out);
}

TEST(CartDocument, SplitsSectionsInFileOrder) {
  TempDir dir;
  auto document = LoadText(dir,
                           "pico-8 cartridge // x\nversion 41\n__lua__\nprint(1)\n\n"
                           "__gfx__\n0123\n__label__\n");
  ASSERT_TRUE(document);
  ASSERT_EQ(document->sections.size(), 4u);
  EXPECT_EQ(document->sections[0].name, "");
  EXPECT_EQ(document->sections[0].lines,
            (std::vector<std::string>{"pico-8 cartridge // x", "version 41"}));
  EXPECT_EQ(document->sections[1].name, "__lua__");
  EXPECT_EQ(document->sections[1].lines, (std::vector<std::string>{"print(1)", ""}));
  EXPECT_EQ(document->sections[2].name, "__gfx__");
  EXPECT_EQ(document->sections[3].name, "__label__");
  EXPECT_TRUE(document->sections[3].lines.empty());
  EXPECT_EQ(document->newline, "\n");
  EXPECT_EQ(document->path, dir.File("cart.p8"));
}

TEST(CartDocument, RoundTripsLfAndCrLfFilesByteForByte) {
  TempDir dir;
  const std::string lf = "pico-8 cartridge // x\nversion 41\n__lua__\n-- a\n\n__gfx__\n0011\n";
  EXPECT_EQ(RoundTrip(dir, lf), lf);
  const std::string crlf =
      "pico-8 cartridge // x\r\nversion 41\r\n__lua__\r\n-- a\r\n\r\n__gfx__\r\n0011\r\n";
  EXPECT_EQ(RoundTrip(dir, crlf), crlf);
}

TEST(CartDocument, NewlineIsDecidedByTheFirst128Characters) {
  TempDir dir;
  // Later CR LF breaks are written back as LF when the start of the file has none.
  const std::string head = "pico-8 cartridge" + std::string(120, 'x') + "\n";
  EXPECT_EQ(RoundTrip(dir, head + "__lua__\r\na\r\n"), head + "__lua__\na\n");

  // A CR LF whose LF is the 129th character is outside the window.
  const std::string straddling = "pico-8 cartridge" + std::string(111, 'y') + "\r\nz\r\n";
  ASSERT_EQ(straddling.find("\r\n"), 127u);
  auto document = LoadText(dir, straddling);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->newline, "\n");

  // The window starts after a byte-order mark.
  auto with_mark = LoadText(dir, "\xEF\xBB\xBF" + straddling.substr(0, 126) + "\r\nz\r\n");
  ASSERT_TRUE(with_mark);
  EXPECT_EQ(with_mark->newline, "\r\n");
}

TEST(CartDocument, MissingFinalLineBreakIsAddedOnSave) {
  TempDir dir;
  EXPECT_EQ(RoundTrip(dir, "pico-8 cartridge\n__lua__\nend"), "pico-8 cartridge\n__lua__\nend\n");
  EXPECT_EQ(RoundTrip(dir, "pico-8 cartridge"), "pico-8 cartridge\n");
}

TEST(CartDocument, KeepsByteOrderMark) {
  TempDir dir;
  const std::string text = "\xEF\xBB\xBFpico-8 cartridge\r\n__lua__\r\n";
  auto document = LoadText(dir, text);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->sections[0].lines[0], "\xEF\xBB\xBFpico-8 cartridge");
  EXPECT_EQ(RoundTrip(dir, text), text);
}

TEST(CartDocument, RejectsWhatIsNotATextCartridge) {
  TempDir dir;
  EXPECT_FALSE(LoadText(dir, "PICO-8 CARTRIDGE\n__lua__\n"));
  EXPECT_FALSE(LoadText(dir, " pico-8 cartridge\n"));
  EXPECT_FALSE(LoadText(dir, "pico-8 cart"));
  EXPECT_FALSE(LoadText(dir, ""));
  // A NUL ends the characters that are checked.
  EXPECT_FALSE(LoadText(dir, "pico-8 cart\0ridge\n"s));
  EXPECT_FALSE(LoadCartDocument(dir.File("missing.p8")));
  EXPECT_FALSE(LoadCartDocument(dir.path()));
  EXPECT_FALSE(LoadCartDocument(""));

  std::mt19937 random(7);
  std::string junk(100000, '\0');
  for (char& c : junk) c = static_cast<char>(random());
  EXPECT_FALSE(LoadText(dir, junk));
}

TEST(CartDocument, LineBreaksIncludeLoneCrAndNul) {
  TempDir dir;
  auto document = LoadText(dir, "pico-8 cartridge\0after nul\rafter cr\r\n__lua__\n\n"s);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->newline, "\n");
  EXPECT_EQ(document->sections[0].lines,
            (std::vector<std::string>{"pico-8 cartridge", "after nul", "after cr"}));
  ASSERT_EQ(document->sections.size(), 2u);
  EXPECT_EQ(document->sections[1].lines, (std::vector<std::string>{""}));
}

TEST(CartDocument, HandlesBinaryTailAndHugeLines) {
  TempDir dir;
  std::mt19937 random(11);
  std::string tail(200000, '\0');
  for (char& c : tail) {
    c = static_cast<char>(random());
    if (c == '\r') c = 'x';  // keeps the expected text simple: LF and NUL breaks only
  }
  const std::string text = "pico-8 cartridge\n" + tail;
  // Every byte comes back except that a NUL is a line break, written as LF.
  std::string expected = text;
  for (char& c : expected) {
    if (c == '\0') c = '\n';
  }
  if (expected.back() != '\n') expected += '\n';
  EXPECT_EQ(RoundTrip(dir, text), expected);

  const std::string huge = "pico-8 cartridge" + std::string(5'000'000, 'f');
  auto one_line = LoadText(dir, huge);
  ASSERT_TRUE(one_line);
  ASSERT_EQ(one_line->sections.size(), 1u);
  ASSERT_EQ(one_line->sections[0].lines.size(), 1u);
  EXPECT_EQ(one_line->sections[0].lines[0].size(), huge.size());
}

TEST(CartDocument, MarkerLinesAreAnyLineFramedByTwoUnderscores) {
  TempDir dir;
  auto document =
      LoadText(dir, "pico-8 cartridge\n__lua__\nfunction _init()\n__init__\nx=1\n__\n___\n_a_\n");
  ASSERT_TRUE(document);
  ASSERT_EQ(document->sections.size(), 5u);
  EXPECT_EQ(document->sections[1].lines, (std::vector<std::string>{"function _init()"}));
  EXPECT_EQ(document->sections[2].name, "__init__");
  EXPECT_EQ(document->sections[2].lines, (std::vector<std::string>{"x=1"}));
  EXPECT_EQ(document->sections[3].name, "__");
  EXPECT_EQ(document->sections[4].name, "___");
  EXPECT_EQ(document->sections[4].lines, (std::vector<std::string>{"_a_"}));
}

TEST(CartDocument, LookupNormalisesTheNameButMarkersMatchExactly) {
  TempDir dir;
  auto document = LoadText(dir, "pico-8 cartridge\n__GFX__\n00\n__map__\n11\n");
  ASSERT_TRUE(document);
  EXPECT_FALSE(HasSection(*document, "gfx"));
  EXPECT_FALSE(HasSection(*document, "__GFX__"));
  for (const char* name : {"map", "__map", "map__", "MAP", "__map__"}) {
    CartSection* section = FindSection(*document, name);
    ASSERT_NE(section, nullptr) << name;
    EXPECT_EQ(section->lines, (std::vector<std::string>{"11"}));
  }
  EXPECT_EQ(FindSection(*document, ""), &document->sections[0]);
  EXPECT_EQ(NormalizeSectionName("Sfx"), "__sfx__");
}

TEST(CartDocument, DuplicateSectionsActOnTheFirst) {
  TempDir dir;
  auto document = LoadText(dir, "pico-8 cartridge\n__sfx__\na\n__sfx__\nb\n");
  ASSERT_TRUE(document);
  EXPECT_EQ(FindSection(*document, "sfx")->lines[0], "a");
  EXPECT_TRUE(ClearSection(*document, "sfx"));
  EXPECT_TRUE(document->sections[1].lines.empty());
  EXPECT_EQ(document->sections[2].lines, (std::vector<std::string>{"b"}));
  EXPECT_TRUE(DeleteSection(*document, "sfx"));
  ASSERT_EQ(document->sections.size(), 2u);
  EXPECT_EQ(FindSection(*document, "sfx")->lines[0], "b");
}

TEST(CartDocument, ClearDeleteAndCreate) {
  TempDir dir;
  auto document = LoadText(dir, "pico-8 cartridge\r\n__lua__\r\nx\r\n__sfx__\r\n01\r\n");
  ASSERT_TRUE(document);
  EXPECT_FALSE(ClearSection(*document, ""));
  EXPECT_FALSE(DeleteSection(*document, ""));
  EXPECT_FALSE(ClearSection(*document, "map"));
  EXPECT_FALSE(DeleteSection(*document, "map"));
  EXPECT_EQ(FindSection(*document, "map", false), nullptr);

  EXPECT_TRUE(ClearSection(*document, "sfx"));
  EXPECT_TRUE(DeleteSection(*document, "lua"));
  CartSection* sfx = FindSection(*document, "sfx");
  CartSection* created = FindSection(*document, "Label", true);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->name, "__label__");
  EXPECT_EQ(FindSection(*document, "label", true), created);
  // Appending a section leaves earlier pointers usable.
  EXPECT_EQ(sfx->name, "__sfx__");
  std::string out = dir.File("edited.p8");
  ASSERT_TRUE(SaveCartDocument(*document, out));
  EXPECT_EQ(ReadTestFile(out), "pico-8 cartridge\r\n__sfx__\r\n__label__\r\n");
}

TEST(CartDocument, RelativePathGetsTheCurrentFolder) {
  TempDir dir;
  WriteTestFile(dir.File("rel.p8"), "pico-8 cartridge\n");
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  auto document = LoadCartDocument("rel.p8");
  ASSERT_EQ(chdir(previous), 0);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->path.substr(document->path.size() - 7), "/rel.p8");
  EXPECT_EQ(document->path.front(), '/');
}

TEST(CartDocument, SaveFailureLeavesNoFile) {
  TempDir dir;
  auto document = LoadText(dir, "pico-8 cartridge\n");
  ASSERT_TRUE(document);
  EXPECT_FALSE(SaveCartDocument(*document, dir.File("no/such/folder.p8")));
  EXPECT_FALSE(testing::PathExists(dir.File("no/such/folder.p8")));
}

}  // namespace
}  // namespace brasswick
