#include "commands/cartridge_input.h"

#include "app/console/console.h"
#include "commands/failure_codes.h"

namespace brasswick {

std::optional<CartDocument> LoadInputCartridge(const std::string& input_path) {
  PrintVerbose("Loading p8 file...");
  std::optional<CartDocument> document = LoadCartDocument(input_path);
  if (!document) RecordFailure(kLoadCartridgeFailed, LoadP8FailedMessage(input_path));
  return document;
}

}  // namespace brasswick
