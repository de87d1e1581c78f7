// SHA-1 of a byte string: the hash a cartridge carries after its ROM to tell a damaged
// cartridge from a sound one.
#ifndef BRASSWICK_CART_SHA1_H_
#define BRASSWICK_CART_SHA1_H_

#include <array>
#include <cstdint>
#include <span>

namespace brasswick {

inline constexpr size_t kSha1Size = 20;

// The 20-byte SHA-1 digest of bytes, most significant byte of each word first. Never
// allocates.
std::array<uint8_t, kSha1Size> Sha1(std::span<const uint8_t> bytes);

}  // namespace brasswick

#endif  // BRASSWICK_CART_SHA1_H_
