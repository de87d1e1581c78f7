// convert's --minify: a cartridge's code made smaller before it is written, with what
// the minifier did told under --verbose.
#ifndef BRASSWICK_COMMANDS_CODE_MINIFY_H_
#define BRASSWICK_COMMANDS_CODE_MINIFY_H_

#include <optional>
#include <string>
#include <string_view>

#include "code/lua_lexer.h"

namespace brasswick {

// Whether --minify or --minify=locals was given.
bool MinifyAsked();

// The code (one byte a character) minified as the switches ask: --minify=locals keeps
// every global and field name, --keep NAMES (comma-separated, repeatable) keeps more.
// With --verbose prints the tokens, characters and compressed size before and after and
// how many names of each kind were renamed and kept; given twice, also why each kept
// global and field kept its name. None, with failure 169 "FILE:LINE:COLUMN: message"
// recorded (placed through map), when the code does not parse.
std::optional<std::string> MinifyCartCode(std::string_view code, const SourceMap& map);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_CODE_MINIFY_H_
