// The extractjsrom command: the cartridge an exported player carries in its script,
// written out as a .p8.png cartridge made from the template (with title, subtitle and
// label) or as the raw 32 768-byte memory image.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cart/cart_reader.h"
#include "cli/cli_api.h"
#include "color/output_paths.h"
#include "commands/cartridge_input.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "console/console.h"
#include "forms/cart_writer.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

std::string NoCartDataMessage(const std::string& path) {
  return "File contains no cart data:\n" + path;
}

// The cartridge picture is drawn whole in memory (template, titles, label, payload)
// and saved once, so that the file is either the finished cartridge or not there.
void WriteCartImage(const RomCartridge& cartridge, const std::string& output_path) {
  PrintVerbose("Generating cartridge image...");
  CartWriteOptions options;
  options.titles = {GetArgValue(arg::kTitle), GetArgValue(arg::kSubtitle)};
  // A label that cannot be used costs the cartridge nothing: it is made without one.
  options.label_may_fail = true;
  const std::string label_value = GetArgValue(arg::kLabel);
  ImagePtr label;
  if (!label_value.empty()) {
    label = LoadImageFile(ResolvePath(label_value, ""));
    if (!label) PrintNotice("Warning: Could not apply label image:\n" + label_value);
    options.label = label.get();
  }
  PrintVerbose("Saving cartridge image...");
  CartWriteFailure failure;
  const bool written =
      WriteCartFile(cartridge, CartOutput::kPicture, output_path, options, &failure);
  if (failure.label_skipped) PrintNotice("Warning: Could not apply label image:\n" + label_value);
  if (!written) {
    if (failure.problem == WriteProblem::kSave) {
      RecordFailure(kSaveImageFailed,
                    WithWriteNote(SaveImageFailedMessage(output_path), failure.saved));
    } else {
      RecordFailure(kGenerateImageFailed, "Failed to generate cartridge image");
    }
    return;
  }
  PrintVerbose("Extracted: " + output_path);
  RunFinishingActions(output_path, "Opening extracted PNG...", "Locating extracted PNG...");
}

void WriteCartRom(const RomCartridge& cartridge, const std::string& output_path) {
  PrintVerbose("Generating cartridge ROM...");
  CartWriteFailure failure;
  if (!WriteCartFile(cartridge, CartOutput::kRom, output_path, {}, &failure)) {
    RecordFailure(kWriteRomFailed,
                  failure.opened
                      ? WithWriteNote("Failed to write to ROM file:\n" + output_path, failure.saved)
                      : "Failed to save ROM file:\n" + output_path);
    return;
  }
  PrintVerbose("Extracted: " + output_path);
  RunFinishingActions(output_path, "Opening extracted ROM...", "Locating extracted ROM...");
}

}  // namespace

int ExtractJSROMRT() {
  PrintBannerIfVerbose();
  const std::string input_path = ResolvePath(GetArgValue(arg::kJsFile), "");
  std::optional<CartFile> file = ReadCartFile(input_path);
  const bool player = file && file->form == CartForm::kPlayer;
  // A page leads to the script that holds its cartridge.
  std::string js_path = input_path;
  if (player && !file->script_path.empty() && file->script_path != input_path) {
    js_path = file->script_path;
    PrintVerbose("Assuming you intended '" + std::string(FileNameOf(js_path)) + "'...");
  }
  PrintVerbose("Loading JS file...");
  if (!file && FileSize(input_path) < 0) {
    RecordFailure(kLoadJavaScriptFailed, "Failed to load JavaScript file:\n" + js_path);
    return 0;
  }
  std::string output_path = GetArgValue(arg::kOutputFile);
  if (output_path.empty()) output_path = js_path + ".p8.rom";
  if (!player || file->payload.empty()) {
    RecordFailure(kLoadJavaScriptFailed, NoCartDataMessage(js_path));
    return 0;
  }
  PrintVerbose("Loading cart data...");
  // Neither the player's files nor the label picture may be written over.
  std::vector<std::string> read_paths = file->read_paths;
  if (IsArgSet(arg::kLabel)) read_paths.push_back(ResolvePath(GetArgValue(arg::kLabel), ""));
  if (!CheckOutputIsNotRead(read_paths, output_path)) return 0;
  RomCartridge cartridge;
  cartridge.payload = std::move(file->payload);
  if (ImageFormatForPath(output_path) == ImageFormat::kPng) {
    WriteCartImage(cartridge, output_path);
  } else {
    WriteCartRom(cartridge, output_path);
  }
  return 0;
}

}  // namespace brasswick
