// The convert command: a cartridge in any form written out in another, the output's
// ending choosing which. A .p8 goes to .p8 and .lua as the text it is; to the forms
// that hold the ROM its sections become ROM bytes and its code, includes put in, is
// compressed. Every other input carries the ROM, whose code is decoded to text for the
// text forms and whose bytes are moved whole into the others.
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cart/cart_code.h"
#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_layout.h"
#include "cart/cart_reader.h"
#include "cart/cart_rom_text.h"
#include "cart/cart_title.h"
#include "cart/code_compressor.h"
#include "cart/old_code_compressor.h"
#include "cart/text_file.h"
#include "cli/cli_api.h"
#include "color/label_colors.h"
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
#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

// kProgram: a ".bin", which makers know as a standalone program (the console exports
// one under that name), never as a raw ROM: refused.
enum class OutputKind { kUnknown, kText, kPicture, kRom, kLua, kPlayer, kProgram };

struct KindOfEnding {
  std::string_view ending;
  OutputKind kind;
};
// ".p8.png" before any plain ".png" could match; a plain ".png" is no cartridge name.
constexpr KindOfEnding kKindsByEnding[] = {
    {".p8.png", OutputKind::kPicture}, {".p8", OutputKind::kText},    {".rom", OutputKind::kRom},
    {".bin", OutputKind::kProgram},    {".lua", OutputKind::kLua},    {".js", OutputKind::kPlayer},
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
  // The size of the stream the code was compressed to here (a .p8's), so that --count
  // need not compress it again.
  std::optional<size_t> stream_size;
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
  const WriteResult saved = WriteFileAtomic(path, bytes);
  if (saved) return true;
  RecordFailure(kSaveDestinationFailed,
                WithWriteNote("Failed to save destination file:\n" + path, saved));
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

void RecordTooBig(int64_t failure, std::string_view what, size_t size, size_t limit,
                  const std::string& path);

// A player from before the current code format hangs on a current-format stream: its
// payload's code goes in the old format, or plain. Code already in either stays as it
// is. False, with the failure recorded, when the code fits neither way.
bool SuitOldConsole(CartPayload& payload, const std::string& destination) {
  const std::span<uint8_t> area(payload.data() + kCodeAreaStart, kCodeAreaSize);
  static constexpr uint8_t kCurrentFormat[4] = {0x00, 0x70, 0x78, 0x61};
  if (!std::equal(std::begin(kCurrentFormat), std::end(kCurrentFormat), area.begin())) return true;
  std::optional<std::string> code = DecodeCodeArea(area);
  size_t stream_size = 0;
  std::optional<std::string> old_area;
  if (code) old_area = OldConsoleCodeArea(*code, &stream_size);
  if (!old_area) {
    if (!code) {
      RecordFailure(kDamagedCartridge, "Failed to decode the cartridge's code:\n" + destination);
    } else if (stream_size == 0) {
      RecordTooBig(kCodeTooLong, "the code", code->size(), kMaxCodeLength, destination);
    } else if (stream_size > kCodeAreaSize) {
      RecordTooBig(kCodeTooBig, "the compressed code", stream_size, kCodeAreaSize, destination);
    } else {
      // The stream fits but would lose the ending an older console appended, which the
      // code really has: only plain bytes keep it, and those do not fit.
      RecordTooBig(kCodeTooBig, "the code", code->size(), kCodeAreaSize, destination);
    }
    return false;
  }
  std::copy(old_area->begin(), old_area->end(), area.begin());
  RefreshTrailerHash(std::span<const uint8_t>(payload.data(), kCartRomSize),
                     std::span<uint8_t>(payload.data() + kCartRomSize, kCartTrailerSize));
  return true;
}

// The player's script with its list's first cart holding payload (as many values as
// that cart had), its other carts and everything else byte for byte. False, with the
// failure recorded, when the destination is no player with a list, or is an old
// console's and the code fits it neither way.
bool WritePlayer(const CartPayload& payload, const std::string& destination,
                 const std::vector<std::string>& read_paths) {
  std::optional<CartFile> player = ReadCartFile(destination);
  const bool is_player = player && player->form == CartForm::kPlayer;
  const std::string script_path = is_player ? player->script_path : "";
  CartPayload suited;
  if (is_player && player->old_console) {
    suited = payload;
    if (!SuitOldConsole(suited, destination)) return false;
  }
  std::optional<std::string> written =
      PlayerScriptHolding(script_path, suited.empty() ? payload : suited, destination);
  if (!written) return false;
  for (const std::string& path : read_paths) {
    if (!CheckOutputIsNotInput(path, script_path)) return false;
  }
  const WriteResult saved = WriteFileAtomic(script_path, *written);
  if (saved) return true;
  RecordFailure(kSaveDestinationFailed,
                WithWriteNote("Failed to save destination file:\n" + script_path, saved));
  return false;
}

bool WriteRom(const CartPayload& payload, const std::string& output_path) {
  const std::string_view rom(reinterpret_cast<const char*>(payload.data()), kCartRomSize);
  const WriteResult saved = WriteFileAtomic(output_path, rom);
  if (saved) return true;
  RecordFailure(kWriteRomFailed, WithWriteNote("Failed to save ROM file:\n" + output_path, saved));
  return false;
}

// A line "#include FILE" (blanks before it allowed): FILE, else "".
std::string_view IncludedName(std::string_view line) {
  line = line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
  constexpr std::string_view kInclude = "#include";
  if (!line.starts_with(kInclude) || line.size() == kInclude.size() ||
      (line[kInclude.size()] != ' ' && line[kInclude.size()] != '\t')) {
    return {};
  }
  return Trimmed(line.substr(kInclude.size()));
}

// Text longer than this holds more characters than code may (none takes more than
// seven bytes), so expanding includes stops there, whatever they repeat.
constexpr size_t kMaxCodeTextSize = 7 * kMaxCodeLength + 7;
// Includes that include each other several times multiply: the work is bounded by the
// files expanded and the bytes they hold, counting every repeat, far above what a real
// game includes.
constexpr size_t kMaxIncludesExpanded = 4096;
constexpr size_t kMaxIncludedBytes = 32 * 1024 * 1024;

// Puts in the files that "#include FILE" lines name (a .p8's "lua" section, any other
// file's text), themselves expanded, FILE relative to the cartridge's folder. Each file
// is read once however often it is included. Strict, every failure is recorded; else
// (only to learn which files the code reads) a file that cannot be used is passed
// over and nothing is recorded.
class IncludeExpander {
 public:
  IncludeExpander(const std::string& cartridge_path, bool strict)
      : folder_(FolderOf(cartridge_path)), chain_{cartridge_path}, strict_(strict) {}

  // Appends code to out with its include lines replaced. False, with the failure
  // recorded when strict, for a file that cannot be read, is no code text, includes
  // itself, or passes a bound, and for code past kMaxCodeTextSize.
  bool Append(std::string_view code, std::string& out);

  // Every file included, each once, in the order first met.
  const std::vector<std::string>& files() const { return files_; }

 private:
  // The code text of the file at path; none, with the failure recorded when strict,
  // when it cannot be used.
  const std::string* CodeOfFile(const std::string& path);
  bool Fail(int64_t failure, const std::string& message) {
    if (strict_) RecordFailure(failure, message);
    return false;
  }

  std::string folder_;
  std::vector<std::string> chain_;  // the files being expanded, the cartridge first
  bool strict_;
  std::vector<std::string> files_;
  std::vector<std::optional<std::string>> texts_;  // files_'s code, none when unusable
  size_t expanded_ = 0;
  size_t bytes_ = 0;
};

const std::string* IncludeExpander::CodeOfFile(const std::string& path) {
  const auto known = std::find(files_.begin(), files_.end(), path);
  if (known != files_.end()) {
    const std::optional<std::string>& text = texts_[static_cast<size_t>(known - files_.begin())];
    if (!text) Fail(kIncludeMissing, "Failed to read the included file:\n" + path);
    return text ? &*text : nullptr;
  }
  files_.push_back(path);
  texts_.emplace_back();
  const int64_t size = FileSize(path);
  if (size >= 0 && static_cast<uint64_t>(size) > kMaxCartFileSize) {
    Fail(kIncludeMissing, "Failed to include a file larger than " +
                              std::to_string(kMaxCartFileSize) + " bytes:\n" + path);
    return nullptr;
  }
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxCartFileSize);
  if (!bytes) {
    Fail(kIncludeMissing, "Failed to read the included file:\n" + path);
    return nullptr;
  }
  auto shared = std::make_shared<std::string>(std::move(*bytes));
  std::optional<CartDocument> included = LoadCartDocumentFromBytes(path, shared);
  std::optional<std::string> text =
      included ? P8CodeText(*included) : DecodeTextBytes(std::move(*shared));
  // Code never holds a zero byte: a file that does (a picture, a ROM) is no code text.
  if (text->find('\0') != std::string::npos) {
    Fail(kIncludeMissing, "Failed to include a file that is no code text:\n" + path);
    return nullptr;
  }
  texts_.back() = std::move(*text);
  return &*texts_.back();
}

