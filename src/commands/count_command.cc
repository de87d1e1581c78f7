// The count command: the editor's figures for a cartridge's code in any form, so that a
// build can stop on code the console would refuse to save or run.
#include <optional>
#include <string>

#include "cart/cart_layout.h"
#include "cart/cart_reader.h"
#include "cli/cli_api.h"
#include "commands/cartridge_input.h"
#include "commands/code_count.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "console/console.h"
#include "forms/cart_rom.h"
#include "runtime/platform/paths.h"

namespace brasswick {

int CountRT() {
  PrintBannerIfVerbose();
  const std::string input_path = ResolvePath(GetArgValue(arg::kCart), "");
  PrintVerbose("Loading cartridge...");
  std::optional<CartFile> file = ReadCartFile(input_path);
  if (!file || (file->form != CartForm::kText && file->payload.size() != kCartPayloadSize)) {
    RecordFailure(kNotACartridge, "Failed to read a cartridge from:\n" + input_path);
    return 0;
  }
  PrintVerbose(input_path);
  std::optional<CodeFigures> figures;
  if (file->form == CartForm::kText) {
    // Code past the characters' limit is still counted: that it passes is the news.
    figures = CountP8Code(*file->document, input_path);
  } else {
    FormFailure failure;
    std::optional<RomCartridge> cartridge = RomOfFile(*file, input_path, false, &failure);
    if (!cartridge) {
      RecordFormFailure(failure);
      return 0;
    }
    figures = CountRomCode(*cartridge, input_path);
  }
  if (!figures) return 0;
  PrintCodeFigures(*figures);
  const std::string past = FiguresPastLimits(*figures);
  if (past.empty()) {
    PrintVerbose("Every figure is within its limit.");
    return 0;
  }
  PrintVerbose("Past the limit: " + past);
  RecordFailure(kCodePastLimit,
                "Failed to fit the code in a cartridge: " + past + ":\n" + input_path);
  return 0;
}

}  // namespace brasswick
