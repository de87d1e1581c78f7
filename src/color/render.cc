#include "color/render.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "cart/cart_layout.h"
#include "cart/cart_source.h"
#include "color/palette.h"

namespace brasswick {
namespace {

int64_t g_transparent_index = -1;

// Above this the 256 enlarged sprite images are refused before any is made.
constexpr int64_t kSpriteMemoryBudget = int64_t{4} << 30;

// Draws 64-bytes-a-row sheet-layout bytes (high nibble = left pixel) into a new
// 128-wide image of the given height; bytes holds at least height * 64.
ImagePtr DrawSheetLayout(std::span<const uint8_t> bytes, int height) {
  ImagePtr image = CreateImage(128, height, 32);
  if (!image || image->channels() != 4) return nullptr;
  const PixelTable pixels = CurrentPixelTable();
  for (int y = 0; y < height; ++y) {
    uint8_t* out = image->Row(y);
    const uint8_t* row = bytes.data() + static_cast<std::size_t>(y) * 64;
    for (int k = 0; k < 64; ++k) {
      std::memcpy(out, pixels[row[k] >> 4].data(), 4);
      std::memcpy(out + 4, pixels[row[k] & 0x0F].data(), 4);
      out += 8;
    }
  }
  return image;
}

ImagePtr FinishScaled(ImagePtr image, int64_t factor) {
  if (!image || !UpscaleImage(*image, factor)) return nullptr;
  return image;
}

}  // namespace

void SetTransparentIndex(int64_t value) {
  g_transparent_index = (value >= 0 && value <= 15) ? value : -1;
}

int64_t TransparentIndex() { return g_transparent_index; }

PixelTable CurrentPixelTable() {
  PixelTable table{};
  for (int i = 0; i < kPaletteSize; ++i) {
    if (i == g_transparent_index) continue;  // stays 0, 0, 0, 0
    ColorValue color = PaletteColor(i);
    table[i] = {static_cast<uint8_t>(ColorRed(color)), static_cast<uint8_t>(ColorGreen(color)),
                static_cast<uint8_t>(ColorBlue(color)), 255};
  }
  return table;
}

int64_t RendererScale(int64_t scale) {
  if (scale < 1) return 1;
  if (scale >= 128) return scale / 128;
  return scale;
}

ImagePtr RenderSheetBytes(std::span<const uint8_t> bytes, int64_t scale) {
  const int height = static_cast<int>(std::min<std::size_t>(bytes.size() / 64, 128));
  if (height < 1) return nullptr;
  return FinishScaled(DrawSheetLayout(bytes, height), RendererScale(scale));
}

ImagePtr RenderLabelPixels(std::span<const uint8_t> pixels, int64_t scale) {
  constexpr int kSide = 128;
  if (pixels.size() < static_cast<std::size_t>(kSide * kSide)) return nullptr;
  // Colours 0-15 follow the palette and the transparent index; 16-31 are always the
  // alternate palette's, opaque, as the console draws a label.
  std::array<std::array<uint8_t, 4>, kLabelColorCount> colors{};
  const PixelTable table = CurrentPixelTable();
  std::copy(table.begin(), table.end(), colors.begin());
  for (int i = 0; i < kPaletteSize; ++i) {
    const ColorValue color = PaletteColor(i, kAlternateRow);
    colors[kPaletteSize + i] = {static_cast<uint8_t>(ColorRed(color)),
                                static_cast<uint8_t>(ColorGreen(color)),
                                static_cast<uint8_t>(ColorBlue(color)), 255};
  }
  ImagePtr image = CreateImage(kSide, kSide, 32);
  if (!image || image->channels() != 4) return nullptr;
  for (int y = 0; y < kSide; ++y) {
    uint8_t* out = image->Row(y);
    const uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * kSide;
    for (int x = 0; x < kSide; ++x, out += 4) {
      std::memcpy(out, colors[row[x] % kLabelColorCount].data(), 4);
    }
  }
  return FinishScaled(std::move(image), RendererScale(scale));
}

ImagePtr SliceSprite(const RgbaImage& sheet, int n, int64_t factor) {
  if (n < 0 || n >= kSpriteCount) return nullptr;
  ImagePtr sprite = CopyImageRegion(sheet, (n % kSpritesPerRow) * kSpriteSide,
                                    (n / kSpritesPerRow) * kSpriteSide, kSpriteSide, kSpriteSide);
  return FinishScaled(std::move(sprite), factor);
}

int SliceSprites(std::span<const uint8_t> sheet_bytes, std::vector<ImagePtr>& sprites,
                 int64_t scale) {
  sprites.clear();
  if (sheet_bytes.size() < static_cast<std::size_t>(kSheetByteCount)) return 0;
  scale = RendererScale(scale);
  if (scale > kMaxImageSide / kSpriteSide) return 0;
  const int64_t side = kSpriteSide * scale;
  if (kSpriteCount * side * side * 4 > kSpriteMemoryBudget) return 0;

  ImagePtr sheet = RenderSheetBytes(sheet_bytes, 1);
  if (!sheet) return 0;
  sprites.reserve(kSpriteCount);
  for (int n = 0; n < kSpriteCount; ++n) {
    ImagePtr sprite = SliceSprite(*sheet, n, scale);
    if (!sprite) {
      sprites.clear();
      return 0;
    }
    sprites.push_back(std::move(sprite));
  }
  return kSpriteCount;
}

bool UpscaleImage(RgbaImage& image, int64_t factor) {
  if (factor < 2) return true;
  const int64_t width = image.width();
  const int64_t height = image.height();
  if (width < 1 || height < 1) return false;
  if (factor > kMaxImageSide / width || factor > kMaxImageSide / height) return false;
  return ResizeImage(image, static_cast<int>(width * factor), static_cast<int>(height * factor),
                     ResizeMode::kRaw);
}

}  // namespace brasswick
