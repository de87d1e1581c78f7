// The code area's stream formats, stated once for their decoders (cart_code.cc) and
// their encoders (code_compressor.cc, old_code_compressor.cc).
//
// Both compressed formats begin with 8 bytes: 4 of magic, the code's length big-endian,
// then (current format only) the stream's length big-endian, header included.
#ifndef BRASSWICK_CART_CODE_FORMAT_H_
#define BRASSWICK_CART_CODE_FORMAT_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace brasswick {

inline constexpr size_t kCodeHeaderSize = 8;
inline constexpr uint8_t kCurrentCodeMagic[4] = {0x00, 0x70, 0x78, 0x61};  // "\0pxa"
inline constexpr uint8_t kOldCodeMagic[4] = {0x3A, 0x63, 0x3A, 0x00};      // ":c:\0"

// Whether bytes begin with a format's magic.
inline bool StartsWithMagic(std::span<const uint8_t> bytes, const uint8_t (&magic)[4]) {
  return bytes.size() >= 4 && std::equal(magic, magic + 4, bytes.begin());
}

// The current format. A stream longer than its 16-bit length field can state has this
// there: "up to the end".
inline constexpr size_t kCompressedToEnd = 0xFFFF;
// A copy is 3 bytes or more; its distance is stated in 5, 10 or 15 bits (the 10-bit
// class with distance 0 is a raw run, ended by a zero byte).
inline constexpr uint32_t kMinCopyLength = 3;
inline constexpr int kDistanceClassBits[3] = {5, 10, 15};

// The old format: a byte 0 escapes the next byte as a literal, 1-59 are the characters
// of this table (position 0 is never written), 60 and above begin a two-byte copy.
inline constexpr std::string_view kOldCodeTable =
    "^\n 0123456789abcdefghijklmnopqrstuvwxyz!#%(){}[]<>+=/*:;.,~_";
inline constexpr uint8_t kOldLiteralEscape = 0;
inline constexpr uint8_t kOldFirstCopyByte = 60;
// A copy's first byte holds the distance's upper part (from kOldFirstCopyByte), its
// second the distance's lower four bits and, above them, the length less
// kOldCopyMinLength.
inline constexpr size_t kOldCopyMinLength = 2;
static_assert(kOldCodeTable.size() == kOldFirstCopyByte);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CODE_FORMAT_H_
