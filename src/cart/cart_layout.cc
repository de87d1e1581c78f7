#include "cart/cart_layout.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "runtime/text/text_codes.h"

namespace brasswick {
namespace {

// A pair read as a hex number up to its first non-hex character.
uint8_t PairValue(char first, char second) {
  int high = HexDigitValue(first);
  if (high < 0) return 0;
  int low = HexDigitValue(second);
  if (low < 0) return static_cast<uint8_t>(high);
  return static_cast<uint8_t>(high * 16 + low);
}

std::string BareSectionName(std::string_view name) {
  std::size_t begin = name.find_first_not_of('_');
  if (begin == std::string_view::npos) return std::string();
  std::size_t end = name.find_last_not_of('_');
  std::string bare(name.substr(begin, end - begin + 1));
  for (char& c : bare) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return bare;
}

constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";

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

// The line's digit at position at as a number (0 for none or a character that is no hex
// digit), and its pair there by the rule of every pair (PairValue; 0 when missing).
unsigned Digit(std::string_view line, size_t at) {
  const int value = at < line.size() ? HexDigitValue(line[at]) : -1;
  return value < 0 ? 0 : static_cast<unsigned>(value);
}
unsigned Pair(std::string_view line, size_t at) {
  if (at >= line.size()) return 0;
  return PairValue(line[at], at + 1 < line.size() ? line[at + 1] : ' ');
}

void ReadSfxLine(std::string_view line, std::span<uint8_t> bytes) {
  for (size_t i = 64; i < kSfxSize; ++i) bytes[i] = static_cast<uint8_t>(Pair(line, 2 * (i - 64)));
  for (size_t note = 0; note < 32; ++note) {
    const size_t at = 8 + 5 * note;
    const unsigned waveform = Digit(line, at + 2);
    const unsigned word = (Pair(line, at) & 0x3F) | (waveform & 7) << 6 |
                          (Digit(line, at + 3) & 7) << 9 | (Digit(line, at + 4) & 7) << 12 |
                          (waveform >> 3) << 15;
    bytes[2 * note] = static_cast<uint8_t>(word & 0xFF);
    bytes[2 * note + 1] = static_cast<uint8_t>(word >> 8);
  }
}

void ReadMusicLine(std::string_view line, std::span<uint8_t> bytes) {
  const unsigned flags = Pair(line, 0);
  for (size_t i = 0; i < 4; ++i) {
    bytes[i] = static_cast<uint8_t>((Pair(line, 3 + 2 * i) & 0x7F) | ((flags >> i) & 1) << 7);
  }
}

// The data sections in the order the console writes them (the label, which the ROM
// does not hold, goes between gfx and gff). Each is written a line a row by its line
// function. The sections of plain bytes are read as every reader of a section reads
// digit pairs (DecodeSectionHex: pairs in order across lines, the sheet's reversed into
// memory order); the sound's lines have fields of their own and are read a line a row.
struct RomSection {
  std::string_view marker;
  size_t start;
  size_t stride;
  int count;
  void (*write_line)(std::string& out, std::span<const uint8_t> bytes);
  void (*read_line)(std::string_view line, std::span<uint8_t> bytes);  // null: pairs
  bool swap;  // pairs: each reversed, a byte's left pixel going to its low nibble
};
constexpr RomSection kRomSections[] = {
    {"__gfx__", kSheetStart, kSheetRowBytes, kSheetSide, AppendSheetLine, nullptr, true},
    {"__gff__", kFlagsStart, 128, 2, AppendHexLine, nullptr, false},
    {"__map__", kMapStart, kMapColumns, kSharedMapRow, AppendHexLine, nullptr, false},
    {"__sfx__", kSfxStart, kSfxSize, kSfxCount, AppendSfxLine, ReadSfxLine, false},
    {"__music__", kMusicStart, kMusicPatternSize, kMusicCount, AppendMusicLine, ReadMusicLine,
     false},
};

const RomSection* FindRomSection(std::string_view name) {
  const std::string marker = NormalizeSectionName(name);
  for (const RomSection& known : kRomSections) {
    if (known.marker == marker) return &known;
  }
  return nullptr;
}

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
  if (known.read_line == nullptr) {
    const int64_t size = static_cast<int64_t>(known.stride) * known.count;
    DecodeSectionHex(section, rom.subspan(known.start, known.stride * known.count), size, 0,
                     known.swap, true);
    return;
  }
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

// A label digit's colour: "0"-"9", then "a"-"v" in either case; 0 for anything else.
constexpr uint8_t LabelDigitColor(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower >= 'a' && lower <= 'v') return static_cast<uint8_t>(lower - 'a' + 10);
  return 0;
}

}  // namespace

