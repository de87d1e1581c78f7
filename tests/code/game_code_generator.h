// Game-like code in the console's Lua dialect, shaped as people write whole games:
// `_init`/`_update`/`_draw`, a hero and kinds of foes in object tables with descriptive
// fields, entity lists walked with `all`, particles, string-named states, level data in
// strings, helpers with long parameter names, comments and indentation. Each seed picks
// a style from a fixed table (comments or none, tabs or spaces, long or terse names)
// and a theme's vocabulary, and some styles use what a careless minifier breaks: fields
// reached through strings, `_ENV`, `goto`, metatables. Also the short hand-written
// snippets of each such pattern alone. Everything here is ours; the same seed gives the
// same game on every machine.
#ifndef BRASSWICK_TESTS_CODE_GAME_CODE_GENERATOR_H_
#define BRASSWICK_TESTS_CODE_GAME_CODE_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace brasswick::testing {

struct GameStyle {
  const char* name;
  const char* indent;   // one level of indentation ("" for none)
  bool comments;        // line, block and `//` comments
  bool short_names;     // `p.dx` rather than `player.velocity_x`
  bool packed_lines;    // several statements to a line, few spaces around operators
  bool string_fields;   // fields reached by strings: split lists, `pos[axis]`, `"spr_"..kind`
  bool env;             // `local _ENV = obj` and `function f(_ENV)`
  bool gotos;           // `goto continue` in entity loops
  bool classes;         // classes with metatables (`__index`, `__add`)
  bool bang_not_equal;  // `!=` rather than `~=`
  // Games of this style up to this many bytes stay within the console's token limit.
  size_t within_token_limit;
};

// The styles the seeds choose from; a seed's style is GameStyles()[seed % size].
const std::vector<GameStyle>& GameStyles();
const GameStyle& GameStyleOf(uint32_t seed);

// The most that the part of a game its style always has (the callbacks and states, the
// hero, and whatever shows the style's features) takes. A game asked to be smaller than
// that part comes out as that part alone.
inline constexpr size_t kSmallestGame = 7500;

// A whole game that lexes and parses, of at most `size` bytes (and less only by a few
// hundred) when `size` is at least kSmallestGame. Uses every feature its style asks for.
std::string GenerateGameCode(uint32_t seed, size_t size);

// Short game-like snippets (name, code), each of one pattern that a minifier which
// renames or rewrites carelessly turns into a different game: fields reached by string
// literals, split lists, `{"x","y"}` pairs and concatenation, `_ENV`, `self`, metatable
// keys, `n` from `pack`, a local shadowing a global, a redefined console function,
// `goto`, closures over loop variables, nested short ifs, and `?` after code. Each
// parses on its own.
std::vector<std::pair<std::string, std::string>> TrapSnippets();

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_CODE_GAME_CODE_GENERATOR_H_
