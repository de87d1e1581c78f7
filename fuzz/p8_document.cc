// The .p8 loader and the section byte decoders on any file. A file loads exactly when
// it starts (after a UTF-8 byte-order mark) with "pico-8 cartridge"; its sections are
// the marker lines found by cutting each section's lines by its kind; saving it
// unchanged gives its bytes back exactly; the sheet, map and label decoders give the
// bytes the hex pairs of the sections say, and writing those bytes back reads them
// back, leaving the file before the rewritten section as it was.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_layout.h"
#include "fuzz_support.h"

namespace {

using brasswick::ByteBuffer;
using brasswick::CartDocument;

constexpr std::string_view kSignature = "pico-8 cartridge";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBreak(char c) { return c == '\n' || c == '\r' || c == '\0'; }

bool IsMarker(std::string_view line) {
  return line.size() >= 2 && line.substr(0, 2) == "__" && line.substr(line.size() - 2) == "__";
}

struct Marker {
  size_t start;
  std::string_view line;
};

// The marker lines and where they start. Lines end at "\r\n", "\n", "\r" and NUL, except in a
// "__lua__" section, where only "\n" ends one (a CR right before it is not part of
// the line), or, when that marker line itself ended with a lone "\r", "\r\n", "\n" and "\r".
std::vector<Marker> FindMarkers(std::string_view text) {
  std::vector<Marker> markers;
  bool code = false;
  bool code_at_cr = false;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i;
    size_t next;
    if (code && code_at_cr) {
      while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
      next = end + 1;
      if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++next;
    } else if (code) {
      while (end < text.size() && text[end] != '\n') ++end;
      next = end + 1;
      if (end < text.size() && end > i && text[end - 1] == '\r') --end;
    } else {
      while (end < text.size() && !IsBreak(text[end])) ++end;
      next = end + 1;
      if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++next;
    }
    const std::string_view line = text.substr(i, end - i);
    if (IsMarker(line)) {
      markers.push_back({i, line});
      code = line == "__lua__";
      code_at_cr = code && end < text.size() && text[end] == '\r' &&
                   (end + 1 >= text.size() || text[end + 1] != '\n');
    }
    i = next;
  }
  return markers;
}

// "\r\n" when the first 128 characters after the mark (up to a NUL) hold one.
std::string ExpectedNewline(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  size_t characters = 0;
  size_t end = 0;
  for (; end < text.size() && text[end] != '\0'; ++end) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) continue;
    if (characters == 128) break;
    ++characters;
  }
  return text.substr(0, end).find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a section's digit pairs, each read as hex up to its first non-hex digit.
ByteBuffer PairBytes(const brasswick::CartSection& section) {
  ByteBuffer bytes;
  for (std::string_view line : section.lines) {
    for (size_t i = 0; i + 1 < line.size(); i += 2) {
      const int high = HexValue(line[i]);
      const int low = HexValue(line[i + 1]);
      bytes.push_back(static_cast<uint8_t>(high < 0 ? 0 : low < 0 ? high : high * 16 + low));
    }
  }
  return bytes;
}

void CheckSheet(CartDocument& document) {
  const brasswick::CartSection* gfx = brasswick::FindSection(document, "gfx");
  const std::optional<ByteBuffer> sheet = brasswick::SheetBytes(document, false);
  const std::optional<ByteBuffer> half = brasswick::SheetBytes(document, true);
  FUZZ_CHECK(sheet.has_value() == half.has_value());
  if (gfx == nullptr) FUZZ_CHECK(!sheet.has_value());
  if (!sheet) return;
  FUZZ_CHECK(sheet->size() == brasswick::kSheetByteCount);
  FUZZ_CHECK(half->size() == brasswick::kSheetHalfByteCount);
  FUZZ_CHECK(std::equal(half->begin(), half->end(), sheet->begin()));
  const ByteBuffer pairs = PairBytes(*gfx);
  for (size_t i = 0; i < sheet->size(); ++i) {
    FUZZ_CHECK((*sheet)[i] == (i < pairs.size() ? pairs[i] : 0));
  }
  for (int n = 0; n < 256; ++n) {
    const int column = (n % 16) * 4;
    const int row = (n / 16) * 8;
    bool blank = true;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 4; ++x) blank = blank && (*sheet)[(row + y) * 64 + column + x] == 0;
    }
    FUZZ_CHECK(brasswick::IsSpriteBlank(*sheet, n) == blank);
  }
  // Writing the bytes the section held back and reading the sheet again gives the same
  // bytes (the whole sheet would cost the run most of its time).
  const size_t held = std::max<size_t>(1, std::min(pairs.size(), sheet->size()));
  FUZZ_CHECK(brasswick::WriteSectionBytes(document, "gfx", std::span(sheet->data(), held)));
  const std::optional<ByteBuffer> again = brasswick::SheetBytes(document, false);
  FUZZ_CHECK(again.has_value() && *again == *sheet);
}

