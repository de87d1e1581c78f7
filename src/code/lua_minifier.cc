#include "code/lua_minifier.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "code/lua_printer.h"
#include "code/token_count.h"

namespace brasswick {
namespace {

// Globals the console defines or calls by name.
constexpr std::string_view kConsoleNames[] = {"_init",
                                              "_update",
                                              "_update60",
                                              "_draw",
                                              "abs",
                                              "add",
                                              "all",
                                              "assert",
                                              "atan2",
                                              "btn",
                                              "btnp",
                                              "camera",
                                              "cartdata",
                                              "ceil",
                                              "chr",
                                              "circ",
                                              "circfill",
                                              "clip",
                                              "cls",
                                              "cocreate",
                                              "color",
                                              "coresume",
                                              "cos",
                                              "costatus",
                                              "count",
                                              "cstore",
                                              "cursor",
                                              "del",
                                              "deli",
                                              "dget",
                                              "dset",
                                              "extcmd",
                                              "fget",
                                              "fillp",
                                              "flip",
                                              "flr",
                                              "foreach",
                                              "fset",
                                              "getmetatable",
                                              "ipairs",
                                              "inext",
                                              "line",
                                              "load",
                                              "ls",
                                              "map",
                                              "max",
                                              "memcpy",
                                              "memset",
                                              "menuitem",
                                              "mget",
                                              "mid",
                                              "min",
                                              "mset",
                                              "music",
                                              "next",
                                              "ord",
                                              "oval",
                                              "ovalfill",
                                              "pack",
                                              "pairs",
                                              "pal",
                                              "palt",
                                              "peek",
                                              "peek2",
                                              "peek4",
                                              "pget",
                                              "poke",
                                              "poke2",
                                              "poke4",
                                              "print",
                                              "printh",
                                              "pset",
                                              "rawequal",
                                              "rawget",
                                              "rawlen",
                                              "rawset",
                                              "rect",
                                              "rectfill",
                                              "reload",
                                              "reset",
                                              "rnd",
                                              "rrect",
                                              "rrectfill",
                                              "run",
                                              "select",
                                              "setmetatable",
                                              "serial",
                                              "sfx",
                                              "sget",
                                              "sgn",
                                              "sin",
                                              "split",
                                              "spr",
                                              "sqrt",
                                              "srand",
                                              "sset",
                                              "sspr",
                                              "stat",
                                              "stop",
                                              "sub",
                                              "time",
                                              "t",
                                              "tline",
                                              "tonum",
                                              "tostr",
                                              "tostring",
                                              "trace",
                                              "type",
                                              "unpack",
                                              "yield",
                                              "band",
                                              "bnot",
                                              "bor",
                                              "bxor",
                                              "lshr",
                                              "rotl",
                                              "rotr",
                                              "shl",
                                              "shr",
                                              "mapdraw",
                                              "holdframe",
                                              "_set_fps",
                                              "_update_buttons",
                                              "_mark_cpu",
                                              "_startframe",
                                              "_update_framerate",
                                              "_set_mainloop_exists",
                                              "_map_display",
                                              "_get_menu_item_selected",
                                              "_pausemenu",
                                              "set_draw_slice"};

// Fields the runtime reads by name.
constexpr std::string_view kRuntimeFields[] = {
    "n",      "__index",    "__newindex",  "__len",  "__eq",   "__lt",    "__le",   "__add",
    "__sub",  "__mul",      "__div",       "__idiv", "__mod",  "__pow",   "__unm",  "__concat",
    "__call", "__tostring", "__metatable", "__gc",   "__mode", "__close", "__name", "__and",
    "__or",   "__xor",      "__shl",       "__shr",  "__lshr", "__rotl",  "__rotr", "__not",
    "__band", "__bor",      "__bxor",      "__bnot"};

bool IsConsoleName(std::string_view name) {
  if (name.size() == 1 && static_cast<uint8_t>(name[0]) >= 0x80 &&
      static_cast<uint8_t>(name[0]) <= 0x99) {
    return true;  // the button and fill-pattern glyphs
  }
  return std::find(std::begin(kConsoleNames), std::end(kConsoleNames), name) !=
         std::end(kConsoleNames);
}

bool IsRuntimeField(std::string_view name) {
  return std::find(std::begin(kRuntimeFields), std::end(kRuntimeFields), name) !=
         std::end(kRuntimeFields);
}

// The short names, shortest first. Lower-case letters lead because the code is mostly
// lower case already, which the compressor rewards; then `_`, then capitals (and digits
// after the first character). Keywords, `self` (a method's implicit local) and `_ENV` are
// never given out.
class NameSequence {
 public:
  const std::string& operator[](size_t i) {
    while (names_.size() <= i) Generate();
    return names_[i];
  }

