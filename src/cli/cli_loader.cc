// CliInitFromBuffer and CliLoadText: from bytes or text to the loaded CliConfig.
#include "cli/cli_loader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "cli/cli_api.h"
#include "cli/cli_command_reader.h"
#include "cli/cli_config.h"
#include "cli/cli_members.h"
#include "cli/cli_text.h"
#include "cli/runtime_registry.h"
#include "runtime/json/json_document.h"
#include "runtime/text/text_codes.h"

namespace brasswick {

namespace {

constexpr char kBufferFormatInvalid[] = "CLI config buffer format is invalid";

// Zero units become spaces so that an embedded NUL cannot cut the document short.
// NUL characters read as blanks, as they do in the other encodings.
std::string DecodeUtf16Le(const uint8_t* bytes, int64_t length) {
  std::string text = Utf16LeToUtf8(bytes, static_cast<size_t>(length));
  std::replace(text.begin(), text.end(), '\0', ' ');
  return text;
}

// Replaces every `from` in the text; the search runs at memchr's pace, for the texts
// are long and the characters rare.
void ReplaceEach(std::string& text, char from, char to) {
  char* const end = text.data() + text.size();
  for (char* at = text.data(); at != end;) {
    at = static_cast<char*>(std::memchr(at, from, static_cast<size_t>(end - at)));
    if (at == nullptr) return;
    *at++ = to;
  }
}

std::string DecodeBytes(const uint8_t* bytes, int64_t length, bool latin1) {
  std::string text;
  if (!latin1) {
    text.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    ReplaceEach(text, '\0', ' ');
    return text;
  }
  text.reserve(static_cast<size_t>(length));
  for (int64_t i = 0; i < length; ++i) {
    uint8_t byte = bytes[i];
    if (byte == 0) {
      text.push_back(' ');
    } else if (latin1 && byte >= 0x80) {
      AppendUtf8(text, byte);
    } else {
      text.push_back(static_cast<char>(byte));
    }
  }
  return text;
}

// A JSON number as a runtime text: decimal with up to ten digits after the point.
std::string NumberText(const JsonValue* value) {
  if (!value->is_float()) return std::to_string(value->integer_value());
  char buffer[400];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value->double_value(),
                                 std::chars_format::fixed, 10);
  if (ec != std::errc()) return "";
  std::string text(buffer, end);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text;
}

void ReadSettings(const JsonValue* root) {
  CliConfig& config = Cli().config;
  config.no_console = ReadConfigBool(root, "NoConsole", false);
  config.case_sensitive = ReadConfigBool(root, "CaseSensitive", false);
  config.allow_partial_commands = ReadConfigBool(root, "AllowPartialCommands", true);
  config.uppercase_positionals = ReadConfigBool(root, "UppercasePositionals", false);
  config.min_command_chars = ReadConfigInt(root, "MinCommandChars", 3);
  if (config.min_command_chars < 0) config.min_command_chars = 0;
  config.allow_partial_switches = ReadConfigBool(root, "AllowPartialSwitches", true);
  config.allow_slash_switches = ReadConfigBool(root, "AllowSlashSwitches", false);
  config.auto_add_help = ReadConfigBool(root, "AutoAddHelp", true);
  config.console_columns = ReadConfigInt(root, "ConsoleColumns", 78);
  if (config.console_columns < 1) config.console_columns = 78;
  config.executable_name = ReadConfigString(root, "ExecutableName", "");
  config.default_commandline = ReadConfigString(root, "DefaultCommandline", "");
  config.indent_width = ReadConfigInt(root, "IndentWidth", 2);
}

bool HasHelpAlias() {
  std::string help = "help";
  for (const auto& command : Cli().config.commands) {
    for (const std::string& alias : command->aliases) {
      std::string normalized = TrimText(alias);
      if (!Cli().config.case_sensitive) normalized = LowerText(normalized);
      if (normalized == help) return true;
    }
  }
  return false;
}

void ReadDeprecated(const JsonValue* root) {
  std::string names = RemoveChar(ReadConfigString(root, "deprecated", ""), ' ');
  for (const std::string& piece : SplitText(names, ',')) {
    std::string name = LowerText(TrimText(piece));
    if (!name.empty()) Cli().config.deprecated_names.insert(name);
  }
}

void ReadRuntimes(const JsonValue* root) {
  auto& table = Cli().config.string_runtimes;
  for (JsonMemberWalk walk(ConfigMember(root, "runtimes")); walk.Next();) {
    const std::string name(walk.name());
    if (table.count(name) != 0 || GlobalRuntimeRegistry().Find(name) != nullptr) {
      RecordCliError(32, "Runtime '" + name + "' defined more than once");
      return;
    }
    const JsonValue* value = walk.value();
    std::string text;
    switch (JsonKindOf(value)) {
      case JsonKind::kString:
        text = JsonStringOf(value);
        break;
      case JsonKind::kNumber:
        text = NumberText(value);
        break;
      case JsonKind::kBoolean:
        text = JsonBooleanOf(value) ? "1" : "0";
        break;
      default:
        break;
    }
    table.emplace(name, text);
  }
}

void ResolveHook(const JsonValue* root, std::string_view key, CliProcedure& hook) {
  const RuntimeEntry* entry = nullptr;
  std::string name;
  if (!ResolveConfigRuntime(root, key, RuntimeEntry::Kind::kProcedure, &entry, &name)) {
    RecordCliError(24, "Missing " + std::string(key) + " runtime '" + name + "'");
  } else if (entry != nullptr) {
    hook = entry->procedure;
  }
}

}  // namespace

