#include "cli/cli_members.h"

#include "cli/cli_loader.h"
#include "cli/cli_text.h"
#include "cli/cli_values.h"

namespace brasswick {

const JsonValue* ConfigMember(const JsonValue* object, std::string_view key) {
  // Keys are short words of the framework: the prefixed name is built on the stack,
  // since every setting of every command is looked up this way at start-up.
  constexpr std::string_view kPrefix = "lin-";
  char buffer[64];
  const JsonValue* prefixed = nullptr;
  if (key.size() <= sizeof buffer - kPrefix.size()) {
    kPrefix.copy(buffer, kPrefix.size());
    key.copy(buffer + kPrefix.size(), key.size());
    prefixed = JsonMember(object, std::string_view(buffer, kPrefix.size() + key.size()));
  } else {
    prefixed = JsonMember(object, std::string(kPrefix) + std::string(key));
  }
  if (prefixed != nullptr) return prefixed;
  return JsonMember(object, key);
}

bool ReadConfigBool(const JsonValue* object, std::string_view key, bool default_value) {
  const JsonValue* member = ConfigMember(object, key);
  switch (JsonKindOf(member)) {
    case JsonKind::kBoolean:
      return JsonBooleanOf(member);
    case JsonKind::kString:
      return IsTrueWord(JsonStringOf(member));
    default:
      return default_value;
  }
}

bool HasConfigBool(const JsonValue* object, std::string_view key) {
  JsonKind kind = JsonKindOf(ConfigMember(object, key));
  return kind == JsonKind::kBoolean || kind == JsonKind::kString;
}

int64_t ReadConfigInt(const JsonValue* object, std::string_view key, int64_t default_value) {
  const JsonValue* member = ConfigMember(object, key);
  if (JsonKindOf(member) == JsonKind::kNumber) return JsonIntegerOf(member);
  if (JsonKindOf(member) == JsonKind::kString) {
    std::string text = JsonStringOf(member);
    if (IsNumericText(text, true, true)) return LeadingInteger(text);
  }
  return default_value;
}

std::string ReadConfigString(const JsonValue* object, std::string_view key,
                             const std::string& default_value) {
  const JsonValue* member = ConfigMember(object, key);
  if (JsonKindOf(member) == JsonKind::kString) return JsonStringOf(member);
  return default_value;
}

bool ResolveConfigRuntime(const JsonValue* object, std::string_view key, RuntimeEntry::Kind kind,
                          const RuntimeEntry** entry, std::string* normalized) {
  *entry = nullptr;
  *normalized = NormalizeRuntimeName(ReadConfigString(object, key, ""));
  if (normalized->empty()) return true;
  const RuntimeEntry* found = GlobalRuntimeRegistry().Find(*normalized);
  // An entry of another kind cannot be called here, so it counts as missing.
  if (found == nullptr || found->kind != kind) return false;
  *entry = found;
  return true;
}

}  // namespace brasswick
