// Title lines: UTF-8 decoding, upper-casing and drawing that keeps the payload.
#include "cart/cart_title.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>
#include <new>

#include "cart/cart_font.h"
#include "cart/cart_image.h"
#include "runtime/text/text_codes.h"

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

std::u16string CartTitleText(std::string_view utf8) {
  std::u16string text;
  text.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const Utf8Character decoded = DecodeUtf8At(utf8, at);
    if (decoded.length == 0) {
      ++at;  // not a character: skip this byte and resynchronise on the next
      continue;
    }
    AppendUtf16(text, UpperCase(decoded.code_point));
    at += decoded.length;
  }
  return text;
}

bool ApplyCartTitle(RgbaImage& image, std::string_view title, std::string_view subtitle) {
  if (!IsCartImageShape(image)) return false;
  const std::u16string title_text = CartTitleText(title);
  const std::u16string subtitle_text = CartTitleText(subtitle);
  // The drawing overwrites the payload bits of what it touches; they are put back
  // from this copy afterwards.
  std::optional<CartPayload> payload = DecodeCartPixels(image);
  if (!payload) return false;
  ImageDrawing drawing;
  if (!drawing.BeginDrawing(image)) return false;
  DrawTitleLine(drawing, kCartTitleY, title_text);
  DrawTitleLine(drawing, kCartSubtitleY, subtitle_text);
  drawing.EndDrawing();
  return EncodeCartPixels(image, *payload);
}

}  // namespace brasswick
