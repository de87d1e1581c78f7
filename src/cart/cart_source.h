// The picture data the export commands read, from whichever form the cartridge came
// in: a loaded .p8 document, read section by section exactly as the document
// functions of cart_layout.h read it, or the 32 768 bytes of cartridge memory that a
// .p8.png payload or a player's "_cartdat" list holds.
//
// Memory layout: the sprite sheet is memory 0x0000-0x1FFF, each byte's left pixel in
// its low nibble (so the sheet bytes are those bytes with their nibbles swapped); the
// map's upper half is memory 0x2000-0x2FFF and its lower half memory 0x1000-0x1FFF,
// which is the sheet's lower half in memory order, as in the text form. Memory has no
// label: its source carries the one its caller found (or none).
//
// Labels: one byte a pixel, 128 x 128 rows top to bottom, each a colour 0-31. The
// console draws a label in 32 colours: 0-15 are the palette's, 16-31 the alternate
// palette's 0-15, written in a "label" section as the digits "g" to "v".
#ifndef BRASSWICK_CART_CART_SOURCE_H_
#define BRASSWICK_CART_CART_SOURCE_H_

#include <cstdint>
#include <optional>
#include <span>

#include "cart/cart_document.h"
#include "cart/cart_image.h"
#include "cart/cart_layout.h"

namespace brasswick {

class CartSource {
 public:
  // A source that reads the document's sections.
  static CartSource FromDocument(CartDocument document);
  // A source over the first kCartRomSize bytes of memory, with an optional label of
  // kLabelPixelCount pixels. None when memory holds fewer than kCartRomSize bytes or the
  // label is not that size.
  static std::optional<CartSource> FromMemory(std::span<const uint8_t> memory,
                                              std::optional<LabelPixels> label);

  // SheetBytes: 8192 bytes, or the first 4096 with upper_half_only. None when a
  // document has no "gfx" bytes; memory always has a sheet.
  std::optional<ByteBuffer> Sheet(bool upper_half_only) const;
  // MapBytes: 8192 bytes with the shared half, 4096 without. None when a document
  // lacks the sections it needs; memory always has a map.
  std::optional<ByteBuffer> Map(bool with_shared_half) const;
  // The label, kLabelPixelCount pixels (ReadLabelPixels for a document). None when
  // there is none or it cannot be read.
  std::optional<LabelPixels> Label() const;
  // Whether there is a label at all, readable or not (a document's "label" section).
  bool HasLabel() const;

 private:
  CartSource() = default;

  std::optional<CartDocument> document_;
  ByteBuffer memory_;  // kCartRomSize bytes when there is no document
  std::optional<LabelPixels> label_;
};

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_SOURCE_H_
