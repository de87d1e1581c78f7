// "{{Name}}" expansion, runtime-name normalisation and the program's display name.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/cli_config.h"
#include "cli/cli_loader.h"
#include "cli/runtime_registry.h"

namespace brasswick {

namespace {

std::string& ProgramPath() {
  static std::string path;
  return path;
}

std::string SelfExecutablePath() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return "";
  return std::string(buffer, static_cast<size_t>(length));
}

// The replacement text of one reference name, or false when it names nothing.
bool LookUpRuntimeString(const std::string& name, std::string* replacement) {
  if (name.empty()) {
    *replacement = "\n";
    return true;
  }
  const auto& table = Cli().config.string_runtimes;
  auto found = table.find(name);
  if (found != table.end()) {
    *replacement = found->second;
    return true;
  }
  const RuntimeEntry* entry = GlobalRuntimeRegistry().Find(name);
  if (entry != nullptr && entry->kind == RuntimeEntry::Kind::kConstant && !entry->text.empty()) {
    *replacement = entry->text;
    return true;
  }
  const char* value = std::getenv(name.c_str());
  if (value != nullptr && value[0] != '\0') {
    *replacement = value;
    return true;
  }
  return false;
}

}  // namespace

void SetCliProgramPath(const std::string& path) { ProgramPath() = path; }

std::string ExpandRuntimeStrings(const std::string& text) {
  std::string result = text;
  size_t search_from = 0;
  while (true) {
    size_t open = result.find("{{", search_from);
    if (open == std::string::npos) break;
    size_t close = result.find("}}", open + 2);
    if (close == std::string::npos) break;
    std::string name = result.substr(open + 2, close - open - 2);
    std::string replacement;
    if (!LookUpRuntimeString(name, &replacement)) {
      RecordCliError(24, "Missing string runtime '" + name + "'");
      break;
    }
    result.replace(open, close + 2 - open, replacement);
    // Inserted text is not scanned again.
    search_from = open + replacement.size();
  }
  return result;
}

std::string ExecutableDisplayName() {
  const CliConfig& config = Cli().config;
  if (!config.executable_name.empty()) return ExpandRuntimeStrings(config.executable_name);
  std::string path = ProgramPath();
  if (path.empty()) path = SelfExecutablePath();
  size_t slash = path.find_last_of('/');
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = file.find_last_of('.');
  if (dot != std::string::npos && dot > 0) file.resize(dot);
  return file;
}

std::string NormalizeRuntimeName(std::string_view name) {
  std::string result;
  if (name.empty()) return result;
  result.reserve(name.size() + 2);
  for (char c : name) {
    if (c != ' ') result.push_back(c);
  }
  if (!result.empty() && result.back() != ')') result += "()";
  return result;
}

}  // namespace brasswick
