// An exported player page: its text, the four values the program may change (page
// background and foreground in the body tag, the touch-screen background, the title),
// and the pictures it embeds as data URIs, counted in page order. The page is bytes in
// and bytes out: whatever is not changed is written back exactly as it was read, a
// leading UTF-8 byte-order mark included; a UTF-16 page is read as text and written as
// UTF-8.
//
// The document remembers where each value and each picture stands in the page, so it
// never marks the page with text of its own that the page might already hold. The
// page text is therefore changed only through the functions below, which keep those
// positions right.
//
// Nothing here prints; every operation reports failure by its result.
#ifndef BRASSWICK_HTML_HTML_PLAYER_H_
#define BRASSWICK_HTML_HTML_PLAYER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"

namespace brasswick {

// Where a value stands in the page: [start, end), or nowhere.
struct PageSpan {
  static constexpr size_t kNowhere = std::string::npos;
  size_t start = kNowhere;
  size_t end = kNowhere;
  bool found() const { return start != kNowhere; }
};

// One embedded picture: the quote that opens its data URI and the same quote that
// closes it (kNowhere when the page ends first).
struct PageImageUri {
  size_t open = PageSpan::kNowhere;
  size_t close = PageSpan::kNowhere;
};

struct HtmlPlayerDocument {
  // The page as read. Read it freely; change it only through the functions below.
  std::string html;
  // The values as found in the page, or as set later. A value that was not found has
  // no place in the page, and setting it changes nothing in the file.
  std::string background_color;        // background-color in the body tag's style
  std::string foreground_color;        // color in the body tag's style
  std::string touch_background_color;  // background-color of touch_controls_background
  std::string title;                   // between <title> and </title>
  // The page opens a title that it never closes, so a new title has no place.
  bool title_unclosed = false;

  // Where the values and the pictures stand in html; kept by the functions below.
  PageSpan background_span;
  PageSpan foreground_span;
  PageSpan touch_background_span;
  PageSpan title_span;
  std::vector<PageImageUri> images;
};

using HtmlPlayerPtr = std::unique_ptr<HtmlPlayerDocument>;

// Loads a page that holds "p8_playarea", its text decoded as every text file is. Tag
// names are found without regard to case. A value's text is taken as written (leading
// blanks included), up to the first ";" or double quote after it: background-color
// in the body tag, color after a blank there (so that background-color does not
// match), and background-color in the tag of id="touch_controls_background". None
// when the file cannot be read or is not such a page; the caller owns the result.
HtmlPlayerPtr LoadHtmlPlayer(const std::string& path);
// The same from a page's text already read and decoded, which the document takes over.
HtmlPlayerPtr HtmlPlayerFromText(std::string text);

// Writes the page with the current values in their places, through the atomic writer
// by `files`. Fails for an empty path or when the file cannot be written; any existing
// file is then left as the result says.
WriteResult SaveHtmlPlayer(const HtmlPlayerDocument& player, const std::string& path,
                           FileAccess& files = RealFiles());

// The pictures are the data URIs of an image ("data:image/" in any letter case) opened
// by a double or a single quote and closed by the next quote of the same kind; a URI
// left open runs to the end of the page.
inline int EmbeddedImageCount(const HtmlPlayerDocument& player) {
  return static_cast<int>(player.images.size());
}

// The base64 payload (after the first comma up to the closing quote) of picture number
// index, 0-based in page order, as a view into the page, valid until the page changes.
// "" when there is no such picture, it is not closed, or it has no comma.
std::string_view EmbeddedImagePayload(const HtmlPlayerDocument& player, int index);

// The width and height that picture number index declares in its file header, read
// from as little of its payload as tells them; none when there is no such picture or
// its payload is not base64 of a PNG, JPEG or BMP header.
std::optional<ImageSize> EmbeddedImageSize(const HtmlPlayerDocument& player, int index);

// Picture number index decoded from its base64 payload; none when there is no such
// picture or its payload is not base64 of a PNG, JPEG or BMP. The caller owns it.
ImagePtr DecodeEmbeddedImage(const HtmlPlayerDocument& player, int index);
// The same, but only a picture whose header declares a size that wanted accepts is
// decoded at all; none for the others.
ImagePtr DecodeEmbeddedImageIf(const HtmlPlayerDocument& player, int index,
                               const std::function<bool(const ImageSize&)>& wanted);
// The number of the page's first picture that decodes to 128 x 128, the player's
// label, with that picture in *label when label is not null; -1 when there is none.
// Only pictures whose header declares 128 x 128 are decoded.
int FindEmbeddedLabel(const HtmlPlayerDocument& player, ImagePtr* label);

// Makes picture number index a PNG data URI with the given base64 payload; the rest of
// the page is kept. False, with the page unchanged, when the picture is not found or
// not closed.
bool ReplaceEmbeddedImage(HtmlPlayerDocument& player, int index, std::string_view base64);

// Several pictures replaced as ReplaceEmbeddedImage does, in one pass over the page.
// The indices must be distinct. False, with the page unchanged, when any of them is
// not found or not closed.
struct EmbeddedImageEdit {
  int index = -1;
  std::string base64;
};
bool ReplaceEmbeddedImages(HtmlPlayerDocument& player, std::vector<EmbeddedImageEdit> edits);

// Where the page's first "</head>" (any letter case) begins; kNowhere when it has none.
size_t FindHeadEnd(const HtmlPlayerDocument& player);
// Inserts text at position at of the page (at most its length), so that what stood
// there follows it. False, with the page unchanged, for a position past the end.
bool InsertPageText(HtmlPlayerDocument& player, size_t at, std::string_view text);

// The player page of the script file at path, by FindPageForScript: "" when the file
// is a page itself (told by its markup), holds no "_cartdat", or has no page beside it.
std::string FindPlayerHtmlForJs(const std::string& path);

}  // namespace brasswick

#endif  // BRASSWICK_HTML_HTML_PLAYER_H_
