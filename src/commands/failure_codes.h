// The failure codes the command procedures record (they become the exit status), and
// the messages that several commands share. Codes below 129 are the framework's own.
#ifndef BRASSWICK_COMMANDS_FAILURE_CODES_H_
#define BRASSWICK_COMMANDS_FAILURE_CODES_H_

#include <cstdint>
#include <string>

#include "runtime/platform/file_system.h"

namespace brasswick {

inline constexpr int64_t kLoadCartridgeFailed = 129;
inline constexpr int64_t kGenerateImageFailed = 130;
inline constexpr int64_t kSaveImageFailed = 131;
inline constexpr int64_t kLoadImageFailed = 132;
inline constexpr int64_t kReencodeLabelFailed = 133;
inline constexpr int64_t kColorOptionOutOfRange = 134;
inline constexpr int64_t kMapCellsOutOfRange = 135;
inline constexpr int64_t kSpriteOutOfRange = 136;
inline constexpr int64_t kSpriteListInvalid = 137;
inline constexpr int64_t kNoLabelSection = 138;
inline constexpr int64_t kDeleteSectionFailed = 139;
inline constexpr int64_t kClearSectionFailed = 140;
inline constexpr int64_t kSaveDestinationFailed = 141;
inline constexpr int64_t kSaveHtmlFailed = 142;
inline constexpr int64_t kLoadHtmlFailed = 143;
inline constexpr int64_t kCopyFileFailed = 144;
inline constexpr int64_t kSetLabelOrTitleFailed = 145;
inline constexpr int64_t kAllocateBufferFailed = 146;
inline constexpr int64_t kLoadHeadersFailed = 147;
inline constexpr int64_t kMissingHeadEnd = 148;
inline constexpr int64_t kOutOfMemory = 149;
inline constexpr int64_t kLoadJavaScriptFailed = 150;
inline constexpr int64_t kWriteRomFailed = 151;
inline constexpr int64_t kMissingTitleEnd = 152;
inline constexpr int64_t kNotACartridge = 153;
inline constexpr int64_t kDamagedCartridge = 154;
inline constexpr int64_t kCodeCharacterUnknown = 155;
inline constexpr int64_t kOutputKindImpossible = 156;
inline constexpr int64_t kNotAPlayer = 157;
inline constexpr int64_t kCodeTooBig = 158;
inline constexpr int64_t kCodeTooLong = 159;
inline constexpr int64_t kIncludeMissing = 160;
inline constexpr int64_t kIncludeLoop = 161;
inline constexpr int64_t kPictureDoesNotFit = 162;
inline constexpr int64_t kPictureColorsUnknown = 163;
inline constexpr int64_t kCellsMatchNoSprite = 164;
inline constexpr int64_t kNoRoomForSprites = 165;
inline constexpr int64_t kMapOverSprites = 166;
inline constexpr int64_t kIncludesTooMany = 167;
inline constexpr int64_t kCodePastLimit = 168;
inline constexpr int64_t kCodeSyntaxError = 169;

// "Failed to load p8 file:" with the path on the next line (code 129).
inline std::string LoadP8FailedMessage(const std::string& path) {
  return "Failed to load p8 file:\n" + path;
}
// "Failed to save image file:" with the path on the next line (code 131), and the
// reason on a third line when one is known.
inline std::string SaveImageFailedMessage(const std::string& path, const std::string& reason = "") {
  return "Failed to save image file:\n" + path + (reason.empty() ? "" : "\n" + reason);
}
// A failed save's message, followed on a line of its own by whether the file the save
// was rewriting in place was put back ("The file is intact.") or may be damaged ("The
// file may be damaged."); a save through a temporary never touches the file, and the
// message does not speak of it.
inline std::string WithWriteNote(std::string message, const WriteResult& result) {
  switch (result.in_place) {
    case InPlaceResult::kIntact:
      return message + "\nThe file is intact.";
    case InPlaceResult::kDamaged:
      return message + "\nThe file may be damaged.";
    case InPlaceResult::kNone:
      break;
  }
  return message;
}
// "Failed to load image file:" with the path on the next line (code 132).
inline std::string LoadImageFailedMessage(const std::string& path) {
  return "Failed to load image file:\n" + path;
}

inline constexpr const char* kOutOfMemoryMessage = "Out of memory";
// An export that would write over the cartridge it reads (code 131).
inline std::string OutputIsInputMessage(const std::string& path) {
  return "Output file is the input cartridge:\n" + path;
}
}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_FAILURE_CODES_H_
