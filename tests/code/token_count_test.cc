#include "code/token_count.h"

#include <gtest/gtest.h>

namespace brasswick {
namespace {

struct CountCase {
  const char* code;
  int tokens;  // counted by hand from the editor's rule, token by token
};

void ExpectCounts(const CountCase* begin, const CountCase* end) {
  for (const CountCase* c = begin; c != end; ++c) {
    const TokenCount count = CountTokens(c->code);
    EXPECT_FALSE(count.warning) << c->code;
    EXPECT_EQ(count.tokens, c->tokens) << c->code;
  }
}

TEST(TokenCount, FreeTokensAndBracketPairs) {
  const CountCase cases[] = {
      {"", 0},
      {"a,b", 2},                     // a b; `,` free
      {"a.b", 2},                     // `.` free
      {"a:b()", 3},                   // a b (; `:` and `)` free
      {"a;b", 2},                     // `;` free
      {"::l::", 1},                   // l; both `::` free
      {"f()", 2},                     // f (
      {"t[1]", 3},                    // t [ 1
      {"t={}", 3},                    // t = {
      {"do end", 1},                  // do; `end` free
      {"local x", 1},                 // x; `local` free
      {"local function f() end", 3},  // function f (
      {"a..b", 3},
      {"a...b", 3},  // `...` is one token
      {"x=...", 3},
      {"a!=b", 3},  // `!=` like `~=`
      {"a~=b", 3},
      {"?a", 2},        // `?` is print, one token
      {"@a+%b+$c", 8},  // the peeks are operators
      {"x>>>=1", 3},    // a compound assignment is one token
      {"x..=\"s\"", 3},
      {"x^^=y<<>=z", 5},          // x ^^= y <<>= z
      {"s=[==[\nlong\n]==]", 3},  // a long string is one token
      {"s=\"a\\\"b\"", 3},
      {"\x8b\x83=btn(\x8b)", 5},  // glyph names: \x8b\x83 = btn ( \x8b
      {"if a then b() elseif c then d() else e() end", 13},
      {"for i=1,10 do end", 6},                      // for i = 1 10 do
      {"function a.b:c(d,...) return self end", 9},  // function a b c ( d ... return self
      {"repeat until x", 3},
      {"goto l", 2},
      {"x=not true and nil or false", 8},
  };
  ExpectCounts(std::begin(cases), std::end(cases));
}

TEST(TokenCount, CommentsAndWhiteSpaceAreFree) {
  const CountCase cases[] = {
      {"-- a comment with words\n", 0}, {"// slashes\nx=1", 3},
      {"--[[ long\ncomment ]] x=1", 3}, {"--[==[ ]] ]==] x=1 -- trailing", 3},
      {"  \t\n\r\n x \n = \n 1 ", 3},
  };
  ExpectCounts(std::begin(cases), std::end(cases));
}

// A `-` or `~` written right before a number is free unless the token before it ends a
// value: a name, number, string, `)`, `]`, `}`, `;` or `end`.
TEST(TokenCount, MinusAndTildeBeforeANumber) {
  const CountCase cases[] = {
      {"-1", 1},  // start of code: free
      {"~1", 1},
      {"- 1", 2},   // a space between: counts
      {"x=-1", 3},  // after an operator: free
      {"x=- 1", 4},
      {"x=~1", 3},
      {"x=~ 1", 4},
      {"x=-a", 4},   // before a name: counts
      {"x=-.5", 3},  // `.5` is a number
      {"x=-0x10", 3},
      {"x=-0b1", 3},
      {"1-1", 3},  // after a number: binary, counts
      {"a-1", 3},  // after a name
      {"a~1", 3},
      {"\"s\"-1", 3},   // after a string
      {"f()-1", 4},     // after `)`: f ( - 1
      {"t[1]-1", 5},    // after `]`: t [ 1 - 1
      {"({})-1", 4},    // after `}`: ( { - 1
      {"a;-1", 3},      // after `;`: a - 1
      {"end-1", 2},     // after `end`: - 1
      {"return-1", 2},  // after a keyword other than `end`: return 1
      {"return -1", 2},
      {"x=(-1)", 4},   // after `(`: x = ( 1
      {"f(a,-1)", 4},  // after `,`: f ( a 1
      {"a=b<-1", 5},   // a = b < 1
      {"x=--1\n", 2},  // a comment, not two minuses: x =
      {"x=- -1", 4},   // x = - ; the second `-` follows `-`: free
      {"x=-~1", 4},    // x = - 1: `-` is before `~`; `~` follows `-`: free
      {"x=a -1", 5},   // binary after a name even with a space before
      {"x=a- 1", 5},
      {"x+=-1", 3},          // after a compound assignment: free
      {"x=--[[c]]-1", 3},    // the comment is skipped: after `=`, free
      {"x=1 --[[c]]-1", 5},  // after the number 1: counts
  };
  ExpectCounts(std::begin(cases), std::end(cases));
}

TEST(TokenCount, ALexicalErrorCountsWhatCameBefore) {
  const TokenCount count = CountTokens("x=1 y=\"never closed");
  EXPECT_EQ(count.tokens, 5);  // x = 1 y =
  ASSERT_TRUE(count.warning);
  EXPECT_EQ(count.warning->offset, 6u);
  EXPECT_EQ(count.warning->message, "unfinished string");
  // Syntax errors do not stop the count.
  const TokenCount broken = CountTokens("if if ) end end (");
  EXPECT_FALSE(broken.warning);
  EXPECT_EQ(broken.tokens, 3);  // if if (
}

}  // namespace
}  // namespace brasswick