void CheckMapAndLabel(const CartDocument& document) {
  const std::optional<ByteBuffer> map = brasswick::MapBytes(document, true);
  const std::optional<ByteBuffer> upper = brasswick::MapBytes(document, false);
  if (map) FUZZ_CHECK(map->size() == brasswick::kMapByteCount);
  if (upper) FUZZ_CHECK(upper->size() == brasswick::kMapHalfByteCount);
  if (map && upper) FUZZ_CHECK(std::equal(upper->begin(), upper->end(), map->begin()));
  const std::optional<ByteBuffer> label =
      brasswick::ReadSectionBytes(document, "label", brasswick::kLabelByteCount, 0, true);
  if (label) FUZZ_CHECK(label->size() == brasswick::kLabelByteCount);
  for (const char* name : {"sfx", "music", "gff"}) {
    const std::optional<ByteBuffer> bytes =
        brasswick::ReadSectionBytes(document, name, 0, 0, false);
    if (bytes) {
      FUZZ_CHECK(static_cast<int64_t>(bytes->size()) ==
                 brasswick::SectionByteCount(brasswick::FindSection(document, name)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input_path = brasswick::fuzz::ScratchPath(".p8");
  static const std::string output_path = brasswick::fuzz::ScratchPath(".saved.p8");
  const std::string_view text = brasswick::fuzz::AsText(data, size);
  FUZZ_CHECK(brasswick::fuzz::WriteScratch(input_path, text));

  std::optional<CartDocument> document = brasswick::LoadCartDocument(input_path);
  std::string_view body = text;
  if (body.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    body.remove_prefix(kByteOrderMark.size());
  }
  const bool signed_text = body.substr(0, kSignature.size()) == kSignature;
  const std::vector<Marker> markers = FindMarkers(text);
  FUZZ_CHECK(document.has_value() == (signed_text && markers.size() < brasswick::kMaxCartSections));
  if (!document) return 0;

  FUZZ_CHECK(document->newline == ExpectedNewline(text));
  FUZZ_CHECK(!document->sections.empty() && document->sections.front().name.empty());
  for (const brasswick::CartSection& section : document->sections) {
    for (std::string_view line : section.lines) FUZZ_CHECK(!IsMarker(line));
  }
  FUZZ_CHECK(document->sections.size() == markers.size() + 1);

  FUZZ_CHECK(brasswick::SaveCartDocument(*document, output_path));
  FUZZ_CHECK(brasswick::fuzz::ReadScratch(output_path) == text);

  CheckMapAndLabel(*document);
  // Everything before the gfx marker is left as it was by rewriting that section.
  const auto gfx = std::find_if(markers.begin(), markers.end(),
                                [](const Marker& marker) { return marker.line == "__gfx__"; });
  const std::string_view before_gfx = text.substr(0, gfx == markers.end() ? 0 : gfx->start);
  CheckSheet(*document);
  if (gfx != markers.end()) {
    FUZZ_CHECK(brasswick::SaveCartDocument(*document, output_path));
    FUZZ_CHECK(brasswick::fuzz::ReadScratch(output_path).substr(0, before_gfx.size()) ==
               before_gfx);
  }
  return 0;
}
