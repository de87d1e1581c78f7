// Reading members of configuration objects: a "lin-" prefixed member wins over the
// plain one, and a member of the wrong JSON type counts as absent.
#ifndef BRASSWICK_CLI_CLI_MEMBERS_H_
#define BRASSWICK_CLI_CLI_MEMBERS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/runtime_registry.h"
#include "runtime/json/json_document.h"

namespace brasswick {

// The member "lin-" + key if present, else the member key, else null.
const JsonValue* ConfigMember(const JsonValue* object, std::string_view key);

bool ReadConfigBool(const JsonValue* object, std::string_view key, bool default_value);
int64_t ReadConfigInt(const JsonValue* object, std::string_view key, int64_t default_value);
std::string ReadConfigString(const JsonValue* object, std::string_view key,
                             const std::string& default_value);
// True when the member exists and is a JSON boolean or string (a value is given).
bool HasConfigBool(const JsonValue* object, std::string_view key);

// Resolves the member's runtime name in the registry. Returns false and sets
// *normalized to the normalised name when the name is not empty and no entry of the
// wanted kind exists; an absent member or empty name leaves the entry null.
bool ResolveConfigRuntime(const JsonValue* object, std::string_view key, RuntimeEntry::Kind kind,
                          const RuntimeEntry** entry, std::string* normalized);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_MEMBERS_H_
