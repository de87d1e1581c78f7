// What the commands share around a cartridge: loading it with the load failure recorded
// when it cannot be read, wording the forms room's failures and the writer's, and
// refusing an output that is one of the files read.
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
#include "forms/cart_writer.h"

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

// Records a failed WriteCartFile, worded for its problem and the form written: 155
// "Failed to write the cartridge's code as text:" or 153 "Failed to read a cartridge
// from:" with input_path; 130 "Failed to generate cartridge image"; 157 "Failed to find a
// player's cartridge list in:" with list_path; the code's misfit for an old console's
// player (RecordFormFailure); a failed save as 131 (picture), 151 "Failed to save ROM
// file:" or 141 "Failed to save destination file:", with the path written and what
// became of it.
void RecordCartWriteFailure(const CartWriteFailure& failure, CartOutput form,
                            const std::string& input_path, const std::string& list_path);

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
