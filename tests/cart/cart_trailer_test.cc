#include "cart/cart_trailer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "cart/sha1.h"

namespace brasswick {
namespace {

TEST(CartTrailer, CarriesTheVersionAndTheRomsHash) {
  std::vector<uint8_t> payload(kCartPayloadSize);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 31 + 7);
  const std::span<const uint8_t> rom = std::span(payload).first(kCartRomSize);
  const std::array<uint8_t, kSha1Size> hash = Sha1(rom);

  struct Case {
    int version;
    std::array<uint8_t, 3> console;
  };
  for (const Case& c : std::vector<Case>{{42, {0, 2, 6}},
                                         {28, {0, 2, 0}},
                                         {31, {0, 2, 2}},
                                         {43, {0, 2, 7}},
                                         {27, {0, 0, 0}},
                                         {44, {0, 0, 0}}}) {
    const std::array<uint8_t, kCartTrailerSize> trailer = MakeTrailer(payload, c.version);
    EXPECT_EQ(trailer[0], c.version);
    EXPECT_EQ((std::array<uint8_t, 3>{trailer[1], trailer[2], trailer[3]}), c.console) << c.version;
    EXPECT_EQ(trailer[4], 0);
    EXPECT_EQ(trailer[5], 0);
    EXPECT_TRUE(std::equal(hash.begin(), hash.end(), trailer.begin() + 6));
    EXPECT_TRUE(std::all_of(trailer.begin() + 26, trailer.end(), [](uint8_t b) { return b == 0; }));
  }

  std::array<uint8_t, kCartTrailerSize> trailer = MakeTrailer(rom, 42);
  EXPECT_TRUE(TrailerHashMatches(rom, trailer));
  EXPECT_TRUE(TrailerHashMatches(payload, trailer));  // only the ROM's bytes count
  std::vector<uint8_t> damaged(rom.begin(), rom.end());
  damaged[kCartRomSize - 1] ^= 1;
  EXPECT_FALSE(TrailerHashMatches(damaged, trailer));
  EXPECT_FALSE(TrailerHashMatches(rom.first(kCartRomSize - 1), trailer));
  EXPECT_FALSE(TrailerHashMatches(rom, std::span(trailer).first(25)));

  trailer[25] ^= 0x40;
  EXPECT_FALSE(TrailerHashMatches(rom, trailer));
  std::fill(trailer.begin() + 6, trailer.begin() + 26, 0);
  EXPECT_TRUE(TrailerHashMatches(damaged, trailer));  // no hash: nothing to check
  trailer[6] = 1;
  EXPECT_FALSE(TrailerHashMatches(damaged, trailer));
}

}  // namespace
}  // namespace brasswick
