// .p8.png cartridges: a 160 x 205 RGBA picture whose pixels carry the cartridge's
// 32 800 bytes in the two low bits of each channel, one byte a pixel, row by row from
// the top. Byte bits 7-6 go to alpha, 5-4 to red, 3-2 to green and 1-0 to blue; the
// upper six bits of every channel are the visible picture. The first 32 768 bytes are
// the cartridge's memory image, the last 32 are carried along unread.
//
// Nothing here prints; every operation reports failure by its result and leaves the
// picture as it was when it fails.
#ifndef BRASSWICK_CART_CART_IMAGE_H_
#define BRASSWICK_CART_CART_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cart/cart_memory.h"
#include "runtime/image/image.h"

namespace brasswick {

inline constexpr int kCartImageWidth = 160;
inline constexpr int kCartImageHeight = 205;

// The label window, 128 x 128 from (16, 24).
inline constexpr int kCartLabelX = 16;
inline constexpr int kCartLabelY = 24;
inline constexpr int kCartLabelSide = kLabelSide;

// The bytes a cartridge picture carries: kCartPayloadSize of them, pixel (x, y) at
// y * 160 + x.
using CartPayload = std::vector<uint8_t>;

// Whether the picture is 160 x 205 with an alpha channel.
bool IsCartImageShape(const RgbaImage& image);

// Loads a picture file and keeps it only when it has the cartridge shape. The image
// is marked to be saved as 32-bit RGBA, whatever the file's own depth was, so that a
// save never reduces the pixels that carry the payload. A file whose header declares
// another size is refused before anything is decoded. None when the file cannot be
// decoded or has another shape; the caller owns the result.
ImagePtr LoadCartImage(const std::string& path);
// The same from a file's bytes already read.
ImagePtr LoadCartImageFromMemory(const uint8_t* data, size_t size);

// The 32 800 bytes the pixels carry. None when the picture has not the cartridge
// shape.
std::optional<CartPayload> DecodeCartPixels(RgbaImage& image);

// Writes bytes into the low two bits of each channel, from the first pixel on, and
// keeps the upper six. A buffer of 32 768 bytes leaves the last 32 pixels alone;
// bytes past 32 800 are ignored. False, with the picture unchanged, when it has not
// the cartridge shape or the buffer is missing or shorter than 32 768 bytes.
bool EncodeCartPixels(RgbaImage& image, std::span<const uint8_t> bytes);

// A picture's centred square resized to 128 x 128 by nearest neighbour: the label of
// every cartridge kind is cut this way. None when it cannot be made; the caller owns it.
ImagePtr CartLabelSquare(const RgbaImage& picture);

// Optionally recolours the 128 x 128 label square in place before it is written (the
// palette fitting of the label commands, which lives above this room).
using CartLabelFitter = void (*)(RgbaImage& square);

// Writes a label picture into the label window: the label's centred square, resized
// to 128 x 128 by nearest neighbour when it has another size, passed to fit when one
// is given, then written by its red, green and blue upper six bits with alpha's upper
// six bits set, keeping every channel's two payload bits. The label's own alpha is
// ignored. False, with the cartridge unchanged, when it is not 160 x 205 or the
// square cannot be made.
bool ApplyCartLabel(RgbaImage& cart, const RgbaImage& label, CartLabelFitter fit = nullptr);

// The program's own blank cartridge picture, from the template PNG built into it. None
// when it cannot be decoded; the caller owns the result.
ImagePtr CreateTemplateCartImage();

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_IMAGE_H_
