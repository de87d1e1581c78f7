// The convert command: a cartridge in any form written out in another, the output's
// ending choosing which. A .p8 carries its code as text and so goes only to the forms
// that hold text (.p8 and .lua); every other input carries the ROM, whose code is
// decoded to text for the text forms and whose bytes are moved whole into the others.
#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cart/cart_code.h"
#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_reader.h"
#include "cart/cart_rom_text.h"
#include "cart/cart_title.h"
#include "cart/player_script.h"
#include "cart/text_file.h"
#include "cli/cli_api.h"
#include "color/output_paths.h"
#include "color/render.h"
#include "commands/cartridge_input.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "console/console.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"

namespace brasswick {
namespace {

enum class OutputKind { kUnknown, kText, kPicture, kRom, kLua, kPlayer };

struct KindOfEnding {
  std::string_view ending;
  OutputKind kind;
};
// ".p8.png" before any plain ".png" could match; a plain ".png" is no cartridge name.
constexpr KindOfEnding kKindsByEnding[] = {
    {".p8.png", OutputKind::kPicture}, {".p8", OutputKind::kText},    {".rom", OutputKind::kRom},
    {".bin", OutputKind::kRom},        {".lua", OutputKind::kLua},    {".js", OutputKind::kPlayer},
    {".html", OutputKind::kPlayer},    {".htm", OutputKind::kPlayer},
};

OutputKind KindOfOutput(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view name = path.substr(slash == std::string_view::npos ? 0 : slash + 1);
  for (const KindOfEnding& entry : kKindsByEnding) {
    // The ending alone is no name.
    if (name.size() > entry.ending.size() && EndsWithIgnoringCase(name, entry.ending)) {
      return entry.kind;
    }
  }
  return OutputKind::kUnknown;
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The console's titles for a cartridge picture: the code's first line when it is a
// "--" comment, and the second when both are, each without its dashes.
std::pair<std::string, std::string> TitlesOfCode(std::string_view code) {
  std::string_view lines[2];
  for (std::string_view& line : lines) {
    const size_t end = code.find('\n');
    line = code.substr(0, end);
    code = end == std::string_view::npos ? std::string_view() : code.substr(end + 1);
  }
  std::pair<std::string, std::string> titles;
  if (!lines[0].starts_with("--")) return titles;
  titles.first = CodeBytesToText(Trimmed(lines[0].substr(2)));
  if (lines[1].starts_with("--")) titles.second = CodeBytesToText(Trimmed(lines[1].substr(2)));
  return titles;
}

// What every output made from the ROM needs: its bytes with the 32 after them, the
// version, the code, and the label the source shows.
struct RomCartridge {
  CartPayload payload;  // kCartPayloadSize bytes: the ROM and its trailer
  int version = kDefaultP8Version;
  std::string code;  // one byte a character
  std::optional<LabelPixels> label;
};

std::span<const uint8_t> RomOf(const CartPayload& payload) {
  return std::span<const uint8_t>(payload.data(), kCartRomSize);
}

// None, with the failure recorded, for a damaged cartridge: a trailer hash that does not
// match its ROM, or code that cannot be decoded.
std::optional<RomCartridge> ReadRomCartridge(CartFile& file, const std::string& input_path) {
  RomCartridge cartridge;
  cartridge.payload = std::move(file.payload);
  const std::span<const uint8_t> rom = RomOf(cartridge.payload);
  const std::span<const uint8_t> trailer(cartridge.payload.data() + kCartRomSize, kCartTrailerSize);
  if (file.has_trailer) {
    if (!TrailerHashMatches(rom, trailer)) {
      RecordFailure(kDamagedCartridge, "Failed to match the cartridge's hash:\n" + input_path);
      return std::nullopt;
    }
    if (trailer[0] != 0) cartridge.version = trailer[0];
  } else {
    const std::array<uint8_t, kCartTrailerSize> made = MakeTrailer(rom, cartridge.version);
    std::copy(made.begin(), made.end(), cartridge.payload.begin() + kCartRomSize);
  }
  std::optional<std::string> code = DecodeCodeArea(rom.subspan(kCodeAreaStart, kCodeAreaSize));
  if (!code) {
    RecordFailure(kDamagedCartridge, "Failed to decode the cartridge's code:\n" + input_path);
    return std::nullopt;
  }
  cartridge.code = std::move(*code);
  cartridge.label = CartFileLabel(file);
  return cartridge;
}

bool SaveText(const std::string& path, std::string_view bytes) {
  if (WriteFileAtomic(path, bytes)) return true;
  RecordFailure(kSaveDestinationFailed, WithWriteNote("Failed to save destination file:\n" + path));
  return false;
}

// The code as .p8 text; none, with the failure recorded, when it holds a byte that no
// character stands for (a zero, which code never holds).
std::optional<std::string> CodeText(const RomCartridge& cartridge, const std::string& input_path) {
  if (cartridge.code.find('\0') != std::string::npos) {
    RecordFailure(kCodeCharacterUnknown,
                  "Failed to write the cartridge's code as text:\n" + input_path);
    return std::nullopt;
  }
  return CodeBytesToText(cartridge.code);
}

bool WritePicture(const RomCartridge& cartridge, const std::string& output_path) {
  ImagePtr image = CreateTemplateCartImage();
  if (!image) {
    RecordFailure(kGenerateImageFailed, "Failed to generate cartridge image");
    return false;
  }
  ImagePtr label;
  const std::string label_value = GetArgValue(arg::kLabel);
  if (!label_value.empty()) {
    const std::string label_path = ResolvePath(label_value, "");
    label = LoadImageFile(label_path);
    if (!label) {
      RecordFailure(kLoadImageFailed, LoadImageFailedMessage(label_path));
      return false;
    }
  } else if (cartridge.label) {
    label = RenderLabelPixels(*cartridge.label, 1);
  }
  // Without a label the template's empty window stays, as the console leaves it.
  if (label && !ApplyCartLabel(*image, *label)) {
    RecordFailure(kGenerateImageFailed, "Failed to generate cartridge image");
    return false;
  }
  // Given titles replace both of the code's lines, so that one line is never mixed
  // with the other's source.
  std::pair<std::string, std::string> titles;
  if (IsArgSet(arg::kTitle) || IsArgSet(arg::kSubtitle)) {
    titles = {GetArgValue(arg::kTitle), GetArgValue(arg::kSubtitle)};
  } else {
    titles = TitlesOfCode(cartridge.code);
  }
  if (!ApplyCartTitle(*image, titles.first, titles.second) ||
      !EncodeCartPixels(*image, cartridge.payload)) {
    RecordFailure(kGenerateImageFailed, "Failed to generate cartridge image");
    return false;
  }
  return SaveCartPicture(*image, output_path);
}

// The player's script with its list holding payload, everything else byte for byte.
// False, with the failure recorded, when the destination is no player with a list.
bool WritePlayer(const CartPayload& payload, const std::string& destination,
                 const std::vector<std::string>& read_paths) {
  std::optional<CartFile> player = ReadCartFile(destination);
  std::optional<std::string> script;
  if (player && player->form == CartForm::kPlayer && !player->script_path.empty()) {
    script = ReadWholeFile(player->script_path, kMaxPageFileSize);
  }
  std::optional<std::string> written;
  if (script) written = ReplaceCartData(*script, payload);
  if (!written) {
    RecordFailure(kNotAPlayer, "Failed to find a player's cartridge list in:\n" + destination);
    return false;
  }
  const std::string& script_path = player->script_path;
  for (const std::string& path : read_paths) {
    if (!CheckOutputIsNotInput(path, script_path)) return false;
  }
  if (WriteFileAtomic(script_path, *written)) return true;
  RecordFailure(kSaveDestinationFailed,
                WithWriteNote("Failed to save destination file:\n" + script_path));
  return false;
}

bool WriteRom(const CartPayload& payload, const std::string& output_path) {
  const std::string_view rom(reinterpret_cast<const char*>(payload.data()), kCartRomSize);
  if (WriteFileAtomic(output_path, rom)) return true;
  RecordFailure(kWriteRomFailed, WithWriteNote("Failed to save ROM file:\n" + output_path));
  return false;
}

// A .p8 is kept as it is (every section, unknown ones included) or gives its code.
bool ConvertText(const CartDocument& document, OutputKind kind, const std::string& output_path) {
  if (kind == OutputKind::kText) {
    if (SaveCartDocument(document, output_path)) return true;
    RecordFailure(kSaveDestinationFailed,
                  WithWriteNote("Failed to save destination file:\n" + output_path));
    return false;
  }
  if (kind == OutputKind::kLua) {
    const CartSection* code = FindSection(document, "lua");
    return SaveText(output_path, code ? code->lines.raw() : std::string_view());
  }
  // The other forms hold the code compressed, which a .p8 does not give.
  RecordFailure(
      kOutputKindImpossible,
      "Failed to convert a .p8 to this form (its code would need compressing):\n" + output_path);
  return false;
}

bool ConvertRom(CartFile& file, OutputKind kind, const std::string& input_path,
                const std::string& output_path, const std::vector<std::string>& read_paths) {
  std::optional<RomCartridge> cartridge = ReadRomCartridge(file, input_path);
  if (!cartridge) return false;
  switch (kind) {
    case OutputKind::kText: {
      std::optional<std::string> code = CodeText(*cartridge, input_path);
      if (!code) return false;
      std::optional<std::string> text =
          RomToP8Text(RomOf(cartridge->payload), *code,
                      cartridge->label ? &*cartridge->label : nullptr, cartridge->version);
      if (!text) {
        RecordFailure(kOutOfMemory, kOutOfMemoryMessage);
        return false;
      }
      return SaveText(output_path, *text);
    }
    case OutputKind::kLua: {
      std::optional<std::string> code = CodeText(*cartridge, input_path);
      return code && SaveText(output_path, *code);
    }
    case OutputKind::kPicture:
      return WritePicture(*cartridge, output_path);
    case OutputKind::kRom:
      return WriteRom(cartridge->payload, output_path);
    case OutputKind::kPlayer:
      return WritePlayer(cartridge->payload, output_path, read_paths);
    case OutputKind::kUnknown:
      break;
  }
  return false;
}

}  // namespace

int ConvertRT() {
  PrintBannerIfVerbose();
  const std::string input_path = ResolvePath(GetArgValue(arg::kInput), "");
  const std::string output_path = ResolvePath(GetArgValue(arg::kOutput), "");
  const OutputKind kind = KindOfOutput(output_path);
  if (kind == OutputKind::kUnknown) {
    RecordFailure(kOutputKindImpossible,
                  "Failed to tell the output's kind by its ending:\n" + output_path);
    return 0;
  }
  PrintVerbose("Loading cartridge...");
  std::optional<CartFile> file = ReadCartFile(input_path);
  if (!file || (file->form != CartForm::kText && file->payload.size() != kCartPayloadSize)) {
    RecordFailure(kNotACartridge, "Failed to read a cartridge from:\n" + input_path);
    return 0;
  }
  // Neither the input's files nor the label picture may be written over; a player
  // destination is checked against them once its script is known.
  std::vector<std::string> read_paths = file->read_paths;
  if (IsArgSet(arg::kLabel)) read_paths.push_back(ResolvePath(GetArgValue(arg::kLabel), ""));
  if (kind != OutputKind::kPlayer) {
    for (const std::string& path : read_paths) {
      if (!CheckOutputIsNotInput(path, output_path)) return 0;
    }
  }
  PrintVerbose("Converting...");
  const bool written = file->form == CartForm::kText
                           ? ConvertText(*file->document, kind, output_path)
                           : ConvertRom(*file, kind, input_path, output_path, read_paths);
  if (!written) return 0;
  PrintVerbose("Converted: " + output_path);
  RunFinishingActions(output_path, "Opening converted file...", "Locating converted file...");
  return 0;
}

}  // namespace brasswick