bool IncludeExpander::Append(std::string_view code, std::string& out) {
  while (!code.empty()) {
    const size_t end = code.find('\n');
    const std::string_view line = code.substr(0, end);
    const bool has_break = end != std::string_view::npos;
    code = has_break ? code.substr(end + 1) : std::string_view();
    const std::string_view name = IncludedName(line);
    if (name.empty()) {
      out += line;
      if (has_break) out += '\n';
    } else {
      const std::string path = ResolvePath(name, folder_);
      if (std::find(chain_.begin(), chain_.end(), path) != chain_.end()) {
        Fail(kIncludeLoop, "Failed to include a file that includes itself:\n" + path);
        if (strict_) return false;
        continue;
      }
      const std::string* text = CodeOfFile(path);
      if (text) {
        ++expanded_;
        bytes_ += text->size();
      }
      if (expanded_ > kMaxIncludesExpanded || bytes_ > kMaxIncludedBytes) {
        return Fail(kIncludesTooMany, "Failed to expand the includes (more than " +
                                          std::to_string(kMaxIncludesExpanded) + " files or " +
                                          std::to_string(kMaxIncludedBytes) + " bytes put in):\n" +
                                          path);
      }
      if (!text) {
        if (strict_) return false;
        continue;
      }
      chain_.push_back(path);
      if (!Append(*text, out)) return false;
      chain_.pop_back();
      // The file's code takes the line's place, its break included.
      if (has_break && !out.empty() && out.back() != '\n') out += '\n';
    }
    if (out.size() > kMaxCodeTextSize) {
      return Fail(kCodeTooLong, "Failed to fit the code in a cartridge (over " +
                                    std::to_string(kMaxCodeLength) + " bytes):\n" + chain_.front());
    }
  }
  return true;
}

