// The step every cartridge-reading command begins with: load the input cartridge and
// record the load failure when it cannot be read.
#ifndef BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_
#define BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_reader.h"
#include "cart/cart_source.h"

namespace brasswick {

// Prints "Loading p8 file..." when verbose and loads the resolved path. None when it
// cannot be loaded, with failure 129 "Failed to load p8 file:" and the path recorded.
std::optional<CartDocument> LoadInputCartridge(const std::string& input_path);

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

// The label a picture or player shows: the picture's label window, or the first 128 x
// 128 picture embedded in the player's page (as setlabel finds it), each pixel the
// nearest of the 32 label colours by its red, green and blue upper six bits. None for
// the other forms, or a player without a page or label picture.
// A player's page text, when the reader kept it, is taken over (left empty) rather
// than copied or read again.
std::optional<LabelPixels> CartFileLabel(CartFile& file);

// Prints "Loading p8 file..." when verbose and reads the resolved path by ReadCartFile.
// with_label also takes a picture's or player's label: the picture's label window, or
// the first 128 x 128 picture embedded in the player's page, each pixel the nearest of
// the 32 label colours by its red, green and blue upper six bits. None when the input
// is no cartridge (a raw ROM included), with failure 129 "Failed to load p8 file:" and the path
// recorded.
std::optional<ExportCartridge> LoadExportCartridge(const std::string& input_path, bool with_label);

// The player script at script_path with the first cart of its cartridge list holding
// bytes (as many values as that cart has: its ROM, and its trailer when the list keeps
// one), its other carts and every other byte as they were, a value whose byte did not
// change included (the script is read again: the reader keeps only its list). None, with
// failure 157 "Failed to find a player's cartridge list in:" and shown_path recorded,
// when script_path is empty, the script cannot be read or holds no list, or memory runs
// out.
std::optional<std::string> PlayerScriptHolding(const std::string& script_path,
                                               std::span<const uint8_t> bytes,
                                               const std::string& shown_path);

// CheckOutputIsNotInput against every file the cartridge was read from: false, with
// the failure recorded, when the output is one of them.
bool CheckOutputIsNotRead(const ExportCartridge& cartridge, const std::string& output_path);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_
