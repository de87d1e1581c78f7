#include "cli/runtime_registry.h"

#include <utility>

namespace brasswick {

void RuntimeRegistry::RegisterProcedure(const std::string& name, CliProcedure procedure) {
  RuntimeEntry entry;
  entry.name = name;
  entry.kind = RuntimeEntry::Kind::kProcedure;
  entry.procedure = std::move(procedure);
  entries_.push_back(std::move(entry));
}

void RuntimeRegistry::RegisterFormatter(const std::string& name, CliFormatter formatter) {
  RuntimeEntry entry;
  entry.name = name;
  entry.kind = RuntimeEntry::Kind::kFormatter;
  entry.formatter = std::move(formatter);
  entries_.push_back(std::move(entry));
}

void RuntimeRegistry::RegisterAccumulator(const std::string& name, CliAccumulator accumulator) {
  RuntimeEntry entry;
  entry.name = name;
  entry.kind = RuntimeEntry::Kind::kAccumulator;
  entry.accumulator = std::move(accumulator);
  entries_.push_back(std::move(entry));
}

void RuntimeRegistry::RegisterConstant(const std::string& name, const std::string& text) {
  RuntimeEntry entry;
  entry.name = name;
  entry.kind = RuntimeEntry::Kind::kConstant;
  entry.text = text;
  entries_.push_back(std::move(entry));
}

const RuntimeEntry* RuntimeRegistry::Find(const std::string& name) const {
  for (const RuntimeEntry& entry : entries_) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

RuntimeRegistry& GlobalRuntimeRegistry() {
  static RuntimeRegistry registry;
  return registry;
}

}  // namespace brasswick
