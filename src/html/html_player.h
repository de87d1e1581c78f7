// An exported player page: its text, the four values the program may change (page
// background and foreground in the body tag, the touch-screen background, the title),
// and the pictures it embeds as data URIs, counted in page order. The page is bytes in
// and bytes out: whatever is not changed is written back exactly as it was read, a
// leading byte-order mark included.
//
// Nothing here prints; every operation reports failure by its result.
#ifndef BRASSWICK_HTML_HTML_PLAYER_H_
#define BRASSWICK_HTML_HTML_PLAYER_H_

#include <memory>
#include <string>
#include <string_view>

#include "runtime/image/image.h"

namespace brasswick {

// Stand in the page text for the four values; SaveHtmlPlayer fills them in.
inline constexpr std::string_view kBackgroundPlaceholder = "%BRASSWICK-BGCOL%";
inline constexpr std::string_view kForegroundPlaceholder = "%BRASSWICK-FGCOL%";
inline constexpr std::string_view kTouchBackgroundPlaceholder = "%BRASSWICK-BGCOLTOUCH%";
inline constexpr std::string_view kTitlePlaceholder = "%BRASSWICK-TITLE%";

struct HtmlPlayerDocument {
  // The page with a placeholder where each value was found. A value that was not found
  // has none, and setting it changes nothing in the file.
  std::string html;
  std::string background_color;        // background-color in the body tag's style
  std::string foreground_color;        // color in the body tag's style
  std::string touch_background_color;  // background-color of touch_controls_background
  std::string title;                   // between <title> and </title>
  int image_count = 0;                 // '"data:image/' in html, exact case
  // False when the page itself held placeholder text: then none were put in, and the
  // page is saved as it stands.
  bool fills_placeholders = true;
};

using HtmlPlayerPtr = std::unique_ptr<HtmlPlayerDocument>;

// Loads a page that holds "p8_playarea". A value's text is taken as written (leading
// blanks included): background-color up to its ";", color (after a blank, so that
// background-color does not match) up to its ";" or else the closing double quote.
// A page that already holds "%BRASSWICK-" text gets no placeholders, so that it is
// still written back unchanged. None when the file cannot be read, is not such a page,
// or memory runs out; the caller owns the result.
HtmlPlayerPtr LoadHtmlPlayer(const std::string& path);
inline void FreeHtmlPlayer(HtmlPlayerPtr& player) { player.reset(); }

// Writes the page with the current values in place of the placeholders, through the
// atomic writer. False, with any existing file left as it was, for an empty path or
// when the file cannot be written.
bool SaveHtmlPlayer(const HtmlPlayerDocument& player, const std::string& path);

inline int EmbeddedImageCount(const HtmlPlayerDocument& player) { return player.image_count; }

// The base64 payload (after the first comma up to the closing double quote) of the
// data URI number index, 0-based in page order, found ignoring case. "" when there is
// no such picture, it is not closed, or it has no comma.
std::string EmbeddedImageData(const HtmlPlayerDocument& player, int index);
// The same payload as a view into the page, without a copy; valid until the page
// changes.
std::string_view EmbeddedImagePayload(const HtmlPlayerDocument& player, int index);

// Picture number index decoded from its base64 payload; none when there is no such
// picture or its payload is not base64 of a PNG, JPEG or BMP. The caller owns it.
ImagePtr DecodeEmbeddedImage(const HtmlPlayerDocument& player, int index);
// The number of the page's first picture that decodes to 128 x 128, the player's
// label, with that picture in *label when label is not null; -1 when there is none.
// Pictures after it are not decoded.
int FindEmbeddedLabel(const HtmlPlayerDocument& player, ImagePtr* label);

// Makes picture number index a PNG data URI with the given base64 payload; the rest of
// the page is kept. False, with the page unchanged, when the picture or its closing
// double quote is not found.
bool ReplaceEmbeddedImage(HtmlPlayerDocument& player, int index, std::string_view base64);

// The player page of a script file holding "_cartdat": the first of its name with
// ".html", with ".htm", then "index.html" and "index.htm" in its folder, that is not
// path itself and holds ".p8_menu_button". "" when there is none.
std::string FindPlayerHtmlForJs(const std::string& path);

}  // namespace brasswick

#endif  // BRASSWICK_HTML_HTML_PLAYER_H_