 private:
  static constexpr std::string_view kFirst =
      "abcdefghijklmnopqrstuvwxyz_ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  static constexpr std::string_view kRest =
      "abcdefghijklmnopqrstuvwxyz_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

  void Generate() {
    for (;;) {
      std::string name;
      uint64_t n = counter_++;
      // Names of `length` characters take kFirst * kRest^(length-1) counter values.
      uint64_t span = kFirst.size();
      size_t length = 1;
      while (n >= span) {
        n -= span;
        span *= kRest.size();
        ++length;
      }
      std::string tail;
      for (size_t i = 1; i < length; ++i) {
        tail += kRest[n % kRest.size()];
        n /= kRest.size();
      }
      name += kFirst[n];
      name.append(tail.rbegin(), tail.rend());
      if (name == "self" || name == "_ENV" || IsKeywordText(name)) continue;
      names_.push_back(std::move(name));
      return;
    }
  }

  uint64_t counter_ = 0;
  std::deque<std::string> names_;  // a deque: views of its names stay valid as it grows
};

// --- Numbers --------------------------------------------------------------------------

bool StartsWithBase(std::string_view text) {
  return text.size() > 1 && text[0] == '0' &&
         (text[1] == 'x' || text[1] == 'X' || text[1] == 'b' || text[1] == 'B');
}

// Whether every reader gives the number's text the same value: hexadecimal and binary
// are exact by rule, and decimals are when their integer part fits without wrapping and
// their fraction is a whole number of 65536ths (no rounding, where readers differ).
bool ExactNumberText(std::string_view text, uint8_t flags) {
  if (StartsWithBase(text)) return true;
  if (flags & kNumberWrapped) return false;
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return true;
  std::string_view fraction = text.substr(dot + 1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (fraction.size() > 16) return false;
  unsigned __int128 digits = 0;
  unsigned __int128 scale = 1;
  for (char c : fraction) {
    digits = digits * 10 + static_cast<unsigned>(c - '0');
    scale *= 10;
  }
  return digits * 65536 % scale == 0;
}

std::string HexNumber(int32_t value) {
  static constexpr char kHex[] = "0123456789abcdef";
  const uint32_t bits = static_cast<uint32_t>(value);
  std::string text = "0x";
  const uint32_t whole = bits >> 16;
  uint32_t fraction = bits & 0xFFFF;
  if (whole != 0 || fraction == 0) {
    std::string digits;
    for (uint32_t w = whole; w != 0 || digits.empty(); w >>= 4) digits += kHex[w & 15];
    text.append(digits.rbegin(), digits.rend());
  }
  if (fraction != 0) {
    text += '.';
    for (int shift = 12; fraction != 0; shift -= 4) {
      text += kHex[(fraction >> shift) & 15];
      fraction &= (1u << shift) - 1;
    }
  }
  return text;
}

// The decimal text of a non-negative value whose fraction has at most four decimal
// digits (whole sixteenths and coarser, which no reader can round); "" otherwise.
std::string DecimalNumber(int32_t value) {
  if (value < 0) return "";
  const uint32_t whole = static_cast<uint32_t>(value) >> 16;
  const uint64_t fraction = static_cast<uint32_t>(value) & 0xFFFF;
  std::string text = whole != 0 || fraction == 0 ? std::to_string(whole) : "";
  if (fraction == 0) return text;
  // fraction / 2^16 == fraction * 5^16 / 10^16, exactly.
  std::string digits = std::to_string(fraction * 152587890625ull);
  digits.insert(0, 16 - digits.size(), '0');
  while (digits.back() == '0') digits.pop_back();
  if (digits.size() > 4) return "";
  return text + "." + digits;
}

// The shortest text that reads back as the number's value, or "" to keep its own.
std::string ShorterNumber(std::string_view text, const Token& token) {
  if (!ExactNumberText(text, token.flags)) return "";
  std::string best;
  for (std::string candidate : {DecimalNumber(token.value), HexNumber(token.value)}) {
    if (candidate.empty() || candidate.size() >= text.size()) continue;
    if (!best.empty() && best.size() <= candidate.size()) continue;
    // Our own reader must agree before the text is trusted.
    const LexedCode check = LexCode(candidate);
    if (check.error || check.tokens.size() != 1 || check.tokens[0].kind != Tok::kNumber ||
        check.tokens[0].value != token.value) {
      continue;
    }
    best = std::move(candidate);
  }
  return best;
}

// --- Names reached by strings --------------------------------------------------------

struct StringPattern {
  enum Kind : uint8_t { kPrefix, kSuffix, kInside } kind;
  std::string_view text;
  uint32_t line;
};

bool Matches(const StringPattern& pattern, std::string_view name) {
  switch (pattern.kind) {
    case StringPattern::kPrefix:
      return name.starts_with(pattern.text);
    case StringPattern::kSuffix:
      return name.ends_with(pattern.text);
    default:
      return name.find(pattern.text) != std::string_view::npos;
  }
}

bool AllNameBytes(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return IsNameByte(static_cast<uint8_t>(c)); });
}

// --- The minifier ----------------------------------------------------------------------

// Where a local can be seen and where it is needed, in token indices.
struct LocalSpan {
  uint32_t declared = kNoIndex;      // its name's token
  uint32_t active_after = kNoIndex;  // references past this token see it
  uint32_t scope_end = kNoIndex;     // ... up to this token
  uint32_t needed_until = 0;         // the last token that must still see it
};

// A global or field name, with every place it appears.
struct MemberName {
  std::string_view name;
  uint32_t uses = 0;
  bool global = false;  // appears as a global somewhere (else only as a field)
  std::string reason;   // why it keeps its name; "" when it may be renamed
  std::string_view final_name;
};

struct Level {
  std::vector<std::string_view> texts;  // each token's text to write
  MinifyResult result;
};

class Minifier {
 public:
  Minifier(const LexedCode& lexed, const SyntaxTree& tree, const MinifyOptions& options)
      : lexed_(lexed), tree_(tree), options_(options) {}