static bool LoadConfigText(std::string text, bool single_quotes);
static bool LoadConfigView(std::string_view text);

namespace {

// UTF-8 bytes that no decoding step would change are parsed where they lie: the
// program's own table is read without a copy.
bool NeedsNoEdit(const uint8_t* bytes, int64_t length, bool single_quotes) {
  const auto size = static_cast<size_t>(length);
  return std::memchr(bytes, '\0', size) == nullptr && std::memchr(bytes, '`', size) == nullptr &&
         (!single_quotes || std::memchr(bytes, '\'', size) == nullptr);
}

}  // namespace

bool CliInitFromBuffer(const uint8_t* bytes, int64_t length, CliEncoding encoding,
                       bool single_quotes) {
  ResetCliState();
  if (bytes == nullptr || length < 1) {
    RecordCliError(6, "CLI memory range is invalid");
    return false;
  }
  if (encoding == CliEncoding::kAutomatic) {
    if (length < 4) {
      RecordCliError(5, kBufferFormatInvalid);
      return false;
    }
    bool utf32 = (bytes[0] == 0xFF && bytes[1] == 0xFE && bytes[2] == 0 && bytes[3] == 0) ||
                 (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0xFE && bytes[3] == 0xFF);
    bool utf16_be = bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (utf32 || utf16_be) {
      RecordCliError(5, kBufferFormatInvalid);
      return false;
    }
    encoding = bytes[0] == 0xFF && bytes[1] == 0xFE ? CliEncoding::kUtf16Le : CliEncoding::kUtf8;
  }
  std::string text;
  switch (encoding) {
    case CliEncoding::kAscii:
      text = DecodeBytes(bytes, length, true);
      break;
    case CliEncoding::kUtf8:
      if (NeedsNoEdit(bytes, length, single_quotes)) {
        return LoadConfigView(
            std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)));
      }
      text = DecodeBytes(bytes, length, false);
      break;
    case CliEncoding::kUtf16Le:
      text = DecodeUtf16Le(bytes, length);
      break;
    default:
      RecordCliError(5, kBufferFormatInvalid);
      return false;
  }
  return LoadConfigText(std::move(text), single_quotes);
}

bool CliLoadText(const std::string& source, bool single_quotes) {
  return LoadConfigText(source, single_quotes);
}

// The text is taken by value and edited in place: a decoded buffer is moved in, so the
// table is held once while it is parsed rather than twice.
static bool LoadConfigText(std::string text, bool single_quotes) {
  ResetCliState();
  if (text.empty()) {
    RecordCliError(1, "JSON text is empty");
    return false;
  }
  ReplaceEach(text, '`', '"');
  if (single_quotes) ReplaceEach(text, '\'', '"');
  return LoadConfigView(text);
}

// Parses the edited text (after a UTF-8 byte order mark, if any) and builds the
// configuration from it; the document keeps its own copies of every text, so the text
// need not outlive the call.
static bool LoadConfigView(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  JsonError parse_error;
  // The tree lives in one arena, so letting it go after loading costs a free or two,
  // and what runs next reuses its memory.
  const std::unique_ptr<JsonDocument> document = ParseJsonText(text, kJsonNoCase, &parse_error);
  if (document == nullptr) {
    RecordCliError(10, "JSON syntax error\nLine " + std::to_string(parse_error.line) + ": " +
                           parse_error.message);
    return false;
  }
  const JsonValue* root = JsonRoot(document.get());
  if (JsonKindOf(root) != JsonKind::kObject) {
    RecordCliError(20, "No main JSON object defined");
    return false;
  }
  const JsonValue* commands = ConfigMember(root, "commands");
  if (JsonKindOf(commands) != JsonKind::kArray) {
    RecordCliError(21, "No 'commands' array defined");
    return false;
  }

  ReadSettings(root);
  for (size_t i = 0; i < JsonArrayLength(commands) && !CliFailed(); ++i) {
    ReadCliCommand(JsonElement(commands, i));
  }

  CliConfig& config = Cli().config;
  if (!CliFailed()) {
    if (config.commands.empty()) {
      RecordCliError(21, "No commands defined");
    } else {
      if (config.auto_add_help && config.single_command == nullptr && !HasHelpAlias()) {
        AddHelpCommand();
      }
      config.initialized = true;
    }
  }
  if (!CliFailed()) ReadDeprecated(root);
  if (!CliFailed()) ReadRuntimes(root);
  if (!CliFailed()) {
    config.header = ReadConfigString(root, "header", "");
    config.footer = ReadConfigString(root, "footer", "");
    config.help_all_footer = ReadConfigString(root, "HelpAllFooter", "");
    ResolveHook(root, "precall", config.precall);
    ResolveHook(root, "postcall", config.postcall);
  }
  return !CliFailed();
}

}  // namespace brasswick
