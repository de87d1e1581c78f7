#include "cli/cli_members.h"

#include "cli/cli_loader.h"
#include "cli/cli_text.h"
#include "cli/cli_values.h"
#include "runtime/text/text_codes.h"

namespace brasswick {

const JsonValue* ConfigMember(const JsonValue* object, std::string_view key) {
  // Every setting of every command is looked up this way at start-up. A small object
  // is walked once for both names; a large one has an index that finds each at once.
  constexpr std::string_view kPrefix = "lin-";
  constexpr size_t kWalkedMembers = 16;
  if (JsonKindOf(object) != JsonKind::kObject) return nullptr;
  if (!object->no_case() || object->member_count() > kWalkedMembers) {
    const JsonValue* prefixed = JsonMember(object, std::string(kPrefix) + std::string(key));
    return prefixed != nullptr ? prefixed : JsonMember(object, key);
  }
  const JsonValue* plain = nullptr;
  for (size_t i = 0; i < object->member_count(); ++i) {
    const std::string_view name = object->member_name(i);
    if (plain == nullptr && SameTextIgnoringCase(name, key)) {
      plain = object->member_value(i);
    } else if (name.size() == kPrefix.size() + key.size() &&
               SameTextIgnoringCase(name.substr(0, kPrefix.size()), kPrefix) &&
               SameTextIgnoringCase(name.substr(kPrefix.size()), key)) {
      return object->member_value(i);
    }
  }
  return plain;
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

namespace {

// The member when it is a JSON string, else null.
const JsonValue* ConfigStringMember(const JsonValue* object, std::string_view key) {
  const JsonValue* member = ConfigMember(object, key);
  return JsonKindOf(member) == JsonKind::kString ? member : nullptr;
}

}  // namespace

std::string ReadConfigString(const JsonValue* object, std::string_view key,
                             const std::string& default_value) {
  const JsonValue* member = ConfigStringMember(object, key);
  return member != nullptr ? std::string(member->string_value()) : default_value;
}

bool ResolveConfigRuntime(const JsonValue* object, std::string_view key, RuntimeEntry::Kind kind,
                          const RuntimeEntry** entry, std::string* normalized) {
  *entry = nullptr;
  const JsonValue* member = ConfigStringMember(object, key);
  *normalized = NormalizeRuntimeName(member != nullptr ? member->string_value() : "");
  if (normalized->empty()) return true;
  const RuntimeEntry* found = GlobalRuntimeRegistry().Find(*normalized);
  // An entry of another kind cannot be called here, so it counts as missing.
  if (found == nullptr || found->kind != kind) return false;
  *entry = found;
  return true;
}

}  // namespace brasswick