  MinifyResult Run() {
    Analyse();
    const std::string original(lexed_.code);
    const int original_tokens = CountTokens(lexed_).tokens;
    std::vector<MinifyLevel> levels;
    if (options_.level == MinifyLevel::kAll) levels.push_back(MinifyLevel::kAll);
    if (options_.level != MinifyLevel::kSpaces) levels.push_back(MinifyLevel::kLocals);
    levels.push_back(MinifyLevel::kSpaces);
    // The first level (most renamed) that does not grow the code and is no larger than
    // the next one down; the code itself when every level would grow it.
    std::optional<MinifyResult> chosen;
    for (MinifyLevel level : levels) {
      MinifyResult result = Print(level);
      if (result.code.size() > original.size() ||
          CountTokens(result.code).tokens > original_tokens) {
        continue;
      }
      if (chosen && chosen->code.size() <= result.code.size()) break;
      chosen = std::move(result);
    }
    if (chosen) return std::move(*chosen);
    MinifyResult unchanged = Print(MinifyLevel::kSpaces);
    unchanged.code = original;
    return unchanged;
  }

 private:
  // --- Facts of the code, the same at every level ----------------------------------
  void Analyse() {
    const size_t node_count = tree_.nodes.size();
    parent_.assign(node_count, kNoIndex);
    for (uint32_t node = 0; node < node_count; ++node) {
      for (uint32_t child : tree_.Children(node)) parent_[child] = node;
    }
    name_node_.assign(lexed_.tokens.size(), kNoIndex);
    for (uint32_t node = 0; node < node_count; ++node) {
      const Node& n = tree_.nodes[node];
      switch (n.kind) {
        case NodeKind::kName:
        case NodeKind::kLocalName:
        case NodeKind::kFieldName:
        case NodeKind::kLabel:
        case NodeKind::kGoto:
          if (n.token != kNoIndex && lexed_.tokens[n.token].kind == Tok::kName) {
            name_node_[n.token] = node;
          }
          break;
        default:
          break;
      }
    }
    for (uint32_t i = 0; i < lexed_.tokens.size(); ++i) {
      if (lexed_.tokens[i].kind == Tok::kName && lexed_.Text(lexed_.tokens[i]) == "_ENV") {
        uses_env_ = true;
      }
    }
    AnalyseLocals();
    AnalyseStrings();
    AnalyseMembers();
  }

