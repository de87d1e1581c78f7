#include "code/lua_token.h"

namespace brasswick {
namespace {

struct Spelling {
  Tok kind;
  std::string_view text;
};

// Every operator and punctuation with its text, longer texts first so that the first
// one that matches is the longest.
constexpr Spelling kSymbols[] = {
    {Tok::kShiftRightLogicalAssign, ">>>="},
    {Tok::kRotateLeftAssign, "<<>="},
    {Tok::kRotateRightAssign, ">><="},
    {Tok::kDots, "..."},
    {Tok::kConcatAssign, "..="},
    {Tok::kCaretCaretAssign, "^^="},
    {Tok::kShiftLeftAssign, "<<="},
    {Tok::kShiftRightAssign, ">>="},
    {Tok::kShiftRightLogical, ">>>"},
    {Tok::kRotateLeft, "<<>"},
    {Tok::kRotateRight, ">><"},
    {Tok::kConcat, ".."},
    {Tok::kEqual, "=="},
    {Tok::kNotEqual, "~="},
    {Tok::kNotEqual, "!="},
    {Tok::kLessEqual, "<="},
    {Tok::kGreaterEqual, ">="},
    {Tok::kShiftLeft, "<<"},
    {Tok::kShiftRight, ">>"},
    {Tok::kCaretCaret, "^^"},
    {Tok::kDoubleColon, "::"},
    {Tok::kPlusAssign, "+="},
    {Tok::kMinusAssign, "-="},
    {Tok::kStarAssign, "*="},
    {Tok::kSlashAssign, "/="},
    {Tok::kBackslashAssign, "\\="},
    {Tok::kPercentAssign, "%="},
    {Tok::kCaretAssign, "^="},
    {Tok::kBarAssign, "|="},
    {Tok::kAmpersandAssign, "&="},
    {Tok::kPlus, "+"},
    {Tok::kMinus, "-"},
    {Tok::kStar, "*"},
    {Tok::kSlash, "/"},
    {Tok::kBackslash, "\\"},
    {Tok::kPercent, "%"},
    {Tok::kCaret, "^"},
    {Tok::kHash, "#"},
    {Tok::kAmpersand, "&"},
    {Tok::kBar, "|"},
    {Tok::kTilde, "~"},
    {Tok::kLess, "<"},
    {Tok::kGreater, ">"},
    {Tok::kAssign, "="},
    {Tok::kOpenParen, "("},
    {Tok::kCloseParen, ")"},
    {Tok::kOpenBrace, "{"},
    {Tok::kCloseBrace, "}"},
    {Tok::kOpenBracket, "["},
    {Tok::kCloseBracket, "]"},
    {Tok::kSemicolon, ";"},
    {Tok::kColon, ":"},
    {Tok::kComma, ","},
    {Tok::kDot, "."},
    {Tok::kAt, "@"},
    {Tok::kDollar, "$"},
    {Tok::kQuestion, "?"},
};

constexpr Spelling kKeywordSpellings[] = {
    {Tok::kAnd, "and"},     {Tok::kBreak, "break"},   {Tok::kDo, "do"},
    {Tok::kElse, "else"},   {Tok::kElseIf, "elseif"}, {Tok::kEnd, "end"},
    {Tok::kFalse, "false"}, {Tok::kFor, "for"},       {Tok::kFunction, "function"},
    {Tok::kGoto, "goto"},   {Tok::kIf, "if"},         {Tok::kIn, "in"},
    {Tok::kLocal, "local"}, {Tok::kNil, "nil"},       {Tok::kNot, "not"},
    {Tok::kOr, "or"},       {Tok::kRepeat, "repeat"}, {Tok::kReturn, "return"},
    {Tok::kThen, "then"},   {Tok::kTrue, "true"},     {Tok::kUntil, "until"},
    {Tok::kWhile, "while"},
};

}  // namespace

Tok CompoundOperator(Tok kind) {
  switch (kind) {
    case Tok::kPlusAssign:
      return Tok::kPlus;
    case Tok::kMinusAssign:
      return Tok::kMinus;
    case Tok::kStarAssign:
      return Tok::kStar;
    case Tok::kSlashAssign:
      return Tok::kSlash;
    case Tok::kBackslashAssign:
      return Tok::kBackslash;
    case Tok::kPercentAssign:
      return Tok::kPercent;
    case Tok::kCaretAssign:
      return Tok::kCaret;
    case Tok::kConcatAssign:
      return Tok::kConcat;
    case Tok::kBarAssign:
      return Tok::kBar;
    case Tok::kAmpersandAssign:
      return Tok::kAmpersand;
    case Tok::kCaretCaretAssign:
      return Tok::kCaretCaret;
    case Tok::kShiftLeftAssign:
      return Tok::kShiftLeft;
    case Tok::kShiftRightAssign:
      return Tok::kShiftRight;
    case Tok::kShiftRightLogicalAssign:
      return Tok::kShiftRightLogical;
    case Tok::kRotateLeftAssign:
      return Tok::kRotateLeft;
    case Tok::kRotateRightAssign:
      return Tok::kRotateRight;
    default:
      return kind;
  }
}

std::string_view TokSpelling(Tok kind) {
  for (const Spelling& s : kKeywordSpellings) {
    if (s.kind == kind) return s.text;
  }
  for (const Spelling& s : kSymbols) {
    if (s.kind == kind) return s.text;
  }
  return "";
}

size_t MatchSymbol(std::string_view text, Tok* kind) {
  if (text.empty()) return 0;
  for (const Spelling& s : kSymbols) {
    if (s.text[0] == text[0] && text.substr(0, s.text.size()) == s.text) {
      *kind = s.kind;
      return s.text.size();
    }
  }
  return 0;
}

}  // namespace brasswick
