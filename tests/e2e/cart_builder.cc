#include "e2e/cart_builder.h"

#include <cstdint>
#include <random>
#include <vector>

namespace brasswick::testing {

std::vector<uint8_t> CartPictures::Memory(uint32_t seed) const {
  std::mt19937 random(seed);
  std::vector<uint8_t> memory(32800);
  for (uint8_t& b : memory) b = static_cast<uint8_t>(random());
  for (int y = 0; y < 128; ++y) {
    for (int k = 0; k < 64; ++k) {
      memory[y * 64 + k] = static_cast<uint8_t>((sheet[y][2 * k + 1] << 4) | sheet[y][2 * k]);
    }
  }
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) memory[0x2000 + y * 128 + x] = static_cast<uint8_t>(map[y][x]);
  }
  return memory;
}

std::string HexDigit(int value) { return std::string(1, "0123456789abcdef"[value & 15]); }
std::string LabelDigit(int color) {
  return std::string(1, "0123456789abcdefghijklmnopqrstuv"[color & 31]);
}
Rgb LabelRgb(int color) {
  return color < 16 ? kStandardPalette[color] : kAlternatePalette[(color - 16) & 15];
}

CartPictures::CartPictures()
    : sheet(128, std::vector<int>(128, 0)),
      label(128, std::vector<int>(128, 0)),
      map(32, std::vector<int>(128, 0)) {}

void CartPictures::Randomize(uint32_t seed) {
  std::mt19937 random(seed);
  for (auto& row : sheet)
    for (int& pixel : row) pixel = static_cast<int>(random() % 16);
  for (auto& row : label)
    for (int& pixel : row) pixel = static_cast<int>(random() % 16);
  for (auto& row : map)
    for (int& cell : row) cell = static_cast<int>(random() % 256);
}

int CartPictures::MapCell(int x, int y) const {
  if (y < 32) return map[y][x];
  int sheet_row = 64 + 2 * (y - 32) + (x >= 64 ? 1 : 0);
  int column = (x % 64) * 2;
  int left = sheet[sheet_row][column];
  int right = sheet[sheet_row][column + 1];
  return (right << 4) | left;
}

int CartPictures::MapPixel(int x, int y) const {
  int sprite = MapCell(x / 8, y / 8);
  return sheet[(sprite / 16) * 8 + y % 8][(sprite % 16) * 8 + x % 8];
}

std::string CartPictures::ToP8(bool with_label, bool with_map) const {
  std::string text = "pico-8 cartridge // http://www.pico-8.com\nversion 41\n__lua__\nprint(1)\n";
  text += "__gfx__\n";
  for (const auto& row : sheet) {
    for (int pixel : row) text += HexDigit(pixel);
    text += "\n";
  }
  if (with_label) {
    text += "__label__\n";
    for (const auto& row : label) {
      for (int pixel : row) text += LabelDigit(pixel);
      text += "\n";
    }
    text += "\n";
  }
  if (with_map) {
    text += "__map__\n";
    for (const auto& row : map) {
      for (int cell : row) text += HexDigit(cell >> 4) + HexDigit(cell);
      text += "\n";
    }
  }
  return text;
}

}  // namespace brasswick::testing
