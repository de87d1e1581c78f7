// The table from names such as "ExportMapRT()" and "#SW_Title" to the procedures and
// texts that a CLI configuration refers to. Filled once at start-up by the program.
#ifndef BRASSWICK_CLI_RUNTIME_REGISTRY_H_
#define BRASSWICK_CLI_RUNTIME_REGISTRY_H_

#include <functional>
#include <string>
#include <vector>

namespace brasswick {

// Commands, precall/postcall and argument calls take nothing and return an integer
// (non-zero from precall/postcall cancels the run).
using CliProcedure = std::function<int()>;
// Formatters return the replacement text of a bound value.
using CliFormatter = std::function<std::string(const std::string& value)>;
// Accumulators receive each value of an argument with first/last flags.
using CliAccumulator = std::function<void(const std::string& value, bool is_first, bool is_last)>;

struct RuntimeEntry {
  enum class Kind { kProcedure, kFormatter, kAccumulator, kConstant };
  std::string name;
  Kind kind = Kind::kProcedure;
  CliProcedure procedure;
  CliFormatter formatter;
  CliAccumulator accumulator;
  std::string text;  // kConstant only
};

class RuntimeRegistry {
 public:
  void RegisterProcedure(const std::string& name, CliProcedure procedure);
  void RegisterFormatter(const std::string& name, CliFormatter formatter);
  void RegisterAccumulator(const std::string& name, CliAccumulator accumulator);
  void RegisterConstant(const std::string& name, const std::string& text);
  // The entry of exactly that name, or null.
  const RuntimeEntry* Find(const std::string& name) const;
  const std::vector<RuntimeEntry>& entries() const { return entries_; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<RuntimeEntry> entries_;  // in registration order
};

// The process-wide registry that configuration loading resolves names in.
RuntimeRegistry& GlobalRuntimeRegistry();

}  // namespace brasswick

#endif  // BRASSWICK_CLI_RUNTIME_REGISTRY_H_
