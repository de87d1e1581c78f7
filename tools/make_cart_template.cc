// Draws the blank cartridge picture that the program builds new .p8.png files from and
// writes it as a PNG. The result is committed as src/cart/cart_template.png and built
// into the program; a test draws it again and compares, so the two cannot drift.
//
// Usage: make_cart_template OUTPUT.png
//
// Every channel's two low bits are left zero: they carry a cartridge's payload, which
// a generated cartridge always writes in full.
#include <cstdio>
#include <string>

#include "cart/cart_font.h"
#include "cart/cart_image.h"
#include "runtime/image/image.h"

namespace brasswick {
namespace {

constexpr ColorValue kOutside = MakeColor(100, 100, 104, 0);
constexpr ColorValue kOutline = MakeColor(0, 4, 8, 252);
constexpr ColorValue kBody = MakeColor(100, 100, 100, 252);
constexpr ColorValue kLabel = MakeColor(136, 136, 136, 252);
constexpr ColorValue kTitleArea = MakeColor(52, 52, 52, 252);
constexpr ColorValue kTemplateText = MakeColor(160, 160, 160, 252);
constexpr ColorValue kLogo = MakeColor(252, 240, 232, 252);

// One row of the cartridge's silhouette: an outline pixel at each end with body
// between, or (solid) outline all the way; outside beyond both ends.
struct ShapeRow {
  int first_row, last_row;
  int left, right;
  bool solid;
};
constexpr ShapeRow kShape[] = {
    {0, 0, 3, 156, true},     {1, 1, 2, 157, false},     {2, 2, 1, 158, false},
    {3, 194, 0, 159, false},  {202, 202, 1, 151, false}, {203, 203, 2, 150, false},
    {204, 204, 3, 149, true},
};

// The logo lettering: runs of logo pixels, row and first and last column.
struct Run {
  int row, first, last;
};
constexpr Run kLogoRuns[] = {
    {10, 16, 19}, {10, 21, 24}, {10, 27, 29}, {10, 32, 35}, {10, 41, 44}, {11, 15, 16},
    {11, 18, 19}, {11, 22, 23}, {11, 26, 27}, {11, 31, 32}, {11, 34, 35}, {11, 41, 41},
    {11, 44, 44}, {12, 15, 19}, {12, 22, 23}, {12, 26, 27}, {12, 31, 32}, {12, 34, 35},
    {12, 37, 38}, {12, 40, 44}, {13, 15, 16}, {13, 22, 23}, {13, 26, 27}, {13, 31, 32},
    {13, 34, 35}, {13, 40, 41}, {13, 44, 44}, {14, 15, 16}, {14, 21, 24}, {14, 26, 29},
    {14, 31, 34}, {14, 40, 44},
};

// The emblem beside the lettering, pixel by pixel.
struct Dot {
  int x, y;
  ColorValue color;
};
constexpr Dot kEmblem[] = {
    {47, 6, MakeColor(252, 0, 76, 252)},
    {46, 7, MakeColor(252, 152, 0, 252)},
    {47, 7, kLogo},
    {48, 7, MakeColor(252, 204, 188, 252)},
    {45, 8, MakeColor(252, 228, 36, 252)},
    {46, 8, kLogo},
    {47, 8, kLogo},
    {48, 8, kLogo},
    {49, 8, MakeColor(252, 116, 168, 252)},
    {46, 9, MakeColor(0, 224, 48, 252)},
    {47, 9, kLogo},
    {48, 9, MakeColor(132, 112, 168, 252)},
    {47, 10, MakeColor(40, 172, 252, 252)},
};

void DrawShapeRow(ImageDrawing& drawing, int y, int left, int right, bool solid) {
  if (solid) {
    drawing.Box(left, y, right - left + 1, 1, kOutline);
    return;
  }
  drawing.Plot(left, y, kOutline);
  drawing.Box(left + 1, y, right - left - 1, 1, kBody);
  drawing.Plot(right, y, kOutline);
}

ImagePtr DrawTemplate() {
  ImagePtr image = CreateImage(kCartImageWidth, kCartImageHeight, 32);
  if (!image) return nullptr;
  ImageDrawing drawing(*image);
  drawing.SetDrawingMode(DrawingMode::kAllChannels);
  drawing.Box(0, 0, kCartImageWidth, kCartImageHeight, kOutside);

  for (const ShapeRow& row : kShape) {
    for (int y = row.first_row; y <= row.last_row; ++y) {
      DrawShapeRow(drawing, y, row.left, row.right, row.solid);
    }
  }
  // The cut corner at the bottom right: the right edge steps in one pixel a row.
  for (int k = 0; k <= 6; ++k) DrawShapeRow(drawing, 195 + k, 0, 158 - k, false);

  // The label window inside its one-pixel frame.
  drawing.Box(15, 23, 130, 130, kOutline);
  drawing.Box(kCartLabelX, kCartLabelY, kCartLabelSide, kCartLabelSide, kLabel);

  drawing.Box(15, 163, 130, 32, kTitleArea);
  DrawCartText(drawing, 18, 187, u"PICO-8 CARTRIDGE", kTemplateText);

  for (const Run& run : kLogoRuns) {
    drawing.Box(run.first, run.row, run.last - run.first + 1, 1, kLogo);
  }
  for (const Dot& dot : kEmblem) drawing.Plot(dot.x, dot.y, dot.color);
  // The address line stays empty: the picture names no one.
  return image;
}

}  // namespace
}  // namespace brasswick

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  brasswick::ImagePtr image = brasswick::DrawTemplate();
  if (!image || !brasswick::SaveImageFile(*image, argv[1], brasswick::ImageFormat::kPng,
                                          brasswick::kDefaultQuality, 32)) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