  uint32_t LastToken() const {
    return lexed_.tokens.empty() ? 0 : static_cast<uint32_t>(lexed_.tokens.size() - 1);
  }

  // The last token a block's locals can be seen at: a repeat's condition sees its
  // block's; an if's branches share the statement's end (a harmless overestimate).
  uint32_t ScopeEnd(uint32_t block) const {
    const uint32_t owner = parent_[block];
    if (owner == kNoIndex) return LastToken();
    const uint32_t last = tree_.nodes[owner].last_token;
    return last == kNoIndex ? LastToken() : last;
  }

  void AnalyseLocals() {
    spans_.assign(tree_.variables.size(), LocalSpan{});
    for (uint32_t v = 0; v < tree_.variables.size(); ++v) {
      const Variable& variable = tree_.variables[v];
      LocalSpan& span = spans_[v];
      if (variable.name_token == kNoIndex) {  // a method's `self`: the whole function
        const Node& function = tree_.nodes[variable.declaration];
        span.declared = span.active_after = function.first_token;
        span.scope_end = function.last_token;
        span.needed_until = function.first_token;
        continue;
      }
      span.declared = variable.name_token;
      span.active_after = variable.name_token;
      span.scope_end = LastToken();
      const uint32_t holder = parent_[variable.declaration];
      if (holder != kNoIndex) {
        const Node& h = tree_.nodes[holder];
        const bool listed = h.kind == NodeKind::kNameList || h.kind == NodeKind::kParams;
        const uint32_t statement = listed ? parent_[holder] : holder;
        const Node& s = tree_.nodes[statement];
        std::span<const uint32_t> parts = tree_.Children(statement);
        switch (s.kind) {
          case NodeKind::kLocal:  // `local a = a` reads the outer a
            span.active_after = s.last_token;
            span.scope_end = ScopeEnd(parent_[statement]);
            break;
          case NodeKind::kLocalFunction:
            span.scope_end = ScopeEnd(parent_[statement]);
            break;
          case NodeKind::kNumericFor:
          case NodeKind::kGenericFor:  // visible in the body only
            span.active_after = tree_.nodes[parts[parts.size() - 2]].last_token;
            span.scope_end = s.last_token;
            break;
          case NodeKind::kFunction:  // parameters
            span.scope_end = s.last_token;
            break;
          default:
            break;
        }
      }
      span.needed_until = std::max(span.declared, span.active_after);
    }
    for (const Node& n : tree_.nodes) {
      if (n.kind == NodeKind::kName &&
          (n.binding == Binding::kLocal || n.binding == Binding::kUpvalue) && n.ref != kNoIndex) {
        spans_[n.ref].needed_until = std::max(spans_[n.ref].needed_until, n.token);
      }
    }
  }

