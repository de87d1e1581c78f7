// The extractjsrom command: the cartridge an exported player carries in its script,
// written out as a .p8.png cartridge made from the template (with title, subtitle and
// label) or as the raw 32 768-byte memory image.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "console/console.h"
#include "cart/cart_image.h"
#include "cart/cart_title.h"
#include "cart/player_script.h"
#include "cart/text_file.h"
#include "cli/cli_api.h"
#include "color/output_paths.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"

namespace brasswick {
namespace {

std::string NoCartDataMessage(const std::string& path) {
  return "File contains no cart data:\n" + path;
}

void WriteCartImage(const CartPayload& payload, const std::string& output_path) {
  PrintVerbose("Generating cartridge image...");
  ImagePtr image = CreateTemplateCartImage();
  if (!image) {
    RecordFailure(kGenerateImageFailed, "Failed to generate cartridge image");
    return;
  }
  ApplyCartTitle(*image, GetArgValue(arg::kTitle), GetArgValue(arg::kSubtitle));
  EncodeCartPixels(*image, payload);
  PrintVerbose("Saving cartridge image...");
  if (!SaveOutputImage(*image, output_path)) return;
  const std::string label_path = GetArgValue(arg::kLabel);
  if (!label_path.empty() && !ApplyCartLabelFile(output_path, label_path) &&
      !IsArgSet(kSilentArg)) {
    std::printf("Warning: Could not apply label image:\n%s\n", label_path.c_str());
    std::fflush(stdout);
  }
  PrintVerbose("Extracted: " + output_path);
  RunFinishingActions(output_path, "Opening extracted PNG...", "Locating extracted PNG...");
}

void WriteCartRom(const CartPayload& payload, const std::string& output_path) {
  PrintVerbose("Generating cartridge ROM...");
  AtomicFileWriter writer;
  if (!writer.Open(output_path)) {
    RecordFailure(kWriteRomFailed, "Failed to save ROM file:\n" + output_path);
    return;
  }
  const std::string_view rom(reinterpret_cast<const char*>(payload.data()), kCartRomSize);
  if (!writer.Write(rom) || !writer.Commit()) {
    RecordFailure(kWriteRomFailed, "Failed to write to ROM file:\n" + output_path);
    return;
  }
  PrintVerbose("Extracted: " + output_path);
  RunFinishingActions(output_path, "Opening extracted ROM...", "Locating extracted ROM...");
}

}  // namespace

int ExtractJSROMRT() {
  PrintBannerIfVerbose();
  std::string js_path = ResolvePath(GetArgValue(arg::kJsFile), "");

  // The named file is read once: it is the script itself, or a page whose script is
  // read instead.
  std::optional<std::string> bytes = ReadWholeFile(js_path);
  std::string text = bytes ? DecodeTextBytes(std::move(*bytes)) : std::string();
  const std::string script = bytes ? FindPlayerScriptForPage(js_path, text) : std::string();
  if (!script.empty()) {
    js_path = script;
    const size_t slash = js_path.rfind('/');
    PrintVerbose("Assuming you intended '" +
                 js_path.substr(slash == std::string::npos ? 0 : slash + 1) + "'...");
    bytes = ReadWholeFile(js_path);
    text = bytes ? DecodeTextBytes(std::move(*bytes)) : std::string();
  }
  PrintVerbose("Loading JS file...");
  if (!bytes) RecordFailure(kLoadJavaScriptFailed, "Failed to load JavaScript file:\n" + js_path);
  std::string output_path = GetArgValue(arg::kOutputFile);
  if (output_path.empty()) output_path = js_path + ".p8.rom";
  if (ExitCode() != 0) return 0;

  if (text.find(kCartDataStart) == std::string::npos) {
    RecordFailure(kLoadJavaScriptFailed, NoCartDataMessage(js_path));
    return 0;
  }
  PrintVerbose("Loading cart data...");
  // A list that is never closed is a damaged or cut-off script: refusing it beats
  // handing back an empty cartridge as if it were the game.
  const std::optional<std::string_view> list = FindTextBetween(text, kCartDataStart, kCartDataEnd);
  if (!list) {
    RecordFailure(kLoadJavaScriptFailed, NoCartDataMessage(js_path));
    return 0;
  }
  std::optional<CartPayload> payload = ParseCartData(*list);
  if (!payload) {
    RecordFailure(kAllocateBufferFailed, "Failed to allocate buffer for cart data");
    return 0;
  }
  if (ImageFormatForPath(output_path) == ImageFormat::kPng) {
    WriteCartImage(*payload, output_path);
  } else {
    WriteCartRom(*payload, output_path);
  }
  return 0;
}

}  // namespace brasswick
