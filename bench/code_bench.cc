// Times lexing, counting and parsing generated code of the console's full size (65,535
// characters), best of several runs, and prints one line per stage in milliseconds.
//   code_bench [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "code/lua_lexer.h"
#include "code/lua_parser.h"
#include "code/lua_program_generator.h"
#include "code/token_count.h"

namespace {

template <typename Work>
double BestMilliseconds(int runs, Work work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
  std::string code = brasswick::testing::GenerateLuaProgram(7, 65000);
  if (code.size() > 65535) code.resize(code.rfind('\n', 65535) + 1);
  size_t tokens = 0;
  bool parsed = true;
  const double lex =
      BestMilliseconds(runs, [&] { tokens = brasswick::LexCode(code).tokens.size(); });
  const double count = BestMilliseconds(runs, [&] { brasswick::CountTokens(code); });
  const double both = BestMilliseconds(runs, [&] {
    const brasswick::LexedCode lexed = brasswick::LexCode(code);
    brasswick::CodeError error;
    parsed = brasswick::ParseCode(lexed, &error).has_value();
  });
  std::printf("code: %zu characters, %zu tokens (trivia included), parsed: %s\n", code.size(),
              tokens, parsed ? "yes" : "NO");
  std::printf("lex          %8.3f ms\n", lex);
  std::printf("lex+count    %8.3f ms\n", count);
  std::printf("lex+parse    %8.3f ms\n", both);
  return parsed ? 0 : 1;
}