  void AnalyseStrings() {
    for (const Token& token : lexed_.tokens) {
      if (token.kind != Tok::kString) continue;
      const std::string_view value = lexed_.StringValue(token);
      words_.emplace(value, token.line);
      size_t at = 0;
      while (at < value.size()) {
        size_t end = at;
        while (end < value.size() && IsNameByte(static_cast<uint8_t>(value[end]))) ++end;
        if (end > at) words_.emplace(value.substr(at, end - at), token.line);
        at = end + 1;
      }
    }
    // A string joined to something at run time may complete a name: its last word may
    // start one, its first word end one, and a string of name bytes alone may sit inside.
    std::vector<uint32_t> leaves;
    std::vector<uint32_t> pending;
    for (uint32_t node = 0; node < tree_.nodes.size(); ++node) {
      const Node& n = tree_.nodes[node];
      leaves.clear();
      if (n.kind == NodeKind::kCompoundAssign && n.op == Tok::kConcat) {
        leaves.push_back(tree_.Children(node)[0]);
        pending.assign(1, tree_.Children(node)[1]);
      } else if (IsConcat(node) && !IsConcatPart(node)) {
        pending.assign(1, node);
      } else {
        continue;
      }
      while (!pending.empty()) {  // left to right, without recursion (chains can be long)
        uint32_t part = pending.back();
        pending.pop_back();
        while (tree_.nodes[part].kind == NodeKind::kParen) part = tree_.Children(part)[0];
        if (IsConcat(part)) {
          pending.push_back(tree_.Children(part)[1]);
          pending.push_back(tree_.Children(part)[0]);
        } else {
          leaves.push_back(part);
        }
      }
      for (size_t i = 0; i < leaves.size(); ++i) {
        const Node& leaf = tree_.nodes[leaves[i]];
        if (leaf.kind != NodeKind::kString) continue;
        const Token& token = lexed_.tokens[leaf.token];
        const std::string_view value = lexed_.StringValue(token);
        const bool first = i == 0;
        const bool last = i + 1 == leaves.size();
        if (value.empty()) continue;
        if (AllNameBytes(value)) {
          const StringPattern::Kind kind = first  ? StringPattern::kPrefix
                                           : last ? StringPattern::kSuffix
                                                  : StringPattern::kInside;
          patterns_.push_back({kind, value, token.line});
          continue;
        }
        size_t head = 0;
        while (IsNameByte(static_cast<uint8_t>(value[head]))) ++head;
        size_t tail = value.size();
        while (IsNameByte(static_cast<uint8_t>(value[tail - 1]))) --tail;
        if (!first && head > 0) {
          patterns_.push_back({StringPattern::kSuffix, value.substr(0, head), token.line});
        }
        if (!last && tail < value.size()) {
          patterns_.push_back({StringPattern::kPrefix, value.substr(tail), token.line});
        }
      }
    }
    // One pattern of each kind and text is enough (the first keeps its line).
    std::stable_sort(patterns_.begin(), patterns_.end(), [](const auto& a, const auto& b) {
      return a.kind != b.kind ? a.kind < b.kind : a.text < b.text;
    });
    patterns_.erase(std::unique(patterns_.begin(), patterns_.end(),
                                [](const auto& a, const auto& b) {
                                  return a.kind == b.kind && a.text == b.text;
                                }),
                    patterns_.end());
    std::stable_sort(patterns_.begin(), patterns_.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
  }

  bool IsConcat(uint32_t node) const {
    const Node& n = tree_.nodes[node];
    return n.kind == NodeKind::kBinary && n.op == Tok::kConcat;
  }
  // Whether a node is an operand of a concatenation (through parentheses).
  bool IsConcatPart(uint32_t node) const {
    uint32_t up = parent_[node];
    while (up != kNoIndex && tree_.nodes[up].kind == NodeKind::kParen) up = parent_[up];
    if (up == kNoIndex) return false;
    const Node& u = tree_.nodes[up];
    return IsConcat(up) || (u.kind == NodeKind::kCompoundAssign && u.op == Tok::kConcat);
  }

  // Every global and field name, and why each must keep its name.
  void AnalyseMembers() {
    std::unordered_set<std::string_view> keep(options_.keep.begin(), options_.keep.end());
    for (uint32_t i = 0; i < lexed_.tokens.size(); ++i) {
      const uint32_t node = name_node_[i];
      if (node == kNoIndex) continue;
      const Node& n = tree_.nodes[node];
      const bool global = n.kind == NodeKind::kName && n.binding == Binding::kGlobal;
      if (!global && n.kind != NodeKind::kFieldName) continue;
      const std::string_view name = lexed_.Text(lexed_.tokens[i]);
      auto [it, added] = member_index_.emplace(name, static_cast<uint32_t>(members_.size()));
      if (added) members_.emplace_back().name = name;
      MemberName& member = members_[it->second];
      ++member.uses;
      member.global |= global;
      if (global) global_refs_.push_back(i);
    }
    for (MemberName& member : members_) {
      const std::string_view name = member.name;
      if (IsConsoleName(name)) {
        member.reason = "a console name";
      } else if (IsRuntimeField(name)) {
        member.reason = "a runtime field";
      } else if (keep.contains(name)) {
        member.reason = "kept by --keep";
      } else if (uses_env_ && (member.global || name == "_ENV")) {
        member.reason = "the code uses _ENV";
      } else if (auto word = words_.find(name); word != words_.end()) {
        member.reason = "named by a string at line " + std::to_string(word->second);
      } else if (const StringPattern* pattern = MatchingPattern(name)) {
        member.reason =
            "a string joined at line " + std::to_string(pattern->line) + " could spell it";
      }
    }
  }

  const StringPattern* MatchingPattern(std::string_view name) const {
    for (const StringPattern& pattern : patterns_) {
      if (Matches(pattern, name)) return &pattern;
    }
    return nullptr;
  }

  // Whether a new global or field name could be reached from outside the code's names.
  bool Reachable(std::string_view name) const {
    return IsConsoleName(name) || IsRuntimeField(name) ||
           std::find(options_.keep.begin(), options_.keep.end(), name) != options_.keep.end() ||
           words_.contains(name) || MatchingPattern(name) != nullptr;
  }

  // --- Naming ------------------------------------------------------------------------
  // Globals and fields: one name for each, the most used first. A name never goes to two
  // members; a member's own name is held back for it, so keeping it is always safe.
  void NameMembers(bool rename, Level& out) {
    std::unordered_set<std::string_view> reserved;
    for (const MemberName& member : members_) reserved.insert(member.name);
    std::vector<uint32_t> order;
    for (uint32_t i = 0; i < members_.size(); ++i) {
      MemberName& member = members_[i];
      member.final_name = member.name;
      if (rename && member.reason.empty()) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
      return members_[a].uses > members_[b].uses;
    });
    size_t next = 0;
    for (uint32_t i : order) {
      MemberName& member = members_[i];
      for (;; ++next) {
        const std::string& candidate = names_[next];
        if (candidate.size() >= member.name.size()) break;  // its own is as short
        if (reserved.contains(candidate) || Reachable(candidate)) continue;
        member.final_name = candidate;
        ++next;
        break;
      }
    }
    for (const MemberName& member : members_) {
      const size_t kind = static_cast<size_t>(member.global ? NameKind::kGlobal : NameKind::kField);
      if (member.final_name != member.name) {
        ++out.result.renamed[kind];
        continue;
      }
      ++out.result.kept[kind];
      std::string reason = member.reason;
      if (!rename) {
        reason = "only locals are renamed";
      } else if (reason.empty()) {
        reason = "already short";
      }
      out.result.kept_names.push_back({member.global ? NameKind::kGlobal : NameKind::kField,
                                       std::string(member.name), std::move(reason)});
    }
    for (uint32_t i = 0; i < lexed_.tokens.size(); ++i) {
      const uint32_t node = name_node_[i];
      if (node == kNoIndex) continue;
      const Node& n = tree_.nodes[node];
      if ((n.kind == NodeKind::kName && n.binding == Binding::kGlobal) ||
          n.kind == NodeKind::kFieldName) {
        out.texts[i] = members_[member_index_.at(lexed_.Text(lexed_.tokens[i]))].final_name;
      }
    }
  }

