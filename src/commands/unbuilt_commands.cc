// Commands whose work is not built yet. They fail loudly rather than pretend to work.
#include <string>

#include "app/console/console.h"
#include "commands/command_procedures.h"

namespace brasswick {
namespace {

// Outside the range of real failure codes, so scripts can tell it apart.
constexpr int kNotBuiltCode = 100;

int NotBuilt(const std::string& command) {
  RecordFailure(kNotBuiltCode, "The '" + command + "' command is not built yet");
  return 0;
}

}  // namespace

int EditHTMLRT() { return NotBuilt("sethtml"); }

}  // namespace brasswick
