// Small readers of command arguments shared by the command procedures.
#ifndef BRASSWICK_COMMANDS_COMMAND_ARGS_H_
#define BRASSWICK_COMMANDS_COMMAND_ARGS_H_

#include <cstdint>
#include <string_view>

namespace brasswick {

// The value as a floating-point number (its leading numeric text), or default_value
// when the argument was not given or its value is empty.
double GetArgNumber(std::string_view spec, int64_t index, double default_value);

// Rounds to the nearest integer, halves to even, clamped into the 64-bit range.
int64_t RoundHalfEven(double value);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_COMMAND_ARGS_H_
