#include "commands/cartridge_input.h"

#include <memory>
#include <string_view>
#include <utility>

#include "cart/cart_reader.h"
#include "cart/text_file.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "console/console.h"
#include "forms/cart_rom.h"
#include "forms/cart_writer.h"

namespace brasswick {

std::optional<CartDocument> LoadInputCartridge(const std::string& input_path) {
  PrintVerbose("Loading p8 file...");
  std::optional<CartDocument> document = LoadCartDocument(input_path);
  if (!document) RecordFailure(kLoadCartridgeFailed, LoadP8FailedMessage(input_path));
  return document;
}

std::optional<ExportCartridge> LoadExportCartridge(const std::string& input_path, bool with_label) {
  PrintVerbose("Loading p8 file...");
  std::optional<ExportCartridge> cartridge = ReadExportCartridge(input_path, with_label);
  if (!cartridge) RecordFailure(kLoadCartridgeFailed, LoadP8FailedMessage(input_path));
  return cartridge;
}

void RecordCartWriteFailure(const CartWriteFailure& failure, CartOutput form,
                            const std::string& input_path, const std::string& list_path) {
  const std::string& path = failure.path;
  switch (failure.problem) {
    case WriteProblem::kNone:
      return;
    case WriteProblem::kCodeNotText:
      RecordFailure(kCodeCharacterUnknown,
                    "Failed to write the cartridge's code as text:\n" + input_path);
      return;
    case WriteProblem::kShortPayload:
      RecordFailure(kNotACartridge, "Failed to read a cartridge from:\n" + input_path);
      return;
    case WriteProblem::kMakePicture:
      RecordFailure(kGenerateImageFailed, "Failed to generate cartridge image");
      return;
    case WriteProblem::kNoPlayerList:
      RecordFailure(kNotAPlayer, "Failed to find a player's cartridge list in:\n" + list_path);
      return;
    case WriteProblem::kCodeUnsuited:
      RecordFormFailure(failure.form);
      return;
    case WriteProblem::kSave:
      if (form == CartOutput::kPicture) {
        RecordFailure(kSaveImageFailed, WithWriteNote(SaveImageFailedMessage(path), failure.saved));
      } else if (form == CartOutput::kRom) {
        RecordFailure(kWriteRomFailed,
                      WithWriteNote("Failed to save ROM file:\n" + path, failure.saved));
      } else {
        RecordFailure(kSaveDestinationFailed,
                      WithWriteNote("Failed to save destination file:\n" + path, failure.saved));
      }
      return;
  }
}

void RecordTooBig(int64_t failure, std::string_view what, size_t size, size_t limit,
                  const std::string& path) {
  RecordFailure(failure, "Failed to fit " + std::string(what) + " in a cartridge (" +
                             std::to_string(size) + " bytes, " + std::to_string(limit) +
                             " fit):\n" + path);
}

void RecordFormFailure(const FormFailure& failure) {
  const std::string& path = failure.path;
  switch (failure.problem) {
    case FormProblem::kNone:
      return;
    case FormProblem::kIncludeUnreadable:
      RecordFailure(kIncludeMissing, "Failed to read the included file:\n" + path);
      return;
    case FormProblem::kIncludeTooLarge:
      RecordFailure(kIncludeMissing, "Failed to include a file larger than " +
                                         std::to_string(failure.limit) + " bytes:\n" + path);
      return;
    case FormProblem::kIncludeNotText:
      RecordFailure(kIncludeMissing, "Failed to include a file that is no code text:\n" + path);
      return;
    case FormProblem::kIncludeLoop:
      RecordFailure(kIncludeLoop, "Failed to include a file that includes itself:\n" + path);
      return;
    case FormProblem::kIncludesTooMany:
      RecordFailure(kIncludesTooMany, "Failed to expand the includes (more than " +
                                          std::to_string(kMaxIncludesExpanded) + " files or " +
                                          std::to_string(kMaxIncludedBytes) + " bytes put in):\n" +
                                          path);
      return;
    case FormProblem::kCodeTooLong:
      if (failure.size == 0) {
        RecordFailure(kCodeTooLong, "Failed to fit the code in a cartridge (over " +
                                        std::to_string(kMaxCodeLength) + " bytes):\n" + path);
      } else {
        RecordTooBig(kCodeTooLong, "the code", failure.size, failure.limit, path);
      }
      return;
    case FormProblem::kCharacterUnknown:
      RecordFailure(kCodeCharacterUnknown, "Failed to find a cartridge character for the code's " +
                                               failure.detail + ":\n" + path);
      return;
    case FormProblem::kCodeTooBig:
      RecordTooBig(kCodeTooBig, failure.detail.empty() ? "the compressed code" : failure.detail,
                   failure.size, failure.limit, path);
      return;
    case FormProblem::kHashMismatch:
      RecordFailure(kDamagedCartridge, "Failed to match the cartridge's hash:\n" + path);
      return;
    case FormProblem::kCodeDamaged:
      RecordFailure(kDamagedCartridge, "Failed to decode the cartridge's code:\n" + path);
      return;
  }
}

bool CheckOutputIsNotRead(const std::vector<std::string>& read_paths,
                          const std::string& output_path, const std::string& edited) {
  for (const std::string& path : read_paths) {
    if (path != edited && !CheckOutputIsNotInput(path, output_path)) return false;
  }
  return true;
}

bool CheckOutputIsNotRead(const ExportCartridge& cartridge, const std::string& output_path) {
  return CheckOutputIsNotRead(cartridge.read_paths, output_path);
}

}  // namespace brasswick
