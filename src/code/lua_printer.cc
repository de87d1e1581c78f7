#include "code/lua_printer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace brasswick {
namespace {

bool IsWordKind(Tok kind) { return kind == Tok::kName || kind == Tok::kNumber || IsKeyword(kind); }

bool IsSymbolKind(Tok kind) { return !IsTrivia(kind) && !IsWordKind(kind) && kind != Tok::kString; }

}  // namespace

bool NeedsSpaceBetween(Tok left_kind, std::string_view a, Tok right_kind, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  const uint8_t last = static_cast<uint8_t>(a.back());
  const uint8_t first = static_cast<uint8_t>(b.front());
  // A word runs on into any name byte; a number also into a `.` (`1` `..` is `1.` `.`).
  if (IsWordKind(left_kind) && IsNameByte(first)) return true;
  if (left_kind == Tok::kNumber && first == '.') return true;
  // A `.` runs into another, and a lone `.` into a digit (`.` `5` is `.5`).
  if (last == '.' && (first == '.' || (a.size() == 1 && first >= '0' && first <= '9'))) {
    return true;
  }
  // Comments: `--` and `//`.
  if ((last == '-' && first == '-') || (last == '/' && first == '/')) return true;
  // Long brackets: `[` before `[` or `=`.
  if (last == '[' && (first == '[' || first == '=')) return true;
  if (IsSymbolKind(left_kind) && IsSymbolKind(right_kind) && a.size() <= 4) {
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

std::string PrintTokens(std::span<const PrintToken> tokens) {
  std::string out;
  const PrintToken* previous = nullptr;
  for (const PrintToken& token : tokens) {
    if (IsTrivia(token.kind)) continue;
    if (previous) {
      if (previous->line_break_after) {
        out += '\n';
      } else if (NeedsSpaceBetween(previous->kind, previous->text, token.kind, token.text)) {
        out += ' ';
      }
    }
    out += token.text;
    previous = &token;
  }
  return out;
}

std::string PrintCode(const LexedCode& lexed, const SyntaxTree* tree) {
  std::vector<PrintToken> tokens;
  tokens.reserve(lexed.tokens.size());
  size_t next_break = 0;
  for (uint32_t i = 0; i < lexed.tokens.size(); ++i) {
    const Token& token = lexed.tokens[i];
    if (IsTrivia(token.kind)) {
      // Without a tree, a line break kept wherever the code had one between tokens.
      if (!tree && !tokens.empty() && lexed.Text(token).find('\n') != std::string_view::npos) {
        tokens.back().line_break_after = true;
      }
      continue;
    }
    PrintToken print{token.kind, lexed.Text(token), false};
    if (tree) {
      const std::vector<uint32_t>& breaks = tree->line_breaks;
      while (next_break < breaks.size() && breaks[next_break] < i) ++next_break;
      print.line_break_after = next_break < breaks.size() && breaks[next_break] == i;
    }
    tokens.push_back(print);
  }
  return PrintTokens(tokens);
}

}  // namespace brasswick
