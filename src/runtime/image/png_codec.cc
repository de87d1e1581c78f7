// PNG through libpng. libpng reports errors by longjmp: every call into it happens in
// a function of this file that does its own setjmp and holds only plain values, while
// buffers and handles are owned by the callers of those functions.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "runtime/image/encoder_input.h"
#include "runtime/image/image_codecs.h"
#include "runtime/image/palette_reduction.h"

namespace brasswick {

namespace {

constexpr size_t kSignatureSize = 8;

// Never returns: the jump goes back to the setjmp of the running operation, so the
// default handler (which prints) is never reached.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// PNG chunk lengths are at most 2^31 - 1.
constexpr png_uint_32 kMaxChunkLength = 0x7FFFFFFF;
// Length, type before a chunk's data; its CRC after.
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kChunkCrcSize = 4;

png_uint_32 ReadBe32(const uint8_t* p) {
  return (png_uint_32{p[0]} << 24) | (png_uint_32{p[1]} << 16) | (png_uint_32{p[2]} << 8) | p[3];
}

// True when every chunk up to IEND fits in the bytes present. libpng allocates a
// text chunk's declared length before it finds out the data is not there, so a file
// that only claims a huge chunk would otherwise cost that much memory. A file that
// ends before IEND is left to libpng, which fails on the missing bytes themselves.
bool ChunksFitInData(const uint8_t* data, size_t size) {
  size_t position = kSignatureSize;
  while (size - position >= kChunkHeaderSize) {
    const png_uint_32 length = ReadBe32(data + position);
    if (length > kMaxChunkLength) return false;
    const size_t left = size - position - kChunkHeaderSize;
    if (left < kChunkCrcSize || length > left - kChunkCrcSize) return false;
    if (std::memcmp(data + position + 4, "IEND", 4) == 0) return true;
    position += kChunkHeaderSize + length + kChunkCrcSize;
  }
  return true;
}

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->position) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->position, length);
  reader->position += length;
}

struct PngReadHandles {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngReadHandles() {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png != nullptr) info = png_create_info_struct(png);
  }
  ~PngReadHandles() {
    if (png != nullptr) png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
  }
  PngReadHandles(const PngReadHandles&) = delete;
  PngReadHandles& operator=(const PngReadHandles&) = delete;
};

struct PngHeader {
  png_uint_32 width;
  png_uint_32 height;
  int bit_depth;
  int color_type;
  int interlace;
  bool has_trns;
};

bool ReadPngHeader(png_structp png, png_infop info, MemoryReader* reader, PngHeader* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, reader, ReadFromMemory);
  // libpng refuses larger pictures itself while reading IHDR, before any row buffer.
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, 16u << 20);
  png_read_info(png, info);
  png_get_IHDR(png, info, &header->width, &header->height, &header->bit_depth, &header->color_type,
               &header->interlace, nullptr, nullptr);
  header->has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  return true;
}

