// The convert command: a cartridge in any form written out in another, the output's
// ending choosing which. A .p8 goes to .p8 and .lua as the text it is; to the forms
// that hold the ROM its sections become ROM bytes and its code, includes put in, is
// compressed. Every other input carries the ROM, whose code is decoded to text for the
// text forms and whose bytes are moved whole into the others.
#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_layout.h"
#include "cart/cart_reader.h"
#include "cart/cart_rom_text.h"
#include "cart/code_chars.h"
#include "cart/text_file.h"
#include "cli/cli_api.h"
#include "color/label_colors.h"
#include "commands/cartridge_input.h"
#include "commands/code_count.h"
#include "commands/code_minify.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "console/console.h"
#include "forms/cart_rom.h"
#include "forms/cart_writer.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"
#include "runtime/text/text_search.h"

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
  const std::string_view name = FileNameOf(path);
  for (const KindOfEnding& entry : kKindsByEnding) {
    // The ending alone is no name.
    if (name.size() > entry.ending.size() && EndsWithIgnoringCase(name, entry.ending)) {
      return entry.kind;
    }
  }
  return OutputKind::kUnknown;
}

// True when saved; else records "Failed to save destination file:" and the path, with
// what became of the file.
bool SavedDestination(const WriteResult& saved, const std::string& path) {
  if (saved) return true;
  RecordFailure(kSaveDestinationFailed,
                WithWriteNote("Failed to save destination file:\n" + path, saved));
  return false;
}

bool SaveText(const std::string& path, std::string_view bytes) {
  return SavedDestination(WriteFileAtomic(path, bytes), path);
}

