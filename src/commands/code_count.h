// The editor's figures for a cartridge's code (tokens, characters, the compressed code
// area), and what a cartridge that already holds its code compressed takes now: counted,
// printed, and held against the limits a cartridge sets.
#ifndef BRASSWICK_COMMANDS_CODE_COUNT_H_
#define BRASSWICK_COMMANDS_CODE_COUNT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cart/cart_document.h"
#include "code/lua_lexer.h"
#include "forms/cart_rom.h"

namespace brasswick {

struct CodeFigures {
  int tokens = 0;
  size_t characters = 0;
  // The size of the stream brasswick's compressor makes of the code, which is what a
  // convert writes; none for code past kMaxCodeLength, which no stream can state.
  std::optional<size_t> compressed;
  // The bytes of the code area a cartridge's compressed code takes now; none for a .p8
  // and for plain code.
  std::optional<size_t> stored;
};

// The size of the stream brasswick's compressor makes of code; none past kMaxCodeLength,
// which no stream can state.
std::optional<size_t> CompressedSizeOf(std::string_view code);

// Code that all came from the file at path, from its first line.
SourceMap SourceMapOfFile(const std::string& path);

// Where each stretch of a .p8's code came from, for placing what is found in it.
SourceMap SourceMapOfSpans(const std::vector<CodeSpan>& spans);

// The figures of code (one byte a character), stream_size being the compressed one when
// already known. Tokens are counted without a parse; a lexical or syntax error is printed
// as "Warning: FILE:LINE:COLUMN: message" (placed through map) and the count goes on.
CodeFigures CountCode(std::string_view code, std::optional<size_t> stream_size,
                      const SourceMap& map);

// The figures of the .p8 at path, its includes put in, whatever its length. None, with
// the failure recorded, when its code cannot be read.
std::optional<CodeFigures> CountP8Code(const CartDocument& document, const std::string& path);

// The figures of the ROM of a picture, player or raw ROM read from path, and what its
// code area takes now.
CodeFigures CountRomCode(const RomCartridge& cartridge, const std::string& path);

// "tokens: N of 8192 (P%)", "characters: N of 65535 (P%)", "compressed: N of 15616 (P%)"
// (left out when there is no compressed figure) and "stored: N of 15616 (P%)" when
// there is a stored one, each printed as a notice.
void PrintCodeFigures(const CodeFigures& figures);

// The figures past their limits as "8200 tokens, 8192 fit", joined by "; "; "" when all
// fit.
std::string FiguresPastLimits(const CodeFigures& figures);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_CODE_COUNT_H_
