// The copy command: a .p8 copied to a destination, with named sections deleted or
// cleared on the way. An unchanged copy is byte for byte; a changed one keeps every
// byte of the sections it leaves alone (the document writes them back as read).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_memory.h"
#include "cli/cli_api.h"
#include "commands/cartridge_input.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "console/console.h"
#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

// "__map__", "map" and "MAP" all name the map section; "___" names nothing.
std::string SectionArgument(const std::string& value) {
  size_t first = value.find_first_not_of('_');
  if (first == std::string::npos) return std::string();
  size_t last = value.find_last_not_of('_');
  return value.substr(first, last - first + 1);
}

// Applies edit to each section named by the switch. A section the file lacks is no
// failure; a failed edit is recorded and the others still run. True when one changed.
bool EditSections(CartDocument& document, std::string_view switch_name, const char* doing,
                  bool (*edit)(CartDocument&, std::string_view), int64_t failure_code) {
  bool changed = false;
  for (const std::string& value : GetArgValues(switch_name)) {
    std::string name = SectionArgument(value);
    if (name.empty()) continue;
    PrintVerbose(std::string(doing) + " section '" + name + "'...");
    if (!HasSection(document, name)) continue;
    if (edit(document, name)) {
      changed = true;
    } else {
      RecordFailure(failure_code,
                    "Could not " + std::string(switch_name) + " section '" + name + "'");
    }
  }
  return changed;
}

}  // namespace

// Every destination rule is applied here, before the value is checked and before an
// existing file is confirmed, so that the question (and --yes) concerns exactly the file
// that will be written: "-" is the source itself, an empty value the ".copy" file beside
// it, a name without extension gets ".p8", and a relative one lies in the source's
// folder. The result is spelt from the source as typed, so the question reads as the
// user wrote it.
std::string FormatCopyDestRT(const std::string& value) {
  const std::string source = GetArgValue(arg::kSourceFile);
  if (value == "-") return ResolvePath(source, "");
  if (value.empty()) return InsertBeforeExtension(ResolvePath(source, ""), ".copy");
  std::string destination = DottedExtension(value).empty() ? value + ".p8" : value;
  if (destination[0] == '/' || destination[0] == '~') return destination;
  return FolderOf(source) + destination;
}

int CopyP8RT() {
  PrintBannerIfVerbose();
  std::string source_path = ResolvePath(GetArgValue(arg::kSourceFile), "");
  std::optional<CartDocument> document = LoadInputCartridge(source_path);
  if (!document) return 0;
  // The formatter has applied the destination rules; only the folder is left to add.
  std::string dest_path = ResolvePath(GetArgValue(arg::kDestFile), "");

  // All deletions run before all clearings, whatever the order on the command line.
  bool changed =
      EditSections(*document, arg::kDelete, "Deleting", DeleteSection, kDeleteSectionFailed);
  changed |= EditSections(*document, arg::kClear, "Clearing", ClearSection, kClearSectionFailed);
  if (ExitCode() != 0) return 0;

  PrintVerbose("Saving p8 file...");
  if (changed) {
    const WriteResult saved = SaveCartDocument(*document, dest_path);
    if (!saved) {
      RecordFailure(kSaveDestinationFailed,
                    WithWriteNote("Failed to save destination file:\n" + dest_path, saved));
      return 0;
    }
  } else if (dest_path != source_path) {
    const WriteResult copied = CopyFileBytes(source_path, dest_path, kMaxCartFileSize);
    if (!copied) {
      RecordFailure(kCopyFileFailed,
                    WithWriteNote("Failed to copy file to:\n" + dest_path, copied));
      return 0;
    }
  }
  PrintVerbose("Saved: " + dest_path);
  RunFinishingActions(dest_path, "Opening saved file...", "Locating saved file...");
  return 0;
}

}  // namespace brasswick
