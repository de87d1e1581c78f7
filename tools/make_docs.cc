// Writes brasswick's manual page and its bash completion script from the command table
// the program carries, loaded by the program's own configuration loader: the commands,
// aliases, usage lines, arguments and descriptions are the ones `help` prints, so the
// two files cannot drift from it.
//
// Usage: make_docs MAN_PAGE COMPLETION_SCRIPT DATE
//
// DATE (YYYY-MM-DD) stands in the page's heading. Nothing is written unless the table
// loads; the exit status is then 1.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_api.h"
#include "cli/cli_binding.h"
#include "cli/cli_config.h"
#include "cli/cli_dispatch.h"
#include "cli/cli_help.h"
#include "cli/cli_loader.h"
#include "cli/runtime_registry.h"
#include "commands/failure_codes.h"
#include "console/console.h"
#include "runtime/json/json_document.h"
#include "runtime/platform/file_system.h"

namespace brasswick {

extern const unsigned char kCommandTableJson[];
extern const std::size_t kCommandTableJson_size;

namespace {

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

// ---------------------------------------------------------------------------------
// Loading

// The loader refuses a table whose procedures are not registered. Nothing is run
// here, so every name the table refers to gets a placeholder of the kind it needs.
void RegisterPlaceholders(const JsonValue* node) {
  RuntimeRegistry& registry = GlobalRuntimeRegistry();
  for (JsonMemberWalk walk(node); walk.Next();) {
    std::string key(walk.name());
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const JsonValue* value = walk.value();
    if (JsonKindOf(value) == JsonKind::kString) {
      std::string name = NormalizeRuntimeName(JsonStringOf(value));
      if (name.empty() || registry.Find(name) != nullptr) continue;
      if (key == "call" || key == "precall" || key == "postcall") {
        registry.RegisterProcedure(name, [] { return 0; });
      } else if (key == "formatter") {
        registry.RegisterFormatter(name, [](const std::string& text) { return text; });
      } else if (key == "accumulator") {
        registry.RegisterAccumulator(name, [](const std::string&, bool, bool) {});
      }
    } else if (key != "runtimes") {
      RegisterPlaceholders(value);
    }
  }
  for (size_t i = 0; i < JsonArrayLength(node); ++i) RegisterPlaceholders(JsonElement(node, i));
}

bool LoadTable() {
  std::string_view text(reinterpret_cast<const char*>(kCommandTableJson), kCommandTableJson_size);
  std::unique_ptr<JsonDocument> document = ParseJsonText(text, kJsonNoCase, nullptr);
  if (document == nullptr) return false;
  RegisterPlaceholders(JsonRoot(document.get()));
  SetCliProgramPath(kProgramTitle);
  if (!CliInitFromBuffer(kCommandTableJson, static_cast<int64_t>(kCommandTableJson_size),
                         CliEncoding::kAutomatic, false)) {
    return false;
  }
  ExpandConfigTexts();
  return !CliFailed();
}

std::vector<const CliCommand*> VisibleCommands() {
  std::vector<const CliCommand*> commands;
  for (const auto& command : Cli().config.commands) {
    if (!command->hidden) commands.push_back(command.get());
  }
  return commands;
}

bool IsFileType(const std::string& type) {
  return type == "file" || type == "file-exists" || type == "file-confirm";
}

// A switch as the user writes it: "--scale".
std::string SwitchWord(const CliArg& arg) { return SwitchDashes(arg) + arg.display_name; }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

// ---------------------------------------------------------------------------------
// The manual page

// Text made safe for roff: backslashes and hyphens escaped (so that switches stay
// ASCII hyphen-minus when rendered), no-break spaces kept unbreakable, and a line that
// would start with a control character guarded.
std::string Roff(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, kNoBreakSpace.size()) == kNoBreakSpace) {
      out += "\\ ";
      i += kNoBreakSpace.size() - 1;
    } else if (text[i] == '\\') {
      out += "\\e";
    } else if (text[i] == '-') {
      out += "\\-";
    } else {
      out.push_back(text[i]);
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

// A text of several lines in fill mode: each line kept as a line, an empty one as a
// vertical space.
std::string RoffLines(const std::string& text) {
  std::string out;
  bool first = true;
  for (const std::string& raw : SplitLines(text)) {
    size_t start = raw.find_first_not_of(' ');
    std::string line = start == std::string::npos ? "" : raw.substr(start);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.empty()) {
      out += ".sp\n";
      first = true;
      continue;
    }
    if (!first) out += ".br\n";
    out += Roff(line) + "\n";
    first = false;
  }
  return out;
}

// The usage line `help` prints, the program and command names in bold; lines break
// only between its bracketed parts.
std::string UsageRoff(const CliCommand& command) {
  std::string line;
  int depth = 0;
  for (char c : BuildUsageLine(command)) {
    if (c == '[' || c == '{') ++depth;
    if (c == ']' || c == '}') --depth;
    if (c == ' ' && depth > 0) {
      line += kNoBreakSpace;
    } else {
      line.push_back(c);
    }
  }
  std::string head = ExecutableDisplayName() + " " + command.name;
  std::string rest = line.compare(0, head.size(), head) == 0 ? line.substr(head.size()) : line;
  return "\\fB" + Roff(head) + "\\fR" + Roff(rest) + "\n";
}

// An argument's tag: a switch with its dashes in bold and its value names in italics;
// a positional by the name help gives it.
std::string ArgTag(const HelpArgLine& line) {
  const CliArg& arg = *line.arg;
  if (!arg.is_switch) return "\\fI" + Roff(line.name) + "\\fR";
  std::string tag = "\\fB" + Roff(SwitchWord(arg)) + "\\fR";
  if (!arg.value_names.empty()) tag += " \\fI" + Roff(arg.value_names) + "\\fR";
  if (arg.multiple == true) tag += " (may be repeated)";
  return tag;
}

std::string ArgumentList(const CliCommand& command, bool required_group) {
  std::vector<HelpArgLine> lines = HelpArgLines(command, required_group);
  if (lines.empty()) return "";
  std::string out = ".PP\n";
  out += required_group ? "Required:\n" : "Optional:\n";
  for (const HelpArgLine& line : lines) {
    out += ".TP\n" + ArgTag(line) + "\n";
    out += line.desc.empty() ? "(no description)\n" : RoffLines(line.desc);
  }
  return out;
}

std::string CommandSection(const CliCommand& command) {
  std::string out = ".SS " + Roff(command.name) + "\n";
  out += UsageRoff(command);
  std::string desc = WithoutGroupMarks(command.desc);
  if (!desc.empty()) out += ".PP\n" + RoffLines(desc);
  if (command.aliases.size() > 1) {
    out += ".PP\nAlso called ";
    for (size_t i = 1; i < command.aliases.size(); ++i) {
      if (i > 1) out += i + 1 == command.aliases.size() ? " and " : ", ";
      out += "\\fB" + Roff(command.aliases[i]) + "\\fR";
    }
    out += ".\n";
  }
  out += ArgumentList(command, true);
  out += ArgumentList(command, false);
  if (!command.help.empty()) out += ".PP\n" + RoffLines(command.help);
  return out;
}

struct ExitStatus {
  std::vector<int64_t> codes;
  const char* meaning;
};

// Every status the program ends with. The command codes come from the procedures' own
// table; the framework's are the ones its loader, dispatch and binding record.
const std::vector<ExitStatus>& ExitStatuses() {
  static const std::vector<ExitStatus> statuses = {
      {{0}, "Success; printing help counts as success."},
      {{1, 5, 6, 10, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 32, 47, 70, 71, 72},
       "The built-in command table could not be loaded (a fault of the build; the message "
       "names the entry)."},
      {{30}, "The command-line framework was used before its table was loaded."},
      {{31}, "The command word is blank."},
      {{40}, "A required argument is missing."},
      {{41}, "An unknown switch was given."},
      {{42}, "An abbreviated switch matches several switches."},
      {{43}, "An unknown command was given, or a switch where the command belongs."},
      {{44}, "An abbreviated command matches several commands."},
      {{45}, "A value is not of its argument's kind (blank, not a number, out of its range)."},
      {{46}, "An input file does not exist, or is a folder."},
      {{48}, "A switch was given fewer values than it takes."},
      {{49}, "A switch that may be given once was repeated."},
      {{50}, "More arguments were given than the command takes."},
      {{51}, "The command word is too short to be an abbreviation."},
      {{52}, "A required switch is missing."},
      {{53}, "None of a set of switches of which one is required was given."},
      {{54}, "Switches that exclude each other were combined."},
      {{55}, "The command has been withdrawn."},
      {{60}, "The run was cancelled before or after the command."},
      {{61}, "Overwriting the destination was declined at the prompt."},
      {{kLoadCartridgeFailed}, "The input cartridge could not be loaded."},
      {{kGenerateImageFailed}, "The image could not be generated."},
      {{kSaveImageFailed}, "The image or cartridge picture could not be saved."},
      {{kLoadImageFailed}, "An input image could not be loaded."},
      {{kReencodeLabelFailed}, "The label could not be re-encoded."},
      {{kColorOptionOutOfRange},
       "A colour option is out of range (transparent index, too many palette colours)."},
      {{kMapCellsOutOfRange}, "The map cells lie outside the 128 x 64 map."},
      {{kSpriteOutOfRange}, "A sprite number or sheet part lies outside the sprite sheet."},
      {{kSpriteListInvalid}, "The sprite number list cannot be read."},
      {{kNoLabelSection}, "The cartridge has no label."},
      {{kDeleteSectionFailed}, "A section named by --delete could not be deleted."},
      {{kClearSectionFailed}, "A section named by --clear could not be cleared."},
      {{kSaveDestinationFailed}, "The destination cartridge could not be saved."},
      {{kSaveHtmlFailed}, "The player page could not be saved."},
      {{kLoadHtmlFailed}, "The player page could not be loaded."},
      {{kCopyFileFailed}, "The file could not be copied."},
      {{kSetLabelOrTitleFailed}, "The label or title could not be set."},
      {{kAllocateBufferFailed}, "A buffer could not be allocated."},
      {{kLoadHeadersFailed}, "The file of extra head markup could not be loaded."},
      {{kMissingHeadEnd}, "The player page has no </head> tag."},
      {{kOutOfMemory}, "The command ran out of memory; nothing is written."},
      {{kLoadJavaScriptFailed}, "The player script is unreadable or holds no cartridge."},
      {{kWriteRomFailed}, "The ROM file could not be written."},
      {{kMissingTitleEnd}, "The player page opens a <title> that it never closes."},
      {{kNotACartridge}, "The input to convert is no cartridge in any form."},
      {{kDamagedCartridge},
       "The cartridge is damaged: its compressed code cannot be decoded, or its hash does not "
       "match its ROM."},
      {{kCodeCharacterUnknown},
       "The cartridge's code holds a byte no code character stands for, or the .p8's code a "
       "character no byte stands for."},
      {{kOutputKindImpossible},
       "The output's ending is unknown or .bin (a raw ROM is written as .rom), no output is "
       "given without --count, or --label, --title or --subtitle is given for an output that "
       "holds no label or title."},
      {{kNotAPlayer}, "The .js or .html destination is no player with a cartridge list."},
      {{kCodeTooBig},
       "The .p8's code, compressed, does not fit the 15616 bytes a cartridge holds for it."},
      {{kCodeTooLong}, "The .p8's code, includes put in, is longer than 65535 bytes."},
      {{kIncludeMissing},
       "A file that the .p8's code includes cannot be read, is no code text, or is larger "
       "than 16 MiB."},
      {{kIncludeLoop}, "A file that the .p8's code includes includes itself."},
      {{kPictureDoesNotFit},
       "The picture does not fit the sprite sheet or the map from where it is placed, or its "
       "sides are no multiples of 8 (setmap)."},
      {{kPictureColorsUnknown}, "A pixel of the picture is none of the 16 standard colours."},
      {{kCellsMatchNoSprite}, "A cell of the map picture shows no sprite of the sheet."},
      {{kNoRoomForSprites},
       "Too few sprites are free (blank, without flags, named by no cell) for the new cells "
       "(--addSprites)."},
      {{kMapOverSprites},
       "Map rows 32-63 would change sprites 128-255 that are not blank or that other cells "
       "show (they share memory)."},
      {{kIncludesTooMany},
       "The .p8's includes name each other so often that putting them in passes 4096 files "
       "or 32 MiB."},
      {{kCodePastLimit},
       "count: the code passes a limit of the console (8192 tokens, 65535 characters or "
       "15616 compressed bytes); the figures are still printed."},
      {{kCodeSyntaxError},
       "convert --minify: the code does not parse; the message gives the file, line and "
       "column. Nothing is written."},
  };
  return statuses;
}

std::string ExitStatusSection() {
  std::string out = ".SH EXIT STATUS\n";
  out +=
      "The status is that of the first error; its message stands on standard error "
      "unless\n\\fB\\-\\-silent\\fR is given. A failed command leaves no partial file "
      "behind.\n";
  for (const ExitStatus& status : ExitStatuses()) {
    out += ".TP\n";
    for (size_t i = 0; i < status.codes.size(); ++i) {
      out += (i == 0 ? "" : ", ") + std::to_string(status.codes[i]);
    }
    out += "\n" + Roff(status.meaning) + "\n";
  }
  return out;
}

std::string ManPage(const std::string& date) {
  const CliConfig& config = Cli().config;
  const std::string program = ExecutableDisplayName();
  std::string out;
  out += ".\\\" Generated from the command table by make_docs; edit the table, not this.\n";
  out += ".TH BRASSWICK 1 " + date + " \"" + program + " " + kProgramVersion +
         "\" \"User Commands\"\n";
  // Switches are words to type: neither hyphenated nor spread apart.
  out += ".nh\n.ad l\n";
  out += ".SH NAME\n" + program +
         " \\- export and edit PICO\\-8 cartridges, their pictures and players\n";
  out += ".SH SYNOPSIS\n.B " + program + "\n.I command\n.RI [ arguments ...]\n.br\n.B " + program +
         " help\n.RI [ command ]\n.RB [ \\-\\-all ]\n";
  out += ".SH DESCRIPTION\n";
  out += ".B " + program + "\n";
  out +=
      "exports the sprite sheet, single sprites, the map and the label of a PICO\\-8\n"
      "cartridge as PNG, JPEG or BMP images in the console's palette, sets the label\n"
      "and title of cartridges, themes exported HTML players, copies cartridges while\n"
      "clearing or deleting sections, and recolours any picture to 16 colours.\n"
      "Every file is written to a temporary file beside its target and renamed over it\n"
      "only when complete.\n";
  out += ".PP\n";
  out += "Each run carries out one command.";
  if (config.allow_partial_commands) {
    out += " A command may be shortened to any unique beginning of at least " +
           std::to_string(config.min_command_chars) + " characters.";
  }
  if (config.allow_partial_switches) {
    out += " Switches may be shortened to any unique beginning, with one dash or two.";
  }
  out += "\n";
  if (!config.help_all_footer.empty()) {
    out += ".SS General syntax\n";
    std::string footer = config.help_all_footer;
    const std::string head = "general syntax:";
    if (footer.compare(0, head.size(), head) == 0) footer.erase(0, head.size());
    size_t start = footer.find_first_not_of("\n");
    out += RoffLines(start == std::string::npos ? "" : footer.substr(start));
  }
  out += ".SH COMMANDS\n";
  for (const CliCommand* command : VisibleCommands()) out += CommandSection(*command);
  out += ExitStatusSection();
  out += ".SH FILES\n";
  out +=
      "The cartridge commands read and write three kinds of file; the export commands\n"
      "(\\fBmap\\fR, \\fBsheet\\fR, \\fBsprites\\fR and \\fBlabel\\fR) accept all three "
      "as input.\n"
      ".TP\n\\fIname\\fB.p8\\fR\n"
      "A text cartridge: the line \"pico\\-8 cartridge\" and sections such as\n"
      "\\fB__lua__\\fR, \\fB__gfx__\\fR, \\fB__label__\\fR and \\fB__map__\\fR, the "
      "pictures in hexadecimal digits.\n"
      ".TP\n\\fIname\\fB.p8.png\\fR\n"
      "A picture cartridge: a 160 x 205 PNG showing the label and the title, whose\n"
      "pixels carry the cartridge's bytes in the two low bits of each channel.\n"
      ".TP\n\\fIname\\fB.html\\fR and \\fIname\\fB.js\\fR\n"
      "An exported HTML player: the page with its embedded pictures, and beside it the\n"
      "script that holds the cartridge.\n";
  out += ".SH EXAMPLES\n";
  struct Example {
    const char* what;
    const char* line;
  };
  constexpr Example kExamples[] = {
      {"Export the map at twice its size (written as game.map.png):", "map game.p8 --scale 2"},
      {"Export sprites 16 to 23 and the 8 below them as one picture:",
       "sheet game.p8 part.png --sub 16 8 2"},
      {"Write sprites 1, 2 and 5 to 10 as pictures of their own:",
       "sprites game.p8 \"s-%3d.png\" --numbers 1,2,5-10"},
      {"Set the label of a picture cartridge from a screenshot, in the console's colours:",
       "setlabel game.p8.png shot.png --fitPalette"},
      {"Write a title and a subtitle onto a picture cartridge:",
       "settitle game.p8.png --title \"My game\" --subtitle \"by me\""},
      {"Theme an exported player page and hide its Start button:",
       "sethtml game.html --background navy --controls 8 --noStart"},
      {"Put an edited sprite sheet back into a picture cartridge, nearest colours taken:",
       "setsheet game.p8.png sheet.png --fitPalette"},
      {"Put a level drawn as a map picture back from cell 0, 0, new tiles added as sprites:",
       "setmap game.p8 level.png --addSprites"},
      {"Copy a cartridge without its sound effects:", "copy game.p8 quiet.p8 --clear sfx"},
      {"Recolour a photo to the 16 colours at 128 x 128:",
       "colorimage photo.jpg small.png --fit 128"},
  };
  for (const Example& example : kExamples) {
    if (&example != kExamples) out += ".PP\n";
    out += Roff(example.what) + "\n.PP\n.RS 4\n\\fB" + Roff(program + " " + example.line) +
           "\\fR\n.RE\n";
  }
  return out;
}

// Breaks text lines longer than man page sources keep (80 bytes) at spaces; a space
// escaped as unbreakable and request lines are left alone.
std::string WrapSourceLines(const std::string& page) {
  constexpr size_t kWidth = 80;
  std::string out;
  for (std::string line : SplitLines(page)) {
    while (line.size() > kWidth && line[0] != '.') {
      size_t cut = std::string::npos;
      for (size_t i = kWidth; i > 0; --i) {
        if (line[i] == ' ' && line[i - 1] != '\\') {
          cut = i;
          break;
        }
      }
      if (cut == std::string::npos) break;
      out += line.substr(0, cut) + "\n";
      line.erase(0, cut + 1);
      if (line[0] == '.' || line[0] == '\'') line.insert(0, "\\&");
    }
    out += line + "\n";
  }
  out.pop_back();  // SplitLines gave an empty last line for the page's final line feed
  return out;
}

// ---------------------------------------------------------------------------------
// The bash completion script

// Text in single quotes for the shell.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The extensions to offer first for a file argument: the kinds of file its
// description names (".p8", ".p8.png", "PNG", "HTML" and so on).
std::string PreferredExtensions(const CliArg& arg) {
  struct Mention {
    const char* word;
    const char* extensions;
  };
  constexpr Mention kMentions[] = {
      {"p8", "p8"},   {"p8.png", "p8.png"}, {"png", "png"},       {"jpg", "jpg jpeg"},
      {"bmp", "bmp"}, {"html", "html htm"}, {"javascript", "js"}, {"js", "js"},
  };
  std::vector<std::string> words;
  std::string word;
  for (char c : arg.desc + " ") {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '.') {
      word.push_back(static_cast<char>(std::tolower(u)));
      continue;
    }
    size_t start = word.find_first_not_of('.');
    size_t end = word.find_last_not_of('.');
    if (start != std::string::npos) words.push_back(word.substr(start, end - start + 1));
    word.clear();
  }
  std::string found;
  for (const std::string& written : words) {
    for (const Mention& mention : kMentions) {
      if (written != mention.word) continue;
      std::string extensions = mention.extensions;
      if ((" " + found + " ").find(" " + extensions + " ") == std::string::npos) {
        found += (found.empty() ? "" : " ") + extensions;
      }
    }
  }
  return found;
}

