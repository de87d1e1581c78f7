#include "cli/cli_values.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <limits>

#include "cli/cli_config.h"
#include "cli/cli_confirm.h"
#include "cli/cli_text.h"

namespace brasswick {

namespace {

enum class PathState { kMissing, kFile, kFolder };

PathState StatPath(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return PathState::kMissing;
  return S_ISDIR(info.st_mode) ? PathState::kFolder : PathState::kFile;
}

// The sign of the real number a numeric text (already checked by IsNumericText)
// stands for: -1, 0 or 1. Read from the digits so that no length can overflow.
int NumberSign(std::string_view text) {
  bool nonzero = text.find_first_of("123456789") != std::string_view::npos;
  if (!nonzero) return 0;
  return !text.empty() && text[0] == '-' ? -1 : 1;
}

bool Fail(int64_t code, const std::string& message) {
  RecordCliError(code, message);
  return false;
}

}  // namespace

bool IsNumericText(std::string_view text, bool allow_decimal, bool allow_sign) {
  size_t i = 0;
  if (allow_sign && !text.empty() && text[0] == '-') i = 1;
  bool digit_seen = false;
  bool point_seen = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      digit_seen = true;
    } else if (c == '.' && allow_decimal && !point_seen) {
      point_seen = true;
    } else {
      return false;
    }
  }
  return digit_seen;
}

int64_t LeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate as a negative number so that the minimum value fits exactly.
  int64_t value = 0;
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  bool overflow = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    int digit = text[i] - '0';
    if (value < (kMin + digit) / 10) {
      overflow = true;
      break;
    }
    value = value * 10 - digit;
  }
  if (overflow) return negative ? kMin : std::numeric_limits<int64_t>::max();
  if (negative) return value;
  if (value == kMin) return std::numeric_limits<int64_t>::max();
  return -value;
}

bool IsKnownArgType(std::string_view type) {
  static constexpr std::array<std::string_view, 25> kTypes = {
      "string",        "text",          "int",          "integer",        "int-pos",
      "int-nonneg",    "number",        "num",          "number-pos",     "num-pos",
      "number-nonneg", "num-nonneg",    "file",         "file-pattern",   "file-exists",
      "file-exist",    "file-notexist", "file-confirm", "file-overwrite", "bool",
      "boolean",       "nonempty",      "non-empty",    "nonblank",       "non-blank"};
  return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

bool CheckValue(const std::string& value, const std::string& type, const std::string& label_in) {
  if (type.empty() || type == "string" || type == "text") return true;
  const std::string label = label_in.empty() ? "argument" : label_in;
  const std::string quoted = "'" + label + "'";
  if (TrimText(value).empty()) return Fail(45, quoted + " cannot be blank");

  if (type == "int" || type == "integer" || type == "int-pos" || type == "int-nonneg") {
    if (!IsNumericText(value, false, true)) {
      return Fail(45, quoted + " expects an integer, got '" + value + "'");
    }
    int64_t number = LeadingInteger(value);
    if (type == "int-pos" && number < 1) return Fail(45, quoted + " must be positive");
    if (type == "int-nonneg" && number < 0) return Fail(45, quoted + " must be non-negative");
    return true;
  }
  if (type == "number" || type == "num" || type == "number-pos" || type == "num-pos" ||
      type == "number-nonneg" || type == "num-nonneg") {
    if (!IsNumericText(value, true, true)) {
      return Fail(45, quoted + " expects a number, got '" + value + "'");
    }
    int sign = NumberSign(value);
    bool positive_type = type == "number-pos" || type == "num-pos";
    bool nonneg_type = type == "number-nonneg" || type == "num-nonneg";
    if (positive_type && sign <= 0) return Fail(45, quoted + " must be positive");
    if (nonneg_type && sign < 0) return Fail(45, quoted + " must be non-negative");
    return true;
  }
  if (type == "file-exists" || type == "file-exist") {
    PathState state = StatPath(value);
    if (state == PathState::kMissing) return Fail(46, quoted + " file does not exist: " + value);
    if (state == PathState::kFolder) {
      return Fail(46, quoted + " must be a file, not a directory: " + value);
    }
    return true;
  }
  if (type == "file-notexist") {
    PathState state = StatPath(value);
    if (state == PathState::kFile) return Fail(46, quoted + " file already exists: " + value);
    if (state == PathState::kFolder) return Fail(46, quoted + " already exists (folder): " + value);
    return true;
  }
  if (type == "file-confirm" || type == "file-overwrite") {
    PathState state = StatPath(value);
    if (state == PathState::kFolder) return Fail(46, quoted + " exists as a directory: " + value);
    if (state == PathState::kFile && !ConfirmOverwrite(value)) {
      return Fail(61, "File overwrite canceled by user");
    }
    return true;
  }
  if (type == "bool" || type == "boolean") {
    if (!IsTrueWord(value) && !IsFalseWord(value)) {
      return Fail(45, quoted + " expects a boolean, got '" + value + "'");
    }
    return true;
  }
  // "file", "file-pattern" and the non-blank types need nothing beyond non-blank.
  return true;
}

}  // namespace brasswick
