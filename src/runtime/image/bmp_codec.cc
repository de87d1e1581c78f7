// BMP reader and writer of our own. The reader trusts nothing in the file: every
// offset, size and count is checked against the bytes actually there before use.
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "runtime/image/byte_io.h"
#include "runtime/image/encoder_input.h"
#include "runtime/image/image_codecs.h"
#include "runtime/image/palette_reduction.h"

namespace brasswick {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
// BITMAPV4HEADER and BITMAPV5HEADER extend the 40-byte header; their extra fields
// (colour masks, colour space) sit after the 40 bytes we read and are otherwise ignored.
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;
constexpr size_t kMinimumSize = kFileHeaderSize + kInfoHeaderSize;

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionBitFields = 3;

struct BmpInfo {
  int width;
  int height;
  int bits;
  uint32_t compression;
  uint32_t header_size;
  uint64_t pixel_offset;
  uint64_t stride;  // bytes a stored row, padded to 4
  bool rgb565;
};

using ColorTable = std::array<std::array<uint8_t, 3>, 256>;  // RGB; unset entries black

// Reads and checks the headers, the colour table and the layout. False for anything
// this reader does not decode.
bool ReadBmpInfo(const uint8_t* data, size_t size, BmpInfo* info, ColorTable* table) {
  if (size < kMinimumSize || data[0] != 'B' || data[1] != 'M') return false;
  if (ReadLe16(data + 6) != 0 || ReadLe16(data + 8) != 0) return false;
  info->pixel_offset = ReadLe32(data + 10);
  info->header_size = ReadLe32(data + 14);
  if (info->header_size != kInfoHeaderSize && info->header_size != kV4HeaderSize &&
      info->header_size != kV5HeaderSize) {
    return false;
  }
  const uint64_t header_end = kFileHeaderSize + uint64_t{info->header_size};
  if (header_end > size) return false;
  const int32_t width = ReadLeInt32(data + 18);
  const int32_t height = ReadLeInt32(data + 22);
  // A negative height is a top-down file, which is not decoded.
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;
  info->width = width;
  info->height = height;
  if (ReadLe16(data + 26) != 1) return false;  // planes
  info->bits = ReadLe16(data + 28);
  info->compression = ReadLe32(data + 30);
  info->rgb565 = false;

  uint64_t table_start = header_end;
  switch (info->bits) {
    case 1:
    case 4:
    case 24:
      if (info->compression != kCompressionNone) return false;
      break;
    case 8:
      if (info->compression != kCompressionNone && info->compression != kCompressionRle8) {
        return false;
      }
      break;
    case 16:
    case 32:
      if (info->compression == kCompressionBitFields) {
        // The three masks follow a 40-byte header and open a larger one.
        if (kFileHeaderSize + kInfoHeaderSize + 12 > size) return false;
        const uint32_t red = ReadLe32(data + 54);
        const uint32_t green = ReadLe32(data + 58);
        const uint32_t blue = ReadLe32(data + 62);
        if (info->bits == 16) {
          if (red == 0xF800 && green == 0x07E0 && blue == 0x001F) {
            info->rgb565 = true;
          } else if (!(red == 0x7C00 && green == 0x03E0 && blue == 0x001F)) {
            return false;
          }
        } else if (!(red == 0x00FF0000 && green == 0x0000FF00 && blue == 0x000000FF)) {
          return false;
        }
        if (info->header_size == kInfoHeaderSize) table_start += 12;
      } else if (info->compression != kCompressionNone) {
        return false;
      }
      break;
    default:
      return false;
  }
  if (info->pixel_offset < table_start || info->pixel_offset > size) return false;

  if (info->bits <= 8) {
    const uint32_t capacity = 1u << info->bits;
    uint32_t entries = ReadLe32(data + 46);
    if (entries == 0) entries = capacity;
    if (entries > capacity) return false;
    const uint64_t table_end = table_start + uint64_t{entries} * 4;
    if (table_end > info->pixel_offset) return false;
    for (auto& entry : *table) entry = {0, 0, 0};
    for (uint32_t i = 0; i < entries; ++i) {
      const uint8_t* e = data + table_start + uint64_t{i} * 4;
      (*table)[i] = {e[2], e[1], e[0]};
    }
  }

  info->stride = ((uint64_t{static_cast<uint32_t>(info->width)} * info->bits + 31) / 32) * 4;
  if (info->compression != kCompressionRle8 &&
      info->stride * static_cast<uint64_t>(info->height) > size - info->pixel_offset) {
    return false;
  }
  return true;
}

inline uint8_t Expand5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
inline uint8_t Expand6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

// Uncompressed rows. Row y of the image is stored row height-1-y of the file.
void DecodeRows(const uint8_t* data, const BmpInfo& info, const ColorTable& table,
                RgbaImage& image) {
  const int channels = image.channels();
  for (int y = 0; y < info.height; ++y) {
    const uint8_t* row = data + info.pixel_offset + uint64_t(info.height - 1 - y) * info.stride;
    uint8_t* out = image.Row(y);
    for (int x = 0; x < info.width; ++x, out += channels) {
      switch (info.bits) {
        case 1:
        case 4:
        case 8: {
          const int per_byte = 8 / info.bits;
          const int shift = 8 - info.bits * (x % per_byte + 1);
          const int index = (row[x / per_byte] >> shift) & ((1 << info.bits) - 1);
          std::memcpy(out, table[static_cast<size_t>(index)].data(), 3);
          break;
        }
        case 16: {
          const uint32_t v = ReadLe16(row + 2 * x);
          if (info.rgb565) {
            out[0] = Expand5((v >> 11) & 31);
            out[1] = Expand6((v >> 5) & 63);
          } else {
            out[0] = Expand5((v >> 10) & 31);
            out[1] = Expand5((v >> 5) & 31);
          }
          out[2] = Expand5(v & 31);
          break;
        }
        case 24:
        case 32: {
          const uint8_t* p = row + static_cast<size_t>(x) * (info.bits / 8);
          out[0] = p[2];
          out[1] = p[1];
          out[2] = p[0];
          if (channels == 4) out[3] = p[3];
          break;
        }
        default:
          break;
      }
    }
  }
}

// Whether any stored pixel of a 32-bit file has a non-zero fourth byte.
bool HasAlphaBytes(const uint8_t* data, const BmpInfo& info) {
  for (int y = 0; y < info.height; ++y) {
    const uint8_t* row = data + info.pixel_offset + uint64_t(y) * info.stride;
    for (int x = 0; x < info.width; ++x) {
      if (row[4 * static_cast<size_t>(x) + 3] != 0) return true;
    }
  }
  return false;
}

// 8-bit run-length data. Pixels no command reaches keep colour index 0. Runs and
// deltas that leave the picture are clipped; running out of data before the end of
// the picture fails.
bool DecodeRle8(const uint8_t* data, size_t size, const BmpInfo& info, const ColorTable& table,
                RgbaImage& image) {
  for (int y = 0; y < info.height; ++y) {
    uint8_t* out = image.Row(y);
    for (int x = 0; x < info.width; ++x)
      std::memcpy(out + 3 * static_cast<size_t>(x), table[0].data(), 3);
  }
  auto put = [&](int64_t x, int64_t line, uint8_t index) {
    if (x < 0 || x >= info.width || line < 0 || line >= info.height) return;
    uint8_t* out = image.Row(static_cast<int>(info.height - 1 - line)) + 3 * x;
    std::memcpy(out, table[index].data(), 3);
  };
  uint64_t pos = info.pixel_offset;
  int64_t x = 0;
  int64_t line = 0;  // counted from the bottom, as stored
  while (line < info.height) {
    if (size - pos < 2) return false;
    const uint8_t count = data[pos];
    const uint8_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(x++, line, value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++line;
    } else if (value == 1) {  // end of picture
      return true;
    } else if (value == 2) {  // delta
      if (size - pos < 2) return false;
      x += data[pos];
      line += data[pos + 1];
      pos += 2;
    } else {  // absolute run of `value` indices, padded to an even length
      const uint64_t length = value + (value & 1u);
      if (size - pos < length) return false;
      for (int i = 0; i < value; ++i) put(x++, line, data[pos + i]);
      pos += length;
    }
  }
  return true;
}

// --- writing ---

void AppendBmpHeaders(std::vector<uint8_t>& out, int width, int height, int bits,
                      uint32_t table_entries, uint32_t image_bytes, uint32_t file_size) {
  const uint32_t pixel_offset = kFileHeaderSize + kInfoHeaderSize + table_entries * 4;
  out.push_back('B');
  out.push_back('M');
  AppendLe32(out, file_size);
  AppendLe32(out, 0);
  AppendLe32(out, pixel_offset);
  AppendLe32(out, kInfoHeaderSize);
  AppendLe32(out, static_cast<uint32_t>(width));
  AppendLe32(out, static_cast<uint32_t>(height));
  AppendLe16(out, 1);
  AppendLe16(out, static_cast<uint16_t>(bits));
  AppendLe32(out, kCompressionNone);
  AppendLe32(out, image_bytes);
  AppendLe32(out, 2835);  // 72 dots per inch
  AppendLe32(out, 2835);
  AppendLe32(out, table_entries);
  AppendLe32(out, 0);
}

}  // namespace

