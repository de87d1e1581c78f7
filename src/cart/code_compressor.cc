#include "cart/code_compressor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include "cart/cart_code.h"

namespace brasswick {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr uint32_t kCompressedToEnd = 0xFFFF;
constexpr uint32_t kMinCopy = 3;
constexpr uint32_t kWindow = 32768;

// The three distance widths, 5, 10 and 15 bits: the farthest each reaches and the bits
// a copy through it spends before its length. (A 10-bit distance of 1 would read as a
// raw run, but the 5-bit width is cheaper there anyway.)
constexpr int kWidths = 3;
constexpr int kWidthBits[kWidths] = {5, 10, 15};
constexpr uint32_t kCopyHeadBits[kWidths] = {1 + 2 + 5, 1 + 2 + 10, 1 + 1 + 15};
constexpr uint32_t kRawStartBits = 1 + 2 + 10;
constexpr uint32_t kRawByteBits = 8;
constexpr uint32_t kRawEndBits = 8;

// A copy at least this long is taken whole: its length is not tried shorter, and the
// positions it covers are not searched again (each goes on with the same distance).
// Without that, text like 65 535 equal bytes costs quadratic time.
constexpr uint32_t kLongCopy = 128;
// Tree nodes looked at per position.
constexpr int kTreeDepth = 32;
constexpr int kHashBits = 16;
// Parses after the first, each pricing literals by the list the one before left.
constexpr int kRepricings = 1;

int WidthOf(uint32_t distance) { return distance <= 32 ? 0 : distance <= 1024 ? 1 : 2; }

uint32_t CopyBits(int width, uint32_t length) {
  return kCopyHeadBits[width] + 3 * ((length - kMinCopy) / 7 + 1);
}

// A literal's unary count: positions 0-15 take none, then each bit reaches twice as
// many positions again.
uint32_t UnaryCount(uint32_t rank) {
  uint32_t unary = 0;
  while (rank >= 16 * ((2u << unary) - 1)) ++unary;
  return unary;
}

constexpr uint32_t kInfinity = std::numeric_limits<uint32_t>::max() / 2;

struct LiteralPrices {
  std::array<uint32_t, 256> by_rank;
  LiteralPrices() {
    for (uint32_t rank = 0; rank < 256; ++rank) by_rank[rank] = 6 + 2 * UnaryCount(rank);
  }
};
const LiteralPrices kLiteralPrices;

// The move-to-front list, with each byte's place kept so that a rank costs nothing.
class MoveToFront {
 public:
  MoveToFront() {
    std::iota(order_.begin(), order_.end(), 0);
    std::iota(place_.begin(), place_.end(), 0);
  }
  uint32_t Rank(uint8_t byte) const { return place_[byte]; }
  void Use(uint8_t byte) {
    for (uint32_t at = place_[byte]; at > 0; --at) {
      order_[at] = order_[at - 1];
      place_[order_[at]] = static_cast<uint8_t>(at);
    }
    order_[0] = byte;
    place_[byte] = 0;
  }

