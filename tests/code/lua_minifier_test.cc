#include "code/lua_minifier.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "code/lua_parser.h"
#include "code/lua_program_generator.h"
#include "code/syntax_shape.h"
#include "code/token_count.h"

namespace brasswick {
namespace {

constexpr MinifyLevel kLevels[] = {MinifyLevel::kSpaces, MinifyLevel::kLocals, MinifyLevel::kAll};

struct Minified {
  MinifyResult result;
  std::string error;                          // "" when the output keeps the tree
  std::map<std::string, std::string> member;  // old global/field name -> new
};

// Minifies `code` and checks what every level must give: code that reads back as the
// same tree once the names are mapped back, with no more tokens or characters.
Minified Minify(const std::string& code, MinifyLevel level, std::vector<std::string> keep = {}) {
  Minified out;
  const LexedCode lexed = LexCode(code);
  CodeError error;
  const std::optional<SyntaxTree> tree = ParseCode(lexed, &error);
  if (!tree) {
    out.error = "input does not parse: " + error.message;
    return out;
  }
  out.result = MinifyCode(lexed, *tree, MinifyOptions{level, std::move(keep)});
  const std::string& minified = out.result.code;
  const LexedCode again = LexCode(minified);
  const std::optional<SyntaxTree> tree_again = ParseCode(again, &error);
  if (!tree_again) {
    out.error = "output does not parse: " + error.message + "\n" + minified;
  } else if (std::string diff =
                 testing::CompareRenamed(*tree, lexed, *tree_again, again, &out.member);
             !diff.empty()) {
    out.error = diff + "\n" + minified;
  } else if (minified.size() > code.size()) {
    out.error = "more characters";
  } else if (CountTokens(again).tokens > CountTokens(lexed).tokens) {
    out.error = "more tokens";
  }
  return out;
}

const KeptName* FindKept(const MinifyResult& result, const std::string& name) {
  for (const KeptName& kept : result.kept_names) {
    if (kept.name == name) return &kept;
  }
  return nullptr;
}

// Comments go, and every space and line break but those a token or a short form needs.
TEST(LuaMinifier, DropsCommentsAndSpacesButNeededLineEnds) {
  struct Case {
    const char* code;
    const char* minified;
  };
  const Case cases[] = {
      {"-- title\nlocal a = 1 -- one\n\nprint( a )\n", "local a=1 print(a)"},
      {"x = 1 --[[ long\ncomment ]] y = 2 // slashes\n", "x=1 y=2"},
      // A short if ends with its line: the break must stay, or z joins its body.
      {"if (a) b = 1\nz = 2", "if(a)b=1\nz=2"},
      {"if (a) if (b) c = 1 else c = 2\nd = 3", "if(a)if(b)c=1 else c=2\nd=3"},
      {"while (a) a -= 1\nb = 2", "while(a)a-=1\nb=2"},
      // `?` takes the rest of its line, even after other code on the line.
      {"x = 1 ?x, 2\n?y\nz = 3", "x=1?x,2\n?y\nz=3"},
      {"if (a) ?a\nb = 1", "if(a)?a\nb=1"},
      // Line breaks that nothing needs go, long forms included.
      {"if a then\n  b = 1\nend\n", "if a then b=1 end"},
      {"s = \"a -- not a comment\" .. [[\nlong]]", "s=\"a -- not a comment\"..[[\nlong]]"},
      {"x = a - -1", "x=a- -1"},
  };
  for (const Case& c : cases) {
    const Minified m = Minify(c.code, MinifyLevel::kSpaces);
    EXPECT_EQ(m.error, "") << c.code;
    EXPECT_EQ(m.result.code, c.minified) << c.code;
  }
}

// A number's text gets shorter only where its 16.16 value is sure to be the same.
TEST(LuaMinifier, ShortensNumbersOnlyWhereTheValueIsExact) {
  struct Case {
    const char* number;
    const char* written;
  };
  const Case cases[] = {
      {"0x0010", "16"},
      {"1.0", "1"},
      {"0.5", ".5"},
      {"0x.8", ".5"},
      {"0b.1", ".5"},
      {"00012", "12"},
      {"1.50", "1.5"},
      {"0b11", "3"},
      {"0x7fff", "32767"},
      {"32767.0", "32767"},
      {"0.0625", "0x.1"},
      {"0.25", ".25"},
      {"0x0.0800", "0x.08"},
      {"0.03125", "0x.08"},  // five decimal digits: hexadecimal instead
      {"0x8000", "0x8000"},  // negative: no decimal form without a `-`
      {"0xffff", "0xffff"},
      {"0x.0001", "0x.0001"},
      {"0.1", "0.1"},                // not a whole number of 65536ths: readers round it
      {"0.3333", "0.3333"},          // likewise
      {"0.33333333", "0.33333333"},  // even where the hexadecimal would be shorter
      {"32768", "32768"},            // wraps: readers differ
      {"1000000", "1000000"},        // likewise, though 16960 would be shorter
      {"65535.99", "65535.99"},
      {"3.", "3"},
      {"12", "12"},
      {".5", ".5"},
  };
  for (const Case& c : cases) {
    const std::string code = std::string("x=") + c.number;
    const Minified m = Minify(code, MinifyLevel::kSpaces);
    EXPECT_EQ(m.error, "") << code;
    EXPECT_EQ(m.result.code, std::string("x=") + c.written) << code;
  }
  // A shorter number must still stay apart from what follows or precedes it.
  for (const char* code : {"x=1.0 ..y", "x=y.. 0.5", "x=- 1.0", "x=0x10 .. 1"}) {
    EXPECT_EQ(Minify(code, MinifyLevel::kSpaces).error, "") << code;
  }
}

// Every construct whose names resolve by scope: renamed at both renaming levels, each
// output read back must bind every name as the original did.
TEST(LuaMinifier, RenamedLocalsBindAsBefore) {
  const char* cases[] = {
      // `local a = a` reads the outer local.
      "local value = 1 do local value = value + 1 print(value) end print(value)",
      // A repeat's condition sees the block's locals.
      "local count = 0 repeat local done = count > 3 count += 1 until done print(count)",
      // Loop variables live in the body only; the limit sees the outer one.
      "local limit = 3 for limit = 1, limit do print(limit) end print(limit)",
      "for key, value in pairs(things) do print(key, value) end",
      // Upvalues captured in loops.
      "local fns = {} for index = 1, 3 do local copy = index fns[index] = function() return copy "
      "end end",
      // A global read in a local's scope must not be captured by the local's new name.
      "function step(speed) local extra = 1 return gravity + speed + extra + other end",
      "local first = 1 local second = 2 print(first) print(second, apple, banana)",
      // Shadowing at several depths, and a function that calls itself.
      "local function walk(node) if node then return walk(node.next) end local node = 2 "
      "return node end",
      // A method's `self` is implicit and keeps its name; an explicit one may change.
      "obj = {} function obj:move(step) self.x += step end function obj.jump(self, height) "
      "self.y -= height end",
      // Labels: gotos find the same labels.
      "for outer = 1, 3 do for inner = 1, 3 do if inner == 2 then goto continue end end "
      "::continue:: end ::finish:: do goto inside ::inside:: end",
      "function f() goto skip ::skip:: end function g() do goto skip end ::skip:: end",
      // A local named _ENV carries the globals: it keeps its name.
      "local _ENV = {print = print} x = 1 print(x)",
      // Varargs, nested functions, short forms.
      "function f(...) local args = {...} if (#args > 0) local head = args[1] print(head)\n"
      "return args end",
  };
  for (const char* code : cases) {
    for (MinifyLevel level : kLevels) {
      const Minified m = Minify(code, level);
      EXPECT_EQ(m.error, "") << code << " at level " << static_cast<int>(level);
    }
  }
  // The renaming happened: no long local name is left.
  const Minified m = Minify(cases[0], MinifyLevel::kLocals);
  EXPECT_EQ(m.result.code.find("value"), std::string::npos) << m.result.code;
  const Minified env = Minify(cases[11], MinifyLevel::kLocals);
  EXPECT_EQ(env.result.code.find("local _ENV="), 0u) << env.result.code;
  const Minified method = Minify(cases[8], MinifyLevel::kLocals);
  EXPECT_NE(method.result.code.find("self.x"), std::string::npos) << method.result.code;
  EXPECT_EQ(method.result.code.find("height"), std::string::npos) << method.result.code;
}

// The most used locals take the shortest names, and different functions reuse them.
TEST(LuaMinifier, ReusesTheSameShortNamesAcrossFunctions) {
  const Minified m =
      Minify("function f(alpha) return alpha * alpha end function g(beta) return beta + beta end",
             MinifyLevel::kLocals);
  ASSERT_EQ(m.error, "");
  EXPECT_EQ(m.result.code, "function f(a)return a*a end function g(a)return a+a end");
  // With a one-letter global `a` read in its scope, the local must take another name.
  const Minified global = Minify("function f(alpha) return alpha + a end", MinifyLevel::kLocals);
  ASSERT_EQ(global.error, "");
  EXPECT_EQ(global.result.code, "function f(b)return b+a end");
  // A local's own initializer reads the global it would shadow: `local a=a+1` is fine.
  const Minified own =
      Minify("function f() local alpha = a + 1 return alpha end", MinifyLevel::kLocals);
  ASSERT_EQ(own.error, "");
  EXPECT_EQ(own.result.code, "function f()local a=a+1 return a end");
  // A name is never made longer: with every one-letter name taken, a one-letter local
  // keeps its own.
  std::string code = "function f(\xa0)";
  for (char c = 'a'; c <= 'z'; ++c) code += std::string(" ") + c + "=1";
  for (char c = 'A'; c <= 'Z'; ++c) code += std::string(" ") + c + "=1";
  // (Another local there still gains enough that the renaming level is the one chosen.)
  code += " _=1 local longer_name=1 return \xa0+longer_name end";
  const Minified crowded = Minify(code, MinifyLevel::kLocals);
  ASSERT_EQ(crowded.error, "");
  EXPECT_NE(crowded.result.code.find("function f(\xa0)"), std::string::npos);
}

// Globals and fields keep their names wherever something outside the code's own names
// could reach them; the rest are renamed, consistently.
TEST(LuaMinifier, KeepsEveryGlobalOrFieldThatCanBeReachedByName) {
  struct Case {
    const char* code;
    const char* name;
    const char* reason;  // "" when it must be renamed
  };
  const Case cases[] = {
      {"function _update() player.speed = 1 end", "_update", "a console name"},
      {"function _update() player.speed = 1 end", "speed", ""},
      {"function _update() player.speed = 1 end", "player", ""},
      {"x = btnp(\x8b)", "\x8b", "a console name"},
      {"x = btnp(\x8b)", "btnp", "a console name"},
      {"setmetatable(obj, {__index = base})", "__index", "a runtime field"},
      {"args = pack(1, 2) count = args.n", "n", "a runtime field"},
      {"score = 1", "score", "kept by --keep"},
      {"local _ENV = {} hitpoints = 1", "hitpoints", "the code uses _ENV"},
      {"_ENV.speed = 1 player.speed = 2", "_ENV", "the code uses _ENV"},
      {"_ENV.speed = 1 player.speed = 2", "player", "the code uses _ENV"},
      {"_ENV.speed = 1 player.spin = 2", "spin", ""},
      {"t = {hp = 1}\nprint(t[\"hp\"])", "hp", "named by a string at line 2"},
      {"axes = split(\"pos_x,pos_y\") p = {pos_x = 1, pos_y = 2}", "pos_y",
       "named by a string at line 1"},
      {"msg = \"press to jump now\" player.jump = 1", "jump", "named by a string at line 1"},
      {"msg = \"jumping\" player.jump = 1", "jump", ""},
      {"\n\nf = obj[\"on_\" .. event] obj.on_hit = 1", "on_hit",
       "a string joined at line 3 could spell it"},
      {"f = obj[\"on \" .. event] obj.on_hit = 1", "on_hit", ""},
      {"f = obj[kind .. \"_max\"] obj.hp_max = 1", "hp_max",
       "a string joined at line 1 could spell it"},
      {"f = obj[kind .. \"_max\"] obj.max_hp = 1", "max_hp", ""},
      {"f = obj[kind .. \"hp\"] obj.hp_max = 1", "hp_max", ""},
      {"f = obj[a .. \"hp\" .. b] obj.max_hp_up = 1", "max_hp_up",
       "a string joined at line 1 could spell it"},
      {"key = \"x\" key ..= \"pos\" obj.xpos = 1", "xpos",
       "a string joined at line 1 could spell it"},
      {"f = obj[(\"on_\" .. a) .. b] obj.on_go = 1", "on_go",
       "a string joined at line 1 could spell it"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> keep{"score"};
    const Minified m = Minify(c.code, MinifyLevel::kAll, keep);
    ASSERT_EQ(m.error, "") << c.code;
    const KeptName* kept = FindKept(m.result, c.name);
    auto renamed = m.member.find(c.name);
    ASSERT_NE(renamed, m.member.end()) << c.code;
    if (*c.reason) {
      ASSERT_NE(kept, nullptr) << c.name << " in " << c.code;
      EXPECT_EQ(kept->reason, c.reason) << c.code;
      EXPECT_EQ(renamed->second, c.name) << c.code;
    } else {
      EXPECT_EQ(kept, nullptr) << c.name << " in " << c.code;
      EXPECT_LT(renamed->second.size(), std::string(c.name).size()) << c.code;
    }
  }
}

// A new name never lands on a name something can reach: a kept name, a string's word,
// a console name (`t` is one), a keyword.
TEST(LuaMinifier, NewNamesAvoidEveryReachableName) {
  const Minified m = Minify(
      "print(\"a b\") c = {} longer = 1 another = 2 third = 3 fourth = {} fourth.d = 1 "
      "fourth.e = 2 fifth = 1 sixth = 1 seventh = 1 eighth = 1 ninth = 1 tenth = 1 "
      "twelfth = 1 s = {} s.f = 1 s.g = 1 s.h = 1 s.i = 1 s.j = 1 s.k = 1 s.l = 1 s.m = 1 "
      "s.o = 1 s.p = 1 s.q = 1 s.r = 1 s.u = 1 s.v = 1 s.w = 1 s.x = 1 s.y = 1 s.z = 1",
      MinifyLevel::kAll);
  ASSERT_EQ(m.error, "");
  std::map<std::string, std::string> taken;
  for (const auto& [from, to] : m.member) {
    EXPECT_NE(to, "a") << from;  // a word of a string
    EXPECT_NE(to, "b") << from;
    EXPECT_NE(to, "t") << from;  // a console name
    EXPECT_NE(to, "do") << from;
    EXPECT_NE(to, "if") << from;
    if (from != "print") {
      EXPECT_NE(to, "print");
    }
    EXPECT_TRUE(taken.emplace(to, from).second) << from << " and " << taken[to];
  }
  // Every lower-case letter is taken or reachable, yet one-letter names remain.
  EXPECT_EQ(m.member.at("longer").size(), 1u);
}

// --minify=locals leaves every global and field as written.
TEST(LuaMinifier, LocalsLevelKeepsGlobalsAndFields) {
  const Minified m = Minify("player = {} player.speed = 1 local boost = 2 player.speed += boost",
                            MinifyLevel::kLocals);
  ASSERT_EQ(m.error, "");
  EXPECT_EQ(m.result.code, "player={}player.speed=1 local a=2 player.speed+=a");
  EXPECT_EQ(m.result.renamed, (std::array<int, kNameKinds>{1, 0, 0, 0}));
  EXPECT_EQ(m.result.kept, (std::array<int, kNameKinds>{0, 0, 1, 1}));
  ASSERT_EQ(m.result.kept_names.size(), 2u);
  EXPECT_EQ(m.result.kept_names[0].name, "player");
  EXPECT_EQ(m.result.kept_names[0].kind, NameKind::kGlobal);
  EXPECT_EQ(m.result.kept_names[1].name, "speed");
  EXPECT_EQ(m.result.kept_names[1].kind, NameKind::kField);
}

// Counts of each kind, and kept names in order of first appearance.
TEST(LuaMinifier, CountsRenamedAndKeptNamesByKind) {
  const Minified m = Minify(
      "function _init() local speed, size = 1, 2 player = {speed = speed} ::top:: "
      "player.size = size goto top end player.hp = \"hp\"",
      MinifyLevel::kAll);
  ASSERT_EQ(m.error, "");
  // Locals speed, size; label top; globals _init (kept), player; fields speed, size,
  // hp (kept: a string names it).
  EXPECT_EQ(m.result.renamed, (std::array<int, kNameKinds>{2, 1, 1, 2}));
  EXPECT_EQ(m.result.kept, (std::array<int, kNameKinds>{0, 0, 1, 1}));
  ASSERT_EQ(m.result.kept_names.size(), 2u);
  EXPECT_EQ(m.result.kept_names[0].name, "_init");
  EXPECT_EQ(m.result.kept_names[1].name, "hp");
  EXPECT_EQ(m.result.kept_names[1].reason, "named by a string at line 1");
}

// Code with nothing to drop stays as it is.
TEST(LuaMinifier, NeverGrowsAlreadySmallCode) {
  for (const char* code : {"a=1", "x=0xffff", "?1", "a.b=c", "local a=b", "f(1)"}) {
    for (MinifyLevel level : kLevels) {
      const Minified m = Minify(code, level);
      EXPECT_EQ(m.error, "") << code;
      EXPECT_LE(m.result.code.size(), std::string(code).size()) << code;
    }
  }
}

// Generated programs of every construct, at every level: the same tree, never larger,
// and the full minify never larger than the locals-only one.
TEST(LuaMinifier, GeneratedProgramsKeepTheirTrees) {
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    const std::string code = testing::GenerateLuaProgram(seed, 300 + seed * 20);
    size_t sizes[3] = {};
    for (int i = 0; i < 3; ++i) {
      const Minified m = Minify(code, kLevels[i]);
      ASSERT_EQ(m.error, "") << "seed " << seed << " level " << i << "\n" << code;
      sizes[i] = m.result.code.size();
    }
    EXPECT_LE(sizes[1], sizes[0]) << "seed " << seed;
    EXPECT_LE(sizes[2], sizes[1]) << "seed " << seed;
  }
}

}  // namespace
}  // namespace brasswick
