// The one reader of a cartridge file whatever its form, told by content, never by name:
// a .p8 text cartridge, a .p8.png cartridge picture, a raw ROM, or an exported player
// (its page or its script). Every command that takes "a cartridge" starts here, so that they all
// agree on what a file is and on which files a player's cartridge is read from.
//
// Nothing here prints; failure is the result.
#ifndef BRASSWICK_CART_CART_READER_H_
#define BRASSWICK_CART_CART_READER_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "runtime/platform/file_access.h"

namespace brasswick {

enum class CartForm {
  kText,     // a .p8 document
  kPicture,  // a .p8.png cartridge picture
  kPlayer,   // an exported player: a page, a script, or a page carrying its own list
  kRom,      // the bare memory image, with or without the 32 bytes after it
};

struct CartFile {
  CartForm form = CartForm::kText;
  // kText: the document.
  std::optional<CartDocument> document;
  // kPicture: the decoded picture, marked to be saved as 32-bit RGBA.
  ImagePtr picture;
  // kPicture, kPlayer and kRom: the kCartPayloadSize bytes the cartridge carries (a
  // bare ROM padded with zeros). Empty for a page whose cartridge was not found (no
  // script holds a list, or the list is never closed, a cut-off script): a page all the
  // same, but no cartridge.
  CartPayload payload;
  // Whether the payload's last 32 bytes came from the file: false for a bare ROM and
  // for a player whose list holds whole ROMs only (its first cart's, and any others').
  bool has_trailer = false;
  // kPlayer: how many carts the list holds; the payload is the first's, the one that
  // boots. A writer keeps the others as they are.
  size_t cart_count = 0;
  // kPlayer: the script is an old console's (IsOldPlayerScript), which runs only
  // old-format or plain code.
  bool old_console = false;
  // kPlayer: the file that holds the "_cartdat" list (the input itself, or the script a
  // page leads to), and the page that shows the player ("" when a script has none
  // beside it). A single-file player is both.
  std::string script_path;
  std::string page_path;
  // kPlayer: the page's text, decoded, when it was read whole on the way (the input
  // page, or the page found beside a script input), so that reading its pictures needs
  // no second read; else empty.
  std::string page_text;
  // Every file that was read, the input first. A command writes over none of them
  // unless it edits the input in place.
  std::vector<std::string> read_paths;
};

// Reads path as the first form it is:
// - a .p8 text cartridge (a file that begins with "pico-8 cartridge");
// - a cartridge picture: a PNG, JPEG or BMP whose header declares 160 x 205, decoded
//   with alpha;
// - a raw ROM: any other file of exactly kCartRomSize or kCartPayloadSize bytes;
// - a player page, told by its markup (its first character after blanks and a
//   byte-order mark is "<"): its cartridge is its own "_cartdat=[...]" list when it
//   carries one; else that of the first script that holds one (a list never closed
//   passed over) of: the scripts its <script src=...> tags name (relative to the page,
//   a query or fragment cut off, other hosts and data left out), the page's name with
//   ".js", then "index.js" in its folder. A list never closed leaves the payload empty
//   with script_path the first such script;
// - a player script: any other text holding "_cartdat=[" (letter case ignored); its
//   page is found by FindPageForScript. A list that is never closed makes it none.
// None when the file cannot be read or is none of these. The file at path is read by
// `files`; a page or script a player names beside it by the real file system.
//
// With kFormOnly a player is only told apart, for a command that edits the page and
// needs no cartridge: no script is looked for or read, no list is parsed, and the
// payload stays empty (a script's script_path is itself).
enum class CartContent { kWhole, kFormOnly };
std::optional<CartFile> ReadCartFile(const std::string& path,
                                     CartContent content = CartContent::kWhole,
                                     FileAccess& files = RealFiles());

// Whether text is markup: its first character after blanks and a byte-order mark is "<".
bool IsMarkupText(std::string_view text);

// The page of a player script at path whose text is script_text: "" when the text is
// markup itself or holds no "_cartdat"; else the first of the script's name with
// ".html", with ".htm", "index.html" and "index.htm" in its folder that is not path
// itself and holds ".p8_menu_button", or "" when none does. The page's text, decoded,
// goes to *page_text when a page is found and page_text is not null.
std::string FindPageForScript(const std::string& path, std::string_view script_text,
                              std::string* page_text = nullptr);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_READER_H_
