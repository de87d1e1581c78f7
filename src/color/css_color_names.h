// The 148 named colours of CSS (aliceblue .. yellowgreen), read from the JSON-object
// text compiled into the program (src/color/css_color_names.json).
#ifndef BRASSWICK_COLOR_CSS_COLOR_NAMES_H_
#define BRASSWICK_COLOR_CSS_COLOR_NAMES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/image/color_value.h"

namespace brasswick {

// The embedded text: kCssColorNamesJson_size bytes (a NUL follows them).
extern const unsigned char kCssColorNamesJson[];
extern const std::size_t kCssColorNamesJson_size;

struct CssColorName {
  std::string name;  // lower case
  ColorValue color;  // no alpha
};

// (Re)builds the list from the embedded text: every line holding exactly four double
// quotes gives a name (between the 1st and 2nd, lower-cased) and a "#rrggbb" colour
// (between the 3rd and 4th); other lines are skipped.
void LoadCssColorNames();
// The list in file order; loaded on first use when LoadCssColorNames() was not called.
const std::vector<CssColorName>& CssColorNames();

// The colour of the first name equal to the text with every blank and "-" removed and
// lower-cased ("Alice Blue", "alice-blue" and "ALICEBLUE" all match); kNoColor if none.
ColorValue LookupCssColorName(std::string_view text);

}  // namespace brasswick

#endif  // BRASSWICK_COLOR_CSS_COLOR_NAMES_H_
