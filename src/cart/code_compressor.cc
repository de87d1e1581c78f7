#include "cart/code_compressor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include "cart/cart_code.h"
#include "cart/code_format.h"

namespace brasswick {
namespace {

// The three distance widths, 5, 10 and 15 bits: the farthest each reaches and the bits
// a copy through it spends before its length. (A 10-bit distance of 1 would read as a
// raw run, but the 5-bit width is cheaper there anyway.)
constexpr int kWidths = 3;
constexpr const int (&kWidthBits)[kWidths] = kDistanceClassBits;
constexpr uint32_t kCopyHeadBits[kWidths] = {1 + 2 + 5, 1 + 2 + 10, 1 + 1 + 15};
constexpr uint32_t kRawStartBits = 1 + 2 + 10;
constexpr uint32_t kRawByteBits = 8;
constexpr uint32_t kRawEndBits = 8;

// The farthest a copy reaches. The tree's links live in a ring of this many positions,
// so the oldest position a walk meets shares its slot with the walking one: the walk
// takes its match and stops there, as everything below it is older still.
constexpr uint32_t kWindow = 32768;
constexpr uint32_t kTreeMask = kWindow - 1;

// A copy at least this long is taken whole: its length is not tried shorter, and the
// positions it covers are not searched again (each goes on with the same distance).
// Without that, text like 65 535 equal bytes costs quadratic time. The tree compares
// this many bytes at most.
constexpr uint32_t kLongCopy = 128;
// The quick search takes copies whole from this length, and searches only every other
// position they cover, where a copy reaching past their end may begin. On Lua-like code
// it loses nothing; on code made of near-identical blocks, about a twentieth.
constexpr uint32_t kQuickLongCopy = 32;
// Tree nodes looked at per position: deeper walks found no more on Lua-like code.
constexpr int kTreeDepth = 24;
// Tree roots. Several beginnings sharing a root cost the walk little, as the tree
// orders by the text that follows; a small table stays in the cache.
constexpr int kHashBits = 14;

// Positions fit in 16 bits (code is at most 65 535 bytes, and the last three bytes never
// begin a copy), which leaves this value free.
constexpr uint16_t kNone = 0xFFFF;

int WidthOf(uint32_t distance) { return distance <= 32 ? 0 : distance <= 1024 ? 1 : 2; }

uint32_t CopyBits(int width, uint32_t length) {
  return kCopyHeadBits[width] + 3 * ((length - kMinCopyLength) / 7 + 1);
}

// A literal's unary count: positions 0-15 take none, then each bit reaches twice as
// many positions again.
constexpr uint32_t UnaryCount(uint32_t rank) {
  uint32_t unary = 0;
  while (rank >= 16 * ((2u << unary) - 1)) ++unary;
  return unary;
}

constexpr uint32_t kInfinity = std::numeric_limits<uint32_t>::max() / 2;

// The bits a literal takes, by its place in the list. This table and the one of length
// bits are made when compiled, not at every start of the program.
constexpr std::array<uint8_t, 256> kLiteralBits = [] {
  std::array<uint8_t, 256> bits{};
  for (uint32_t rank = 0; rank < 256; ++rank) {
    bits[rank] = static_cast<uint8_t>(6 + 2 * UnaryCount(rank));
  }
  return bits;
}();

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
// window is 32 768).
struct Copy {
  uint16_t length = 0;  // 0: none
  uint16_t distance = 0;
};
// The copies worth trying at one position: for each distance width, the longest copy it
// reaches when that is longer than what a narrower width reaches.
using Copies = std::array<Copy, kWidths>;

Copy MakeCopy(uint32_t length, uint32_t distance) {
  return {static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
}

void Offer(Copies& copies, uint32_t length, uint32_t distance) {
  Copy& copy = copies[WidthOf(distance)];
  if (length > copy.length) copy = MakeCopy(length, distance);
}

Copy Longest(const Copies& copies) {
  Copy longest;
  for (const Copy& copy : copies) {
    if (copy.length > longest.length) longest = copy;
  }
  return longest;
}

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

uint32_t Three(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16;
}

// The copies at each position, asked for in order. Earlier positions with the same
// first bytes are kept in a binary tree ordered by the text that follows them, newest at
// the top: walking down from the root meets ever longer matches, so few steps find the
// longest copy however often the first bytes recur (indentation, "end\n"). The newer
// positions are the higher ones, so the walk meets the near copies that narrower
// distances make cheaper on its way.
class CopyFinder {
 public:
  CopyFinder(const uint8_t* text, uint32_t n, bool quick)
      : text_(text),
        n_(n),
        quick_(quick),
        long_copy_(quick ? kQuickLongCopy : kLongCopy),
        smaller_(kWindow),
        larger_(kWindow),
        root_(size_t{1} << kHashBits, kNone) {}

  // The length from which a copy is taken whole.
  uint32_t LongCopy() const { return long_copy_; }
  // Whether a walk met a match of LongCopy() bytes. Until one does, the tree and the
  // copies found are those of any search whose LongCopy() is longer.
  bool MetLongCopy() const { return met_long_copy_; }

  // The copies at position i, for i = 0, 1, 2, ... in turn while i + 3 <= n.
  Copies At(uint32_t i) {
    Copies found{};
    if (i < whole_end_) {
      // Positions inside a copy taken whole stay out of the tree: their text is in it
      // already, a copy's length earlier. The quick search still tries every other one
      // of the copy's last kLongCopy, where a copy reaching past its end may begin.
      const Copy whole = MakeCopy(whole_end_ - i, whole_distance_);
      if (!quick_ || i % 2 != 0 || whole.length >= kLongCopy) {
        found[WidthOf(whole.distance)] = whole;
        return found;
      }
      Walk(i, found);
      Offer(found, whole.length, whole.distance);
    } else {
      Walk(i, found);
    }
    if (const Copy longest = Longest(found); longest.length >= long_copy_) {
      whole_end_ = i + longest.length;
      whole_distance_ = longest.distance;
    }
    return found;
  }

 private:
  // Puts position i into the tree, offering each longer match met on the way down.
  // The tree orders positions by their next LongCopy() bytes, a text that ends sooner
  // coming first.
  void Walk(uint32_t i, Copies& found) {
    const uint32_t rest = n_ - i;
    const uint32_t limit = std::min(rest, long_copy_);
    uint32_t best = kMinCopyLength - 1;
    // Where the next node smaller (larger) than position i hangs, and how much of
    // position i's text every node on that side shares.
    uint16_t* below = &smaller_[i & kTreeMask];
    uint16_t* above = &larger_[i & kTreeMask];
    uint32_t below_shared = 0;
    uint32_t above_shared = 0;
    uint16_t& top = root_[(Three(text_ + i) * 2654435761u) >> (32 - kHashBits)];
    uint32_t j = top;
    top = static_cast<uint16_t>(i);
    for (int steps = 0;; ++steps) {
      if (j == kNone || i - j > kWindow || steps == kTreeDepth) {
        *below = *above = kNone;
        return;
      }
      uint32_t length =
          MatchLength(text_ + j, text_ + i, std::min(below_shared, above_shared), limit);
      if (length == long_copy_) length = MatchLength(text_ + j, text_ + i, length, rest);
      if (length > best) {
        best = length;
        Offer(found, length, i - j);
      }
      const uint32_t slot = j & kTreeMask;
      if (i - j == kWindow) {
        *below = *above = kNone;
        return;
      }
      if (length >= long_copy_) {
        met_long_copy_ = true;
        // Position i takes the place of j, whose bytes the tree orders by it equal.
        *below = smaller_[slot];
        *above = larger_[slot];
        return;
      }
      // Position i's text ending first makes it the smaller.
      if (length < rest && text_[j + length] < text_[i + length]) {
        *below = static_cast<uint16_t>(j);
        below = &larger_[slot];
        below_shared = length;
        j = larger_[slot];
      } else {
        *above = static_cast<uint16_t>(j);
        above = &smaller_[slot];
        above_shared = length;
        j = smaller_[slot];
      }
    }
  }

  const uint8_t* text_;
  uint32_t n_;
  bool quick_;
  uint32_t long_copy_;
  // The tree's links, in a ring of the window's positions.
  std::vector<uint16_t> smaller_;
  std::vector<uint16_t> larger_;
  std::vector<uint16_t> root_;
  uint32_t whole_end_ = 0;  // the end of the copy last taken whole
  uint32_t whole_distance_ = 0;
  bool met_long_copy_ = false;
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

// A stream written token by token.
class StreamWriter {
 public:
  StreamWriter() : stream_(kCodeHeaderSize, '\0'), bits_(stream_) {
    std::copy(std::begin(kCurrentCodeMagic), std::end(kCurrentCodeMagic), stream_.begin());
  }

  uint32_t Rank(uint8_t byte) const { return list_.Rank(byte); }

  void Literal(uint8_t byte) {
    const uint32_t rank = list_.Rank(byte);
    const uint32_t unary = UnaryCount(rank);
    bits_.Put(1, 1);
    bits_.Put((1u << unary) - 1, static_cast<int>(unary));
    bits_.Put(0, 1);
    bits_.Put(rank - 16 * ((1u << unary) - 1), static_cast<int>(4 + unary));
    list_.Use(byte);
  }
  void CopyOf(uint32_t length, uint32_t distance) {
    const int width = WidthOf(distance);
    bits_.Put(0, 1);
    if (width == 2) {
      bits_.Put(0, 1);
    } else {
      bits_.Put(1, 1);
      bits_.Put(width == 0 ? 1 : 0, 1);
    }
    bits_.Put(distance - 1, kWidthBits[width]);
    uint32_t rest = length - kMinCopyLength;
    for (; rest >= 7; rest -= 7) bits_.Put(7, 3);
    bits_.Put(rest, 3);
  }
  // The run's zero byte ends it at the code's end too: readers other than ours
  // expect it there.
  void Raw(const uint8_t* bytes, uint32_t length) {
    bits_.Put(0b010, 3);
    bits_.Put(0, 10);
    for (uint32_t k = 0; k < length; ++k) bits_.Put(bytes[k], 8);
    bits_.Put(0, 8);
  }
  std::string Finish(uint32_t n) {
    bits_.Flush();
    const uint32_t compressed =
        static_cast<uint32_t>(std::min<size_t>(stream_.size(), kCompressedToEnd));
    stream_[4] = static_cast<char>(n >> 8);
    stream_[5] = static_cast<char>(n);
    stream_[6] = static_cast<char>(compressed >> 8);
    stream_[7] = static_cast<char>(compressed);
    return std::move(stream_);
  }

 private:
  std::string stream_;
  BitWriter bits_;
  MoveToFront list_;
};

// How the cheapest way found to a position ends: the token before it, by its start
// (low 16 bits) and distance (high 16 bits). Sixteen bits hold any position, as code is
// at most 65 535 bytes. A literal has distance 0, a raw run one beyond any copy's.
using Step = uint32_t;
constexpr uint32_t kLiteralDistance = 0;
constexpr uint32_t kRawDistance = 0xFFFF;
Step MakeStep(uint32_t from, uint32_t distance) { return from | distance << 16; }
uint32_t StepFrom(Step step) { return step & 0xFFFF; }
uint32_t StepDistance(Step step) { return step >> 16; }

// The cheapest parse by the bit costs of the format, made in one pass with the copies
// found as it goes; the greedy parse is written beside it. Literals are priced by the
// list as the greedy parse leaves it at each position: their true price depends on the
// parse itself, and the greedy one is the nearest known.
class Compressor {
 public:
  Compressor(const uint8_t* text, uint32_t n, bool quick)
      : text_(text), n_(n), finder_(text, n, quick), steps_(std::min(n, kBlock) + 1) {
    cost_.fill(kInfinity);
  }

  std::string Run() {
    cost_[0] = 0;
    uint32_t greedy_next = 0;
    uint32_t block = 0;  // where the block of positions not yet written starts
    for (uint32_t i = 0;; ++i) {
      const uint32_t slot = i & kRingMask;
      if (far_to_ == i) Relax(i, far_bits_, far_step_);
      if (run_bits_ != kInfinity) {
        Relax(i, run_bits_ + kRawEndBits, MakeStep(run_start_, kRawDistance));
      }
      steps_[i - block] = step_[slot];
      if (i == n_) break;
      if (i - block == kBlock) {
        WriteCheapest(block, i);
        block = i;
        // The parse goes on from i alone: what reaches past it from before is dropped.
        for (uint32_t ahead = 1; ahead < kRing; ++ahead) cost_[(i + ahead) & kRingMask] = kInfinity;
        far_to_ = i;
        run_bits_ = kInfinity;
      }
      const uint32_t bits = cost_[slot];
      cost_[slot] = kInfinity;  // the slot goes on to serve position i + kRing
      if (bits + kRawStartBits < run_bits_) {
        run_bits_ = bits + kRawStartBits;
        run_start_ = i;
      }
      // A raw run cannot hold a zero byte: that would end it.
      run_bits_ = text_[i] != 0 && run_bits_ != kInfinity ? run_bits_ + kRawByteBits : kInfinity;

      const Copies copies = i + kMinCopyLength <= n_ ? finder_.At(i) : Copies{};
      Relax(i + 1, bits + kLiteralBits[greedy_.Rank(text_[i])], MakeStep(i, kLiteralDistance));
      if (i == greedy_next) {
        const Copy copy = Longest(copies);
        if (copy.length >= kMinCopyLength) {
          greedy_.CopyOf(copy.length, copy.distance);
          greedy_next += copy.length;
        } else {
          greedy_.Literal(text_[i]);
          ++greedy_next;
        }
      }
      uint32_t shortest = kMinCopyLength;
      for (int width = 0; width < kWidths; ++width) {
        const Copy& copy = copies[width];
        if (copy.length < shortest) continue;
        const Step how = MakeStep(i, copy.distance);
        if (copy.length < finder_.LongCopy()) {
          RelaxLengths(i, shortest, copy.length, bits + kCopyHeadBits[width], how);
        } else if (copy.length < kRing) {
          Relax(i + copy.length, bits + CopyBits(width, copy.length), how);
        } else {
          RelaxFar(i, copy.length, bits + CopyBits(width, copy.length), how);
        }
        shortest = copy.length + 1;
      }
    }
    WriteCheapest(block, n_);
    std::string greedy = greedy_.Finish(n_);
    std::string cheapest = cheapest_.Finish(n_);
    return cheapest.size() <= greedy.size() ? std::move(cheapest) : std::move(greedy);
  }

  // Whether the copy search met a copy it takes whole (see CopyFinder::MetLongCopy).
  bool MetLongCopy() const { return finder_.MetLongCopy(); }

 private:
  // Enough for every relaxation but those of copies taken whole, which go to far_.
  static constexpr uint32_t kRing = 256;
  static constexpr uint32_t kRingMask = kRing - 1;
  static_assert(kLongCopy < kRing);
  // Positions parsed before their cheapest tokens are written. Making each block's end
  // a token's end costs a few bits, and keeps the steps to a small table.
  static constexpr uint32_t kBlock = 16384;

  void Relax(uint32_t to, uint32_t bits, Step how) {
    const uint32_t slot = to & kRingMask;
    if (bits < cost_[slot]) {
      cost_[slot] = bits;
      step_[slot] = how;
    }
  }

  // The bits a copy's length takes, by length: every seventh length three more.
  static constexpr std::array<uint32_t, kRing> kLengthBits = [] {
    std::array<uint32_t, kRing> bits{};
    for (uint32_t length = kMinCopyLength; length < kRing; ++length) {
      bits[length] = 3 * ((length - kMinCopyLength) / 7 + 1);
    }
    return bits;
  }();

  // Every length from first to last of a copy from i, its head costing head bits. One
  // at a time: wide stores here stall the loads of the positions just relaxed.
  void RelaxLengths(uint32_t i, uint32_t first, uint32_t last, uint32_t head, Step how) {
    for (uint32_t length = first; length <= last; ++length) {
      Relax(i + length, head + kLengthBits[length], how);
    }
  }

  // A copy past the ring. Only the copies taken whole get there, all ending where the
  // first did, so one slot holds them.
  void RelaxFar(uint32_t i, uint32_t length, uint32_t bits, Step how) {
    const uint32_t to = i + length;
    if (far_to_ > i && far_to_ != to) return;
    if (far_to_ != to || bits < far_bits_) {
      far_to_ = to;
      far_bits_ = bits;
      far_step_ = how;
    }
  }

  // Writes the cheapest tokens from start to end: follows the steps back from end,
  // turning each into its token's length at the token's start, then writes forward.
  void WriteCheapest(uint32_t start, uint32_t end) {
    uint32_t i = end;
    Step step = steps_[i - start];
    while (i > start) {
      const uint32_t from = StepFrom(step);
      const Step before = steps_[from - start];
      steps_[from - start] = MakeStep(i - from, StepDistance(step));
      i = from;
      step = before;
    }
    for (i = start; i < end;) {
      const uint32_t length = StepFrom(steps_[i - start]);
      const uint32_t distance = StepDistance(steps_[i - start]);
      if (distance == kLiteralDistance) {
        cheapest_.Literal(text_[i]);
      } else if (distance == kRawDistance) {
        cheapest_.Raw(text_ + i, length);
      } else {
        cheapest_.CopyOf(length, distance);
      }
      i += length;
    }
  }

  const uint8_t* text_;
  uint32_t n_;
  CopyFinder finder_;
  // The cheapest cost found to each position ahead and its step, in a ring.
  std::array<uint32_t, kRing> cost_;
  std::array<Step, kRing> step_{};
  // The final steps, by position.
  std::vector<Step> steps_;
  // The copy relaxed beyond the ring: its end, cost and step.
  uint32_t far_to_ = 0;
  uint32_t far_bits_ = kInfinity;
  Step far_step_ = 0;
  // A raw run open at the position reached (its zero byte not yet paid for).
  uint32_t run_bits_ = kInfinity;
  uint32_t run_start_ = 0;
  StreamWriter greedy_;
  StreamWriter cheapest_;
};

}  // namespace

std::optional<std::string> CompressCodeBySearch(std::string_view code, CompressSearch search) {
  if (code.size() > kMaxCodeLength) return std::nullopt;
  const auto* text = reinterpret_cast<const uint8_t*>(code.data());
  const auto n = static_cast<uint32_t>(code.size());
  return Compressor(text, n, search == CompressSearch::kQuick).Run();
}

std::optional<std::string> CompressCode(std::string_view code) {
  if (code.size() > kMaxCodeLength) return std::nullopt;
  const auto* text = reinterpret_cast<const uint8_t*>(code.data());
  const auto n = static_cast<uint32_t>(code.size());
  Compressor quick(text, n, true);
  std::string stream = quick.Run();
  // Until a match as long as the quick search takes whole, both searches walk the same
  // tree and find the same copies: the thorough one would make the same stream.
  if (!quick.MetLongCopy()) return stream;
  std::string thorough = Compressor(text, n, false).Run();
  return thorough.size() <= stream.size() ? thorough : stream;
}

}  // namespace brasswick
