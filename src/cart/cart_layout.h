// The byte layouts of a cartridge's picture data. The "gfx", "map" and "label" sections
// of a .p8 hold bytes as lines of hex digit pairs; these functions turn them into byte
// buffers and back, and fix how the sprite sheet and the map share memory.
//
// Sprite sheet: 128 x 128 pixels, 8192 bytes, 64 bytes a pixel row; byte k of row y
// holds pixel 2k in its high nibble and pixel 2k + 1 in its low nibble (the digit order
// of the gfx text). Sprite n covers columns (n % 16) * 8.. and rows (n / 16) * 8...
// Map: 128 x 64 cells, one sprite number a byte. Rows 0-31 come from the "map" section;
// rows 32-63 are the sheet's bytes 4096-8191 in console memory order, where a byte's
// low nibble is its left pixel (gfx digits a then b make the map byte 0xBA).
// Label: laid out like the sheet, 8192 bytes in the "label" section.
#ifndef BRASSWICK_CART_CART_LAYOUT_H_
#define BRASSWICK_CART_CART_LAYOUT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_memory.h"

namespace brasswick {

using ByteBuffer = std::vector<uint8_t>;
// A label: one byte a pixel, kLabelSide rows top to bottom, each a colour 0-31.
using LabelPixels = ByteBuffer;

// The total number of characters in all of the section's lines, divided by two
// (integer division on the total); 0 for no section.
int64_t SectionByteCount(const CartSection* section);

// Decodes the section's digit pairs into buffer and gives the number of bytes written.
// Pairs are taken at character positions 1-2, 3-4, ... of each line (an odd last
// character is ignored), the lines being those the document cuts: in the data sections
// a lone CR or a NUL ends a line as LF does, so no pair spans one; in the code section,
// where they do not end lines, they are characters like any other (and not hex digits); the first
// `skip` pairs are passed over. A pair (reversed first when swap is set) is read as hex from the
// left up to the first non-hex character ("7z" gives 7, "z7" gives 0). At most min(count,
// buffer.size()) bytes are written. Gives 0 for no section, an empty buffer or count below 1, and
// when the section holds fewer than count bytes (by SectionByteCount) unless pad is set; with pad
// the remaining bytes up to count are zeroed and counted as written.
int64_t DecodeSectionHex(const CartSection* section, std::span<uint8_t> buffer, int64_t count,
                         int64_t skip, bool swap, bool pad);

// `size` bytes of the named section starting after `offset` bytes; size 0 means the
// whole section. None when the section is missing, the name empty, the section holds
// fewer bytes than asked (unless allow_short, which zero-fills a tail as long as at
// least one byte is there), or its digit pairs run short of what it claims to hold.
std::optional<ByteBuffer> ReadSectionBytes(const CartDocument& document, std::string_view name,
                                           int64_t size, int64_t offset, bool allow_short);

// Replaces the lines of the named section (created at the end when missing) by the
// bytes as lower-case hex pairs, bytes_per_line a line. bytes_per_line below 1 picks it
// from the section: gfx 64, map 128, label 64 (followed by one empty line), sfx 84,
// anything else 64. False, with the document unchanged, for no data.
bool WriteSectionBytes(CartDocument& document, std::string_view name,
                       std::span<const uint8_t> bytes, int64_t bytes_per_line = -1);

// The sprite sheet from "gfx": 8192 bytes, or the first 4096 with upper_half_only. A
// short section is zero-filled; none when "gfx" is missing or holds no byte.
std::optional<ByteBuffer> SheetBytes(const CartDocument& document, bool upper_half_only);

// The map: 8192 bytes with the shared half (needs "map" and "gfx" sections, short ones
// zero-filled), or 4096 from "map" alone (short zero-filled, at least one byte).
std::optional<ByteBuffer> MapBytes(const CartDocument& document, bool with_shared_half);

// ---- The data sections and the ROM ----

// The lines of one of the ROM's data sections as RomToP8Text writes them, without the
// marker: section is "gfx", "gff", "map", "sfx" or "music" (as NormalizeSectionName
// reads a name); each line is followed by "\n", and the lines run up to the last one
// that differs from the blank cartridge's, so a section the blank cartridge holds gives
// "". None for another section or a rom shorter than kCartRomSize.
std::optional<std::string> RomSectionLines(std::span<const uint8_t> rom, std::string_view section);

// The ROM a .p8's data sections give, the way back of RomToP8Text. "gfx", "gff" and
// "map" are digit pairs read as DecodeSectionHex reads them (in order across lines, an
// odd last character of a line ignored, a pair read as hex up to its first other
// character), the sheet's pairs reversed into memory order, as far as the area goes;
// a short section leaves zeros. Line y of "sfx" and "music" is row y of its area, its
// digits read by the same pair rule (a lone digit as itself, any other character 0),
// a music line's third character (the blank) skipped; lines past the area's count and
// empty lines ending the section are ignored, and missing lines are the blank
// cartridge's. kCartPayloadSize bytes, the code area and the 32 after the ROM zero.
CartPayload P8DataToRom(const CartDocument& document);

// Replaces the lines of a .p8's section by those the ROM gives, creating it in the
// console's order when missing. A section the blank cartridge holds keeps one line of
// zeros, so that it still reads as there. Nothing changes for a name that is not one
// of the ROM's sections.
void RewriteRomSection(CartDocument& document, std::string_view section,
                       std::span<const uint8_t> rom);

// Appends "__NAME__", a line break and the section's lines as RomSectionLines gives
// them, when any line differs from the blank cartridge's; nothing for another section or
// a rom shorter than kCartRomSize.
void AppendRomSection(std::string& out, std::string_view section, std::span<const uint8_t> rom);

// The label of a document's "label" section, one digit a pixel: "0"-"9" and "a"-"v" (in
// either case) are colours 0-31, any other character colour 0; short lines and missing
// lines are colour 0, and what follows 128 digits or 128 lines is ignored. None when
// the document has no such section or it is empty.
std::optional<LabelPixels> ReadLabelPixels(const CartDocument& document);

// Appends a "label" section's lines: 128 lines of 128 digits 0-9 a-v (a pixel outside
// 0-31, or missing, written as 0), then one empty line.
void AppendLabelLines(std::string& out, const LabelPixels& label);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_LAYOUT_H_
