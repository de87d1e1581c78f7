#include "cart/sha1.h"

#include <cstring>

namespace brasswick {
namespace {

constexpr uint32_t RotateLeft(uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

// One 64-byte block folded into the state.
void CompressBlock(std::array<uint32_t, 5>& state, const uint8_t* block) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t) {
    w[t] = (uint32_t{block[4 * t]} << 24) | (uint32_t{block[4 * t + 1]} << 16) |
           (uint32_t{block[4 * t + 2]} << 8) | uint32_t{block[4 * t + 3]};
  }
  for (int t = 16; t < 80; ++t) w[t] = RotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int t = 0; t < 80; ++t) {
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t temp = RotateLeft(a, 5) + f + e + k + w[t];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = temp;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

std::array<uint8_t, kSha1Size> Sha1(std::span<const uint8_t> bytes) {
  std::array<uint32_t, 5> state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  const size_t whole_blocks = bytes.size() / 64;
  for (size_t i = 0; i < whole_blocks; ++i) CompressBlock(state, bytes.data() + 64 * i);

  // The tail, the 0x80 marker and the message's bit length fill one or two last blocks.
  uint8_t tail[128] = {};
  const size_t rest = bytes.size() - 64 * whole_blocks;
  if (rest > 0) std::memcpy(tail, bytes.data() + 64 * whole_blocks, rest);
  tail[rest] = 0x80;
  const size_t tail_size = rest < 56 ? 64 : 128;
  const uint64_t bit_length = static_cast<uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i) {
    tail[tail_size - 1 - i] = static_cast<uint8_t>(bit_length >> (8 * i));
  }
  CompressBlock(state, tail);
  if (tail_size == 128) CompressBlock(state, tail + 64);

  std::array<uint8_t, kSha1Size> digest;
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state[i] >> (24 - 8 * j));
  }
  return digest;
}

}  // namespace brasswick
