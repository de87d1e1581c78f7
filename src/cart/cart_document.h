// A loaded .p8 text cartridge: every line of the file, grouped into sections by their
// marker lines ("__gfx__", "__lua__", ...), in file order. The document keeps the
// contents of sections as text; the hex data of gfx, map and label is read and
// written by cart_layout.h.
#ifndef BRASSWICK_CART_CART_DOCUMENT_H_
#define BRASSWICK_CART_CART_DOCUMENT_H_

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brasswick {

struct CartSection {
  // The marker line exactly as read ("__gfx__", "__GFX__"); empty for the header section.
  std::string name;
  // The section's lines, without their line breaks.
  std::vector<std::string> lines;
};

struct CartDocument {
  // Absolute (or cwd-prefixed) path of the loaded file.
  std::string path;
  // "\r\n" when the first 128 characters of the file hold "\r\n", else "\n".
  std::string newline = "\n";
  // File order; the first is always the header section (empty name). A deque, so that
  // appending a section leaves pointers to the others valid.
  std::deque<CartSection> sections;
};

// Loads a .p8 text cartridge. None when the file cannot be read or does not begin
// (after an optional UTF-8 byte-order mark) with "pico-8 cartridge". A byte-order mark
// is kept as the first bytes of the first header line, so saving writes it back.
// Lines end at "\n", "\r\n", a lone "\r" or a NUL byte; bytes are kept as they are.
std::optional<CartDocument> LoadCartDocument(const std::string& path);

// Writes every section (marker line, then lines), each line followed by the document's
// newline, through the atomic writer. False when the file cannot be written; the
// target is then left as it was.
bool SaveCartDocument(const CartDocument& document, const std::string& path);

// The marker a lookup name stands for: lower case, wrapped in "__" where missing
// ("gfx", "__gfx" and "GFX" all give "__gfx__"). An empty name stays empty.
std::string NormalizeSectionName(std::string_view name);

// The first section whose marker equals NormalizeSectionName(name) exactly (an empty
// name finds the header section). When none matches and create is set, an empty
// section with the normalised marker is appended and returned. The pointer stays
// valid until a section is removed from the document.
CartSection* FindSection(CartDocument& document, std::string_view name, bool create = false);
const CartSection* FindSection(const CartDocument& document, std::string_view name);

bool HasSection(const CartDocument& document, std::string_view name);
// Removes the lines of the first matching section, keeping its marker. False for an
// empty name (the header section is never cleared) or when nothing matches.
bool ClearSection(CartDocument& document, std::string_view name);
// Removes the first matching section with its marker. False for an empty name or when
// nothing matches.
bool DeleteSection(CartDocument& document, std::string_view name);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_DOCUMENT_H_