// Every file the code of a .p8 includes, at any depth, each once: none of them may be
// written over. Files that cannot be read are passed over (a text output does not put
// them in).
std::vector<std::string> IncludedFiles(const CartDocument& document,
                                       const std::string& input_path) {
  IncludeExpander expander(input_path, false);
  std::string ignored;
  expander.Append(P8CodeText(document), ignored);
  return expander.files();
}

// "Failed to fit WHAT in a cartridge (SIZE bytes, LIMIT fit):" and the path.
void RecordTooBig(int64_t failure, std::string_view what, size_t size, size_t limit,
                  const std::string& path) {
  RecordFailure(failure, "Failed to fit " + std::string(what) + " in a cartridge (" +
                             std::to_string(size) + " bytes, " + std::to_string(limit) +
                             " fit):\n" + path);
}

// Where in text the byte at offset stands, as "line L, column C" (columns in
// characters, a byte that begins no UTF-8 character being one).
std::string PlaceInText(std::string_view text, size_t offset) {
  const std::string_view before = text.substr(0, offset);
  size_t column = 1;
  for (size_t i = before.rfind('\n') + 1; i < before.size(); ++column) {  // 0 when none
    i += std::max<size_t>(DecodeUtf8At(before, i).length, 1);
  }
  return "line " + std::to_string(std::count(before.begin(), before.end(), '\n') + 1) +
         ", column " + std::to_string(column);
}