int64_t SectionByteCount(const CartSection* section) {
  if (section == nullptr) return 0;
  int64_t characters = 0;
  for (std::string_view line : section->lines) characters += static_cast<int64_t>(line.size());
  return characters / 2;
}

int64_t DecodeSectionHex(const CartSection* section, std::span<uint8_t> buffer, int64_t count,
                         int64_t skip, bool swap, bool pad) {
  if (section == nullptr || buffer.empty() || count < 1) return 0;
  count = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
  if (skip < 0) skip = 0;
  if (SectionByteCount(section) < count && !pad) return 0;

  int64_t written = 0;
  for (std::string_view line : section->lines) {
    if (written == count) break;
    for (std::size_t i = 0; i + 1 < line.size() && written < count; i += 2) {
      if (skip > 0) {
        --skip;
        continue;
      }
      buffer[written++] = swap ? PairValue(line[i + 1], line[i]) : PairValue(line[i], line[i + 1]);
    }
  }
  if (pad) {
    std::fill(buffer.begin() + written, buffer.begin() + count, 0);
    written = count;
  }
  return written;
}

std::optional<ByteBuffer> ReadSectionBytes(const CartDocument& document, std::string_view name,
                                           int64_t size, int64_t offset, bool allow_short) {
  if (name.empty()) return std::nullopt;
  const CartSection* section = FindSection(document, name);
  if (section == nullptr) return std::nullopt;
  int64_t available = SectionByteCount(section);
  if (size == 0) size = available;
  if (size < 1) return std::nullopt;
  if (offset < 0) offset = 0;

  int64_t wanted = size;
  if (available < size) {
    if (!allow_short || available < 1) return std::nullopt;
    wanted = available;
  }
  ByteBuffer bytes(static_cast<std::size_t>(size), 0);
  if (DecodeSectionHex(section, bytes, wanted, offset, false, false) < wanted) return std::nullopt;
  return bytes;
}

bool WriteSectionBytes(CartDocument& document, std::string_view name,
                       std::span<const uint8_t> bytes, int64_t bytes_per_line) {
  if (bytes.empty()) return false;
  CartSection* section = FindSection(document, name, true);
  section->lines.clear();

  std::string bare = BareSectionName(section->name);
  if (bytes_per_line < 1) {
    if (bare == "map") {
      bytes_per_line = 128;
    } else if (bare == "sfx") {
      bytes_per_line = 84;
    } else {
      bytes_per_line = 64;
    }
  }

  std::string line;
  for (size_t at = 0; at < bytes.size(); at += static_cast<size_t>(bytes_per_line)) {
    line.clear();
    AppendHexLine(
        line, bytes.subspan(at, std::min(bytes.size() - at, static_cast<size_t>(bytes_per_line))));
    section->lines.push_back(line);
  }
  if (bare == "label") section->lines.push_back("");
  return true;
}

std::optional<ByteBuffer> SheetBytes(const CartDocument& document, bool upper_half_only) {
  return ReadSectionBytes(document, "gfx", upper_half_only ? kSheetHalfByteCount : kSheetByteCount,
                          0, true);
}

