#include "cart/cart_rom_text.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "cart/cart_code.h"
#include "cart/cart_image.h"
#include "cart/cart_layout.h"
#include "cart/sha1.h"

namespace brasswick {
std::optional<std::string> RomToP8Text(std::span<const uint8_t> rom, std::string_view code_text,
                                       const LabelPixels* label, int version) {
  if (rom.size() < kCartRomSize) return std::nullopt;
  std::string out;
  out.reserve(code_text.size() + 64 * 1024);
  out += "pico-8 cartridge // http://www.pico-8.com\nversion ";
  out += std::to_string(version);
  out += "\n__lua__\n";
  out += code_text;
  // Always a break of its own after the code, which the reader takes off again, so
  // that code ending in a line break keeps it.
  if (!code_text.empty()) out += '\n';

  AppendRomSection(out, "gfx", rom);
  if (label != nullptr) {
    out += "__label__\n";
    AppendLabelLines(out, *label);
  }
  for (std::string_view section : {"gff", "map", "sfx", "music"}) {
    AppendRomSection(out, section, rom);
  }
  return out;
}

std::string P8CodeText(const CartDocument& document) {
  const CartSection* section = FindSection(document, "lua");
  if (section == nullptr) return std::string();
  std::string code;
  // Lines cut at a lone CR are joined by LF, the one break code holds.
  if (section->lines.verbatim() && section->marker_break != "\r") {
    const std::string_view raw = section->lines.raw();
    code = raw;
    // The section's last break is not code. It is written as the marker's is: in a
    // file of LF breaks a CR before the last LF is the code's own last byte.
    if (code.ends_with('\n')) code.pop_back();
    if (section->marker_break == "\r\n" && code.ends_with('\r')) code.pop_back();
    return code;
  }
  bool first = true;
  for (std::string_view line : section->lines) {
    if (!first) code += '\n';
    code += line;
    first = false;
  }
  return code;
}

int P8Version(const CartDocument& document) {
  const CartSection* header = FindSection(document, "");
  if (header == nullptr) return kDefaultP8Version;
  int index = 0;
  for (std::string_view line : header->lines) {
    if (index++ != 1) continue;
    if (!line.starts_with("version ")) break;
    line.remove_prefix(8);
    int version = 0;
    size_t digits = 0;
    while (digits < line.size() && digits < 4 && line[digits] >= '0' && line[digits] <= '9') {
      version = version * 10 + (line[digits++] - '0');
    }
    if (digits == 0 || version > 255) break;
    return version;
  }
  return kDefaultP8Version;
}

}  // namespace brasswick
