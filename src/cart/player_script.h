// The cartridge an exported player carries in its script as "_cartdat=[...]".
#ifndef BRASSWICK_CART_PLAYER_SCRIPT_H_
#define BRASSWICK_CART_PLAYER_SCRIPT_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cart/cart_image.h"

namespace brasswick {

// The markers around a player script's byte list.
inline constexpr std::string_view kCartDataStart = "_cartdat=[";
inline constexpr std::string_view kCartDataEnd = "]";

// The bytes of a list text (what stands between the markers): comma-separated values,
// each an optional sign and then "$" with hex digits, "%" with binary digits, or decimal
// digits, read up to the first character that does not fit (none read gives 0), and
// stored as its low 8 bits (-1 gives 0xFF). Blanks, tabs and line ends are ignored
// wherever they stand, an empty value stores 0, and a list ending in a comma stores
// nothing for it. The result is kCartPayloadSize bytes: values past that are ignored,
// missing ones stay 0. One pass over the text, no allocation but the result. None only
// when the result cannot be allocated.
std::optional<CartPayload> ParseCartData(std::string_view list_text);

// The script with the text between its first "_cartdat=[" (letter case ignored) and
// the "]" after it replaced by bytes' decimal values, comma-separated; every other byte
// stays as it was. None when the script holds no such list (no start, or one never
// closed) or memory runs out.
std::optional<std::string> ReplaceCartData(std::string_view script, std::span<const uint8_t> bytes);

}  // namespace brasswick

#endif  // BRASSWICK_CART_PLAYER_SCRIPT_H_
