// The .p8.png payload codec, the label window and the built-in template picture.
#include "cart/cart_image.h"

#include <algorithm>
#include <new>

#include "cart/cart_memory.h"
#include "runtime/platform/file_system.h"

namespace brasswick {

// The template PNG built into the program (tools/make_cart_template draws it).
extern const unsigned char kCartTemplatePng[];
extern const std::size_t kCartTemplatePng_size;

namespace {

constexpr ColorValue kUpperBits = 0xFCFCFCFC;
constexpr ColorValue kPayloadBits = 0x03030303;

// A byte's four bit pairs in the channels that carry them.
constexpr ColorValue SpreadByte(uint8_t byte) {
  return (ColorValue{(byte >> 6) & 3} << 24) | ((byte >> 4) & 3) |
         (ColorValue{(byte >> 2) & 3} << 8) | (ColorValue{byte & 3} << 16);
}

constexpr uint8_t GatherByte(ColorValue color) {
  return static_cast<uint8_t>(((ColorAlpha(color) & 3) << 6) | ((ColorRed(color) & 3) << 4) |
                              ((ColorGreen(color) & 3) << 2) | (ColorBlue(color) & 3));
}

}  // namespace

bool IsCartImageShape(const RgbaImage& image) {
  return image.width() == kCartImageWidth && image.height() == kCartImageHeight &&
         image.depth() == 32;
}

ImagePtr LoadCartImage(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxCartFileSize);
  if (!bytes) return nullptr;
  return LoadCartImageFromMemory(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
}

ImagePtr LoadCartImageFromMemory(const uint8_t* data, size_t size) {
  // A picture of another size is no cartridge, and decoding it first could cost
  // gigabytes: its header decides.
  const std::optional<ImageSize> declared = ReadImageSize(data, size);
  if (!declared || declared->width != kCartImageWidth || declared->height != kCartImageHeight) {
    return nullptr;
  }
  ImagePtr image = LoadImageFromMemory(data, size);
  if (!image || !IsCartImageShape(*image)) return nullptr;
  image->set_source_depth(32);
  return image;
}

std::optional<CartPayload> DecodeCartPixels(RgbaImage& image) {
  if (!IsCartImageShape(image)) return std::nullopt;
  CartPayload payload;
  payload.resize(kCartPayloadSize);
  ImageDrawing drawing;
  if (!drawing.BeginDrawing(image)) return std::nullopt;
  drawing.SetDrawingMode(DrawingMode::kAllChannels);
  size_t next = 0;
  for (int y = 0; y < kCartImageHeight; ++y) {
    for (int x = 0; x < kCartImageWidth; ++x) payload[next++] = GatherByte(drawing.Point(x, y));
  }
  drawing.EndDrawing();
  return payload;
}

bool EncodeCartPixels(RgbaImage& image, std::span<const uint8_t> bytes) {
  if (!IsCartImageShape(image) || bytes.data() == nullptr || bytes.size() < kCartRomSize) {
    return false;
  }
  ImageDrawing drawing;
  if (!drawing.BeginDrawing(image)) return false;
  drawing.SetDrawingMode(DrawingMode::kAllChannels);
  const size_t count = std::min(bytes.size(), kCartPayloadSize);
  for (size_t n = 0; n < count; ++n) {
    const int x = static_cast<int>(n % kCartImageWidth);
    const int y = static_cast<int>(n / kCartImageWidth);
    drawing.Plot(x, y, (drawing.Point(x, y) & kUpperBits) | SpreadByte(bytes[n]));
  }
  drawing.EndDrawing();
  return true;
}

ImagePtr CartLabelSquare(const RgbaImage& picture) {
  const int side = std::min(picture.width(), picture.height());
  return ResizeImageRegion(picture, (picture.width() - side) / 2, (picture.height() - side) / 2,
                           side, side, kCartLabelSide, kCartLabelSide, ResizeMode::kRaw);
}

bool ApplyCartLabel(RgbaImage& cart, const RgbaImage& label, CartLabelFitter fit) {
  if (cart.width() != kCartImageWidth || cart.height() != kCartImageHeight) return false;
  ImagePtr square = CartLabelSquare(label);
  if (!square) return false;
  if (fit != nullptr) fit(*square);

  ImageDrawing source;
  if (!source.BeginDrawing(*square)) return false;
  ImageDrawing target;
  if (!target.BeginDrawing(cart)) return false;
  target.SetDrawingMode(DrawingMode::kAllChannels);
  // Default mode reads red, green and blue only: the label's alpha never reaches the
  // cartridge, whose window is always opaque.
  for (int y = 0; y < kCartLabelSide; ++y) {
    for (int x = 0; x < kCartLabelSide; ++x) {
      const ColorValue label_color = source.Point(x, y);
      const int cart_x = kCartLabelX + x;
      const int cart_y = kCartLabelY + y;
      const ColorValue kept = target.Point(cart_x, cart_y) & kPayloadBits;
      target.Plot(cart_x, cart_y, (label_color & 0x00FCFCFC) | 0xFC000000 | kept);
    }
  }
  return true;
}

ImagePtr CreateTemplateCartImage() {
  ImagePtr image = LoadImageFromMemory(kCartTemplatePng, kCartTemplatePng_size);
  if (!image || !IsCartImageShape(*image)) return nullptr;
  return image;
}

}  // namespace brasswick
