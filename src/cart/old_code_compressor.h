// The code area as a console older than the current code format reads it: the old
// ":c:\0" byte stream (escaped literals, characters of a 59-entry table, short copies),
// or plain bytes. Players exported by such a console hang on a current-format stream.
//
// Nothing here prints or throws.
#ifndef BRASSWICK_CART_OLD_CODE_COMPRESSOR_H_
#define BRASSWICK_CART_OLD_CODE_COMPRESSOR_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "cart/code_format.h"

namespace brasswick {

// The farthest back and the longest a copy of the old stream reaches (its fields are in
// code_format.h).
inline constexpr size_t kOldCopyMaxDistance = (255 - kOldFirstCopyByte) * 16 + 15;
inline constexpr size_t kOldCopyMaxLength = 15 + kOldCopyMinLength;

// The code (one byte a character, any byte value) as an old-format stream: ":c:\0",
// the code's length big-endian, two zero bytes, then the stream, of whatever length it
// takes (the caller compares that with kCodeAreaSize). Greedy: each step takes the
// longest earlier match within reach when it costs less than its bytes one by one.
// DecodeCodeArea gives the code back from it once padded to the area's size, except
// that the reader removes the _update60 ending an older console appended when the code
// ends with it. None when code is longer than kMaxCodeLength.
std::optional<std::string> CompressOldCode(std::string_view code);

// The code area (kCodeAreaSize bytes) an old console runs holding code exactly: the
// plain bytes zero-padded when code is at most kCodeAreaSize bytes and holds no zero
// byte, else the old-format stream zero-padded when it fits and reads back as code
// (it does not when code ends with the _update60 ending the reader removes). None when
// neither holds it; *stream_size (when not null) then gets the old stream's size, 0
// when none was made (code longer than kMaxCodeLength).
std::optional<std::string> OldConsoleCodeArea(std::string_view code, size_t* stream_size);

}  // namespace brasswick

#endif  // BRASSWICK_CART_OLD_CODE_COMPRESSOR_H_
