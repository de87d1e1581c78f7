#include "cart/cart_document.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "cart/cart_layout.h"
#include "test_support.h"

namespace brasswick {
namespace {

using namespace std::string_literals;
using testing::PeakMemoryGrowth;
using testing::ReadTestFile;
using testing::TempDir;
using testing::WriteTestFile;

std::optional<CartDocument> LoadText(const TempDir& dir, const std::string& text) {
  std::string path = dir.File("cart.p8");
  WriteTestFile(path, text);
  return LoadCartDocument(path);
}

std::vector<std::string> Lines(const CartSection& section) {
  return std::vector<std::string>(section.lines.begin(), section.lines.end());
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
  EXPECT_EQ(Lines(document->sections[0]),
            (std::vector<std::string>{"pico-8 cartridge // x", "version 41"}));
  EXPECT_EQ(document->sections[1].name, "__lua__");
  EXPECT_EQ(Lines(document->sections[1]), (std::vector<std::string>{"print(1)", ""}));
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
  // Later CR LF breaks do not count when the start of the file has none.
  const std::string head = "pico-8 cartridge" + std::string(120, 'x') + "\n";
  auto later = LoadText(dir, head + "__lua__\r\na\r\n");
  ASSERT_TRUE(later);
  EXPECT_EQ(later->newline, "\n");

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

TEST(CartDocument, NewlineWindowCountsCharactersNotBytes) {
  TempDir dir;
  const std::string e_acute = "\xC3\xA9";  // two bytes, one character
  auto letters = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += e_acute;
    return text;
  };
  struct Case {
    std::string first_line;  // the break follows it
    std::string newline;
  };
  const Case cases[] = {
      // 77 characters and 137 bytes before the break.
      {"pico-8 cartridge " + letters(60), "\r\n"},
      // The LF is the 128th character but byte 237.
      {"pico-8 cartridge" + letters(110), "\r\n"},
      // The LF is the 129th character.
      {"pico-8 cartridge" + letters(111), "\n"},
      // A four-byte character (U+1F600) is one character too.
      {"pico-8 cartridge" + std::string(100, 'x') + "\xF0\x9F\x98\x80" + letters(9), "\r\n"},
  };
  for (const Case& c : cases) {
    const std::string text = c.first_line + "\r\n__lua__\r\na\r\n__sfx__\r\n0102\r\n";
    auto document = LoadText(dir, text);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->newline, c.newline) << c.first_line.size();
    // A cleared section is written in the document's newline; the rest as read.
    ASSERT_TRUE(ClearSection(*document, "sfx"));
    ASSERT_TRUE(SaveCartDocument(*document, dir.File("cleared.p8")));
    EXPECT_EQ(ReadTestFile(dir.File("cleared.p8")),
              c.first_line + "\r\n__lua__\r\na\r\n__sfx__" + c.newline);
  }
}

TEST(CartDocument, EditedLinesKeepTheirOwnText) {
  TempDir dir;
  // A lone CR ends the sfx section; appending must not join it to the new line.
  auto document = LoadText(dir, "pico-8 cartridge\n__sfx__\na\rb\r__gfx__\n00\n");
  ASSERT_TRUE(document);
  CartDocument copy = *document;
  CartSection* sfx_copy = FindSection(copy, "sfx");
  sfx_copy->lines.push_back("");
  sfx_copy->lines.push_back("c");
  EXPECT_EQ(Lines(*sfx_copy), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(sfx_copy->lines.size(), 4u);
  // The document the copy came from still holds what was read.
  EXPECT_EQ(Lines(*FindSection(*document, "sfx")), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Lines(*FindSection(copy, "gfx")), (std::vector<std::string>{"00"}));

  // A code line keeps a CR before its break once the section is its own.
  auto code = LoadText(dir, "pico-8 cartridge\n__lua__\na\r\r\nb\0\r"s);
  ASSERT_TRUE(code);
  CartSection* lua = FindSection(*code, "lua");
  lua->lines.push_back("c");
  EXPECT_EQ(Lines(*lua), (std::vector<std::string>{"a\r", "b\0\r"s, "c"}));

  // Lines added after a clear, and to a section that ends the file without a break.
  auto unterminated = LoadText(dir, "pico-8 cartridge\n__sfx__\n01\n__map__\n02");
  ASSERT_TRUE(unterminated);
  FindSection(*unterminated, "map")->lines.push_back("03");
  CartSection* sfx = FindSection(*unterminated, "sfx");
  sfx->lines.clear();
  sfx->lines.push_back("04");
  ASSERT_TRUE(SaveCartDocument(*unterminated, dir.File("edited.p8")));
  EXPECT_EQ(ReadTestFile(dir.File("edited.p8")),
            "pico-8 cartridge\n__sfx__\n04\n__map__\n02\n03\n");

  CartLines built = {"x", "", "yz"};
  EXPECT_EQ(std::vector<std::string>(built.begin(), built.end()),
            (std::vector<std::string>{"x", "", "yz"}));
  EXPECT_TRUE(CartLines().empty());
  EXPECT_EQ(CartLines().size(), 0u);
}

// Whatever a file holds, loading and saving it unchanged gives it back.
TEST(CartDocument, UnchangedDocumentsSaveByteForByte) {
  TempDir dir;
  const std::string cases[] = {
      "pico-8 cartridge",
      "pico-8 cartridge\n__lua__",
      "pico-8 cartridge\n__lua__\nend",
      "pico-8 cartridge\n__lua__\nend\n\n\n\n",
      "pico-8 cartridge\r__lua__\rprint(1)\r__gfx__\r00\r",
      // CR LF in the first lines, LF, lone CR and NUL further on.
      "pico-8 cartridge\nversion 41\r\n__lua__\nprint(\"a\0b\")\r\nx=\"\r\"\n__gfx__\r00\r11\0"
      "22\n__map__\r\n0102"s,
      "pico-8 cartridge\n__lua__\n\n__meta:x__\nanything \xFF\xFE\n__meta:title__\r\nx\r\n",
      "pico-8 cartridge\n__gfx__\n00\n__label__\n0000\n0000",
      "\xEF\xBB\xBFpico-8 cartridge\r\n__lua__\n\n",
      "pico-8 cartridge \xC0\xFF junk\n\xFE header\0\0\n__lua__\r\n\r\n__\n___\r"s,
  };
  for (const std::string& text : cases) EXPECT_EQ(RoundTrip(dir, text), text) << text;
}

// A rewritten section is written in the document's newline; every other byte stays,
// and a newline is put in only where the section would join an unfinished line.
TEST(CartDocument, OnlyTheRewrittenSectionChanges) {
  TempDir dir;
  struct Case {
    std::string before, label, after;
    std::string joint;  // what goes between `before` and a label added at the end
  };
  const Case cases[] = {
      {"pico-8 cartridge\nversion 41\r\n__lua__\nprint(\"a\0b\")\rx\n__gfx__\n01\r"s,
       "__label__\n0123\n\n", "__map__\r\n0102\n__meta:x__\n\xFF", ""},
      {"pico-8 cartridge\n__lua__\nend\n", "__label__\n00", "", ""},
      {"pico-8 cartridge\n__lua__\nend", "", "", "\n"},
      // A lone CR does not end a code line, so the marker needs a break of its own; in
      // a data section it does.
      {"pico-8 cartridge\r\n__lua__\nend\r", "", "", "\r\n"},
      {"pico-8 cartridge\n__gfx__\n00\r", "", "", ""},
      {"pico-8 cartridge\n__gfx__", "", "", "\n"},
  };
  std::vector<uint8_t> bytes(8192);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 64);
  for (const Case& c : cases) {
    auto document = LoadText(dir, c.before + c.label + c.after);
    ASSERT_TRUE(document);
    const std::string& nl = document->newline;
    // The label as its rules lay it out: 64 bytes a line, two lower-case digits a byte.
    std::string label = "__label__" + nl;
    for (size_t i = 0; i < bytes.size(); ++i) {
      label += "0123456789abcdef"[bytes[i] >> 4];
      label += "0123456789abcdef"[bytes[i] & 15];
      if (i % 64 == 63) label += nl;
    }
    label += nl;
    ASSERT_TRUE(WriteSectionBytes(*document, "label", bytes));
    ASSERT_TRUE(SaveCartDocument(*document, dir.File("out.p8")));
    const std::string expected =
        c.label.empty() ? c.before + c.joint + label : c.before + label + c.after;
    EXPECT_EQ(ReadTestFile(dir.File("out.p8")), expected) << c.before;
  }
}

TEST(CartDocument, KeepsByteOrderMark) {
  TempDir dir;
  const std::string text = "\xEF\xBB\xBFpico-8 cartridge\r\n__lua__\r\n";
  auto document = LoadText(dir, text);
  ASSERT_TRUE(document);
  EXPECT_EQ(Lines(document->sections[0])[0], "\xEF\xBB\xBFpico-8 cartridge");
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

// Strings in code may hold a lone CR or a NUL byte: neither ends a code line, so a
// marker after one is code, not a section.
TEST(CartDocument, CodeLinesEndOnlyAtLineFeeds) {
  TempDir dir;
  auto document = LoadText(dir,
                           "pico-8 cartridge\n__lua__\r\nprint(\"a\0b\")\r\nx\r__gfx__\r\n"
                           "__gfx__\n00\r11\0__map__\r01"s);
  ASSERT_TRUE(document);
  ASSERT_EQ(document->sections.size(), 4u);
  EXPECT_EQ(document->sections[1].marker_break, "\r\n");
  EXPECT_EQ(Lines(document->sections[1]),
            (std::vector<std::string>{"print(\"a\0b\")"s, "x\r__gfx__"}));
  // Outside the code they end lines, markers' lines too.
  EXPECT_EQ(Lines(document->sections[2]), (std::vector<std::string>{"00", "11"}));
  EXPECT_EQ(document->sections[3].marker_break, "\r");
  EXPECT_EQ(Lines(document->sections[3]), (std::vector<std::string>{"01"}));
}

TEST(CartDocument, LineBreaksIncludeLoneCrAndNul) {
  TempDir dir;
  auto document = LoadText(dir, "pico-8 cartridge\0after nul\rafter cr\r\n__lua__\n\n"s);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->newline, "\n");
  EXPECT_EQ(Lines(document->sections[0]),
            (std::vector<std::string>{"pico-8 cartridge", "after nul", "after cr"}));
  ASSERT_EQ(document->sections.size(), 2u);
  EXPECT_EQ(Lines(document->sections[1]), (std::vector<std::string>{""}));
}

TEST(CartDocument, HandlesBinaryTailAndHugeLines) {
  TempDir dir;
  std::mt19937 random(11);
  std::string tail(200000, '\0');
  for (char& c : tail) c = static_cast<char>(random());
  const std::string text = "pico-8 cartridge\n" + tail;
  EXPECT_EQ(RoundTrip(dir, text), text);

  const std::string huge = "pico-8 cartridge" + std::string(5'000'000, 'f');
  auto one_line = LoadText(dir, huge);
  ASSERT_TRUE(one_line);
  ASSERT_EQ(one_line->sections.size(), 1u);
  ASSERT_EQ(one_line->sections[0].lines.size(), 1u);
  EXPECT_EQ(Lines(one_line->sections[0])[0].size(), huge.size());
}

TEST(CartDocument, MemoryStaysInProportionToTheFile) {
  TempDir dir;
  // Millions of empty lines: the most lines a file of its size can hold.
  const std::string text = "pico-8 cartridge\nversion 41\n__lua__\n" + std::string(4'000'000, '\n');
  const std::string path = dir.File("blank.p8");
  WriteTestFile(path, text);
  const std::string out = dir.File("blank_out.p8");
  int64_t growth = PeakMemoryGrowth([&] {
    std::optional<CartDocument> document = LoadCartDocument(path);
    // A failure ends the child before it reports, so the growth reads as -1.
    if (!document || !SaveCartDocument(*document, out)) _exit(2);
  });
  ASSERT_GE(growth, 0);
  EXPECT_LT(growth, 8 * static_cast<int64_t>(text.size()));
  EXPECT_EQ(ReadTestFile(out), text);
}

// Each section costs far more than its marker line's few bytes: a file of nothing but
// marker lines is held to kMaxCartSections of them, and so to a few times its size.
TEST(CartDocument, MemoryStaysInProportionToAFileOfMarkers) {
  TempDir dir;
  const std::string head = "pico-8 cartridge\n";
  std::string most = head;
  for (std::size_t k = 1; k < kMaxCartSections; ++k) most += k % 2 ? "__\n" : "__gfx__\n";
  ASSERT_TRUE(LoadText(dir, most));
  EXPECT_EQ(LoadText(dir, most)->sections.size(), kMaxCartSections);
  EXPECT_FALSE(LoadText(dir, most + "__"));

  std::string markers = head;
  while (markers.size() < 3'000'000) markers += "__\n";
  const std::string path = dir.File("markers.p8");
  WriteTestFile(path, markers);
  int64_t growth = PeakMemoryGrowth([&] {
    // Refused, having held no more than the file and the sections up to the limit.
    if (LoadCartDocument(path)) _exit(2);
  });
  ASSERT_GE(growth, 0);
  // The address sanitizer keeps freed blocks aside and pads each allocation, so its
  // builds hold about twice what the loader asks for.
#if defined(__SANITIZE_ADDRESS__)
  constexpr int64_t kTimesTheFile = 8;
#else
  constexpr int64_t kTimesTheFile = 4;
#endif
  EXPECT_LT(growth, kTimesTheFile * static_cast<int64_t>(markers.size()));
}

TEST(CartDocument, MarkerLinesAreAnyLineFramedByTwoUnderscores) {
  TempDir dir;
  auto document =
      LoadText(dir, "pico-8 cartridge\n__lua__\nfunction _init()\n__init__\nx=1\n__\n___\n_a_\n");
  ASSERT_TRUE(document);
  ASSERT_EQ(document->sections.size(), 5u);
  EXPECT_EQ(Lines(document->sections[1]), (std::vector<std::string>{"function _init()"}));
  EXPECT_EQ(document->sections[2].name, "__init__");
  EXPECT_EQ(Lines(document->sections[2]), (std::vector<std::string>{"x=1"}));
  EXPECT_EQ(document->sections[3].name, "__");
  EXPECT_EQ(document->sections[4].name, "___");
  EXPECT_EQ(Lines(document->sections[4]), (std::vector<std::string>{"_a_"}));
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
    EXPECT_EQ(Lines(*section), (std::vector<std::string>{"11"}));
  }
  EXPECT_EQ(FindSection(*document, ""), &document->sections[0]);
  EXPECT_EQ(NormalizeSectionName("Sfx"), "__sfx__");
}

TEST(CartDocument, DuplicateSectionsActOnTheFirst) {
  TempDir dir;
  auto document = LoadText(dir, "pico-8 cartridge\n__sfx__\na\n__sfx__\nb\n");
  ASSERT_TRUE(document);
  EXPECT_EQ(Lines(*FindSection(*document, "sfx"))[0], "a");
  EXPECT_TRUE(ClearSection(*document, "sfx"));
  EXPECT_TRUE(document->sections[1].lines.empty());
  EXPECT_EQ(Lines(document->sections[2]), (std::vector<std::string>{"b"}));
  EXPECT_TRUE(DeleteSection(*document, "sfx"));
  ASSERT_EQ(document->sections.size(), 2u);
  EXPECT_EQ(Lines(*FindSection(*document, "sfx"))[0], "b");
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