// What completes a value: "file EXT..." for a file, "command" for a command name, or
// "none" when any text will do.
std::string ValueKind(const CliArg& arg, bool help_topic) {
  if (help_topic) return "command";
  bool file = IsFileType(arg.type) || arg.value_names == "FILE";
  if (!file) return "none";
  std::string extensions = PreferredExtensions(arg);
  return extensions.empty() ? "file" : "file " + extensions;
}

std::string CompletionScript() {
  const CliConfig& config = Cli().config;
  const std::string program = ExecutableDisplayName();
  const std::vector<const CliCommand*> commands = VisibleCommands();
  std::string names, pairs, switches, switch_values, positionals, unbounded;
  for (const CliCommand* command : commands) {
    for (const std::string& alias : command->aliases) {
      names += (names.empty() ? "" : " ") + alias;
      pairs += "    " + Quoted(alias) + ":" + Quoted(command->name) + "\n";
    }
    std::string words;
    int64_t position = 0;
    for (const auto& arg : command->args) {
      if (arg->hidden) continue;
      if (arg->is_switch) {
        words += (words.empty() ? "" : " ") + SwitchWord(*arg);
        if (arg->min_count > 0) {
          switch_values += "    " + Quoted(command->name + " " + SwitchWord(*arg)) + ") REPLY=" +
                           Quoted(std::to_string(arg->min_count) + " " + ValueKind(*arg, false)) +
                           " ;;\n";
        }
        continue;
      }
      std::string kind = ValueKind(*arg, command == config.help_command);
      if (arg->unbounded) {
        // Every later position: the fallback of the positional lookup.
        unbounded += "      " + Quoted(command->name + " *") + ") REPLY=" + Quoted(kind) + " ;;\n";
        continue;
      }
      for (int64_t i = 0; i < arg->max_count && i < 64; ++i, ++position) {
        positionals += "    " + Quoted(command->name + " " + std::to_string(position)) +
                       ") REPLY=" + Quoted(kind) + " ;;\n";
      }
    }
    switches += "    " + Quoted(command->name) + ") REPLY=" + Quoted(words) + " ;;\n";
  }
  const std::string fold = config.case_sensitive ? "" : ",,";
  const std::string min_chars =
      config.allow_partial_commands ? std::to_string(config.min_command_chars) : "0";
  const std::string partial_switches = config.allow_partial_switches ? "1" : "0";

  std::string out;
  out += "# bash completion for " + program +
         ", generated from its command table by make_docs.\n"
         "# Commands and their aliases first, then each command's switches, and file\n"
         "# names for file arguments, the kinds their description names offered first.\n\n";
  out += "_" + program + "_commands=" + Quoted(names) + "\n\n";
  out += "# Each alias with the command it names.\n_" + program + "_aliases=(\n" + pairs + ")\n\n";
  out +=
      "# REPLY: the command a word names (an alias, or the unique beginning of one that\n"
      "# is at least " +
      min_chars + " characters long), or nothing.\n";
  out += "_" + program +
         "_command_of() {\n"
         "  local word=${1" +
         fold +
         "} pair alias found=\n"
         "  REPLY=\n"
         "  [[ -n $word ]] || return\n"
         "  for pair in \"${_" +
         program +
         "_aliases[@]}\"; do\n"
         "    alias=${pair%%:*}\n"
         "    alias=${alias" +
         fold +
         "}\n"
         "    if [[ $alias == \"$word\" ]]; then REPLY=${pair#*:}; return; fi\n"
         "  done\n"
         "  (( " +
         min_chars + " > 0 && ${#word} >= " + min_chars +
         " )) || return\n"
         "  for pair in \"${_" +
         program +
         "_aliases[@]}\"; do\n"
         "    alias=${pair%%:*}\n"
         "    alias=${alias" +
         fold +
         "}\n"
         "    [[ $alias == \"$word\"* ]] || continue\n"
         "    [[ -z $found || $found == \"${pair#*:}\" ]] || return\n"
         "    found=${pair#*:}\n"
         "  done\n"
         "  REPLY=$found\n"
         "}\n\n";
  out += "# REPLY: the switches of a command.\n_" + program + "_switches() {\n  case $1 in\n" +
         switches + "    *) REPLY= ;;\n  esac\n}\n\n";
  out += "# REPLY: the values a switch takes, \"COUNT KIND [EXTENSION...]\"; nothing for none.\n_" +
         program + "_switch_values() {\n  case \"$1 $2\" in\n" + switch_values +
         "    *) REPLY= ;;\n  esac\n}\n\n";
  out += "# REPLY: what the positional at an index (from 0) is, \"KIND [EXTENSION...]\".\n_" +
         program + "_positional() {\n  case \"$1 $2\" in\n" + positionals +
         "    *) case \"$1 *\" in\n" + unbounded + "      *) REPLY= ;;\n    esac ;;\n  esac\n}\n\n";
  out +=
      "# REPLY: the switch a word names (written in full or, where allowed, by a unique\n"
      "# beginning after one dash or two), or nothing.\n";
  out += "_" + program +
         "_switch_of() {\n"
         "  local word=${2" +
         fold +
         "} candidate name found=\n"
         "  word=${word#-}\n"
         "  word=${word#-}\n"
         "  REPLY=\n"
         "  [[ -n $word ]] || return\n"
         "  _" +
         program +
         "_switches \"$1\"\n"
         "  for candidate in $REPLY; do\n"
         "    name=${candidate#--}\n"
         "    name=${name" +
         fold +
         "}\n"
         "    if [[ $name == \"$word\" ]]; then REPLY=$candidate; return; fi\n"
         "    if (( " +
         partial_switches +
         " )) && [[ $name == \"$word\"* ]]; then\n"
         "      [[ -z $found ]] || { REPLY=; return; }\n"
         "      found=$candidate\n"
         "    fi\n"
         "  done\n"
         "  REPLY=$found\n"
         "}\n\n";
  out +=
      "# File names for the current word: those with one of the extensions and the\n"
      "# folders when there are extensions and anything matches, else every file.\n";
  out += "_" + program +
         "_files() {\n"
         "  local current=$1 file extension\n"
         "  shift\n"
         "  local -a files=() picked=()\n"
         "  mapfile -t files < <(compgen -f -- \"$current\")\n"
         "  compopt -o filenames 2>/dev/null\n"
         "  if (( $# > 0 )); then\n"
         "    for file in \"${files[@]}\"; do\n"
         "      if [[ -d $file ]]; then picked+=(\"$file\"); continue; fi\n"
         "      for extension; do\n"
         "        if [[ ${file,,} == *.\"$extension\" ]]; then picked+=(\"$file\"); break; fi\n"
         "      done\n"
         "    done\n"
         "    if (( ${#picked[@]} > 0 )); then COMPREPLY=(\"${picked[@]}\"); return; fi\n"
         "  fi\n"
         "  COMPREPLY=(\"${files[@]}\")\n"
         "}\n\n";
  out += "# Completes a value of the kind \"KIND [EXTENSION...]\".\n";
  out += "_" + program +
         "_value() {\n"
         "  local current=$1 kind=$2\n"
         "  shift 2\n"
         "  case $kind in\n"
         "    file) _" +
         program +
         "_files \"$current\" \"$@\" ;;\n"
         "    command) mapfile -t COMPREPLY < <(compgen -W \"$_" +
         program +
         "_commands\" -- \"$current\") ;;\n"
         "  esac\n"
         "}\n\n";
  out += "_" + program +
         "() {\n"
         "  local current=${COMP_WORDS[COMP_CWORD]} command word REPLY\n"
         "  local -i index=2 position=0 pending=0\n"
         "  local -a value=()\n"
         "  COMPREPLY=()\n"
         "  if (( COMP_CWORD == 1 )); then\n"
         "    mapfile -t COMPREPLY < <(compgen -W \"$_" +
         program +
         "_commands\" -- \"$current\")\n"
         "    return\n"
         "  fi\n"
         "  _" +
         program +
         "_command_of \"${COMP_WORDS[1]}\"\n"
         "  command=$REPLY\n"
         "  [[ -n $command ]] || return\n"
         "  # The words before the cursor: switches with the values they take, and positionals.\n"
         "  while (( index < COMP_CWORD )); do\n"
         "    word=${COMP_WORDS[index]}\n"
         "    index+=1\n"
         "    if (( pending > 0 )); then pending+=-1; continue; fi\n"
         "    if [[ $word == -?* ]]; then\n"
         "      _" +
         program +
         "_switch_of \"$command\" \"$word\"\n"
         "      [[ -n $REPLY ]] || continue\n"
         "      _" +
         program +
         "_switch_values \"$command\" \"$REPLY\"\n"
         "      read -ra value <<< \"$REPLY\"\n"
         "      pending=${value[0]:-0}\n"
         "    else\n"
         "      position+=1\n"
         "    fi\n"
         "  done\n"
         "  if (( pending > 0 )); then\n"
         "    _" +
         program +
         "_value \"$current\" \"${value[@]:1}\"\n"
         "  elif [[ $current == -* ]]; then\n"
         "    _" +
         program +
         "_switches \"$command\"\n"
         "    mapfile -t COMPREPLY < <(compgen -W \"$REPLY\" -- \"$current\")\n"
         "  else\n"
         "    _" +
         program +
         "_positional \"$command\" \"$position\"\n"
         "    read -ra value <<< \"$REPLY\"\n"
         "    (( ${#value[@]} > 0 )) && _" +
         program +
         "_value \"$current\" \"${value[@]}\"\n"
         "  fi\n"
         "  return 0\n"
         "}\n\n";
  out += "complete -F _" + program + " " + program + "\n";
  return out;
}

}  // namespace
}  // namespace brasswick

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_docs MAN_PAGE COMPLETION_SCRIPT DATE\n");
    return 2;
  }
  if (!brasswick::LoadTable()) {
    std::fprintf(stderr, "make_docs: the command table does not load: %s\n",
                 brasswick::GetCliError().message.c_str());
    return 1;
  }
  if (!brasswick::WriteFileAtomic(argv[1],
                                  brasswick::WrapSourceLines(brasswick::ManPage(argv[3]))) ||
      !brasswick::WriteFileAtomic(argv[2], brasswick::CompletionScript())) {
    std::fprintf(stderr, "make_docs: cannot write %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  return 0;
}
