// Writing a cartridge out in one of its forms, beside the reader that reads them all:
// the .p8 text of a ROM, its code as .lua, a cartridge picture (the template with titles
// and label, or a picture edited in place), the raw ROM, and a player's script holding
// it; and a cartridge file written back in its own form once its ROM is edited. Every file goes
// through the atomic writer.
//
// Nothing here prints. A failure is false, with a CartWriteFailure that says what went
// wrong, for the caller to word.
#ifndef BRASSWICK_FORMS_CART_WRITER_H_
#define BRASSWICK_FORMS_CART_WRITER_H_

#include <optional>
#include <span>
#include <string>
#include <utility>

#include "forms/cart_rom.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"

namespace brasswick {

enum class CartOutput { kText, kLua, kPicture, kRom, kPlayer };

struct CartWriteOptions {
  // kPicture: the picture to encode the cartridge into (an edit in place, its titles and
  // label kept); null for the template, drawn with `titles` (none: the code's first
  // comment lines) and `label` (null: the cartridge's own label; without one the
  // template's empty window stays).
  RgbaImage* picture = nullptr;
  std::optional<std::pair<std::string, std::string>> titles;
  const RgbaImage* label = nullptr;
  // Whether a label that cannot be drawn is passed over (the picture made without it,
  // `label_skipped` set) rather than failing the picture.
  bool label_may_fail = false;
  // kRom: whether the 32 bytes after the ROM are written too.
  bool rom_trailer = false;
  // kPlayer: the script whose list's first cart takes the cartridge (the rest of the
  // script byte for byte; written to the path given), and whether it is an old
  // console's, whose code must be plain or in the old format.
  std::string player_script;
  bool old_console = false;
};

enum class WriteProblem {
  kNone,
  kCodeNotText,   // kText, kLua: the code holds a zero byte, which no character stands for
  kShortPayload,  // kText: the payload is shorter than a ROM
  kMakePicture,   // the picture could not be made (template, label, titles, payload)
  kNoPlayerList,  // the player script cannot be read or holds no cartridge list
  kCodeUnsuited,  // an old console's player: `form` says why the code does not fit it
  kSave,          // writing the file failed: `opened`, `saved` say how
};

struct CartWriteFailure {
  WriteProblem problem = WriteProblem::kNone;
  std::string path;     // the file being written
  bool opened = false;  // kSave: whether the file was opened before the write failed
  WriteResult saved;    // kSave: what became of a file rewritten in place
  FormFailure form;     // kCodeUnsuited
  // Set on success too: the label was passed over (label_may_fail).
  bool label_skipped = false;
};

// Writes the cartridge to path in the given form; false with *failure set otherwise
// (nothing written then, and an existing file untouched but as `saved` says).
bool WriteCartFile(const RomCartridge& cartridge, CartOutput form, const std::string& path,
                   const CartWriteOptions& options, CartWriteFailure* failure);

// The cartridge file ReadCartFile read, its ROM edited, written back in its own form to
// path: a .p8's "gfx" and "map" sections rewritten where their bytes changed (created in
// the console's order when missing; every other line as it was), a picture's pixels
// re-encoded, a ROM with its 32 bytes after it when it had them (their hash refreshed),
// a player's script with its list's first cart holding the edit. memory is the payload
// as read (a .p8's as P8DataToRom gives it), before a copy of it as read. False with
// *failure set otherwise, as WriteCartFile.
bool WriteEditedCartFile(CartFile& file, std::span<uint8_t> memory, std::span<const uint8_t> before,
                         const std::string& path, CartWriteFailure* failure);

// Saves a cartridge picture as a 32-bit RGBA PNG whatever the path's ending, for any
// other format would lose the game its pixels carry.
WriteResult SaveCartPictureFile(const RgbaImage& picture, const std::string& path);

// The console's titles for a cartridge picture: the code's first line when it is a
// "--" comment, and the second when both are, each without its dashes, as text.
std::pair<std::string, std::string> TitlesOfCode(std::string_view code);

}  // namespace brasswick

#endif  // BRASSWICK_FORMS_CART_WRITER_H_
