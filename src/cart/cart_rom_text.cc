#include "cart/cart_rom_text.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "cart/cart_code.h"
#include "cart/cart_image.h"
#include "cart/sha1.h"

namespace brasswick {
namespace {

constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";

constexpr size_t kGffStart = 0x3000;
constexpr size_t kMusicStart = 0x3100;
constexpr size_t kSfxStart = 0x3200;
constexpr size_t kMapStart = 0x2000;
constexpr size_t kSfxSize = 68;
constexpr int kSfxCount = 64;
constexpr int kMusicCount = 64;

void AppendHexByte(std::string& out, uint8_t byte) {
  out.push_back(kDigits[byte >> 4]);
  out.push_back(kDigits[byte & 15]);
}

// One ROM byte of the blank cartridge the console starts from.
uint8_t BlankByte(size_t address) {
  if (address >= kMusicStart && address < kSfxStart) {
    return static_cast<uint8_t>(0x41 + (address - kMusicStart) % 4);
  }
  if (address >= kSfxStart && address < kSfxStart + kSfxCount * kSfxSize &&
      (address - kSfxStart) % kSfxSize == 65) {
    return address - kSfxStart == 65 ? 1 : 16;
  }
  return 0;
}

// Whether the `size` bytes at `start` are those of the blank cartridge.
bool IsBlank(std::span<const uint8_t> rom, size_t start, size_t size) {
  for (size_t a = start; a < start + size; ++a) {
    if (rom[a] != BlankByte(a)) return false;
  }
  return true;
}

// The lines of a section of `count` lines of `stride` bytes from `start`, each followed
// by "\n", up to its last line that differs from the blank cartridge's; nothing when
// none differs.
template <typename WriteLine>
void AppendSectionLines(std::string& out, std::span<const uint8_t> rom, size_t start, size_t stride,
                        int count, WriteLine write_line) {
  int used = count;
  while (used > 0 && IsBlank(rom, start + (used - 1) * stride, stride)) --used;
  for (int line = 0; line < used; ++line) {
    write_line(out, rom.subspan(start + line * stride, stride));
    out += '\n';
  }
}

void AppendHexLine(std::string& out, std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes) AppendHexByte(out, byte);
}

// Memory keeps a byte's left pixel in its low nibble; the text writes it first.
void AppendSheetLine(std::string& out, std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes) {
    out.push_back(kDigits[byte & 15]);
    out.push_back(kDigits[byte >> 4]);
  }
}

// Filters, speed and loop bytes first, then each note's 16-bit word as pitch, waveform,
// volume and effect.
void AppendSfxLine(std::string& out, std::span<const uint8_t> bytes) {
  for (size_t i = 64; i < kSfxSize; ++i) AppendHexByte(out, bytes[i]);
  for (size_t note = 0; note < 32; ++note) {
    const unsigned word = bytes[2 * note] | (unsigned{bytes[2 * note + 1]} << 8);
    AppendHexByte(out, static_cast<uint8_t>(word & 0x3F));
    out.push_back(kDigits[((word >> 6) & 7) | ((word >> 12) & 8)]);
    out.push_back(kDigits[(word >> 9) & 7]);
    out.push_back(kDigits[(word >> 12) & 7]);
  }
}