 private:
  std::array<uint8_t, 256> order_;
  std::array<uint8_t, 256> place_;
};

// Sixteen bits hold any length (code is at most 65 535 bytes) and any distance (the
// window is 32 768): half the memory a position's copies would take otherwise, which
// is most of what the compressor touches.
struct Copy {
  uint16_t length = 0;  // 0: none
  uint16_t distance = 0;
};
// The copies worth trying at one position: for each distance width, the longest copy it
// reaches when that is longer than what a narrower width reaches.
using Copies = std::array<Copy, kWidths>;

enum class Kind : uint8_t { kLiteral, kCopy, kRaw };
struct Token {
  Kind kind;
  uint32_t length;
  uint32_t distance;
};

// How far from..., said past its first `length` bytes, equals at...: at most limit.
// Eight bytes are compared at a time, the first that differs told by the lowest set
// bit of their difference on a little-endian machine.
uint32_t MatchLength(const uint8_t* from, const uint8_t* at, uint32_t length, uint32_t limit) {
  if constexpr (std::endian::native == std::endian::little) {
    while (length + 8 <= limit) {
      uint64_t a;
      uint64_t b;
      std::memcpy(&a, from + length, 8);
      std::memcpy(&b, at + length, 8);
      if (a != b) return length + static_cast<uint32_t>(std::countr_zero(a ^ b) >> 3);
      length += 8;
    }
  }
  while (length < limit && from[length] == at[length]) ++length;
  return length;
}

uint32_t Hash(const uint8_t* at) {
  const uint32_t v = uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16;
  return (v * 2654435761u) >> (32 - kHashBits);
}

Copy Longest(const Copies& copies) {
  Copy longest;
  for (const Copy& copy : copies) {
    if (copy.length > longest.length) longest = copy;
  }
  return longest;
}

Copy MakeCopy(uint32_t length, uint32_t distance) {
  return {static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
}

void Offer(Copies& copies, uint32_t length, uint32_t distance) {
  Copy& copy = copies[WidthOf(distance)];
  if (length > copy.length) copy = MakeCopy(length, distance);
}

// The longest copy from at most 32 bytes back, nearest first, when it is longer than
// found[0] (the longest copy a 5-bit distance reaches, as far as known).
void NearCopy(const uint8_t* text, uint32_t i, uint32_t limit, Copies& found) {
  uint32_t near = found[0].length;
  for (uint32_t distance = 1; distance <= std::min<uint32_t>(i, 32) && near < limit; ++distance) {
    const uint8_t* from = text + i - distance;
    if (from[near] != text[i + near]) continue;
    const uint32_t length = MatchLength(from, text + i, 0, limit);
    if (length > near) {
      near = length;
      found[0] = MakeCopy(length, distance);
    }
  }
}

// The copies at each position. Earlier positions with the same hash are kept in a
// binary tree ordered by the text that follows them, newest at the top: walking down
// from the root meets ever longer matches, so few steps find the longest copy however
// often the first bytes recur (indentation, "end\n"). The tree gives the longest, not
// the nearest, so the 5-bit distances are also tried one by one.
std::vector<Copies> FindCopies(const uint8_t* text, uint32_t n) {
  std::vector<Copies> copies(n);
  if (n < kMinCopy) return copies;
  std::vector<int32_t> root(size_t{1} << kHashBits, -1);
  // A position's links are set when it goes into the tree, before any walk can reach
  // it, so they need no first value: no pass over them before the work.
  std::unique_ptr<int32_t[]> smaller(new int32_t[n]);
  std::unique_ptr<int32_t[]> larger(new int32_t[n]);
  uint32_t whole_end = 0;  // the end of the copy last taken whole
  uint32_t whole_distance = 0;
  for (uint32_t i = 0; i + kMinCopy <= n; ++i) {
    Copies& found = copies[i];
    const uint32_t limit = std::min(n - i, kLongCopy);
    // Positions inside a copy taken whole stay out of the tree: their text is in it
    // already, a copy's length earlier.
    if (i < whole_end) {
      found[WidthOf(whole_distance)] = MakeCopy(whole_end - i, whole_distance);
      NearCopy(text, i, limit, found);
      continue;
    }
    uint32_t best = kMinCopy - 1;
    // Where the next node smaller (larger) than position i hangs, and how much of
    // position i's text every node on that side shares.
    int32_t* below = &smaller[i];
    int32_t* above = &larger[i];
    uint32_t below_shared = 0;
    uint32_t above_shared = 0;
    int32_t& top = root[Hash(text + i)];
    int32_t j = top;
    top = static_cast<int32_t>(i);
    for (int steps = 0;; ++steps) {
      if (j < 0 || i - j > kWindow || steps == kTreeDepth) {
        *below = *above = -1;
        break;
      }
      const uint32_t length =
          MatchLength(text + j, text + i, std::min(below_shared, above_shared), limit);
      if (length > best) {
        best = length;
        Offer(found, length, i - j);
      }
      if (length == limit) {
        // Position i replaces j, which it matches as far as the tree compares.
        *below = smaller[j];
        *above = larger[j];
        break;
      }
      if (text[j + length] < text[i + length]) {
        *below = j;
        below = &larger[j];
        below_shared = length;
      } else {
        *above = j;
        above = &smaller[j];
        above_shared = length;
      }
      j = text[j + length] < text[i + length] ? larger[j] : smaller[j];
    }
    NearCopy(text, i, limit, found);
    if (const Copy longest = Longest(found); longest.length == kLongCopy) {
      const uint8_t* from = text + i - longest.distance;
      const uint32_t length = MatchLength(from, text + i, longest.length, n - i);
      found[WidthOf(longest.distance)] = MakeCopy(length, longest.distance);
      whole_end = i + length;
      whole_distance = longest.distance;
    }
  }
  return copies;
}

// The console's way: the longest copy when there is one, else a literal.
std::vector<Token> GreedyParse(uint32_t n, const std::vector<Copies>& copies) {
  std::vector<Token> tokens;
  for (uint32_t i = 0; i < n;) {
    const Copy copy = i < copies.size() ? Longest(copies[i]) : Copy{};
    if (copy.length >= kMinCopy) {
      tokens.push_back({Kind::kCopy, copy.length, copy.distance});
      i += copy.length;
    } else {
      tokens.push_back({Kind::kLiteral, 1, 0});
      ++i;
    }
  }
  return tokens;
}

// What a literal would cost at each position when every byte so far was a literal.
std::vector<uint8_t> PricesOfAllLiterals(const uint8_t* text, uint32_t n) {
  std::vector<uint8_t> prices(n);
  MoveToFront list;
  for (uint32_t i = 0; i < n; ++i) {
    prices[i] = static_cast<uint8_t>(kLiteralPrices.by_rank[list.Rank(text[i])]);
    list.Use(text[i]);
  }
  return prices;
}

// What a literal would cost at each position with the list as the parse leaves it there.
std::vector<uint8_t> PricesAfter(const uint8_t* text, uint32_t n,
                                 const std::vector<Token>& tokens) {
  std::vector<uint8_t> prices(n);
  MoveToFront list;
  uint32_t i = 0;
  for (const Token& token : tokens) {
    for (uint32_t k = i; k < i + token.length; ++k) {
      prices[k] = static_cast<uint8_t>(kLiteralPrices.by_rank[list.Rank(text[k])]);
    }
    if (token.kind == Kind::kLiteral) list.Use(text[i]);
    i += token.length;
  }
  return prices;
}

// The cheapest parse by the bit costs of the format, with literals priced by `prices`
// (the move-to-front list makes their true price depend on the parse itself). Keeps
// its tables from one parse to the next: fresh ones for each would cost as much again.
class CheapestParser {
 public:
  CheapestParser(const uint8_t* text, uint32_t n, const std::vector<Copies>& copies)
      : text_(text),
        n_(n),
        copies_(copies),
        cost_(n + 1),
        step_(n + 1),
        run_cost_(n + 1),
        run_start_(n + 1) {}

  std::vector<Token> Parse(const std::vector<uint8_t>& prices) {
    std::fill(cost_.begin(), cost_.end(), kInfinity);
    std::fill(run_cost_.begin(), run_cost_.end(), kInfinity);
    cost_[0] = 0;
    for (uint32_t i = 0;; ++i) {
      if (run_cost_[i] != kInfinity) {
        // At the code's end the run stops without its zero byte.
        Relax(i, run_cost_[i] + (i == n_ ? 0 : kRawEndBits), {run_start_[i], 0, Kind::kRaw});
      }
      if (i == n_) break;
      if (cost_[i] + kRawStartBits < run_cost_[i]) {
        run_cost_[i] = cost_[i] + kRawStartBits;
        run_start_[i] = i;
      }
      // A raw run cannot hold a zero byte: that would end it.
      if (text_[i] != 0 && run_cost_[i] + kRawByteBits < run_cost_[i + 1]) {
        run_cost_[i + 1] = run_cost_[i] + kRawByteBits;
        run_start_[i + 1] = run_start_[i];
      }
      Relax(i + 1, cost_[i] + prices[i], {i, 0, Kind::kLiteral});
      uint32_t shortest = kMinCopy;
      for (int width = 0; width < kWidths; ++width) {
        const Copy& copy = copies_[i][width];
        if (copy.length < shortest) continue;
        const Step how = {i, copy.distance, Kind::kCopy};
        if (copy.length >= kLongCopy) {
          Relax(i + copy.length, cost_[i] + CopyBits(width, copy.length), how);
        } else {
          // Every seventh length costs three bits more: counted, not divided.
          uint32_t bits = cost_[i] + CopyBits(width, shortest);
          uint32_t same_bits = 7 - (shortest - kMinCopy) % 7;
          for (uint32_t length = shortest; length <= copy.length; ++length) {
            Relax(i + length, bits, how);
            if (--same_bits == 0) {
              bits += 3;
              same_bits = 7;
            }
          }
        }
        shortest = copy.length + 1;
      }
    }
    std::vector<Token> tokens;
    for (uint32_t i = n_; i > 0;) {
      const Step& how = step_[i];
      tokens.push_back({how.kind, i - how.from, how.distance});
      i = how.from;
    }
    std::reverse(tokens.begin(), tokens.end());
    return tokens;
  }

 private:
  // How the cheapest way found to a position ends.
  struct Step {
    uint32_t from;
    uint16_t distance;
    Kind kind;
  };

  void Relax(uint32_t to, uint32_t bits, Step how) {
    if (bits < cost_[to]) {
      cost_[to] = bits;
      step_[to] = how;
    }
  }

  const uint8_t* text_;
  uint32_t n_;
  const std::vector<Copies>& copies_;
  std::vector<uint32_t> cost_;
  std::vector<Step> step_;
  // A raw run open at a position (its zero byte not yet paid for) and where it began.
  std::vector<uint32_t> run_cost_;
  std::vector<uint32_t> run_start_;
};

// Bits into bytes lowest bit first; a number is written lowest bit first.
class BitWriter {
 public:
  explicit BitWriter(std::string& bytes) : bytes_(bytes) {}
  // Writes the last byte, its unused high bits zero.
  void Flush() {
    if (pending_ > 0) bytes_.push_back(static_cast<char>(bits_ & 0xFF));
    bits_ = 0;
    pending_ = 0;
  }
  // count at most 32.
  void Put(uint32_t value, int count) {
    bits_ |= static_cast<uint64_t>(value & ((uint64_t{1} << count) - 1)) << pending_;
    pending_ += count;
    while (pending_ >= 8) {
      bytes_.push_back(static_cast<char>(bits_ & 0xFF));
      bits_ >>= 8;
      pending_ -= 8;
    }
  }

 private:
  std::string& bytes_;
  uint64_t bits_ = 0;  // the bits not yet in bytes_, lowest first
  int pending_ = 0;
};

std::string Emit(const uint8_t* text, uint32_t n, const std::vector<Token>& tokens) {
  std::string stream("\0pxa\0\0\0\0", kHeaderSize);
  BitWriter bits(stream);
  MoveToFront list;
  uint32_t i = 0;
  for (const Token& token : tokens) {
    switch (token.kind) {
      case Kind::kLiteral: {
        const uint32_t rank = list.Rank(text[i]);
        const uint32_t unary = UnaryCount(rank);
        bits.Put(1, 1);
        bits.Put((1u << unary) - 1, static_cast<int>(unary));
        bits.Put(0, 1);
        bits.Put(rank - 16 * ((1u << unary) - 1), static_cast<int>(4 + unary));
        list.Use(text[i]);
        break;
      }
      case Kind::kCopy: {
        const int width = WidthOf(token.distance);
        bits.Put(0, 1);
        if (width == 2) {
          bits.Put(0, 1);
        } else {
          bits.Put(1, 1);
          bits.Put(width == 0 ? 1 : 0, 1);
        }
        bits.Put(token.distance - 1, kWidthBits[width]);
        uint32_t rest = token.length - kMinCopy;
        for (; rest >= 7; rest -= 7) bits.Put(7, 3);
        bits.Put(rest, 3);
        break;
      }
      case Kind::kRaw:
        bits.Put(0, 1);
        bits.Put(1, 1);
        bits.Put(0, 1);
        bits.Put(0, 10);
        for (uint32_t k = i; k < i + token.length; ++k) bits.Put(text[k], 8);
        if (i + token.length < n) bits.Put(0, 8);
        break;
    }
    i += token.length;
  }
  bits.Flush();
  const uint32_t compressed =
      std::min<uint32_t>(static_cast<uint32_t>(stream.size()), kCompressedToEnd);
  stream[4] = static_cast<char>(n >> 8);
  stream[5] = static_cast<char>(n);
  stream[6] = static_cast<char>(compressed >> 8);
  stream[7] = static_cast<char>(compressed);
  return stream;
}

}  // namespace

std::optional<std::string> CompressCode(std::string_view code) {
  if (code.size() > kMaxCodeLength) return std::nullopt;
  try {
    const auto* text = reinterpret_cast<const uint8_t*>(code.data());
    const auto n = static_cast<uint32_t>(code.size());
    const std::vector<Copies> copies = FindCopies(text, n);
    std::string best = Emit(text, n, GreedyParse(n, copies));
    auto keep = [&best](std::string stream) {
      if (stream.size() < best.size()) best = std::move(stream);
    };
    CheapestParser parser(text, n, copies);
    std::vector<uint8_t> prices = PricesOfAllLiterals(text, n);
    for (int pass = 0; pass <= kRepricings; ++pass) {
      const std::vector<Token> tokens = parser.Parse(prices);
      keep(Emit(text, n, tokens));
      prices = PricesAfter(text, n, tokens);
    }
    return best;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace brasswick
