// Lua-like programs for measuring the code compressor: made from a seed alone, so the
// same seed always gives the same text on every machine.
#ifndef BRASSWICK_TESTS_CART_LUA_CORPUS_H_
#define BRASSWICK_TESTS_CART_LUA_CORPUS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brasswick::testing {

// A program of exactly `size` bytes in the manner of a cartridge's code: functions of
// statements over a vocabulary of its own identifiers, keywords, the console's calls,
// numbers, strings (now and then with glyph bytes), comments and indentation.
std::string LuaLikeProgram(uint32_t seed, size_t size);

// The measuring corpus: `count` programs of 2 to 60 KB, their sizes spread over that range.
std::vector<std::string> LuaCorpus(int count);

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_CART_LUA_CORPUS_H_
