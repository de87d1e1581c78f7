// The code area's current format written: the code as a "\0pxa" stream, as small as
// the format lets us make it.
//
// The stream is a cost-minimising parse of the whole code into literals (through the
// move-to-front list), copies and raw runs, checked against a greedy parse: the smaller
// of the streams made is returned, so it is never larger than the greedy one.
//
// Nothing here prints or throws.
#ifndef BRASSWICK_CART_CODE_COMPRESSOR_H_
#define BRASSWICK_CART_CODE_COMPRESSOR_H_

#include <optional>
#include <string>
#include <string_view>

namespace brasswick {

// How hard the copy search works. The thorough search tries every position; the quick
// one, about a third faster, skips some inside long copies, which costs about a
// twentieth on code made of near-identical blocks and nothing measurable on Lua-like
// code. By default the thorough search runs only when the quick stream is within an
// eighth of the area's size of not fitting, and the smaller stream is kept.
enum class CompressEffort { kQuickUnlessNearFull, kThorough };

// The code (one byte a character; any byte value, zero included) as a current-format
// stream, its 8-byte header included, of whatever length it takes: the caller compares
// that with kCodeAreaSize. DecodeCodeStream gives the code back from it, and so does
// DecodeCodeArea once a stream that fits is padded with zeros to the area's size. A
// stream longer than the header's 16-bit compressed-length field can state (only code
// that hardly compresses, near the length limit) has 0xFFFF there, "up to the end".
// None when code is longer than kMaxCodeLength or memory runs out.
std::optional<std::string> CompressCode(
    std::string_view code, CompressEffort effort = CompressEffort::kQuickUnlessNearFull);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CODE_COMPRESSOR_H_