// The code of a .p8 as ROM bytes (one a character), its includes put in; none, with
// the failure recorded, when an include fails, a character has no byte, or the code is
// longer than a cartridge holds.
std::optional<std::string> CodeOfText(const CartDocument& document, const std::string& input_path) {
  std::string text;
  IncludeExpander expander(input_path, true);
  if (!expander.Append(P8CodeText(document), text)) return std::nullopt;
  CodeTextFault fault;
  std::optional<std::string> code = CodeTextToBytes(text, &fault);
  if (!code) {
    char character[16];
    std::snprintf(character, sizeof character, "U+%04X", static_cast<unsigned>(fault.code_point));
    RecordFailure(kCodeCharacterUnknown, "Failed to find a cartridge character for the code's " +
                                             PlaceInText(text, fault.offset) + " (" + character +
                                             "):\n" + input_path);
    return std::nullopt;
  }
  if (code->size() > kMaxCodeLength) {
    RecordTooBig(kCodeTooLong, "the code", code->size(), kMaxCodeLength, input_path);
    return std::nullopt;
  }
  return code;
}

// The code compressed as the ROM holds it; none, with the failure recorded, when it
// is longer than a cartridge holds or does not fit the code area.
std::optional<std::string> CompressedCode(const std::string& code, const std::string& input_path) {
  std::optional<std::string> stream = CompressCode(code);
  if (!stream) {
    RecordTooBig(kCodeTooLong, "the code", code.size(), kMaxCodeLength, input_path);
    return std::nullopt;
  }
  if (stream->size() > kCodeAreaSize) {
    RecordTooBig(kCodeTooBig, "the compressed code", stream->size(), kCodeAreaSize, input_path);
    return std::nullopt;
  }
  return stream;
}

// The ROM cartridge a .p8 makes: its data sections, its code compressed, a trailer of
// its version and hash, its label section.
std::optional<RomCartridge> RomOfText(const CartDocument& document, const std::string& input_path) {
  std::optional<std::string> code = CodeOfText(document, input_path);
  if (!code) return std::nullopt;
  std::optional<std::string> stream = CompressedCode(*code, input_path);
  if (!stream) return std::nullopt;
  CartPayload payload = P8DataToRom(document);
  std::copy(stream->begin(), stream->end(), payload.begin() + kCodeAreaStart);
  RomCartridge cartridge;
  cartridge.version = P8Version(document);
  const std::array<uint8_t, kCartTrailerSize> trailer =
      MakeTrailer(std::span<const uint8_t>(payload.data(), kCartRomSize), cartridge.version);
  std::copy(trailer.begin(), trailer.end(), payload.begin() + kCartRomSize);
  cartridge.payload = std::move(payload);
  cartridge.code = std::move(*code);
  cartridge.label = ReadLabelPixels(document);
  cartridge.stream_size = stream->size();
  return cartridge;
}

// A .p8 kept as it is (every section, unknown ones included), or its code section.
bool WriteText(const CartDocument& document, OutputKind kind, const std::string& output_path) {
  if (kind == OutputKind::kText) {
    const WriteResult saved = SaveCartDocument(document, output_path);
    if (saved) return true;
    RecordFailure(kSaveDestinationFailed,
                  WithWriteNote("Failed to save destination file:\n" + output_path, saved));
    return false;
  }
  const CartSection* code = FindSection(document, "lua");
  return SaveText(output_path, code ? code->lines.raw() : std::string_view());
}