  // Per name: the token spans of the locals holding it (disjoint, by start), and the
  // tokens where a global of that name is read.
  struct NameUse {
    std::map<uint32_t, uint32_t> locals;
    std::vector<uint32_t> globals;
  };

  static bool Overlaps(const std::map<uint32_t, uint32_t>& spans, uint32_t from, uint32_t to) {
    auto after = spans.upper_bound(from);
    if (after != spans.end() && after->first <= to) return true;
    if (after == spans.begin()) return false;
    return std::prev(after)->second >= from;
  }

  // Adds a span, merged with any it overlaps (only fixed names, such as nested methods'
  // `self`, ever overlap).
  static void AddSpan(std::map<uint32_t, uint32_t>& spans, uint32_t from, uint32_t to) {
    auto at = spans.upper_bound(from);
    if (at != spans.begin() && std::prev(at)->second >= from) {
      --at;
      from = at->first;
      to = std::max(to, at->second);
      at = spans.erase(at);
    }
    while (at != spans.end() && at->first <= to) {
      to = std::max(to, at->second);
      at = spans.erase(at);
    }
    spans.emplace(from, to);
  }

  bool Fits(std::unordered_map<std::string_view, NameUse>& uses, std::string_view name,
            const LocalSpan& span) {
    auto it = uses.find(name);
    if (it == uses.end()) return true;
    if (Overlaps(it->second.locals, span.declared, span.needed_until)) return false;
    // A global read inside the local's scope would find the local instead.
    const std::vector<uint32_t>& reads = it->second.globals;
    auto read = std::upper_bound(reads.begin(), reads.end(), span.active_after);
    return read == reads.end() || *read > span.scope_end;
  }

