#include "e2e/png_writer.h"

#include <png.h>

#include <cstdio>

namespace brasswick::testing {

bool WriteTestPng(const std::string& path, const TestPng& picture) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, picture.width, picture.height, picture.bit_depth, picture.colour_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> table;
  for (const auto& entry : picture.palette) table.push_back({entry[0], entry[1], entry[2]});
  if (!table.empty()) png_set_PLTE(png, info, table.data(), static_cast<int>(table.size()));
  if (picture.trns_rgb) {
    png_color_16 colour{};
    colour.red = (*picture.trns_rgb)[0];
    colour.green = (*picture.trns_rgb)[1];
    colour.blue = (*picture.trns_rgb)[2];
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  if (!picture.trns_alpha.empty()) {
    png_set_tRNS(png, info, picture.trns_alpha.data(), static_cast<int>(picture.trns_alpha.size()),
                 nullptr);
  }
  png_write_info(png, info);
  for (const auto& row : picture.rows) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return fclose(file) == 0;
}

}  // namespace brasswick::testing
