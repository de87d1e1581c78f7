// Making a cartridge's code smaller without changing what it does: comments and needless
// white space dropped, locals renamed short, and globals and table fields renamed where
// nothing outside the code's own names can reach them.
#ifndef BRASSWICK_CODE_LUA_MINIFIER_H_
#define BRASSWICK_CODE_LUA_MINIFIER_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "code/lua_lexer.h"
#include "code/lua_syntax.h"

namespace brasswick {

enum class MinifyLevel : uint8_t {
  kSpaces,  // comments and white space only (and numbers written shorter)
  kLocals,  // and locals, parameters and labels renamed
  kAll,     // and the globals and fields that nothing can reach by name
};

struct MinifyOptions {
  MinifyLevel level = MinifyLevel::kAll;
  // Globals and fields that keep their names whatever the code does.
  std::vector<std::string> keep;
};

enum class NameKind : uint8_t { kLocal, kLabel, kGlobal, kField };
inline constexpr size_t kNameKinds = 4;

// A global or field that kept its name, with the first reason found for it.
struct KeptName {
  NameKind kind = NameKind::kGlobal;
  std::string name;
  std::string reason;
};

struct MinifyResult {
  std::string code;
  // How many names of each kind (indexed by NameKind) were renamed or kept: every local
  // and label as declared, every global and field name once (a name used as both counts
  // as a global). A name whose text stays the same is kept.
  std::array<int, kNameKinds> renamed{};
  std::array<int, kNameKinds> kept{};
  // Every kept global and field, in the order of their first appearance in the code.
  std::vector<KeptName> kept_names;
};

// The code of `tree` (parsed from `lexed`) minified to `options.level`. Never fails and
// never grows: the result has no more tokens and no more characters than the code, and
// parses to the same tree once the names are mapped back.
MinifyResult MinifyCode(const LexedCode& lexed, const SyntaxTree& tree,
                        const MinifyOptions& options);

}  // namespace brasswick

#endif  // BRASSWICK_CODE_LUA_MINIFIER_H_
