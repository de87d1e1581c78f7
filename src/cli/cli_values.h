// The typed checks of bound values and the numeric-text rules they rest on.
#ifndef BRASSWICK_CLI_CLI_VALUES_H_
#define BRASSWICK_CLI_CLI_VALUES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace brasswick {

// With allow_sign one leading "-" is skipped; the rest must be digits with, when
// allow_decimal, at most one "."; at least one digit is required.
bool IsNumericText(std::string_view text, bool allow_decimal, bool allow_sign);

// The value of the leading integer of the text (optional blanks and sign, then
// digits); 0 when there is none; clamped to the 64-bit range.
int64_t LeadingInteger(std::string_view text);

// True for the type names an argument may carry (expects trimmed lower case).
bool IsKnownArgType(std::string_view type);

// Checks one value against the argument type; label names the argument in messages.
// Records the failure (codes 45, 46, 61) and returns false when the check fails.
bool CheckValue(const std::string& value, const std::string& type, const std::string& label);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_VALUES_H_
