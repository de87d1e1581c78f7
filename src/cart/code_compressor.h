// The code area's current format written: the code as a "\0pxa" stream, as small as
// the format lets us make it.
//
// The stream is a cost-minimising parse of the whole code into literals (through the
// move-to-front list), copies and raw runs (each ended by its zero byte, the last one
// too), checked against a greedy parse: the smaller of the streams made is returned,
// so it is never larger than the greedy one.
//
// Nothing here prints or throws.
#ifndef BRASSWICK_CART_CODE_COMPRESSOR_H_
#define BRASSWICK_CART_CODE_COMPRESSOR_H_

#include <optional>
#include <string>
#include <string_view>

namespace brasswick {

// How the copy search works. The thorough search tries every position; the quick one,
// about a third faster, takes copies of 32 bytes and more whole and skips some of the
// positions inside them. Neither is always the smaller: on code made of near-identical
// blocks the quick stream is about a twentieth larger, and on ordinary Lua either may
// win by a few bytes to a few dozen.
enum class CompressSearch { kQuick, kThorough };

// The code (one byte a character; any byte value, zero included) as a current-format
// stream, its 8-byte header included, of whatever length it takes: the caller compares
// that with kCodeAreaSize. It is the smaller of the two searches' streams (the thorough
// one on a tie), so a size counted and the stream written are always the same. The
// thorough search is skipped only where it is known to make the very stream of the
// quick one: when no match reached the length the quick search takes whole.
// DecodeCodeStream gives the code back from it, and so does DecodeCodeArea once a
// stream that fits is padded with zeros to the area's size. A stream longer than the
// header's 16-bit compressed-length field can state (only code that hardly compresses,
// near the length limit) has 0xFFFF there, "up to the end". None when code is longer
// than kMaxCodeLength.
std::optional<std::string> CompressCode(std::string_view code);

// The stream of one search alone, by the same rules; CompressCode keeps the smaller of
// these. None as for CompressCode.
std::optional<std::string> CompressCodeBySearch(std::string_view code, CompressSearch search);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CODE_COMPRESSOR_H_