// Sets the transforms that turn every colour type and depth into 8-bit RGB or RGBA,
// and reads all rows into rows[0..height-1].
bool ReadPngPixels(png_structp png, png_infop info, const PngHeader& header, int channels,
                   png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (header.bit_depth == 16) png_set_scale_16(png);
  if (header.color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (header.color_type == PNG_COLOR_TYPE_GRAY && header.bit_depth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (header.has_trns) png_set_tRNS_to_alpha(png);
  if (header.color_type == PNG_COLOR_TYPE_GRAY || header.color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_channels(png, info) != channels || png_get_bit_depth(png, info) != 8 ||
      png_get_rowbytes(png, info) != static_cast<size_t>(header.width) * channels) {
    return false;
  }
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

int PngSourceDepth(const PngHeader& header) {
  switch (header.color_type) {
    case PNG_COLOR_TYPE_RGB:
      // An RGB file with a transparent colour becomes RGBA and keeps it on saving.
      return header.has_trns ? 32 : 24;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 32;
    default:
      return header.bit_depth;
  }
}

// --- writing ---

struct MemoryWriter {
  std::vector<uint8_t>* out;
};

void WriteToMemory(png_structp png, png_bytep data, size_t length) {
  auto* writer = static_cast<MemoryWriter*>(png_get_io_ptr(png));
  bool ok = true;
  try {
    writer->out->insert(writer->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) png_error(png, "out of memory");
}

void FlushMemory(png_structp) {}

struct PngWriteHandles {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngWriteHandles() {
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png != nullptr) info = png_create_info_struct(png);
  }
  ~PngWriteHandles() {
    if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  }
  PngWriteHandles(const PngWriteHandles&) = delete;
  PngWriteHandles& operator=(const PngWriteHandles&) = delete;
};

// What the row writer needs besides libpng: either true-colour rows or a palette and
// a way to turn a row into packed indices.
struct PngRowSource {
  EncoderInput* input;
  PaletteReduction* palette;                      // null for true colour
  uint8_t* packed;                                // one packed index row when palette is set
  const std::vector<png_byte>* alphas = nullptr;  // the tRNS entries, when any
};

bool WritePng(png_structp png, png_infop info, MemoryWriter* writer, int bit_depth,
              const png_color* palette, int palette_size, PngRowSource* source) {
  if (setjmp(png_jmpbuf(png))) return false;
  EncoderInput& input = *source->input;
  png_set_write_fn(png, writer, WriteToMemory, FlushMemory);
  const int color_type = source->palette != nullptr ? PNG_COLOR_TYPE_PALETTE
                         : input.channels() == 4    ? PNG_COLOR_TYPE_RGB_ALPHA
                                                    : PNG_COLOR_TYPE_RGB;
  png_set_IHDR(png, info, input.width(), input.height(), bit_depth, color_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette != nullptr) png_set_PLTE(png, info, palette, palette_size);
  if (source->alphas != nullptr && !source->alphas->empty()) {
    png_set_tRNS(png, info, source->alphas->data(), static_cast<int>(source->alphas->size()),
                 nullptr);
  }
  png_set_compression_level(png, 9);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png, info);
  for (int y = 0; y < input.height(); ++y) {
    if (source->palette != nullptr) {
      source->palette->PackedRow(input, y, bit_depth, source->packed);
      png_write_row(png, source->packed);
    } else {
      png_write_row(png, input.Row(y));
    }
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool HasPngSignature(const uint8_t* data, size_t size) {
  return size >= kSignatureSize && png_sig_cmp(data, 0, kSignatureSize) == 0;
}

ImagePtr DecodePng(const uint8_t* data, size_t size) {
  if (!HasPngSignature(data, size) || !ChunksFitInData(data, size)) return nullptr;
  PngReadHandles handles;
  if (handles.info == nullptr) return nullptr;
  MemoryReader reader{data, size, 0};
  PngHeader header{};
  if (!ReadPngHeader(handles.png, handles.info, &reader, &header)) return nullptr;
  if (header.width < 1 || header.height < 1 || header.width > kMaxImageSide ||
      header.height > kMaxImageSide) {
    return nullptr;
  }
  const bool has_alpha = header.has_trns || (header.color_type & PNG_COLOR_MASK_ALPHA) != 0;
  ImagePtr image = AllocateImage(static_cast<int>(header.width), static_cast<int>(header.height),
                                 has_alpha, PngSourceDepth(header));
  if (!image) return nullptr;
  std::vector<png_bytep> rows(header.height);
  for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = image->Row(static_cast<int>(y));
  if (!ReadPngPixels(handles.png, handles.info, header, image->channels(), rows.data())) {
    return nullptr;
  }
  return image;
}

bool EncodePng(EncoderInput& input, int depth, std::vector<uint8_t>& out) {
  PngWriteHandles handles;
  if (handles.info == nullptr) return false;
  MemoryWriter writer{&out};
  PngRowSource source{&input, nullptr, nullptr, nullptr};
  if (depth >= 16) {
    return WritePng(handles.png, handles.info, &writer, 8, nullptr, 0, &source);
  }
  PaletteReduction reduction(input, depth);
  std::vector<png_color> palette(reduction.colors().size());
  std::vector<png_byte> alphas(palette.size());
  for (size_t i = 0; i < palette.size(); ++i) {
    palette[i].red = reduction.colors()[i][0];
    palette[i].green = reduction.colors()[i][1];
    palette[i].blue = reduction.colors()[i][2];
    alphas[i] = input.channels() == 4 ? reduction.colors()[i][3] : 255;
  }
  // tRNS holds the alphas up to the last entry that is not opaque; none when all are.
  while (!alphas.empty() && alphas.back() == 255) alphas.pop_back();
  source.alphas = &alphas;
  std::vector<uint8_t> packed(PaletteReduction::PackedRowBytes(input.width(), depth));
  source.palette = &reduction;
  source.packed = packed.data();
  return WritePng(handles.png, handles.info, &writer, depth, palette.data(),
                  static_cast<int>(palette.size()), &source);
}

}  // namespace brasswick
