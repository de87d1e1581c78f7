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
// missing ones stay 0. One pass over the text, no allocation but the result.
CartPayload ParseCartData(std::string_view list_text);

// How a list's values fall into cartridges. The console exports kCartRomSize values a
// cartridge, the one that boots first: a list of a whole number of ROMs holds that many
// carts and no trailer. Any other list is one cart whose values past its ROM are its
// trailer (a list of kCartPayloadSize values, as this program wrote players before).
struct CartListShape {
  size_t value_count = 0;  // values the list holds, as ParseCartData counts them
  size_t cart_count = 1;
  bool has_trailer = true;
  // The values that belong to the first cart: kCartRomSize, or kCartPayloadSize with a
  // trailer.
  size_t first_cart_values = kCartPayloadSize;
};
CartListShape ShapeOfCartList(std::string_view list_text);

// Whether the script was exported by a console older than the current code format: it
// names its cartridges with single quotes (_cartname=['game.p8']) where newer ones use
// backquotes. Such a player runs only old-format or plain code.
bool IsOldPlayerScript(std::string_view script);

// The script with the first cart of its first "_cartdat=[...]" list (letter case
// ignored, up to the "]" after it) holding bytes: of bytes, as many as that cart takes
// (CartListShape::first_cart_values) are written. A value whose byte is already right
// keeps its text; any other becomes its decimal value, the blanks around it kept;
// values the list lacks are appended. The other carts, and every byte outside the
// list, stay as they were, so that bytes the list already holds give the script back
// unchanged. None when the script holds no such list (no start, or one never closed).
std::optional<std::string> ReplaceCartData(std::string_view script, std::span<const uint8_t> bytes);

}  // namespace brasswick

#endif  // BRASSWICK_CART_PLAYER_SCRIPT_H_
