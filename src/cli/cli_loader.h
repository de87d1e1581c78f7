// Loading a configuration document into the framework's model, and the services
// the framework applies to configuration texts.
#ifndef BRASSWICK_CLI_CLI_LOADER_H_
#define BRASSWICK_CLI_CLI_LOADER_H_

#include <string>
#include <string_view>

namespace brasswick {

// Replaces "{{Name}}" references: "{{}}" is a line feed; a name is looked up in the
// document's "runtimes", then among the registry's constants (exact name), then in
// the environment. An unknown name records code 24 and leaves the rest unexpanded.
std::string ExpandRuntimeStrings(const std::string& text);

// The program name of usage lines: the expanded ExecutableName, or the program's
// file name without folder and extension.
std::string ExecutableDisplayName();

// "ExportMapRT ()" and "ExportMapRT" both give "ExportMapRT()"; "" stays "".
std::string NormalizeRuntimeName(std::string_view name);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_LOADER_H_
