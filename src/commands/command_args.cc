#include "commands/command_args.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "cli/cli_api.h"

namespace brasswick {

double GetArgNumber(std::string_view spec, int64_t index, double default_value) {
  std::string text = GetArgValue(spec, index, "");
  if (text.empty()) return default_value;
  return std::strtod(text.c_str(), nullptr);
}

int64_t RoundHalfEven(double value) {
  // nearbyint rounds in the default mode, to nearest with halves to even.
  double rounded = std::nearbyint(value);
  if (!(rounded > -9.2e18)) return std::numeric_limits<int64_t>::min();
  if (!(rounded < 9.2e18)) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(rounded);
}

}  // namespace brasswick
