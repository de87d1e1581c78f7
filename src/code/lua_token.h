// The tokens of the console's Lua dialect: their kinds, and what each one keeps of the
// code it was read from (where it stands, and the value of a number or string).
#ifndef BRASSWICK_CODE_LUA_TOKEN_H_
#define BRASSWICK_CODE_LUA_TOKEN_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace brasswick {

// One kind for each keyword and each operator, so the parser switches on the kind alone.
// `!=` is kNotEqual like `~=` (its text tells them apart), and `?` (print) is kQuestion.
enum class Tok : uint8_t {
  kSpace,    // white space: kept so the tokens together are the code
  kComment,  // `--...`, `//...`, `--[[...]]`
  kName,
  kNumber,
  kString,  // quoted or long bracket; its value is in LexedCode::strings
  // Keywords.
  kAnd,
  kBreak,
  kDo,
  kElse,
  kElseIf,
  kEnd,
  kFalse,
  kFor,
  kFunction,
  kGoto,
  kIf,
  kIn,
  kLocal,
  kNil,
  kNot,
  kOr,
  kRepeat,
  kReturn,
  kThen,
  kTrue,
  kUntil,
  kWhile,
  // Operators and punctuation.
  kPlus,               // +
  kMinus,              // -
  kStar,               // *
  kSlash,              // /
  kBackslash,          // \  integer division
  kPercent,            // %  modulo, or peek2 when unary
  kCaret,              // ^
  kHash,               // #
  kAmpersand,          // &
  kBar,                // |
  kTilde,              // ~  exclusive or, or bitwise not when unary
  kCaretCaret,         // ^^
  kShiftLeft,          // <<
  kShiftRight,         // >>
  kShiftRightLogical,  // >>>
  kRotateLeft,         // <<>
  kRotateRight,        // >><
  kConcat,             // ..
  kEqual,              // ==
  kNotEqual,           // ~= or !=
  kLess,               // <
  kLessEqual,          // <=
  kGreater,            // >
  kGreaterEqual,       // >=
  kAssign,             // =
  kOpenParen,
  kCloseParen,
  kOpenBrace,
  kCloseBrace,
  kOpenBracket,
  kCloseBracket,
  kSemicolon,
  kColon,
  kDoubleColon,
  kComma,
  kDot,
  kDots,      // ...
  kAt,        // @  peek
  kDollar,    // $  peek4
  kQuestion,  // ?  print
  // Compound assignments, in the order of the operators they apply.
  kPlusAssign,
  kMinusAssign,
  kStarAssign,
  kSlashAssign,
  kBackslashAssign,
  kPercentAssign,
  kCaretAssign,
  kConcatAssign,
  kBarAssign,
  kAmpersandAssign,
  kCaretCaretAssign,
  kShiftLeftAssign,
  kShiftRightAssign,
  kShiftRightLogicalAssign,
  kRotateLeftAssign,
  kRotateRightAssign,
};

inline constexpr bool IsTrivia(Tok kind) { return kind == Tok::kSpace || kind == Tok::kComment; }
inline constexpr bool IsKeyword(Tok kind) { return kind >= Tok::kAnd && kind <= Tok::kWhile; }
inline constexpr bool IsCompoundAssign(Tok kind) {
  return kind >= Tok::kPlusAssign && kind <= Tok::kRotateRightAssign;
}

// The binary operator a compound assignment applies (`+=` gives `+`); the kind itself
// when it is not one.
Tok CompoundOperator(Tok kind);

// The written form of a keyword or operator (`!=` and `~=` both give "~="); "" for the
// kinds that have no single text (names, numbers, strings, trivia).
std::string_view TokSpelling(Tok kind);

// The operator or punctuation at the start of `text`, longest first (`>>>=` before
// `>>>`): its length, with its kind in *kind; 0 when none starts there.
size_t MatchSymbol(std::string_view text, Tok* kind);

enum TokenFlags : uint8_t {
  // A decimal number whose integer part does not fit 16 bits: its value wrapped.
  kNumberWrapped = 1,
  // A string written in long brackets.
  kLongString = 2,
};

struct Token {
  Tok kind = Tok::kSpace;
  uint8_t flags = 0;
  uint32_t offset = 0;  // byte offset in the code
  uint32_t length = 0;  // bytes of the code it spans
  uint32_t line = 0;    // 1-based line in the code of its first byte
  uint32_t column = 0;  // 1-based column (bytes) of its first byte
  // A number's 16.16 value; a string's index in LexedCode::strings.
  int32_t value = 0;
};

}  // namespace brasswick

#endif  // BRASSWICK_CODE_LUA_TOKEN_H_
