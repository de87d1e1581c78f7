// What the commands share around a cartridge: loading it with the load failure recorded
// when it cannot be read, wording the forms room's failures, putting bytes into a
// player's list, and refusing an output that is one of the files read.
#ifndef BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_
#define BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_reader.h"
#include "cart/cart_source.h"
#include "forms/cart_rom.h"

namespace brasswick {

// Prints "Loading p8 file..." when verbose and loads the resolved path. None when it
// cannot be loaded, with failure 129 "Failed to load p8 file:" and the path recorded.
std::optional<CartDocument> LoadInputCartridge(const std::string& input_path);

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

// "Failed to fit WHAT in a cartridge (SIZE bytes, LIMIT fit):" and the path, with the
// failure code given.
void RecordTooBig(int64_t failure, std::string_view what, size_t size, size_t limit,
                  const std::string& path);

// Records a failure to read a cartridge's ROM or code, worded for its problem: 154 for
// a damaged cartridge, 155 for a character, 158 and 159 for code that does not fit, 160
// and 161 for an include, 167 for includes past their bounds. Nothing for kNone.
void RecordFormFailure(const FormFailure& failure);

// CheckOutputIsNotInput against every file that was read (but the one being edited in
// place, when given): false, with the failure recorded, when the output is one of them.
bool CheckOutputIsNotRead(const std::vector<std::string>& read_paths,
                          const std::string& output_path, const std::string& edited = "");
bool CheckOutputIsNotRead(const ExportCartridge& cartridge, const std::string& output_path);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_CARTRIDGE_INPUT_H_
