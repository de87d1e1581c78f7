#include "cart/sha1.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace brasswick {
namespace {

std::string Hex(std::string_view message) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(message.data());
  std::string hex;
  static constexpr char kHex[] = "0123456789abcdef";
  for (uint8_t b : Sha1(std::span<const uint8_t>(bytes, message.size()))) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

// The standard's published examples: one block, an empty message, a 448-bit message
// whose length needs a second padding block, and a million bytes over many blocks.
TEST(Sha1, MatchesThePublishedTestVectors) {
  EXPECT_EQ(Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

}  // namespace
}  // namespace brasswick
