// Small player pages and scripts of the exported shape, for the page and command tests:
// a body tag with its colours, a title, the touch-controls element, the play area, the
// menu-button style and the pictures as data URIs, in the order given. Header-only so
// that every test room can use it without linking the page room.
#ifndef BRASSWICK_TESTS_PLAYER_PAGE_H_
#define BRASSWICK_TESTS_PLAYER_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brasswick::testing {

// RFC 4648 base64 with padding, written out here so that the tests do not check the
// page room's codec against itself.
inline std::string TestBase64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t bits = 0;
  int held = 0;
  for (const char c : bytes) {
    bits = (bits << 8) | static_cast<uint8_t>(c);
    held += 8;
    while (held >= 6) {
      held -= 6;
      out += kAlphabet[(bits >> held) & 63];
    }
  }
  if (held > 0) out += kAlphabet[(bits << (6 - held)) & 63];
  while (out.size() % 4 != 0) out += '=';
  return out;
}
inline std::string TestBase64(const std::vector<uint8_t>& bytes) {
  return TestBase64(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The bytes of a padded base64 text; characters outside the alphabet are skipped.
inline std::string TestBase64Decode(std::string_view text) {
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t bits = 0;
  int held = 0;
  for (const char c : text) {
    if (c == '=') break;
    const size_t value = kAlphabet.find(c);
    if (value == std::string_view::npos) continue;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out += static_cast<char>((bits >> held) & 0xFF);
    }
  }
  return out;
}

struct PageImage {
  std::string media_type;  // "png", "jpeg", ...
  std::string base64;
};

inline std::string PlayerPageText(const std::vector<PageImage>& images,
                                  std::string_view title = "Test Game") {
  std::string page =
      "<!DOCTYPE html>\r\n<html><head>\r\n<title>" + std::string(title) +
      "</title>\r\n<style>\r\n.p8_menu_button{ opacity:0.3; }\r\n</style>\r\n</head>\r\n"
      "<body style=\"padding:0px; margin:0px; background-color:#222; color:#ccc\">\r\n"
      "<div id=\"touch_controls_background\" style=\" pointer-events:none; "
      "background-color:#000; position:fixed\"></div>\r\n"
      "<div id=\"p8_playarea\">\r\n";
  for (const PageImage& image : images) {
    page += "<img src=\"data:image/" + image.media_type + ";base64," + image.base64 + "\">\r\n";
  }
  page += "</div>\r\n</body></html>\r\n";
  return page;
}

// A script that holds the list as the exported ones do, inside other code.
inline std::string PlayerScriptText(std::string_view list) {
  return "var _cdpos=0; var iii=0;\nvar _cartname=['game.p8'];\nvar _cartdat=[" +
         std::string(list) + "];\nfunction _start(){ return _cartdat.length; }\n";
}

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_PLAYER_PAGE_H_
