#include "commands/code_minify.h"

#include <optional>
#include <vector>

#include "cli/cli_api.h"
#include "cli/cli_text.h"
#include "code/lua_minifier.h"
#include "code/lua_parser.h"
#include "code/token_count.h"
#include "commands/code_count.h"
#include "commands/command_arg_names.h"
#include "commands/failure_codes.h"
#include "console/console.h"
#include "runtime/text/text_search.h"

namespace brasswick {
namespace {

constexpr std::string_view kKindNames[kNameKinds] = {"locals", "labels", "globals", "fields"};
constexpr std::string_view kKindName[kNameKinds] = {"local", "label", "global", "field"};

// Names from every --keep, split at commas, blanks around each dropped.
std::vector<std::string> KeptByHand() {
  std::vector<std::string> names;
  for (const std::string& value : GetArgValues(arg::kKeep)) {
    for (const std::string& piece : SplitText(value, ',')) {
      const std::string_view name = TrimBlanks(piece);
      if (!name.empty()) names.emplace_back(name);
    }
  }
  return names;
}

// "tokens: 9120 -> 7020": a figure before and after.
std::string Change(std::string_view figure, std::optional<size_t> before, size_t after) {
  return "  " + std::string(figure) + ": " + (before ? std::to_string(*before) : "-") + " -> " +
         std::to_string(after);
}

void TellWhatWasDone(const LexedCode& before, const MinifyResult& result) {
  // The figures cost a lexing and two compressions: only for a reader.
  if (!IsArgSet(arg::kVerbose)) return;
  const LexedCode after = LexCode(result.code);
  PrintVerbose("Minified code:");
  PrintVerbose(Change("tokens", CountTokens(before).tokens, CountTokens(after).tokens));
  PrintVerbose(Change("characters", before.code.size(), result.code.size()));
  const std::optional<size_t> compressed = CompressedSizeOf(result.code);
  if (compressed) PrintVerbose(Change("compressed", CompressedSizeOf(before.code), *compressed));
  std::string renamed = "Renamed:";
  std::string kept = "Kept:";
  for (size_t kind = 0; kind < kNameKinds; ++kind) {
    const std::string separator = kind == 0 ? " " : ", ";
    renamed +=
        separator + std::to_string(result.renamed[kind]) + " " + std::string(kKindNames[kind]);
    kept += separator + std::to_string(result.kept[kind]) + " " + std::string(kKindNames[kind]);
  }
  PrintVerbose(renamed);
  PrintVerbose(kept);
  if (ArgTimesGiven(arg::kVerbose) < 2) return;
  for (const KeptName& name : result.kept_names) {
    PrintVerbose("  kept " + std::string(kKindName[static_cast<size_t>(name.kind)]) + " " +
                 name.name + ": " + name.reason);
  }
}

}  // namespace

bool MinifyAsked() { return IsArgSet(arg::kMinify) || IsArgSet(arg::kMinifyLocals); }

std::optional<std::string> MinifyCartCode(std::string_view code, const SourceMap& map) {
  const LexedCode lexed = LexCode(code);
  CodeError error;
  std::optional<SyntaxTree> tree = ParseCode(lexed, &error);
  if (!tree) {
    RecordFailure(kCodeSyntaxError, FormatCodeError(lexed, error, &map));
    return std::nullopt;
  }
  MinifyOptions options;
  // --minify=locals wins over --minify: the cautious choice when both are given.
  options.level = IsArgSet(arg::kMinifyLocals) ? MinifyLevel::kLocals : MinifyLevel::kAll;
  options.keep = KeptByHand();
  MinifyResult result = MinifyCode(lexed, *tree, options);
  TellWhatWasDone(lexed, result);
  return std::move(result.code);
}

}  // namespace brasswick
