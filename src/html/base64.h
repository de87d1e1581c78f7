// Base64 (RFC 4648) for the pictures a player page embeds as data URIs.
#ifndef BRASSWICK_HTML_BASE64_H_
#define BRASSWICK_HTML_BASE64_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brasswick {

// Flags of Base64Encode; the program itself always encodes with none.
inline constexpr int kBase64UrlAlphabet = 16;  // "-" and "_" for 62 and 63
inline constexpr int kBase64NoPadding = 32;    // no trailing "="

// Four characters for each three bytes, the last one or two bytes giving two or three
// characters and "==" or "=", no line breaks. "" for no bytes.
std::string Base64Encode(const uint8_t* bytes, size_t length, int flags = 0);

// The bytes of a base64 text: decoding stops at the first "=" or at the end, any
// character outside the alphabet (line breaks, blanks, other bytes) is skipped, and
// both "+" "/" and "-" "_" stand for 62 and 63. None when no character or a single
// lone last character remains (n mod 4 = 1).
std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text);

}  // namespace brasswick

#endif  // BRASSWICK_HTML_BASE64_H_
