// Measures the minifier on a fixed corpus of generated games of the sizes real games
// have: for each game and in total, the characters, tokens and compressed bytes of the
// code as written and at each level, what each level saves over the one before, and
// how long the minify alone takes (best of several runs). Each minified game is parsed
// again; one that no longer parses, or grew, is marked and the exit status is 1.
//   minify_corpus [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cart/code_compressor.h"
#include "code/game_code_generator.h"
#include "code/lua_minifier.h"
#include "code/lua_parser.h"
#include "code/token_count.h"

namespace {

using brasswick::MinifyLevel;

struct Game {
  uint32_t seed;  // its style is the seed's (see GameStyles)
  size_t size;
};
// Small jam games to big commented ones; the largest sizes go to the wordy styles,
// whose games of that size still keep to the token limit, save the last one.
constexpr Game kCorpus[] = {{3, 8000},  {2, 12000}, {5, 16000}, {0, 20000},
                            {1, 24000}, {9, 28000}, {8, 30000}, {11, 36000},
                            {6, 42000}, {7, 46000}, {4, 48000}, {10, 65000}};

constexpr MinifyLevel kLevels[] = {MinifyLevel::kSpaces, MinifyLevel::kLocals, MinifyLevel::kAll};
constexpr const char* kLevelNames[] = {"written", "spaces", "locals", "all"};
constexpr size_t kRows = 4;

struct Figures {
  size_t characters = 0;
  size_t tokens = 0;
  size_t compressed = 0;
  double milliseconds = 0;
};

Figures Measure(const std::string& code) {
  Figures figures;
  figures.characters = code.size();
  figures.tokens = static_cast<size_t>(brasswick::CountTokens(code).tokens);
  const std::optional<std::string> stream = brasswick::CompressCode(code);
  figures.compressed = stream ? stream->size() : 0;  // 0: longer than the code limit
  return figures;
}

double Saving(size_t before, size_t after) {
  return before == 0 ? 0.0 : 100.0 * (static_cast<double>(before) - after) / before;
}

void PrintRow(const char* game, const char* level, const Figures& row, const Figures* before) {
  std::printf("%-16s %-8s %7zu %6zu %7zu", game, level, row.characters, row.tokens, row.compressed);
  if (before) {
    std::printf("  %6.1f%% %6.1f%% %8.2f", Saving(before->characters, row.characters),
                Saving(before->compressed, row.compressed), row.milliseconds);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  bool all_sound = true;
  Figures total[kRows];
  std::printf("%-16s %-8s %7s %6s %7s  %7s %7s %8s\n", "game", "level", "chars", "tokens", "packed",
              "chars-", "packed-", "ms");
  for (const Game& game : kCorpus) {
    const std::string code = brasswick::testing::GenerateGameCode(game.seed, game.size);
    const brasswick::LexedCode lexed = brasswick::LexCode(code);
    brasswick::CodeError error;
    const std::optional<brasswick::SyntaxTree> tree = brasswick::ParseCode(lexed, &error);
    const std::string label =
        std::to_string(game.seed) + " " + brasswick::testing::GameStyleOf(game.seed).name;
    if (!tree) {
      std::printf("%-16s does not parse: %s\n", label.c_str(),
                  brasswick::FormatCodeError(lexed, error).c_str());
      all_sound = false;
      continue;
    }
    Figures rows[kRows] = {Measure(code)};
    std::string notes;
    for (size_t level = 0; level < std::size(kLevels); ++level) {
      brasswick::MinifyOptions options;
      options.level = kLevels[level];
      brasswick::MinifyResult result;
      double best = 1e9;
      for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        result = brasswick::MinifyCode(lexed, *tree, options);
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
      }
      rows[level + 1] = Measure(result.code);
      rows[level + 1].milliseconds = best;
      const brasswick::LexedCode minified = brasswick::LexCode(result.code);
      brasswick::CodeError minified_error;
      if (!brasswick::ParseCode(minified, &minified_error)) {
        notes += std::string("  ") + kLevelNames[level + 1] +
                 " does not parse: " + brasswick::FormatCodeError(minified, minified_error) + "\n";
        all_sound = false;
      } else if (rows[level + 1].characters > rows[0].characters ||
                 rows[level + 1].tokens > rows[0].tokens) {
        notes += std::string("  ") + kLevelNames[level + 1] + " grew\n";
        all_sound = false;
      }
    }
    for (size_t row = 0; row < kRows; ++row) {
      PrintRow(row == 0 ? label.c_str() : "", kLevelNames[row], rows[row],
               row == 0 ? nullptr : &rows[row - 1]);
      total[row].characters += rows[row].characters;
      total[row].tokens += rows[row].tokens;
      total[row].compressed += rows[row].compressed;
      total[row].milliseconds += rows[row].milliseconds;
    }
    if (rows[0].tokens > static_cast<size_t>(brasswick::kTokenLimit)) {
      notes += "  over the token limit as written\n";
    }
    std::printf("%s", notes.c_str());
  }
  for (size_t row = 0; row < kRows; ++row) {
    PrintRow(row == 0 ? "total" : "", kLevelNames[row], total[row],
             row == 0 ? nullptr : &total[row - 1]);
  }
  std::printf("saved in all: %.1f%% of the characters, %.1f%% of the compressed bytes\n",
              Saving(total[0].characters, total[kRows - 1].characters),
              Saving(total[0].compressed, total[kRows - 1].compressed));
  return all_sound ? 0 : 1;
}