bool WriteCartridge(const RomCartridge& cartridge, OutputKind kind, const std::string& input_path,
                    const std::string& output_path, const std::vector<std::string>& read_paths) {
  switch (kind) {
    case OutputKind::kText: {
      std::optional<std::string> code = CodeText(cartridge, input_path);
      if (!code) return false;
      std::optional<std::string> text =
          RomToP8Text(RomOf(cartridge.payload), *code,
                      cartridge.label ? &*cartridge.label : nullptr, cartridge.version);
      if (!text) {
        // Only a payload shorter than a ROM has no text.
        RecordFailure(kNotACartridge, "Failed to read a cartridge from:\n" + input_path);
        return false;
      }
      return SaveText(output_path, *text);
    }
    case OutputKind::kLua: {
      std::optional<std::string> code = CodeText(cartridge, input_path);
      return code && SaveText(output_path, *code);
    }
    case OutputKind::kPicture:
      return WritePicture(cartridge, output_path);
    case OutputKind::kRom:
      return WriteRom(cartridge.payload, output_path);
    case OutputKind::kPlayer:
      return WritePlayer(cartridge.payload, output_path, read_paths);
    case OutputKind::kUnknown:
    case OutputKind::kProgram:
      break;
  }
  return false;
}

// The --count lines: the code's length, and the size of the stream it compresses to
// (stream_size when known, else compressed here) against the area.
bool PrintCount(const std::string& code, std::optional<size_t> stream_size,
                const std::string& input_path) {
  if (!stream_size) {
    std::optional<std::string> stream = CompressCode(code);
    if (!stream) {
      RecordTooBig(kCodeTooLong, "the code", code.size(), kMaxCodeLength, input_path);
      return false;
    }
    stream_size = stream->size();
  }
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.1f%%",
                100.0 * static_cast<double>(*stream_size) / static_cast<double>(kCodeAreaSize));
  PrintNotice(input_path);
  PrintNotice("code: " + std::to_string(code.size()) + " of " + std::to_string(kMaxCodeLength) +
              " bytes");
  PrintNotice("compressed: " + std::to_string(*stream_size) + " of " +
              std::to_string(kCodeAreaSize) + " bytes (" + percent + ")");
  return true;
}

// "--label" and "--title"/"--subtitle" only where the output holds what they set: a
// label in a .p8 or a .p8.png, titles in a .p8.png. False, with the failure recorded,
// for a switch that cannot apply (or a .bin), before anything is read or written.
bool CheckSwitchesApply(OutputKind kind, const std::string& path) {
  if (kind == OutputKind::kProgram) {
    RecordFailure(kOutputKindImpossible,
                  "Failed to write a .bin, which is a standalone program to PICO-8; write the "
                  "raw ROM as .rom:\n" +
                      path);
    return false;
  }
  const bool label_fits = kind == OutputKind::kText || kind == OutputKind::kPicture;
  if (IsArgSet(arg::kLabel) && !label_fits) {
    RecordFailure(kOutputKindImpossible,
                  "Failed to use --label: only a .p8 or .p8.png output holds a label (setlabel "
                  "sets a player's):\n" +
                      path);
    return false;
  }
  for (const std::string_view name : {arg::kTitle, arg::kSubtitle}) {
    if (IsArgSet(name) && kind != OutputKind::kPicture) {
      RecordFailure(kOutputKindImpossible, "Failed to use --" + std::string(name) +
                                               ": only a .p8.png output shows titles:\n" + path);
      return false;
    }
  }
  return true;
}

// The .p8 label of the --label picture, when the switch is given: into *label. False,
// with the failure recorded, when the picture cannot be loaded or made a label.
bool TakeLabelSwitch(std::optional<LabelPixels>& label) {
  if (!IsArgSet(arg::kLabel)) return true;
  const std::string label_path = ResolvePath(GetArgValue(arg::kLabel), "");
  ImagePtr picture = LoadImageFile(label_path);
  if (!picture) {
    RecordFailure(kLoadImageFailed, LoadImageFailedMessage(label_path));
    return false;
  }
  label = P8LabelOfPicture(*picture);
  if (label) return true;
  RecordFailure(kSetLabelOrTitleFailed, "Failed to set p8 label:\n" + label_path);
  return false;
}

}  // namespace

