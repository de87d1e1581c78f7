#include "commands/command_procedures.h"
#include "console/console.h"

namespace brasswick {

int VersionRT() {
  PrintBanner();
  return 0;
}

}  // namespace brasswick
