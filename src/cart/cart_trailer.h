// The 32 bytes a cartridge carries after its ROM: version id, the console's major, minor
// and patch numbers, a platform letter, a build number, the SHA-1 of the ROM (or zeros),
// six zeros. A non-zero hash that does not match its ROM means a damaged cartridge.
//
// Nothing here prints or throws.
#ifndef BRASSWICK_CART_CART_TRAILER_H_
#define BRASSWICK_CART_CART_TRAILER_H_

#include <array>
#include <cstdint>
#include <span>

#include "cart/cart_memory.h"

namespace brasswick {

// Whether the trailer's hash is all zero or the SHA-1 of the first kCartRomSize bytes of
// rom; false for a hash that does not match (a damaged cartridge), and for a rom or
// trailer too short to hold them.
bool TrailerHashMatches(std::span<const uint8_t> rom, std::span<const uint8_t> trailer);

// A trailer for rom: version id (its low 8 bits), the console's major, minor and patch
// numbers of that id when it is a known one (28-43), else zeros; platform and build
// zero; the SHA-1 of the first kCartRomSize bytes of rom (zeros when rom is shorter).
std::array<uint8_t, kCartTrailerSize> MakeTrailer(std::span<const uint8_t> rom, int version);

// After the ROM was changed: a trailer's hash that is not all zero becomes the SHA-1 of
// the first kCartRomSize bytes of rom, else a reader takes the cartridge for damaged. An
// all-zero hash (none kept) stays so, and so does everything but the hash. Nothing
// changes for a rom or trailer too short to hold them.
void RefreshTrailerHash(std::span<const uint8_t> rom, std::span<uint8_t> trailer);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_TRAILER_H_
