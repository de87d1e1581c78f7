// The seam between the image services and the file-format codecs: allocation of
// checked pixel buffers, the decoders chosen by content, and the encoders that write
// into memory. Only the image services and the codecs include this header.
#ifndef BRASSWICK_RUNTIME_IMAGE_IMAGE_CODECS_H_
#define BRASSWICK_RUNTIME_IMAGE_IMAGE_CODECS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/image/image.h"

namespace brasswick {

// A new image of width x height with uninitialised pixels, RGBA when has_alpha. None
// for sides outside 1..kMaxImageSide (checked before anything is allocated) or for a
// byte count that overflows.
ImagePtr AllocateImage(int width, int height, bool has_alpha, int source_depth);

// Decoders: none unless the data is a complete, undamaged picture of that format
// within the size limit. They never print and never abort.
ImagePtr DecodePng(const uint8_t* data, size_t size);
ImagePtr DecodeJpeg(const uint8_t* data, size_t size);
ImagePtr DecodeBmp(const uint8_t* data, size_t size);

bool HasPngSignature(const uint8_t* data, size_t size);
bool HasJpegSignature(const uint8_t* data, size_t size);
bool HasBmpSignature(const uint8_t* data, size_t size);

class EncoderInput;

// Encoders: append the encoded file to out; false on any failure (out is then
// unspecified). depth is already validated by the caller and the input already
// composited over white unless alpha is to be kept.
//   PNG: depth 16/24/32 true colour (RGBA when the input has alpha), 1/2/4/8 palette.
//   JPEG: always RGB; quality 0-100.
//   BMP: depth 1, 4, 8, 24 or 32; other depths fail.
bool EncodePng(EncoderInput& input, int depth, std::vector<uint8_t>& out);
bool EncodeJpeg(EncoderInput& input, int quality, std::vector<uint8_t>& out);
bool EncodeBmp(EncoderInput& input, int depth, std::vector<uint8_t>& out);

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_IMAGE_IMAGE_CODECS_H_
