// The step every cartridge-reading command begins with: load the input cartridge and
// record the load failure when it cannot be read.
#ifndef BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_
#define BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_

#include <optional>
#include <string>

#include "cart/cart_document.h"

namespace brasswick {

// Prints "Loading p8 file..." when verbose and loads the resolved path. None when it
// cannot be loaded, with failure 129 "Failed to load p8 file:" and the path recorded.
std::optional<CartDocument> LoadInputCartridge(const std::string& input_path);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_