bool HasBmpSignature(const uint8_t* data, size_t size) {
  return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

ImagePtr DecodeBmp(const uint8_t* data, size_t size) {
  BmpInfo info{};
  ColorTable table{};
  if (!ReadBmpInfo(data, size, &info, &table)) return nullptr;
  const bool alpha = info.bits == 32 && HasAlphaBytes(data, info);
  ImagePtr image = AllocateImage(info.width, info.height, alpha, info.bits);
  if (!image) return nullptr;
  if (info.compression == kCompressionRle8) {
    if (!DecodeRle8(data, size, info, table, *image)) return nullptr;
  } else {
    DecodeRows(data, info, table, *image);
  }
  return image;
}

bool EncodeBmp(EncoderInput& input, int depth, std::vector<uint8_t>& out) {
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != 32) return false;
  const int width = input.width();
  const int height = input.height();
  const uint64_t stride = ((uint64_t{static_cast<uint32_t>(width)} * depth + 31) / 32) * 4;
  const uint32_t table_entries = depth <= 8 ? (1u << depth) : 0;
  const uint64_t image_bytes = stride * static_cast<uint64_t>(height);
  const uint64_t file_size = kFileHeaderSize + kInfoHeaderSize + table_entries * 4 + image_bytes;
  if (file_size > std::numeric_limits<uint32_t>::max()) return false;

  out.reserve(out.size() + file_size);
  AppendBmpHeaders(out, width, height, depth, table_entries, static_cast<uint32_t>(image_bytes),
                   static_cast<uint32_t>(file_size));
  const size_t pixels_start = out.size() + table_entries * 4;
  if (depth <= 8) {
    PaletteReduction reduction(input, depth);
    for (const Rgba& color : reduction.colors()) {
      out.insert(out.end(), {color[2], color[1], color[0], 0});
    }
    out.resize(pixels_start + image_bytes, 0);
    for (int y = 0; y < height; ++y) {
      uint8_t* row = out.data() + pixels_start + uint64_t(height - 1 - y) * stride;
      reduction.PackedRow(input, y, depth, row);
    }
    return true;
  }
  out.resize(pixels_start + image_bytes, 0);
  const int channels = input.channels();
  const int out_bytes = depth / 8;
  for (int y = 0; y < height; ++y) {
    const uint8_t* source = input.Row(y);
    uint8_t* row = out.data() + pixels_start + uint64_t(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x, source += channels, row += out_bytes) {
      row[0] = source[2];
      row[1] = source[1];
      row[2] = source[0];
      if (depth == 32) row[3] = channels == 4 ? source[3] : 0;
    }
  }
  return true;
}

}  // namespace brasswick
