#include "code/lua_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace brasswick {
namespace {

struct ParseCase {
  std::string code;
  std::string dump;  // written by hand from the grammar
};

std::string DumpOf(const std::string& code) {
  const LexedCode lexed = LexCode(code);
  CodeError error;
  const std::optional<SyntaxTree> tree = ParseCode(lexed, &error);
  if (!tree) return "error: " + FormatCodeError(lexed, error);
  return DumpSyntax(*tree, lexed);
}

void ExpectDumps(const ParseCase* begin, const ParseCase* end) {
  for (const ParseCase* c = begin; c != end; ++c) {
    EXPECT_EQ(DumpOf(c->code), "(block " + c->dump + ")") << c->code;
  }
}

TEST(LuaParser, Statements) {
  const ParseCase cases[] = {
      {"local a, b = 1", "(local (names a:L0 b:L1) (exprs 1))"},
      {"local a", "(local (names a:L0))"},
      {"a, b.c, d[1] = f()", "(set (exprs a:G (field b:G .c) (index d:G 1)) (exprs (call f:G)))"},
      {"f\"x\" g{1} o:m(1, 2)",
       "(do-call (call f:G \"x\")) (do-call (call g:G (table 1))) "
       "(do-call (method o:G .m 1 2))"},
      {"do ; end", "(do (block))"},
      {"while a do break end", "(while a:G (block break))"},
      {"repeat f() until a", "(repeat (block (do-call (call f:G))) a:G)"},
      {"if a then elseif b then f() else end",
       "(if a:G (block) b:G (block (do-call (call f:G))) (block))"},
      {"if a do f() end", "(if a:G (block (do-call (call f:G))))"},
      {"for i = 1, 2, -1 do end", "(for= i:L0 1 2 (un - 1) (block))"},
      {"for k, v in pairs(t) do end",
       "(for-in (names k:L0 v:L1) (exprs (call pairs:G t:G)) (block))"},
      {"function a.b.c:d(x, ...) end",
       "(function-stat method (field (field (field a:G .b) .c) .d) "
       "(function (params ... x:L1) (block)))"},
      {"function f() return end", "(function-stat f:G (function (params) (block (return))))"},
      {"local function f(a) return f, a; end",
       "(local-function f:L0 (function (params a:L1) (block (return (exprs f:U0 a:L1)))))"},
      {"::top:: goto top", "(label top) (goto top)"},
      {"return 1, ...", "(return (exprs 1 ...))"},
  };
  ExpectDumps(std::begin(cases), std::end(cases));
}

TEST(LuaParser, TheConsolesStatements) {
  const ParseCase cases[] = {
      // Every compound assignment, a table index on the left included.
      {"a += 1 a -= 1 a *= 1 a /= 1 a \\= 1 a %= 1 a ^= 1 a ..= 1",
       "(opset + a:G 1) (opset - a:G 1) (opset * a:G 1) (opset / a:G 1) (opset \\ a:G 1) "
       "(opset % a:G 1) (opset ^ a:G 1) (opset .. a:G 1)"},
      {"t[i] |= 1 t.x &= 1 a ^^= 1 a <<= 1 a >>= 1 a >>>= 1 a <<>= 1 a >><= b + 1",
       "(opset | (index t:G i:G) 1) (opset & (field t:G .x) 1) (opset ^^ a:G 1) "
       "(opset << a:G 1) (opset >> a:G 1) (opset >>> a:G 1) (opset <<> a:G 1) "
       "(opset >>< a:G (bin + b:G 1))"},
      // `?` takes the rest of its line.
      {"?a, b\nc()", "(? (exprs a:G b:G)) (do-call (call c:G))"},
      {"?\nc()", "(? (exprs)) (do-call (call c:G))"},
      // Short if: `)` ends the condition and neither `then` nor `do` follows.
      {"if (a) b() c()\nd()",
       "(if short (paren a:G) (block (do-call (call b:G)) (do-call (call c:G)))) "
       "(do-call (call d:G))"},
      {"if (a) b() else c()\nd()",
       "(if short (paren a:G) (block (do-call (call b:G))) (block (do-call (call c:G)))) "
       "(do-call (call d:G))"},
      {"if (a) then b() end", "(if (paren a:G) (block (do-call (call b:G))))"},
      {"if (a) do b() end", "(if (paren a:G) (block (do-call (call b:G))))"},
      {"if f(a) b()\n", "(if short (call f:G a:G) (block (do-call (call b:G))))"},
      {"if (a) or (b) c()",
       "(if short (bin or (paren a:G) (paren b:G)) (block (do-call (call c:G))))"},
      // Nested short ifs end at the same line end; the else goes to the inner one.
      {"if (a) if (b) c() else d()\ne()",
       "(if short (paren a:G) (block (if short (paren b:G) (block (do-call (call c:G))) "
       "(block (do-call (call d:G)))))) (do-call (call e:G))"},
      // A body may be empty, and a statement that started on the line may run past it.
      {"if (a)\nb()", "(if short (paren a:G) (block)) (do-call (call b:G))"},
      {"if (a) f(1,\n2) g()",
       "(if short (paren a:G) (block (do-call (call f:G 1 2)))) (do-call (call g:G))"},
      {"if (a) return\nb()", "(if short (paren a:G) (block (return))) (do-call (call b:G))"},
      // An else on the next line is not the short if's.
      {"if x then if (a) b()\nelse c() end",
       "(if x:G (block (if short (paren a:G) (block (do-call (call b:G))))) "
       "(block (do-call (call c:G))))"},
      {"function f() if (a) return 1 end",
       "(function-stat f:G (function (params) (block (if short (paren a:G) "
       "(block (return (exprs 1)))))))"},
      {"while (a) a -= 1\nb()",
       "(while short (paren a:G) (block (opset - a:G 1))) (do-call (call b:G))"},
      {"while (a) do a -= 1 end", "(while (paren a:G) (block (opset - a:G 1)))"},
      {"while (a) break", "(while short (paren a:G) (block break))"},
  };
  ExpectDumps(std::begin(cases), std::end(cases));
}

TEST(LuaParser, OperatorsAtTheirPrecedence) {
  const ParseCase cases[] = {
      {"x = a or b and c", "(set (exprs x:G) (exprs (bin or a:G (bin and b:G c:G))))"},
      {"x = a and b < c", "(set (exprs x:G) (exprs (bin and a:G (bin < b:G c:G))))"},
      {"x = a != b | c", "(set (exprs x:G) (exprs (bin ~= a:G (bin | b:G c:G))))"},
      {"x = a | b ^^ c", "(set (exprs x:G) (exprs (bin | a:G (bin ^^ b:G c:G))))"},
      {"x = a ~ b & c", "(set (exprs x:G) (exprs (bin ~ a:G (bin & b:G c:G))))"},
      {"x = a & b << c", "(set (exprs x:G) (exprs (bin & a:G (bin << b:G c:G))))"},
      {"x = a >>> b .. c", "(set (exprs x:G) (exprs (bin >>> a:G (bin .. b:G c:G))))"},
      {"x = a <<> b >>< c", "(set (exprs x:G) (exprs (bin >>< (bin <<> a:G b:G) c:G)))"},
      {"x = a .. b + c", "(set (exprs x:G) (exprs (bin .. a:G (bin + b:G c:G))))"},
      {"x = a .. b .. c", "(set (exprs x:G) (exprs (bin .. a:G (bin .. b:G c:G))))"},
      {"x = a - b * c", "(set (exprs x:G) (exprs (bin - a:G (bin * b:G c:G))))"},
      {"x = a - b - c", "(set (exprs x:G) (exprs (bin - (bin - a:G b:G) c:G)))"},
      {"x = a \\ b % c / d", "(set (exprs x:G) (exprs (bin / (bin % (bin \\ a:G b:G) c:G) d:G)))"},
      {"x = a * -b", "(set (exprs x:G) (exprs (bin * a:G (un - b:G))))"},
      {"x = -a ^ b", "(set (exprs x:G) (exprs (un - (bin ^ a:G b:G))))"},
      {"x = a ^ b ^ c", "(set (exprs x:G) (exprs (bin ^ a:G (bin ^ b:G c:G))))"},
      {"x = not a == b", "(set (exprs x:G) (exprs (bin == (un not a:G) b:G)))"},
      {"x = #t * ~a", "(set (exprs x:G) (exprs (bin * (un # t:G) (un ~ a:G))))"},
      {"x = @a + %b * $c",
       "(set (exprs x:G) (exprs (bin + (un @ a:G) (bin * (un % b:G) (un $ c:G)))))"},
      {"x = a % b", "(set (exprs x:G) (exprs (bin % a:G b:G)))"},
      {"x = {1, k = 2; [3] = 4,}", "(set (exprs x:G) (exprs (table 1 (tfield .k 2) (tkey 3 4))))"},
      {"x = function(...) return ... end",
       "(set (exprs x:G) (exprs (function (params ...) (block (return (exprs ...))))))"},
      {"x = (f())", "(set (exprs x:G) (exprs (paren (call f:G))))"},
      {"x = a.b[c]:d()", "(set (exprs x:G) (exprs (method (index (field a:G .b) c:G) .d)))"},
  };
  ExpectDumps(std::begin(cases), std::end(cases));
}

TEST(LuaParser, NamesBindToTheirScopes) {
  const ParseCase cases[] = {
      // `local x = x` reads the outer x.
      {"local x = 1 local x = x",
       "(local (names x:L0) (exprs 1)) (local (names x:L1) (exprs x:L0))"},
      {"local x = x", "(local (names x:L0) (exprs x:G))"},
      // Shadowing in a block ends with the block.
      {"local a do local a = 2 f(a) end f(a)",
       "(local (names a:L0)) (do (block (local (names a:L1) (exprs 2)) (do-call (call f:G a:L1)))) "
       "(do-call (call f:G a:L0))"},
      // A loop variable captured by a closure is an upvalue there.
      {"for i = 1, 3 do fs[i] = function() return i end end",
       "(for= i:L0 1 3 (block (set (exprs (index fs:G i:L0)) (exprs (function (params) "
       "(block (return (exprs i:U0))))))))"},
      {"for i = 1, 3 do end f(i)", "(for= i:L0 1 3 (block)) (do-call (call f:G i:G))"},
      // The until expression sees the block's locals.
      {"repeat local done = f() until done",
       "(repeat (block (local (names done:L0) (exprs (call f:G)))) done:L0)"},
      // Parameters, and `self` in methods.
      {"function o:m(a) return self, a, b end",
       "(function-stat method (field o:G .m) (function (params a:L1) "
       "(block (return (exprs self:L0 a:L1 b:G)))))"},
      {"function o.m(a) return self end",
       "(function-stat (field o:G .m) (function (params a:L0) (block (return (exprs self:G)))))"},
      // Upvalues through two functions; a local of the same name inside shadows.
      {"local v function f() return function() return v end end",
       "(local (names v:L0)) (function-stat f:G (function (params) (block (return (exprs "
       "(function (params) (block (return (exprs v:U0)))))))))"},
      // Globals and fields with the same name stay apart.
      {"local x t.x = x", "(local (names x:L0)) (set (exprs (field t:G .x)) (exprs x:L0))"},
      {"t = {x = x}", "(set (exprs t:G) (exprs (table (tfield .x x:G))))"},
      // A local function sees itself; a local assigned a function does not.
      {"local f = function() return f end",
       "(local (names f:L0) (exprs (function (params) (block (return (exprs f:G))))))"},
      // Glyph names and upper case are names of their own.
      {"local \x8b = 1 return \x8b, A, a",
       "(local (names \x8b:L0) (exprs 1)) (return (exprs \x8b:L0 A:G a:G))"},
  };
  ExpectDumps(std::begin(cases), std::end(cases));
}

TEST(LuaParser, GotosBindToVisibleLabels) {
  const std::string code =
      "::a:: do goto b end ::b:: while x do goto a end\n"
      "do ::c:: end do goto d ::d:: end do ::c:: end";
  const LexedCode lexed = LexCode(code);
  CodeError error;
  const std::optional<SyntaxTree> tree = ParseCode(lexed, &error);
  ASSERT_TRUE(tree) << error.message;
  int gotos = 0;
  for (const Node& node : tree->nodes) {
    if (node.kind != NodeKind::kGoto) continue;
    ++gotos;
    ASSERT_NE(node.ref, kNoIndex);
    const Node& label = tree->nodes[node.ref];
    EXPECT_EQ(label.kind, NodeKind::kLabel);
    EXPECT_EQ(lexed.Text(lexed.tokens[label.token]), lexed.Text(lexed.tokens[node.token]));
    EXPECT_EQ(node.binding, Binding::kLabel);
  }
  EXPECT_EQ(gotos, 3);
}

TEST(LuaParser, VariablesKnowTheirDeclarationAndCapture) {
  const std::string code = "local a, b = 1 function f() return a end b = 2";
  const LexedCode lexed = LexCode(code);
  const std::optional<SyntaxTree> tree = ParseCode(lexed, nullptr);
  ASSERT_TRUE(tree);
  ASSERT_EQ(tree->variables.size(), 2u);
  const Variable& a = tree->variables[0];
  const Variable& b = tree->variables[1];
  EXPECT_EQ(lexed.Text(lexed.tokens[a.name_token]), "a");
  EXPECT_EQ(tree->nodes[a.declaration].kind, NodeKind::kLocalName);
  EXPECT_EQ(a.function, kNoIndex);
  EXPECT_TRUE(a.captured);
  EXPECT_EQ(a.references, 1u);
  EXPECT_FALSE(b.captured);
  EXPECT_EQ(b.references, 1u);
}

// Each node spans the tokens of its code, so that a printer can find them again.
TEST(LuaParser, NodesSpanTheirTokens) {
  const std::string code =
      "x, y = a + b * c -- note\nif (x) f(1) else g\"s\"\nlocal t = {k = 1}\n"
      "function o:m() return self end\nt.k += 2";
  struct Case {
    NodeKind kind;
    std::string text;  // the first node of the kind
  };
  const Case cases[] = {
      {NodeKind::kAssign, "x, y = a + b * c"},
      {NodeKind::kBinary, "a + b * c"},
      {NodeKind::kIf, "if (x) f(1) else g\"s\""},
      {NodeKind::kCall, "f(1)"},
      {NodeKind::kLocal, "local t = {k = 1}"},
      {NodeKind::kTable, "{k = 1}"},
      {NodeKind::kTableField, "k = 1"},
      {NodeKind::kFunctionStatement, "function o:m() return self end"},
      {NodeKind::kField, "o:m"},
      {NodeKind::kReturn, "return self"},
      {NodeKind::kCompoundAssign, "t.k += 2"},
  };
  const LexedCode lexed = LexCode(code);
  const std::optional<SyntaxTree> tree = ParseCode(lexed, nullptr);
  ASSERT_TRUE(tree);
  for (const Case& c : cases) {
    bool found = false;
    for (const Node& node : tree->nodes) {
      if (node.kind != c.kind) continue;
      const Token& first = lexed.tokens[node.first_token];
      const Token& last = lexed.tokens[node.last_token];
      EXPECT_EQ(code.substr(first.offset, last.offset + last.length - first.offset), c.text);
      found = true;
      break;
    }
    EXPECT_TRUE(found) << c.text;
  }
}

// Errors through a source map of two files: main.lua's first two lines, then lib.lua.
TEST(LuaParser, SyntaxErrorsNameFileLineAndColumn) {
  struct Case {
    std::string lib;
    std::string message;
  };
  const Case cases[] = {
      {"x = = 1", "lib.lua:3:5: unexpected symbol near '='"},
      {"if a b()", "lib.lua:3:6: 'then' expected near 'b'"},
      {"while a b()", "lib.lua:3:9: 'do' expected near 'b'"},
      {"f(", "lib.lua:3:3: unexpected symbol near <eof>"},
      {"do\nx()", "lib.lua:4:4: 'end' expected near <eof>"},
      {"x", "lib.lua:3:2: syntax error near <eof>"},
      {"f() = 1", "lib.lua:3:5: cannot assign to this expression near '='"},
      {"  break", "lib.lua:3:3: 'break' outside a loop near 'break'"},
      {"goto nowhere", "lib.lua:3:6: no visible label 'nowhere' for goto near 'nowhere'"},
      {"::a:: ::a::", "lib.lua:3:9: label 'a' already defined near 'a'"},
      {"::a:: do ::a:: end", "lib.lua:3:12: label 'a' already defined near 'a'"},
      {"::a:: function f() goto a end", "lib.lua:3:25: no visible label 'a' for goto near 'a'"},
      {"do ::a:: end goto a", "lib.lua:3:19: no visible label 'a' for goto near 'a'"},
      {"function f() return ... end",
       "lib.lua:3:21: cannot use '...' outside a vararg function near '...'"},
      {"x = 'open", "lib.lua:3:5: unfinished string"},
      {"x = 1 end", "lib.lua:3:7: '<eof>' expected near 'end'"},
      {"return 1 x = 2", "lib.lua:3:10: '<eof>' expected near 'x'"},
      {"local 1", "lib.lua:3:7: name expected near '1'"},
  };
  const std::string main_part = "a = 1\nb = 2\n";
  SourceMap map;
  map.segments = {{0, "main.lua", 1, 0},
                  {static_cast<uint32_t>(main_part.size()), "lib.lua", 3, 0}};
  for (const Case& c : cases) {
    const std::string code = main_part + c.lib;
    const LexedCode lexed = LexCode(code);
    CodeError error;
    EXPECT_FALSE(ParseCode(lexed, &error)) << c.lib;
    EXPECT_EQ(FormatCodeError(lexed, error, &map), c.message) << c.lib;
  }
}

TEST(LuaParser, DeepNestingIsRefusedNotOverflowed) {
  struct Case {
    std::string code;
    bool parses;
  };
  auto repeat = [](const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
  };
  // The main block is one level and the value another; each `(`, unary operator or `do`
  // adds one: 198 of them nest 200 deep, 199 one too many.
  const Case cases[] = {
      {"x = " + repeat("(", 198) + "1" + repeat(")", 198), true},
      {"x = " + repeat("(", 199) + "1" + repeat(")", 199), false},
      {repeat("do ", 199) + repeat("end ", 199), true},
      {repeat("do ", 200) + repeat("end ", 200), false},
      {"x = " + repeat("- ", 198) + "1", true},
      {"x = " + repeat("- ", 199) + "1", false},
      {"x = " + repeat("{", 100000), false},
      {repeat("if a then ", 100000), false},
      {"x = 1" + repeat(" .. 1", 100000), false},
      {"x = 1" + repeat(" + 1", 100000), true},
      {"x = a" + repeat(".b", 100000), true},
  };
  for (const Case& c : cases) {
    const LexedCode lexed = LexCode(c.code);
    CodeError error;
    EXPECT_EQ(ParseCode(lexed, &error).has_value(), c.parses) << c.code.substr(0, 40);
    if (!c.parses) {
      EXPECT_EQ(error.message.substr(0, 17), "too deeply nested") << c.code.substr(0, 40);
    }
  }
}

}  // namespace
}  // namespace brasswick
