// The text of a custom palette: up to 16 comma-separated fields, one a colour index.
#ifndef BRASSWICK_COLOR_CUSTOM_PALETTE_H_
#define BRASSWICK_COLOR_CUSTOM_PALETTE_H_

#include <string_view>

namespace brasswick {

// Field i sets custom entry i: a field of two or more characters or a single digit is
// a ColorSpec (unreadable ones give white), "a" or "A" takes alternate entry i,
// anything else (empty included) standard entry i; indices past the last field keep
// their standard colours. Selects the custom row. More than 16 fields (more than 15
// commas) change nothing and give false.
bool FillCustomPalette(std::string_view palette_text);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_CUSTOM_PALETTE_H_
