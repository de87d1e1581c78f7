#include "cart/greedy_code_encoder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace brasswick::testing {
namespace {

class Bits {
 public:
  // `count` bits of `value`, lowest first, each into the next free bit of the last byte.
  void Add(uint32_t value, int count) {
    while (count-- > 0) {
      if (used_ == 0) bytes_.push_back(0);
      if (value & 1) bytes_.back() |= static_cast<uint8_t>(1 << used_);
      value >>= 1;
      used_ = (used_ + 1) % 8;
    }
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

}  // namespace

std::string GreedyEncodeCode(std::string_view code) {
  const size_t n = code.size();
  auto at = [&code](size_t i) { return static_cast<uint8_t>(code[i]); };
  // Every earlier position with the same three bytes, newest first, by a chain through
  // `older`; the window check stops the walk.
  std::vector<int> newest(1 << 16, -1);
  std::vector<int> older(n, -1);
  auto key = [&](size_t i) { return ((at(i) << 8) ^ (at(i + 1) << 4) ^ at(i + 2)) & 0xFFFF; };
  size_t indexed = 0;
  auto index_up_to = [&](size_t end) {
    for (; indexed < end && indexed + 3 <= n; ++indexed) {
      older[indexed] = newest[key(indexed)];
      newest[key(indexed)] = static_cast<int>(indexed);
    }
  };

  std::vector<uint8_t> list(256);
  for (int b = 0; b < 256; ++b) list[b] = static_cast<uint8_t>(b);
  Bits bits;
  size_t i = 0;
  while (i < n) {
    index_up_to(i);
    size_t best_length = 0, best_distance = 0;
    if (i + 3 <= n) {
      for (int j = newest[key(i)]; j >= 0 && i - j <= 32768; j = older[j]) {
        size_t length = 0;
        while (i + length < n && at(j + length) == at(i + length)) ++length;
        if (length > best_length) {
          best_length = length;
          best_distance = i - j;
          if (i + length == n) break;
        }
      }
    }
    if (best_length >= 3) {
      bits.Add(0, 1);
      if (best_distance <= 32) {
        bits.Add(0b11, 2);
        bits.Add(static_cast<uint32_t>(best_distance - 1), 5);
      } else if (best_distance <= 1024) {
        bits.Add(0b01, 2);
        bits.Add(static_cast<uint32_t>(best_distance - 1), 10);
      } else {
        bits.Add(0, 1);
        bits.Add(static_cast<uint32_t>(best_distance - 1), 15);
      }
      size_t rest = best_length - 3;
      while (rest >= 7) {
        bits.Add(7, 3);
        rest -= 7;
      }
      bits.Add(static_cast<uint32_t>(rest), 3);
      i += best_length;
      continue;
    }
    const auto found = std::find(list.begin(), list.end(), at(i));
    const uint32_t position = static_cast<uint32_t>(found - list.begin());
    // The unary bits: the fewest whose range (16, 32, 64, ... positions) reaches it.
    int unary = 0;
    uint32_t first = 0;
    while (position >= first + (16u << unary)) {
      first += 16u << unary;
      ++unary;
    }
    bits.Add(1, 1);
    for (int k = 0; k < unary; ++k) bits.Add(1, 1);
    bits.Add(0, 1);
    bits.Add(position - first, 4 + unary);
    list.erase(found);
    list.insert(list.begin(), at(i));
    ++i;
  }

  const size_t compressed = std::min<size_t>(8 + bits.bytes().size(), 0xFFFF);
  std::string stream = {'\0', 'p', 'x', 'a'};
  for (size_t field : {n, compressed}) {
    stream += static_cast<char>(field >> 8);
    stream += static_cast<char>(field & 0xFF);
  }
  stream.append(bits.bytes().begin(), bits.bytes().end());
  return stream;
}

}  // namespace brasswick::testing