std::optional<ByteBuffer> MapBytes(const CartDocument& document, bool with_shared_half) {
  if (!with_shared_half) return ReadSectionBytes(document, "map", kMapHalfByteCount, 0, true);

  ByteBuffer bytes(kMapByteCount, 0);
  std::span<uint8_t> upper(bytes.data(), kMapHalfByteCount);
  std::span<uint8_t> lower(bytes.data() + kMapHalfByteCount, kMapHalfByteCount);
  if (DecodeSectionHex(FindSection(document, "map"), upper, kMapHalfByteCount, 0, false, true) ==
      0) {
    return std::nullopt;
  }
  // The sheet's lower half read with each pair reversed: console memory keeps the left
  // pixel in the low nibble, and that byte is the map cell.
  if (DecodeSectionHex(FindSection(document, "gfx"), lower, kMapHalfByteCount, kSheetHalfByteCount,
                       true, true) == 0) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> RomSectionLines(std::span<const uint8_t> rom, std::string_view section) {
  if (rom.size() < kCartRomSize) return std::nullopt;
  const RomSection* known = FindRomSection(section);
  if (known == nullptr) return std::nullopt;
  std::string out;
  out.reserve(known->stride * 2 * known->count + known->count);
  AppendSectionLines(out, rom, known->start, known->stride, known->count, known->write_line);
  return out;
}

CartPayload P8DataToRom(const CartDocument& document) {
  CartPayload payload(kCartPayloadSize, 0);
  for (size_t address = 0; address < kCodeAreaStart; ++address)
    payload[address] = BlankByte(address);
  const std::span<uint8_t> rom(payload.data(), kCartRomSize);
  for (const RomSection& section : kRomSections) ReadSection(document, section, rom);
  return payload;
}

void AppendRomSection(std::string& out, std::string_view section, std::span<const uint8_t> rom) {
  const RomSection* known = FindRomSection(section);
  if (known != nullptr && rom.size() >= kCartRomSize) AppendSection(out, *known, rom);
}

void AppendLabelLines(std::string& out, const LabelPixels& label) {
  for (int y = 0; y < kLabelSide; ++y) {
    for (int x = 0; x < kLabelSide; ++x) {
      const size_t at = static_cast<size_t>(y) * kLabelSide + x;
      const uint8_t color = at < label.size() ? label[at] : 0;
      out.push_back(color < kLabelColorCount ? kDigits[color] : '0');
    }
    out += '\n';
  }
  out += '\n';
}

std::optional<LabelPixels> ReadLabelPixels(const CartDocument& document) {
  const CartSection* section = FindSection(document, "label");
  if (section == nullptr || section->lines.empty()) return std::nullopt;
  LabelPixels pixels(static_cast<size_t>(kLabelPixelCount), 0);
  constexpr size_t kSide = kLabelSide;
  size_t y = 0;
  for (const std::string_view line : section->lines) {
    if (y == kSide) break;
    const size_t count = std::min(line.size(), kSide);
    for (size_t x = 0; x < count; ++x) pixels[y * kSide + x] = LabelDigitColor(line[x]);
    ++y;
  }
  return pixels;
}

namespace {

// Where a section the console writes goes when a cartridge lacks it: after the last
// section that comes before it in the console's order, or right after the header.
constexpr std::string_view kConsoleOrder[] = {"__lua__", "__gfx__", "__label__", "__gff__",
                                              "__map__", "__sfx__", "__music__"};

int ConsoleRank(std::string_view marker) {
  const auto found = std::find(std::begin(kConsoleOrder), std::end(kConsoleOrder), marker);
  return found == std::end(kConsoleOrder) ? -1 : static_cast<int>(found - kConsoleOrder);
}

}  // namespace

void RewriteRomSection(CartDocument& document, std::string_view name,
                       std::span<const uint8_t> rom) {
  std::optional<std::string> lines = RomSectionLines(rom, name);
  if (!lines) return;
  if (lines->empty()) lines = std::string(name == "gfx" ? 128 : 256, '0') + "\n";
  CartSection* section = FindSection(document, name);
  if (!section) {
    const std::string marker = NormalizeSectionName(name);
    const int rank = ConsoleRank(marker);
    size_t position = 1;
    for (size_t i = 1; i < document.sections.size(); ++i) {
      const int other = ConsoleRank(document.sections[i].name);
      if (other >= 0 && other < rank) position = i + 1;
    }
    section = &*document.sections.insert(document.sections.begin() + position,
                                         CartSection(marker, CartLines()));
  }
  section->lines.clear();
  std::string_view rest = *lines;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    section->lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
}

}  // namespace brasswick
