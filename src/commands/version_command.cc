#include "console/console.h"
#include "commands/command_procedures.h"

namespace brasswick {

int VersionRT() {
  PrintBanner();
  return 0;
}

}  // namespace brasswick
