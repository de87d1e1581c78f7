// Random programs in the console's Lua dialect, built from its grammar: every statement
// and expression form, short ifs and whiles, `?`, compound assignments, every operator,
// strings with every escape, numbers in every form, and comments. The same seed gives
// the same program on every machine.
#ifndef BRASSWICK_TESTS_CODE_LUA_PROGRAM_GENERATOR_H_
#define BRASSWICK_TESTS_CODE_LUA_PROGRAM_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace brasswick::testing {

// A program that parses, of about `size` bytes (at least one statement; whole
// statements, so it may run a little over).
std::string GenerateLuaProgram(uint32_t seed, size_t size);

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_CODE_LUA_PROGRAM_GENERATOR_H_
