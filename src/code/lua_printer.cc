#include "code/lua_printer.h"

#include <algorithm>
#include <cstring>

namespace brasswick {
namespace {

bool IsWordKind(Tok kind) { return kind == Tok::kName || kind == Tok::kNumber || IsKeyword(kind); }

bool IsSymbolKind(Tok kind) { return !IsTrivia(kind) && !IsWordKind(kind) && kind != Tok::kString; }

}  // namespace

bool NeedsSpaceBetween(const LexedCode& lexed, const Token& left, const Token& right) {
  const std::string_view a = lexed.Text(left);
  const std::string_view b = lexed.Text(right);
  if (a.empty() || b.empty()) return false;
  const uint8_t last = static_cast<uint8_t>(a.back());
  const uint8_t first = static_cast<uint8_t>(b.front());
  // A word runs on into any name byte; a number also into a `.` (`1` `..` is `1.` `.`).
  if (IsWordKind(left.kind) && IsNameByte(first)) return true;
  if (left.kind == Tok::kNumber && first == '.') return true;
  // A `.` runs into another, and a lone `.` into a digit (`.` `5` is `.5`).
  if (last == '.' && (first == '.' || (a.size() == 1 && first >= '0' && first <= '9'))) {
    return true;
  }
  // Comments: `--` and `//`.
  if ((last == '-' && first == '-') || (last == '/' && first == '/')) return true;
  // Long brackets: `[` before `[` or `=`.
  if (last == '[' && (first == '[' || first == '=')) return true;
  if (IsSymbolKind(left.kind) && IsSymbolKind(right.kind)) {
    // Operators run together into a longer one (`<` `=`, `>>` `>`, `.` `..`).
    char joined[8] = {};
    const size_t taken = std::min<size_t>(b.size(), 4);
    std::memcpy(joined, a.data(), a.size());
    std::memcpy(joined + a.size(), b.data(), taken);
    Tok kind;
    return MatchSymbol(std::string_view(joined, a.size() + taken), &kind) != a.size();
  }
  return false;
}

std::string PrintCode(const LexedCode& lexed, const SyntaxTree* tree) {
  std::string out;
  out.reserve(lexed.code.size());
  const Token* previous = nullptr;
  bool break_pending = false;
  size_t next_break = 0;
  for (uint32_t i = 0; i < lexed.tokens.size(); ++i) {
    const Token& token = lexed.tokens[i];
    if (IsTrivia(token.kind)) {
      if (!tree && previous && lexed.Text(token).find('\n') != std::string_view::npos) {
        break_pending = true;
      }
      continue;
    }
    if (previous) {
      if (break_pending) {
        out += '\n';
      } else if (NeedsSpaceBetween(lexed, *previous, token)) {
        out += ' ';
      }
    }
    break_pending = false;
    out += lexed.Text(token);
    previous = &token;
    if (tree) {
      const std::vector<uint32_t>& breaks = tree->line_breaks;
      while (next_break < breaks.size() && breaks[next_break] < i) ++next_break;
      if (next_break < breaks.size() && breaks[next_break] == i) break_pending = true;
    }
  }
  return out;
}

}  // namespace brasswick
