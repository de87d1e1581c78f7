#include "cart/cart_trailer.h"

#include <algorithm>

#include "cart/sha1.h"

namespace brasswick {
namespace {

struct ConsoleVersion {
  int id;
  uint8_t major, minor, patch;
};
constexpr ConsoleVersion kConsoleVersions[] = {
    {28, 0, 2, 0}, {29, 0, 2, 1}, {30, 0, 2, 2}, {31, 0, 2, 2}, {32, 0, 2, 2}, {33, 0, 2, 3},
    {34, 0, 2, 4}, {35, 0, 2, 4}, {36, 0, 2, 4}, {37, 0, 2, 5}, {38, 0, 2, 5}, {39, 0, 2, 5},
    {40, 0, 2, 5}, {41, 0, 2, 5}, {42, 0, 2, 6}, {43, 0, 2, 7},
};

}  // namespace

bool TrailerHashMatches(std::span<const uint8_t> rom, std::span<const uint8_t> trailer) {
  if (rom.size() < kCartRomSize || trailer.size() < kTrailerHashOffset + kSha1Size) return false;
  const std::span<const uint8_t> hash = trailer.subspan(kTrailerHashOffset, kSha1Size);
  if (std::all_of(hash.begin(), hash.end(), [](uint8_t b) { return b == 0; })) return true;
  const std::array<uint8_t, kSha1Size> digest = Sha1(rom.first(kCartRomSize));
  return std::equal(hash.begin(), hash.end(), digest.begin());
}

std::array<uint8_t, kCartTrailerSize> MakeTrailer(std::span<const uint8_t> rom, int version) {
  std::array<uint8_t, kCartTrailerSize> trailer{};
  trailer[0] = static_cast<uint8_t>(version);
  for (const ConsoleVersion& known : kConsoleVersions) {
    if (known.id == version) {
      trailer[1] = known.major;
      trailer[2] = known.minor;
      trailer[3] = known.patch;
    }
  }
  if (rom.size() >= kCartRomSize) {
    const std::array<uint8_t, kSha1Size> digest = Sha1(rom.first(kCartRomSize));
    std::copy(digest.begin(), digest.end(), trailer.begin() + kTrailerHashOffset);
  }
  return trailer;
}

void RefreshTrailerHash(std::span<const uint8_t> rom, std::span<uint8_t> trailer) {
  if (rom.size() < kCartRomSize || trailer.size() < kTrailerHashOffset + kSha1Size) return;
  const std::span<uint8_t> hash = trailer.subspan(kTrailerHashOffset, kSha1Size);
  if (std::all_of(hash.begin(), hash.end(), [](uint8_t b) { return b == 0; })) return;
  const std::array<uint8_t, kSha1Size> digest = Sha1(rom.first(kCartRomSize));
  std::copy(digest.begin(), digest.end(), hash.begin());
}

}  // namespace brasswick