int ConvertRT() {
  PrintBannerIfVerbose();
  const std::string input_path = ResolvePath(GetArgValue(arg::kInput), "");
  const bool count = IsArgSet(arg::kCount);
  const bool has_output = !GetArgValue(arg::kOutput).empty();
  if (!has_output && !count) {
    RecordFailure(kOutputKindImpossible, "Failed to convert without an output:\n" + input_path);
    return 0;
  }
  const std::string output_path = has_output ? ResolvePath(GetArgValue(arg::kOutput), "") : "";
  const OutputKind kind = has_output ? KindOfOutput(output_path) : OutputKind::kUnknown;
  if (has_output && kind == OutputKind::kUnknown) {
    RecordFailure(kOutputKindImpossible,
                  "Failed to tell the output's kind by its ending:\n" + output_path);
    return 0;
  }
  if (!CheckSwitchesApply(kind, has_output ? output_path : input_path)) return 0;
  PrintVerbose("Loading cartridge...");
  std::optional<CartFile> file = ReadCartFile(input_path);
  if (!file || (file->form != CartForm::kText && file->payload.size() != kCartPayloadSize)) {
    RecordFailure(kNotACartridge, "Failed to read a cartridge from:\n" + input_path);
    return 0;
  }
  // Neither the input's files, the files its code includes, nor the label picture may be
  // written over; a player destination is checked against them once its script is known.
  std::vector<std::string> read_paths = file->read_paths;
  if (file->form == CartForm::kText && has_output) {
    const std::vector<std::string> included = IncludedFiles(*file->document, input_path);
    read_paths.insert(read_paths.end(), included.begin(), included.end());
  }
  if (IsArgSet(arg::kLabel)) read_paths.push_back(ResolvePath(GetArgValue(arg::kLabel), ""));
  if (has_output && kind != OutputKind::kPlayer) {
    for (const std::string& path : read_paths) {
      if (!CheckOutputIsNotInput(path, output_path)) return 0;
    }
  }
  const bool text_input = file->form == CartForm::kText;
  // A .p8 stays text for the text forms: only the others need its ROM.
  const bool text_output = kind == OutputKind::kText || kind == OutputKind::kLua;
  if (text_input && (!has_output || text_output)) {
    if (count) {
      std::optional<std::string> code = CodeOfText(*file->document, input_path);
      if (!code || !PrintCount(*code, std::nullopt, input_path)) return 0;
    }
    if (!has_output) return 0;
    PrintVerbose("Converting...");
    std::optional<LabelPixels> label;
    if (!TakeLabelSwitch(label)) return 0;
    if (label && !WriteSectionBytes(*file->document, "label", PackLabelPixels(*label))) {
      RecordFailure(kSetLabelOrTitleFailed, "Failed to set p8 label:\n" + output_path);
      return 0;
    }
    if (!WriteText(*file->document, kind, output_path)) return 0;
  } else {
    PrintVerbose("Converting...");
    std::optional<RomCartridge> cartridge =
        text_input ? RomOfText(*file->document, input_path) : ReadRomCartridge(*file, input_path);
    if (!cartridge) return 0;
    if (count && !PrintCount(cartridge->code, cartridge->stream_size, input_path)) return 0;
    if (!has_output) return 0;
    // A picture output loads the label picture itself, keeping its colours for the window.
    if (kind == OutputKind::kText && !TakeLabelSwitch(cartridge->label)) return 0;
    if (!WriteCartridge(*cartridge, kind, input_path, output_path, read_paths)) return 0;
  }
  PrintVerbose("Converted: " + output_path);
  RunFinishingActions(output_path, "Opening converted file...", "Locating converted file...");
  return 0;
}

}  // namespace brasswick
