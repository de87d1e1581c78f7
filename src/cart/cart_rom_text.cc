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
namespace {

struct ConsoleVersion {
  int id;
  uint8_t major, minor, patch;
};
constexpr ConsoleVersion kConsoleVersions[] = {
    {28, 0, 2, 0}, {29, 0, 2, 1}, {30, 0, 2, 2}, {31, 0, 2, 2}, {32, 0, 2, 2}, {33, 0, 2, 3},
    {34, 0, 2, 4}, {35, 0, 2, 4}, {36, 0, 2, 4}, {37, 0, 2, 5}, {38, 0, 2, 5}, {39, 0, 2, 5},
    {40, 0, 2, 5}, {41, 0, 2, 5}, {42, 0, 2, 6}, {43, 0, 2, 7},
};

}  // namespace

std::optional<std::string> RomToP8Text(std::span<const uint8_t> rom, std::string_view code_text,
                                       const LabelPixels* label, int version) {
  if (rom.size() < kCartRomSize) return std::nullopt;
  try {
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
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::string> P8CodeText(const CartDocument& document) {
  const CartSection* section = FindSection(document, "lua");
  if (section == nullptr) return std::string();
  try {
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
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
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

bool TrailerHashMatches(std::span<const uint8_t> rom, std::span<const uint8_t> trailer) {
  if (rom.size() < kCartRomSize || trailer.size() < kTrailerHashOffset + kSha1Size) return false;
  const std::span<const uint8_t> hash = trailer.subspan(kTrailerHashOffset, kSha1Size);
  if (std::all_of(hash.begin(), hash.end(), [](uint8_t b) { return b == 0; })) return true;
  const std::array<uint8_t, kSha1Size> digest = Sha1(rom.first(kCartRomSize));
  return std::equal(hash.begin(), hash.end(), digest.begin());
}

std::array<uint8_t, kCartTrailerSize> MakeTrailer(std::span<const uint8_t> rom, int version) {
  std::array<uint8_t, kCartTrailerSize> trailer{};
  trailer[0] = static_cast<uint8_t>(version);
  for (const ConsoleVersion& known : kConsoleVersions) {
    if (known.id == version) {
      trailer[1] = known.major;
      trailer[2] = known.minor;
      trailer[3] = known.patch;
    }
  }
  if (rom.size() >= kCartRomSize) {
    const std::array<uint8_t, kSha1Size> digest = Sha1(rom.first(kCartRomSize));
    std::copy(digest.begin(), digest.end(), trailer.begin() + kTrailerHashOffset);
  }
  return trailer;
}

void RefreshTrailerHash(std::span<const uint8_t> rom, std::span<uint8_t> trailer) {
  if (rom.size() < kCartRomSize || trailer.size() < kTrailerHashOffset + kSha1Size) return;
  const std::span<uint8_t> hash = trailer.subspan(kTrailerHashOffset, kSha1Size);
  if (std::all_of(hash.begin(), hash.end(), [](uint8_t b) { return b == 0; })) return;
  const std::array<uint8_t, kSha1Size> digest = Sha1(rom.first(kCartRomSize));
  std::copy(digest.begin(), digest.end(), hash.begin());
}

}  // namespace brasswick
