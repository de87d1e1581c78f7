#include "cart/code_chars.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace brasswick {
namespace {

// The character table as written out for the .p8 form: byte, then its text.
const std::vector<std::pair<int, std::string>>& GlyphTable() {
  static const std::vector<std::pair<int, std::string>> table = {
      {0x01, "\u00B9"}, {0x02, "\u00B2"},           {0x03, "\u00B3"},
      {0x04, "\u2074"}, {0x05, "\u2075"},           {0x06, "\u2076"},
      {0x07, "\u2077"}, {0x08, "\u2078"},           {0x0B, "\u1D47"},
      {0x0C, "\u1D9C"}, {0x0E, "\u1D49"},           {0x0F, "\u1DA0"},
      {0x10, "\u25AE"}, {0x11, "\u25A0"},           {0x12, "\u25A1"},
      {0x13, "\u2059"}, {0x14, "\u2058"},           {0x15, "\u2016"},
      {0x16, "\u25C0"}, {0x17, "\u25B6"},           {0x18, "\u300C"},
      {0x19, "\u300D"}, {0x1A, "\u00A5"},           {0x1B, "\u2022"},
      {0x1C, "\u3001"}, {0x1D, "\u3002"},           {0x1E, "\u309B"},
      {0x1F, "\u309C"}, {0x7F, "\u25CB"},           {0x80, "\u2588"},
      {0x81, "\u2592"}, {0x82, "\U0001F431"},       {0x83, "\u2B07\uFE0F"},
      {0x84, "\u2591"}, {0x85, "\u273D"},           {0x86, "\u25CF"},
      {0x87, "\u2665"}, {0x88, "\u2609"},           {0x89, "\uC6C3"},
      {0x8A, "\u2302"}, {0x8B, "\u2B05\uFE0F"},     {0x8C, "\U0001F610"},
      {0x8D, "\u266A"}, {0x8E, "\U0001F17E\uFE0F"}, {0x8F, "\u25C6"},
      {0x90, "\u2026"}, {0x91, "\u27A1\uFE0F"},     {0x92, "\u2605"},
      {0x93, "\u29D7"}, {0x94, "\u2B06\uFE0F"},     {0x95, "\u02C7"},
      {0x96, "\u2227"}, {0x97, "\u274E"},           {0x98, "\u25A4"},
      {0x99, "\u25A5"}, {0x9A, "\u3042"},           {0x9B, "\u3044"},
      {0x9C, "\u3046"}, {0x9D, "\u3048"},           {0x9E, "\u304A"},
      {0x9F, "\u304B"}, {0xA0, "\u304D"},           {0xA1, "\u304F"},
      {0xA2, "\u3051"}, {0xA3, "\u3053"},           {0xA4, "\u3055"},
      {0xA5, "\u3057"}, {0xA6, "\u3059"},           {0xA7, "\u305B"},
      {0xA8, "\u305D"}, {0xA9, "\u305F"},           {0xAA, "\u3061"},
      {0xAB, "\u3064"}, {0xAC, "\u3066"},           {0xAD, "\u3068"},
      {0xAE, "\u306A"}, {0xAF, "\u306B"},           {0xB0, "\u306C"},
      {0xB1, "\u306D"}, {0xB2, "\u306E"},           {0xB3, "\u306F"},
      {0xB4, "\u3072"}, {0xB5, "\u3075"},           {0xB6, "\u3078"},
      {0xB7, "\u307B"}, {0xB8, "\u307E"},           {0xB9, "\u307F"},
      {0xBA, "\u3080"}, {0xBB, "\u3081"},           {0xBC, "\u3082"},
      {0xBD, "\u3084"}, {0xBE, "\u3086"},           {0xBF, "\u3088"},
      {0xC0, "\u3089"}, {0xC1, "\u308A"},           {0xC2, "\u308B"},
      {0xC3, "\u308C"}, {0xC4, "\u308D"},           {0xC5, "\u308F"},
      {0xC6, "\u3092"}, {0xC7, "\u3093"},           {0xC8, "\u3063"},
      {0xC9, "\u3083"}, {0xCA, "\u3085"},           {0xCB, "\u3087"},
      {0xCC, "\u30A2"}, {0xCD, "\u30A4"},           {0xCE, "\u30A6"},
      {0xCF, "\u30A8"}, {0xD0, "\u30AA"},           {0xD1, "\u30AB"},
      {0xD2, "\u30AD"}, {0xD3, "\u30AF"},           {0xD4, "\u30B1"},
      {0xD5, "\u30B3"}, {0xD6, "\u30B5"},           {0xD7, "\u30B7"},
      {0xD8, "\u30B9"}, {0xD9, "\u30BB"},           {0xDA, "\u30BD"},
      {0xDB, "\u30BF"}, {0xDC, "\u30C1"},           {0xDD, "\u30C4"},
      {0xDE, "\u30C6"}, {0xDF, "\u30C8"},           {0xE0, "\u30CA"},
      {0xE1, "\u30CB"}, {0xE2, "\u30CC"},           {0xE3, "\u30CD"},
      {0xE4, "\u30CE"}, {0xE5, "\u30CF"},           {0xE6, "\u30D2"},
      {0xE7, "\u30D5"}, {0xE8, "\u30D8"},           {0xE9, "\u30DB"},
      {0xEA, "\u30DE"}, {0xEB, "\u30DF"},           {0xEC, "\u30E0"},
      {0xED, "\u30E1"}, {0xEE, "\u30E2"},           {0xEF, "\u30E4"},
      {0xF0, "\u30E6"}, {0xF1, "\u30E8"},           {0xF2, "\u30E9"},
      {0xF3, "\u30EA"}, {0xF4, "\u30EB"},           {0xF5, "\u30EC"},
      {0xF6, "\u30ED"}, {0xF7, "\u30EF"},           {0xF8, "\u30F2"},
      {0xF9, "\u30F3"}, {0xFA, "\u30C3"},           {0xFB, "\u30E3"},
      {0xFC, "\u30E5"}, {0xFD, "\u30E7"},           {0xFE, "\u25DC"},
      {0xFF, "\u25DD"},
  };
  return table;
}

TEST(CodeChars, WritesEveryByteAsItsCharacterAndReadsItBack) {
  std::vector<std::pair<int, std::string>> all = GlyphTable();
  for (int b = 0x20; b <= 0x7E; ++b) all.push_back({b, std::string(1, static_cast<char>(b))});
  for (int b : {0x09, 0x0A, 0x0D}) all.push_back({b, std::string(1, static_cast<char>(b))});
  ASSERT_EQ(all.size(), 255u);
  // Byte 0 is written as NUL, which no byte is read from (see the refusals).
  EXPECT_EQ(CodeBytesToText(std::string(1, '\0')), std::string(1, '\0'));

  std::string every_byte, every_text;
  for (const auto& [byte, text] : all) {
    const std::string one(1, static_cast<char>(byte));
    EXPECT_EQ(CodeBytesToText(one), text) << byte;
    EXPECT_EQ(CodeTextToBytes(text), one) << byte;
    every_byte += one;
    every_text += text;
  }
  EXPECT_EQ(CodeBytesToText(every_byte), every_text);
  EXPECT_EQ(CodeTextToBytes(every_text), every_byte);
}

TEST(CodeChars, TakesAnEmojiWithOrWithoutItsSelector) {
  EXPECT_EQ(CodeTextToBytes("a\u2B07b\u2B05\uFE0F\u2B06"),
            "a\x83"
            "b\x8B\x94");
  EXPECT_EQ(CodeTextToBytes("\U0001F17E"), "\x8E");
}

TEST(CodeChars, RefusesACharacterOutsideTheTableAtItsOffset) {
  const struct {
    std::string text;
    size_t offset;
    uint32_t code_point;
  } cases[] = {
      {"ab\u00E9c", 2, 0xE9},              // a letter the console lacks
      {"x=1\x01", 3, 0x01},                // a control character written raw
      {"\x7f", 0, 0x7F},                   // DEL written raw, not as its glyph
      {"\u2B07\uFE0F\uFE0F", 6, 0xFE0F},   // a selector after the one an emoji takes
      {"\uFE0F", 0, 0xFE0F},               // a selector on its own
      {"\u2588\U0001F432", 3, 0x1F432},    // next to a table emoji
      {std::string("a=\"\0\"", 5), 3, 0},  // NUL: code cannot hold byte 0
      {"\x88\xC3\xA9", 1, 0xE9},           // a raw glyph, then a well-formed letter
  };
  for (const auto& c : cases) {
    CodeTextFault fault{12345, 12345};
    EXPECT_FALSE(CodeTextToBytes(c.text, &fault)) << c.text;
    EXPECT_EQ(fault.offset, c.offset) << c.text;
    EXPECT_EQ(fault.code_point, c.code_point) << c.text;
    EXPECT_FALSE(CodeTextToBytes(c.text, nullptr));
  }
}

// Old .p8 files hold the glyphs as raw bytes: a byte that begins no well-formed UTF-8
// character is itself, beside the characters of the table.
TEST(CodeChars, TakesABytePastUtf8AsItself) {
  const struct {
    std::string text;
    std::string bytes;
  } cases[] = {
      {"\x80\xff", "\x80\xff"},                        // stray lead and continuation
      {"print(\"\x8b\x91\")", "print(\"\x8b\x91\")"},  // two arrows, raw
      {"\u2588\x88", "\x80\x88"},                      // a glyph as UTF-8, then raw
      {"\xe3\x81", "\xe3\x81"},                        // a character cut off
      {"\xe3\x81x", "\xe3\x81x"},                      // ... by an ASCII byte
      {"\xc0\x80", "\xc0\x80"},                        // an overlong NUL
      {"\xed\xa0\x80", "\xed\xa0\x80"},                // a surrogate
      {"\xf5\x80\x80\x80", "\xf5\x80\x80\x80"},        // past U+10FFFF
      {"\xe2\x96\x88\xe2\x96", "\x80\xe2\x96"},        // whole glyph, then a cut one
  };
  for (const auto& c : cases) EXPECT_EQ(CodeTextToBytes(c.text), c.bytes) << c.text;
}

// A line break is LF or CR LF, either one byte 0x0A; a CR on its own is 0x0D.
TEST(CodeChars, ReadsCrLfAsOneLineBreak) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\rb\r", "a\rb\r"},
      {"\r\r\n\n\r", "\r\n\n\r"},
      {"\u2588\r\n", "\x80\n"},
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(CodeTextToBytes(text), bytes) << text;
}

}  // namespace
}  // namespace brasswick
