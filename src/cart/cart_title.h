// The two title lines of a .p8.png cartridge, below its label: line 1 in rows 167-171
// and line 2 in rows 175-179, each cleared across columns 16-143 and written from
// column 18 in the cartridge font, without disturbing the payload the pixels carry.
#ifndef BRASSWICK_CART_CART_TITLE_H_
#define BRASSWICK_CART_CART_TITLE_H_

#include <optional>
#include <string>
#include <string_view>

#include "runtime/image/image.h"

namespace brasswick {

inline constexpr int kCartTitleX = 18;
inline constexpr int kCartTitleY = 167;
inline constexpr int kCartSubtitleY = 175;
// Red 252, green 248, blue 240.
inline constexpr ColorValue kCartTitleColor = 0xF0F8FC;

// UTF-8 text as the UTF-16 code units the font draws, each character upper-cased by
// the C library's wide-character mapping of a UTF-8 locale (ASCII only when no such
// locale exists). Bytes that do not form a UTF-8 character are skipped.
std::u16string CartTitleText(std::string_view utf8);

// Clears both title lines to the colour at column 17 of their first row and draws the
// UTF-8 title and subtitle upper-cased in the title colour; all 32 800 payload bytes
// are kept. False, with the picture unchanged, when it has not the cartridge shape.
bool ApplyCartTitle(RgbaImage& image, std::string_view title, std::string_view subtitle);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_TITLE_H_