// The .p8's code section holding text instead, its includes already put in.
void ReplaceCodeSection(CartDocument& document, std::string_view text) {
  CartSection* section = FindSection(document, "lua", true);
  if (section == nullptr) return;
  section->lines.clear();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    section->lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// A .p8 kept as it is (every section, unknown ones included), or its code section: the
// bytes read, or the lines that replaced them (minified code).
bool WriteText(const CartDocument& document, OutputKind kind, const std::string& output_path) {
  if (kind == OutputKind::kText) {
    return SavedDestination(SaveCartDocument(document, output_path), output_path);
  }
  const CartSection* code = FindSection(document, "lua");
  if (code != nullptr && code->lines.verbatim()) return SaveText(output_path, code->lines.raw());
  return SaveText(output_path, P8CodeText(document));
}

// The ROM cartridge written in the output's form: a picture from the template, with the
// --label picture and the titles given, or code_titles, or the code's; a player's script found from
// the destination page or script, which must not be one of the files read.
bool WriteCartridge(const RomCartridge& cartridge, OutputKind kind, const std::string& input_path,
                    const std::string& output_path, const std::vector<std::string>& read_paths,
                    const std::optional<std::pair<std::string, std::string>>& code_titles) {
  CartWriteOptions options;
  ImagePtr label;
  CartOutput form = CartOutput::kText;
  switch (kind) {
    case OutputKind::kText:
      break;
    case OutputKind::kLua:
      form = CartOutput::kLua;
      break;
    case OutputKind::kPicture:
      form = CartOutput::kPicture;
      if (IsArgSet(arg::kLabel)) {
        const std::string label_path = ResolvePath(GetArgValue(arg::kLabel), "");
        label = LoadImageFile(label_path);
        if (!label) {
          RecordFailure(kLoadImageFailed, LoadImageFailedMessage(label_path));
          return false;
        }
        options.label = label.get();
      }
      // Given titles replace both of the code's lines, so that one line is never mixed
      // with the other's source.
      if (IsArgSet(arg::kTitle) || IsArgSet(arg::kSubtitle)) {
        options.titles = {GetArgValue(arg::kTitle), GetArgValue(arg::kSubtitle)};
      } else {
        options.titles = code_titles;
      }
      break;
    case OutputKind::kRom:
      form = CartOutput::kRom;
      break;
    case OutputKind::kPlayer: {
      form = CartOutput::kPlayer;
      std::optional<CartFile> player = ReadCartFile(output_path);
      if (player && player->form == CartForm::kPlayer) {
        options.player_script = player->script_path;
        options.old_console = player->old_console;
        if (!CheckOutputIsNotRead(read_paths, options.player_script)) return false;
      }
      break;
    }
    case OutputKind::kUnknown:
    case OutputKind::kProgram:
      return false;
  }
  // A player's script is written in place of the page or script named.
  const std::string& written = form == CartOutput::kPlayer ? options.player_script : output_path;
  CartWriteFailure failure;
  if (WriteCartFile(cartridge, form, written, options, &failure)) return true;
  RecordCartWriteFailure(failure, form, input_path, output_path);
  return false;
}

// The --count lines: the input's path, then the figures of its code.
void PrintCount(const CodeFigures& figures, const std::string& input_path) {
  PrintNotice(input_path);
  PrintCodeFigures(figures);
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
  const bool text_input = file->form == CartForm::kText;
  // A .p8 stays text for the text forms: only the others need its ROM.
  const bool text_output = kind == OutputKind::kText || kind == OutputKind::kLua;
  const bool rom_output = has_output && !text_output;
  const bool minify = MinifyAsked();
  // A .p8 whose ROM is made is compressed once: the count takes the size of the stream
  // written. Made first, and counted before any failure to make it is told, so that code
  // too big to write is still counted, its warnings placed in the files it came from.
  // Putting its includes in tells which files it reads. Code to minify is put together
  // whatever its length, for minifying may make it fit.
  FormFailure failure;
  std::optional<RomCartridge> cartridge;
  std::optional<std::string> code;
  std::vector<CodeSpan> spans;
  std::vector<std::string> included;
  // A minified picture keeps the titles the code's comments gave it.
  std::optional<std::pair<std::string, std::string>> code_titles;
  // The code is put together once, when a ROM is made, a count is asked or it is
  // minified; else its includes are only looked for.
  if (text_input && (minify || rom_output || count)) {
    code = P8Code(*file->document, input_path, &failure, &spans,
                  minify ? std::numeric_limits<size_t>::max() : kMaxCodeLength, &included);
  } else if (text_input && has_output) {
    included = IncludedFiles(*file->document, input_path);
  }
  // Neither the input's files, the files its code includes, nor the label picture may be
  // written over; a player destination is checked against them once its script is known.
  std::vector<std::string> read_paths = file->read_paths;
  read_paths.insert(read_paths.end(), included.begin(), included.end());
  if (IsArgSet(arg::kLabel)) read_paths.push_back(ResolvePath(GetArgValue(arg::kLabel), ""));
  if (has_output && kind != OutputKind::kPlayer && !CheckOutputIsNotRead(read_paths, output_path)) {
    return 0;
  }
  if (text_input && (minify || rom_output || count)) {
    if (!code) {
      RecordFormFailure(failure);
      return 0;
    }
    const SourceMap map = SourceMapOfSpans(spans);
    if (minify) {
      if (count) PrintCount(CountCode(*code, std::nullopt, map), input_path);
      code_titles = TitlesOfCode(*code);
      code = MinifyCartCode(*code, map);
      if (!code) return 0;
    }
    if (rom_output) cartridge = RomOfCode(*file->document, input_path, *code, &failure);
    if (count && !minify) {
      PrintCount(CountCode(*code, cartridge ? cartridge->stream_size : std::nullopt, map),
                 input_path);
    }
  }
  if (text_input && !rom_output) {
    if (!has_output) return 0;
    PrintVerbose("Converting...");
    std::optional<LabelPixels> label;
    if (!TakeLabelSwitch(label)) return 0;
    if (label && !WriteSectionBytes(*file->document, "label", PackLabelPixels(*label))) {
      RecordFailure(kSetLabelOrTitleFailed, "Failed to set p8 label:\n" + output_path);
      return 0;
    }
    if (minify) ReplaceCodeSection(*file->document, CodeBytesToText(*code));
    if (!WriteText(*file->document, kind, output_path)) return 0;
  } else {
    PrintVerbose("Converting...");
    if (!text_input) cartridge = RomOfFile(*file, input_path, true, &failure);
    if (!cartridge) {
      RecordFormFailure(failure);
      return 0;
    }
    if (count && !text_input) {
      PrintCount(CountRomCode(*cartridge, input_path), input_path);
    }
    if (minify && !text_input) {
      code_titles = TitlesOfCode(cartridge->code);
      code = MinifyCartCode(cartridge->code, SourceMapOfFile(input_path));
      if (!code) return 0;
      if (!rom_output) {
        cartridge->code = std::move(*code);
      } else if (!PutRomCode(*cartridge, std::move(*code), input_path, &failure)) {
        RecordFormFailure(failure);
        return 0;
      }
    }
    if (!has_output) return 0;
    // A picture output loads the label picture itself, keeping its colours for the window.
    if (kind == OutputKind::kText && !TakeLabelSwitch(cartridge->label)) return 0;
    if (!WriteCartridge(*cartridge, kind, input_path, output_path, read_paths, code_titles)) {
      return 0;
    }
  }
  PrintVerbose("Converted: " + output_path);
  RunFinishingActions(output_path, "Opening converted file...", "Locating converted file...");
  return 0;
}

}  // namespace brasswick
