#include "html/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace brasswick {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(Base64, EncodesTheStandardVectors) {
  // RFC 4648, section 10.
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, coded] : cases) {
    const std::vector<uint8_t> bytes = Bytes(plain);
    EXPECT_EQ(Base64Encode(bytes.data(), bytes.size()), coded) << plain;
    if (!bytes.empty()) {
      EXPECT_EQ(Base64Decode(coded), bytes) << coded;
    }
  }
  const std::vector<uint8_t> high = {0xFB, 0xFF, 0xBF};
  EXPECT_EQ(Base64Encode(high.data(), high.size()), "+/+/");
  EXPECT_EQ(Base64Encode(high.data(), high.size(), kBase64UrlAlphabet), "-_-_");
  EXPECT_EQ(Base64Encode(high.data(), 2, kBase64NoPadding), "+/8");
}

TEST(Base64, DecodeSkipsJunkStopsAtPaddingAndRefusesALoneCharacter) {
  struct Case {
    const char* text;
    std::optional<std::vector<uint8_t>> bytes;
  };
  const Case cases[] = {
      {"QQ", std::vector<uint8_t>{0x41}},
      {"QUI", std::vector<uint8_t>{0x41, 0x42}},
      {"Q", std::nullopt},
      {"QUJDR", std::nullopt},
      {"", std::nullopt},
      {"==", std::nullopt},
      {"!!\r\n", std::nullopt},
      {"Zm9v\r\nYmFy", Bytes("foobar")},
      {" Zm 9v\tYg ==", Bytes("foob")},
      {"Zg==Zm9v", Bytes("f")},  // nothing after the first "="
      {"-_-_", std::vector<uint8_t>{0xFB, 0xFF, 0xBF}},
      {"+/-_", std::vector<uint8_t>{0xFB, 0xFF, 0xBF}},
      {"\xC3\xA9QQ", std::vector<uint8_t>{0x41}},
  };
  for (const Case& c : cases) EXPECT_EQ(Base64Decode(c.text), c.bytes) << c.text;
}

TEST(Base64, RoundTripsEveryLength) {
  std::mt19937 random(7);
  for (size_t length = 1; length < 70; ++length) {
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    const std::string text = Base64Encode(bytes.data(), bytes.size());
    EXPECT_EQ(text.size(), (length + 2) / 3 * 4);
    EXPECT_EQ(Base64Decode(text), bytes) << length;
  }
}

}  // namespace
}  // namespace brasswick