// The channels' bit 7 gathered into the flag byte, their low seven bits after it.
void AppendMusicLine(std::string& out, std::span<const uint8_t> bytes) {
  uint8_t flags = 0;
  for (int i = 0; i < 4; ++i) flags |= static_cast<uint8_t>((bytes[i] >> 7) << i);
  AppendHexByte(out, flags);
  out.push_back(' ');
  for (int i = 0; i < 4; ++i) AppendHexByte(out, bytes[i] & 0x7F);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

// The line's digits from position at: each missing one is 0.
unsigned Digits(std::string_view line, size_t at, size_t count) {
  unsigned value = 0;
  for (size_t i = at; i < at + count; ++i) {
    value = value * 16 + static_cast<unsigned>(i < line.size() ? HexDigit(line[i]) : 0);
  }
  return value;
}

void ReadSheetLine(std::string_view line, std::span<uint8_t> bytes) {
  for (size_t x = 0; x < bytes.size(); ++x) {
    bytes[x] = static_cast<uint8_t>(Digits(line, 2 * x, 1) | Digits(line, 2 * x + 1, 1) << 4);
  }
}

void ReadHexLine(std::string_view line, std::span<uint8_t> bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(Digits(line, 2 * i, 2));
}

void ReadSfxLine(std::string_view line, std::span<uint8_t> bytes) {
  for (size_t i = 64; i < kSfxSize; ++i)
    bytes[i] = static_cast<uint8_t>(Digits(line, 2 * (i - 64), 2));
  for (size_t note = 0; note < 32; ++note) {
    const size_t at = 8 + 5 * note;
    const unsigned waveform = Digits(line, at + 2, 1);
    const unsigned word = (Digits(line, at, 2) & 0x3F) | (waveform & 7) << 6 |
                          (Digits(line, at + 3, 1) & 7) << 9 | (Digits(line, at + 4, 1) & 7) << 12 |
                          (waveform >> 3) << 15;
    bytes[2 * note] = static_cast<uint8_t>(word & 0xFF);
    bytes[2 * note + 1] = static_cast<uint8_t>(word >> 8);
  }
}

void ReadMusicLine(std::string_view line, std::span<uint8_t> bytes) {
  const unsigned flags = Digits(line, 0, 2);
  for (size_t i = 0; i < 4; ++i) {
    bytes[i] = static_cast<uint8_t>((Digits(line, 3 + 2 * i, 2) & 0x7F) | ((flags >> i) & 1) << 7);
  }
}

// The data sections in the order the console writes them (the label, which the ROM
// does not hold, goes between gfx and gff).
// Each is written and read a line a row, by its own pair of line functions.
struct RomSection {
  std::string_view marker;
  size_t start;
  size_t stride;
  int count;
  void (*write_line)(std::string& out, std::span<const uint8_t> bytes);
  void (*read_line)(std::string_view line, std::span<uint8_t> bytes);
};
constexpr RomSection kRomSections[] = {
    {"__gfx__", 0, 64, 128, AppendSheetLine, ReadSheetLine},
    {"__gff__", kGffStart, 128, 2, AppendHexLine, ReadHexLine},
    {"__map__", kMapStart, 128, 32, AppendHexLine, ReadHexLine},
    {"__sfx__", kSfxStart, kSfxSize, kSfxCount, AppendSfxLine, ReadSfxLine},
    {"__music__", kMusicStart, 4, kMusicCount, AppendMusicLine, ReadMusicLine},
};

void AppendSection(std::string& out, const RomSection& section, std::span<const uint8_t> rom) {
  const size_t before = out.size();
  out += section.marker;
  out += '\n';
  const size_t marked = out.size();
  AppendSectionLines(out, rom, section.start, section.stride, section.count, section.write_line);
  if (out.size() == marked) out.resize(before);
}

// Reads up to the section's count of lines into its rows; the rows of lines the
// document lacks keep what they hold.
void ReadSection(const CartDocument& document, const RomSection& known, std::span<uint8_t> rom) {
  const CartSection* section = FindSection(document, known.marker);
  if (section == nullptr) return;
  std::vector<std::string_view> lines;
  for (std::string_view line : section->lines) {
    if (static_cast<int>(lines.size()) == known.count) break;
    lines.push_back(line);
  }
  // Empty lines that end a section separate it from the next; they are no rows.
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (size_t y = 0; y < lines.size(); ++y)
    known.read_line(lines[y], rom.subspan(known.start + y * known.stride, known.stride));
}

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
  std::string out;
  out.reserve(code_text.size() + 64 * 1024);
  out += "pico-8 cartridge // http://www.pico-8.com\nversion ";
  out += std::to_string(version);
  out += "\n__lua__\n";
  out += code_text;
  // Always a break of its own after the code, which the reader takes off again, so
  // that code ending in a line break keeps it.
  if (!code_text.empty()) out += '\n';

  AppendSection(out, kRomSections[0], rom);
  if (label != nullptr) {
    out += "__label__\n";
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const size_t at = static_cast<size_t>(y) * 128 + x;
        const uint8_t color = at < label->size() ? (*label)[at] : 0;
        out.push_back(color < kLabelColorCount ? kDigits[color] : '0');
      }
      out += '\n';
    }
    out += '\n';
  }
  for (const RomSection& section : std::span(kRomSections).subspan(1)) {
    AppendSection(out, section, rom);
  }
  return out;
}

std::optional<std::string> RomSectionLines(std::span<const uint8_t> rom, std::string_view section) {
  if (rom.size() < kCartRomSize) return std::nullopt;
  const std::string marker = NormalizeSectionName(section);
  for (const RomSection& known : kRomSections) {
    if (known.marker != marker) continue;
    std::string out;
    out.reserve(known.stride * 2 * known.count + known.count);
    AppendSectionLines(out, rom, known.start, known.stride, known.count, known.write_line);
    return out;
  }
  return std::nullopt;
}

CartPayload P8DataToRom(const CartDocument& document) {
  CartPayload payload(kCartPayloadSize, 0);
  for (size_t address = 0; address < kCodeAreaStart; ++address)
    payload[address] = BlankByte(address);
  const std::span<uint8_t> rom(payload.data(), kCartRomSize);
  for (const RomSection& section : kRomSections) ReadSection(document, section, rom);
  return payload;
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
