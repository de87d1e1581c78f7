#include "commands/code_count.h"

#include <cstdio>
#include <limits>
#include <new>
#include <utility>

#include "cart/cart_code.h"
#include "cart/cart_memory.h"
#include "cart/code_compressor.h"
#include "code/lua_parser.h"
#include "code/token_count.h"
#include "commands/cartridge_input.h"
#include "commands/failure_codes.h"
#include "console/console.h"

namespace brasswick {
namespace {

std::string FigureLine(std::string_view name, size_t value, size_t limit) {
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.1f%%",
                100.0 * static_cast<double>(value) / static_cast<double>(limit));
  return std::string(name) + ": " + std::to_string(value) + " of " + std::to_string(limit) + " (" +
         percent + ")";
}

// A figure and the most that fits.
struct Limit {
  std::string_view unit;
  size_t value;
  size_t limit;
};

std::vector<Limit> LimitsOf(const CodeFigures& figures) {
  std::vector<Limit> limits = {
      {"tokens", static_cast<size_t>(figures.tokens), kTokenLimit},
      {"characters", figures.characters, kMaxCodeLength},
  };
  if (figures.compressed)
    limits.push_back({"compressed bytes", *figures.compressed, kCodeAreaSize});
  return limits;
}

}  // namespace

std::optional<size_t> CompressedSizeOf(std::string_view code) {
  // Within the length a stream can state, the compressor always makes one.
  if (code.size() > kMaxCodeLength) return std::nullopt;
  return CompressCode(code)->size();
}

SourceMap SourceMapOfFile(const std::string& path) {
  SourceMap map;
  map.segments.push_back({0, path, 1, 0});
  return map;
}

SourceMap SourceMapOfSpans(const std::vector<CodeSpan>& spans) {
  SourceMap map;
  for (const CodeSpan& span : spans) {
    map.segments.push_back(
        {static_cast<uint32_t>(span.code_offset), span.path, static_cast<uint32_t>(span.line), 0});
  }
  return map;
}

CodeFigures CountCode(std::string_view code, std::optional<size_t> stream_size,
                      const SourceMap& map) {
  CodeFigures figures;
  figures.characters = code.size();
  const LexedCode lexed = LexCode(code);
  figures.tokens = CountTokens(lexed).tokens;
  // The parse only finds what to warn of: the count stands without it.
  CodeError error;
  if (!ParseCode(lexed, &error)) PrintNotice("Warning: " + FormatCodeError(lexed, error, &map));
  figures.compressed = stream_size ? stream_size : CompressedSizeOf(code);
  return figures;
}

std::optional<CodeFigures> CountP8Code(const CartDocument& document, const std::string& path) {
  FormFailure failure;
  std::vector<CodeSpan> spans;
  std::optional<std::string> code =
      P8Code(document, path, &failure, &spans, std::numeric_limits<size_t>::max());
  if (!code) {
    RecordFormFailure(failure);
    return std::nullopt;
  }
  return CountCode(*code, std::nullopt, SourceMapOfSpans(spans));
}

CodeFigures CountRomCode(const RomCartridge& cartridge, const std::string& path) {
  CodeFigures figures = CountCode(cartridge.code, cartridge.stream_size, SourceMapOfFile(path));
  figures.stored = StoredCodeSize(
      std::span<const uint8_t>(cartridge.payload.data() + kCodeAreaStart, kCodeAreaSize));
  return figures;
}

void PrintCodeFigures(const CodeFigures& figures) {
  PrintNotice(FigureLine("tokens", static_cast<size_t>(figures.tokens), kTokenLimit));
  PrintNotice(FigureLine("characters", figures.characters, kMaxCodeLength));
  if (figures.compressed) PrintNotice(FigureLine("compressed", *figures.compressed, kCodeAreaSize));
  if (figures.stored) PrintNotice(FigureLine("stored", *figures.stored, kCodeAreaSize));
}

std::string FiguresPastLimits(const CodeFigures& figures) {
  std::string past;
  for (const Limit& limit : LimitsOf(figures)) {
    if (limit.value <= limit.limit) continue;
    if (!past.empty()) past += "; ";
    past += std::to_string(limit.value) + " " + std::string(limit.unit) + ", " +
            std::to_string(limit.limit) + " fit";
  }
  return past;
}

}  // namespace brasswick