  // Locals: the most referenced first, each the first name in the sequence that no
  // other local needs over its span and no global read in its scope has. Different
  // functions thus reuse the same few names.
  void NameLocals(Level& out) {
    std::unordered_map<std::string_view, NameUse> uses;
    for (uint32_t token : global_refs_) uses[out.texts[token]].globals.push_back(token);
    std::vector<std::string_view> names(tree_.variables.size());
    std::vector<uint32_t> order;
    for (uint32_t v = 0; v < tree_.variables.size(); ++v) {
      const Variable& variable = tree_.variables[v];
      const LocalSpan& span = spans_[v];
      const std::string_view own = variable.name_token == kNoIndex
                                       ? "self"
                                       : lexed_.Text(lexed_.tokens[variable.name_token]);
      // `self` is implicit and `_ENV` decides where globals go: both keep their names.
      if (variable.name_token == kNoIndex || own == "_ENV") {
        names[v] = own;
        AddSpan(uses[own].locals, span.declared, span.needed_until);
        if (variable.name_token != kNoIndex) ++out.result.kept[size_t(NameKind::kLocal)];
        continue;
      }
      order.push_back(v);
    }
    std::stable_sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
      return tree_.variables[a].references > tree_.variables[b].references;
    });
    for (uint32_t v : order) {
      const LocalSpan& span = spans_[v];
      const std::string_view own = lexed_.Text(lexed_.tokens[tree_.variables[v].name_token]);
      std::string_view chosen;
      for (size_t i = 0;; ++i) {
        const std::string& candidate = names_[i];
        if (candidate.size() > own.size()) break;
        if (Fits(uses, candidate, span)) {
          chosen = candidate;
          break;
        }
      }
      // No shorter name is free: its own, or failing that (rarely) any free name; the
      // whole result's size is checked at the end.
      if (chosen.empty() && Fits(uses, own, span)) chosen = own;
      for (size_t i = 0; chosen.empty(); ++i) {
        if (Fits(uses, names_[i], span)) chosen = names_[i];
      }
      names[v] = chosen;
      AddSpan(uses[chosen].locals, span.declared, span.needed_until);
      const size_t kind = static_cast<size_t>(NameKind::kLocal);
      ++(chosen == own ? out.result.kept : out.result.renamed)[kind];
    }
    for (uint32_t i = 0; i < lexed_.tokens.size(); ++i) {
      const uint32_t node = name_node_[i];
      if (node == kNoIndex) continue;
      const Node& n = tree_.nodes[node];
      if (n.kind == NodeKind::kLocalName ||
          (n.kind == NodeKind::kName &&
           (n.binding == Binding::kLocal || n.binding == Binding::kUpvalue))) {
        if (n.ref != kNoIndex) out.texts[i] = names[n.ref];
      }
    }
  }

  // Labels live apart from variables and are seen only inside their function, so each
  // function's labels just need names distinct from each other.
  void NameLabels(Level& out) {
    std::unordered_map<uint32_t, uint32_t> gotos;  // label node -> gotos to it
    std::vector<uint32_t> labels;
    for (uint32_t node = 0; node < tree_.nodes.size(); ++node) {
      const Node& n = tree_.nodes[node];
      if (n.kind == NodeKind::kGoto && n.ref != kNoIndex) ++gotos[n.ref];
      if (n.kind == NodeKind::kLabel && n.token != kNoIndex) labels.push_back(node);
    }
    std::unordered_map<uint32_t, std::vector<uint32_t>> by_function;
    for (uint32_t label : labels) {
      uint32_t up = parent_[label];
      while (up != kNoIndex && tree_.nodes[up].kind != NodeKind::kFunction) up = parent_[up];
      by_function[up].push_back(label);
    }
    std::unordered_map<uint32_t, std::string_view> names;
    for (auto& [function, list] : by_function) {
      std::stable_sort(list.begin(), list.end(),
                       [&gotos](uint32_t a, uint32_t b) { return gotos[a] > gotos[b]; });
      std::unordered_set<std::string_view> taken;
      size_t next = 0;
      for (uint32_t label : list) {
        const std::string_view own = lexed_.Text(lexed_.tokens[tree_.nodes[label].token]);
        while (taken.contains(names_[next])) ++next;
        std::string_view chosen = names_[next];
        if (chosen.size() > own.size()) {
          chosen = own;
          for (size_t i = 0; taken.contains(chosen); ++i) chosen = names_[i];
        }
        taken.insert(chosen);
        names[label] = chosen;
        const size_t kind = static_cast<size_t>(NameKind::kLabel);
        ++(chosen == own ? out.result.kept : out.result.renamed)[kind];
      }
    }
    for (uint32_t node = 0; node < tree_.nodes.size(); ++node) {
      const Node& n = tree_.nodes[node];
      if (n.kind != NodeKind::kLabel && n.kind != NodeKind::kGoto) continue;
      if (n.token == kNoIndex || n.ref == kNoIndex) continue;
      if (auto name = names.find(n.ref); name != names.end()) out.texts[n.token] = name->second;
    }
  }

  MinifyResult Print(MinifyLevel level) {
    Level out;
    out.texts.resize(lexed_.tokens.size());
    for (uint32_t i = 0; i < lexed_.tokens.size(); ++i)
      out.texts[i] = lexed_.Text(lexed_.tokens[i]);
    NameMembers(level == MinifyLevel::kAll, out);
    if (level != MinifyLevel::kSpaces) {
      NameLocals(out);
      NameLabels(out);
    } else {
      for (const Variable& variable : tree_.variables) {
        if (variable.name_token != kNoIndex) ++out.result.kept[size_t(NameKind::kLocal)];
      }
      for (const Node& n : tree_.nodes) {
        if (n.kind == NodeKind::kLabel) ++out.result.kept[size_t(NameKind::kLabel)];
      }
    }
    std::vector<PrintToken> tokens;
    tokens.reserve(lexed_.tokens.size());
    size_t next_break = 0;
    for (uint32_t i = 0; i < lexed_.tokens.size(); ++i) {
      const Token& token = lexed_.tokens[i];
      if (IsTrivia(token.kind)) continue;
      PrintToken print{token.kind, out.texts[i], false};
      if (token.kind == Tok::kNumber) print.text = NumberText(i);
      const std::vector<uint32_t>& breaks = tree_.line_breaks;
      while (next_break < breaks.size() && breaks[next_break] < i) ++next_break;
      print.line_break_after = next_break < breaks.size() && breaks[next_break] == i;
      tokens.push_back(print);
    }
    out.result.code = PrintTokens(tokens);
    return std::move(out.result);
  }

  std::string_view NumberText(uint32_t i) {
    auto [it, added] = numbers_.emplace(i, std::string());
    if (added) it->second = ShorterNumber(lexed_.Text(lexed_.tokens[i]), lexed_.tokens[i]);
    return it->second.empty() ? lexed_.Text(lexed_.tokens[i]) : std::string_view(it->second);
  }

  const LexedCode& lexed_;
  const SyntaxTree& tree_;
  const MinifyOptions& options_;
  NameSequence names_;
  std::vector<uint32_t> parent_;     // each node's parent; kNoIndex for the root
  std::vector<uint32_t> name_node_;  // each name token's node
  bool uses_env_ = false;
  std::vector<LocalSpan> spans_;
  std::unordered_map<std::string_view, uint32_t> words_;  // word -> first line
  std::vector<StringPattern> patterns_;
  std::vector<MemberName> members_;  // in order of first appearance
  std::unordered_map<std::string_view, uint32_t> member_index_;
  std::vector<uint32_t> global_refs_;                  // tokens of global reads, in order
  std::unordered_map<uint32_t, std::string> numbers_;  // shorter texts, by token
};

}  // namespace

MinifyResult MinifyCode(const LexedCode& lexed, const SyntaxTree& tree,
                        const MinifyOptions& options) {
  return Minifier(lexed, tree, options).Run();
}

}  // namespace brasswick
