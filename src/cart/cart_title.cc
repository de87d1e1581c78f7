// Title lines: UTF-8 decoding, upper-casing and drawing that keeps the payload.
#include "cart/cart_title.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>
#include <new>

#include "cart/cart_font.h"
#include "cart/cart_image.h"

namespace brasswick {

namespace {

constexpr int kTitleLeft = 16;
constexpr int kTitleWidth = 128;
constexpr int kTitleClearSampleX = 17;

// A UTF-8 character set of its own, so that upper-casing never depends on (or
// changes) the process locale; made once and kept until exit.
locale_t Utf8Locale() {
  static const locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      locale_t made = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
      if (made != static_cast<locale_t>(nullptr)) return made;
    }
    return static_cast<locale_t>(nullptr);
  }();
  return locale;
}

uint32_t UpperCase(uint32_t code_point) {
  locale_t locale = Utf8Locale();
  if (locale == static_cast<locale_t>(nullptr)) {
    return code_point >= 'a' && code_point <= 'z' ? code_point - ('a' - 'A') : code_point;
  }
  return static_cast<uint32_t>(towupper_l(static_cast<wint_t>(code_point), locale));
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The character starting at text[at] and its length in bytes; length 0 when the bytes
// there are not a well-formed character (overlong forms and surrogates included).
struct Decoded {
  uint32_t code_point = 0;
  size_t length = 0;
};
Decoded DecodeUtf8At(std::string_view text, size_t at) {
  const auto byte = [&](size_t n) { return static_cast<unsigned char>(text[at + n]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  // The lead byte gives the length, its own value bits and the smallest code point
  // that needs that length.
  struct Form {
    unsigned char mask, value, bits;
    size_t length;
    uint32_t smallest;
  };
  static constexpr Form kForms[] = {
      {0xE0, 0xC0, 0x1F, 2, 0x80}, {0xF0, 0xE0, 0x0F, 3, 0x800}, {0xF8, 0xF0, 0x07, 4, 0x10000}};
  const Form* form = nullptr;
  for (const Form& candidate : kForms) {
    if ((lead & candidate.mask) == candidate.value) form = &candidate;
  }
  if (form == nullptr) return {};
  const size_t length = form->length;
  uint32_t code_point = lead & form->bits;
  const uint32_t smallest = form->smallest;
  if (text.size() - at < length) return {};
  for (size_t n = 1; n < length; ++n) {
    if (!IsContinuation(byte(n))) return {};
    code_point = (code_point << 6) | (byte(n) & 0x3F);
  }
  if (code_point < smallest || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return {};
  }
  return {code_point, length};
}

void AppendUtf16(std::u16string& out, uint32_t code_point) {
  if (code_point < 0x10000) {
    out.push_back(static_cast<char16_t>(code_point));
    return;
  }
  code_point -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 | (code_point >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 | (code_point & 0x3FF)));
}

void DrawTitleLine(ImageDrawing& drawing, int y, std::u16string_view text) {
  const ColorValue background = drawing.Point(kTitleClearSampleX, y);
  drawing.Box(kTitleLeft, y, kTitleWidth, kCartFontHeight, background);
  DrawCartText(drawing, kCartTitleX, y, text, kCartTitleColor);
}

}  // namespace

std::optional<std::u16string> CartTitleText(std::string_view utf8) {
  std::u16string text;
  try {
    text.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
      Decoded decoded = DecodeUtf8At(utf8, at);
      if (decoded.length == 0) {
        ++at;  // not a character: skip this byte and resynchronise on the next
        continue;
      }
      AppendUtf16(text, UpperCase(decoded.code_point));
      at += decoded.length;
    }
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return text;
}

bool ApplyCartTitle(RgbaImage& image, std::string_view title, std::string_view subtitle) {
  if (!IsCartImageShape(image)) return false;
  std::optional<std::u16string> title_text = CartTitleText(title);
  std::optional<std::u16string> subtitle_text = CartTitleText(subtitle);
  if (!title_text || !subtitle_text) return false;
  // The drawing overwrites the payload bits of what it touches; they are put back
  // from this copy afterwards.
  std::optional<CartPayload> payload = DecodeCartPixels(image);
  if (!payload) return false;
  ImageDrawing drawing;
  if (!drawing.BeginDrawing(image)) return false;
  DrawTitleLine(drawing, kCartTitleY, *title_text);
  DrawTitleLine(drawing, kCartSubtitleY, *subtitle_text);
  drawing.EndDrawing();
  return EncodeCartPixels(image, *payload);
}

}  // namespace brasswick
