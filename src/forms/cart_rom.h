// A cartridge as the console holds it, whatever form it came in: its ROM, the 32 bytes
// after it, its code as one byte a character, its version and the label it shows. A
// .p8 is assembled here (its data sections, its code with every "#include" put in and
// compressed, a trailer of its version and hash); every other form carries the ROM.
//
// Nothing here prints. A failure is the result's none, with a FormFailure that says
// what went wrong and where, for the caller to word.
#ifndef BRASSWICK_FORMS_CART_ROM_H_
#define BRASSWICK_FORMS_CART_ROM_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cart/cart_code.h"
#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_layout.h"
#include "cart/cart_reader.h"
#include "cart/cart_rom_text.h"
#include "cart/cart_source.h"

namespace brasswick {

enum class FormProblem {
  kNone,
  kIncludeUnreadable,  // an included file cannot be read
  kIncludeTooLarge,    // an included file is larger than kMaxCartFileSize (limit)
  kIncludeNotText,     // an included file holds a zero byte: a picture, a ROM
  kIncludeLoop,        // an included file includes itself
  kIncludesTooMany,    // includes multiply past kMaxIncludesExpanded or kMaxIncludedBytes
  kCodeTooLong,        // the code passes kMaxCodeLength (size; 0 when known only to pass it)
  kCharacterUnknown,   // a .p8's code holds a character no byte stands for (detail: where)
  kCodeTooBig,         // the compressed code passes the code area (size, limit)
  kHashMismatch,       // a trailer's hash does not match its ROM
  kCodeDamaged,        // the code area cannot be decoded
};

struct FormFailure {
  FormProblem problem = FormProblem::kNone;
  std::string path;  // the file the problem is in
  size_t size = 0;
  size_t limit = 0;
  // kCharacterUnknown: "line L, column C (U+XXXX)"; kCodeTooBig: what did not fit, when
  // not the compressed code ("the code": plain bytes).
  std::string detail;
};

// The bounds on putting includes in, counting every repeat.
inline constexpr size_t kMaxIncludesExpanded = 4096;
inline constexpr size_t kMaxIncludedBytes = 32 * 1024 * 1024;

// What every output made from the ROM needs.
struct RomCartridge {
  CartPayload payload;  // kCartPayloadSize bytes: the ROM and its trailer
  int version = kDefaultP8Version;
  std::string code;  // one byte a character
  std::optional<LabelPixels> label;
  // The size of the stream the code was compressed to here (a .p8's), so that a count
  // need not compress it again.
  std::optional<size_t> stream_size;
};

// Every file the code of the .p8 at path includes, at any depth, each once, in the
// order first met. Files that cannot be read, loops and what passes the bounds are
// passed over: this is only which files the code reads.
std::vector<std::string> IncludedFiles(const CartDocument& document, const std::string& path);

// A stretch of a .p8's code that came from one file: from code_offset to the next
// span's, its first line being line `line` of the file at path.
struct CodeSpan {
  size_t code_offset = 0;
  std::string path;
  size_t line = 1;
};

// The code of the .p8 at path as ROM bytes (one a character), its includes put in
// (FILE relative to the .p8's folder; a .p8 gives its "lua" section, any other file its
// text). None, with *failure set, for an include that fails, a character with no byte,
// or code longer than max_length. When spans is given, it receives where each stretch
// of the code came from, in code order (the .p8's own lines counted from its first
// line, a .p8 included from its "lua" section's). When included is given, it receives
// every file the code includes that was met, as IncludedFiles gives them, also when the
// expansion fails.
std::optional<std::string> P8Code(const CartDocument& document, const std::string& path,
                                  FormFailure* failure, std::vector<CodeSpan>* spans = nullptr,
                                  size_t max_length = kMaxCodeLength,
                                  std::vector<std::string>* included = nullptr);

// Puts code (one byte a character) into the cartridge: compressed (the smaller of the
// compressor's streams) into its code area, the rest of the area zero, the trailer's
// hash refreshed, cartridge.code and stream_size set. False, with *failure set and the
// cartridge unchanged, for code longer than kMaxCodeLength (kCodeTooLong) or a stream
// larger than the area (kCodeTooBig); path is the file named in the failure.
bool PutRomCode(RomCartridge& cartridge, std::string code, const std::string& path,
                FormFailure* failure);

// The ROM cartridge the .p8 at path makes with the code given (as P8Code gives it, or
// minified): its data sections, the code put in by PutRomCode, a trailer of its version,
// its label section. None, with *failure set, as PutRomCode.
std::optional<RomCartridge> RomOfCode(const CartDocument& document, const std::string& path,
                                      std::string code, FormFailure* failure);

// The ROM cartridge a picture, player or raw ROM carries (file.payload is taken over),
// with the label it shows (CartFileLabel) when with_label. A ROM without its 32 bytes
// gets a trailer made of the default version and its hash. None, with *failure set,
// for a trailer hash that does not match (kHashMismatch) or code that cannot be decoded
// (kCodeDamaged).
std::optional<RomCartridge> RomOfFile(CartFile& file, const std::string& path, bool with_label,
                                      FormFailure* failure);

// The label a picture or player shows: the picture's label window, or the first 128 x
// 128 picture embedded in the player's page, each pixel the nearest of the 32 label
// colours by its red, green and blue upper six bits. None for the other forms, a player
// without a page or label picture. A player's page text, when the reader kept it, is
// taken over (left empty) rather than copied or read again.
std::optional<LabelPixels> CartFileLabel(CartFile& file);

// What an export reads from its input.
struct ExportCartridge {
  CartSource source;
  // Every file the load read: the input, and for a player the script or page beside it.
  // An export writes over none of them.
  std::vector<std::string> read_paths;
  // What default outputs are named after: the input's name without its extension, or
  // without ".p8.png" (in any letter case) for a cartridge picture so named.
  std::string stem;
};

// What an export reads from the cartridge file at path (read by ReadCartFile): its sheet, map and
// label source (with the label it shows when with_label), the files read, and the stem default
// outputs are named after (the name without its extension, or without ".p8.png" in any
// letter case for a cartridge picture so named). None for a raw ROM (the exports read a
// game's three forms), a file that is no cartridge and a page whose cartridge was not
// found.
std::optional<ExportCartridge> ReadExportCartridge(const std::string& path, bool with_label);

}  // namespace brasswick

#endif  // BRASSWICK_FORMS_CART_ROM_H_
