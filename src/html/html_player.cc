#include "html/html_player.h"

#include <algorithm>
#include <new>
#include <utility>

#include "cart/cart_image.h"
#include "cart/cart_memory.h"
#include "cart/cart_reader.h"
#include "cart/text_file.h"
#include "html/base64.h"
#include "runtime/platform/file_system.h"
#include "runtime/text/text_search.h"

namespace brasswick {
namespace {

constexpr size_t kNowhere = PageSpan::kNowhere;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kImageMedia = "data:image/";
// Enough base64 for the header of a PNG or BMP and of most JPEGs.
constexpr size_t kPeekCharacters = 1024;

// One stretch of the page [start, end) to be given new text; an insertion has
// start == end.
struct Splice {
  size_t start;
  size_t end;
  std::string_view text;
};

// Every picture of the page in one pass: each quote followed by "data:image/" opens a
// URI that the next quote of its kind closes. An unclosed one takes in the rest of
// the page.
std::vector<PageImageUri> IndexPictures(std::string_view html) {
  std::vector<PageImageUri> images;
  size_t at = html.find_first_of("\"'");
  while (at != kNowhere) {
    if (FindIgnoringCase(html.substr(at + 1, kImageMedia.size()), kImageMedia) != 0) {
      at = html.find_first_of("\"'", at + 1);
      continue;
    }
    const size_t close = html.find(html[at], at + 1 + kImageMedia.size());
    images.push_back({at, close});
    if (close == kNowhere) break;
    at = html.find_first_of("\"'", close + 1);
  }
  return images;
}

// Whether position lies within a picture's URI after its opening quote, where a
// picture's replacement would not keep it right.
bool InsidePicture(const std::vector<PageImageUri>& images, size_t position) {
  auto after =
      std::upper_bound(images.begin(), images.end(), position,
                       [](size_t value, const PageImageUri& image) { return value <= image.open; });
  if (after == images.begin()) return false;
  const PageImageUri& image = *(after - 1);
  return image.close == kNowhere || position <= image.close;
}

// In [from, limit) of text: the value after marker up to the first ";" or double
// quote, the end of a declaration or of the style attribute. None when either is
// missing.
PageSpan FindValue(std::string_view text, size_t from, size_t limit, std::string_view marker) {
  const std::string_view area = text.substr(0, limit);
  const size_t at = area.find(marker, from);
  if (at == kNowhere) return {};
  const size_t value_start = at + marker.size();
  const size_t value_end = area.find_first_of(";\"", value_start);
  if (value_end == kNowhere) return {};
  return {value_start, value_end};
}

// Finds the four values in the fixed order background, foreground, touch background,
// title. A span that overlaps an earlier one, or whose edge lies inside a picture, is
// left out.
void FindValues(HtmlPlayerDocument& player) {
  const std::string_view html(player.html);
  std::vector<PageSpan> taken;
  auto take = [&](PageSpan span, PageSpan& spot, std::string& field) {
    if (!span.found()) return;
    for (const PageSpan& other : taken) {
      if ((span.start < other.end && other.start < span.end) || span.start == other.start) return;
    }
    if (InsidePicture(player.images, span.start) || InsidePicture(player.images, span.end)) return;
    taken.push_back(span);
    spot = span;
    field = html.substr(span.start, span.end - span.start);
  };

  const size_t body = FindIgnoringCase(html, "<body");
  if (body != kNowhere) {
    const size_t tag_end = html.find('>', body);
    if (tag_end != kNowhere) {
      take(FindValue(html, body, tag_end, "background-color:"), player.background_span,
           player.background_color);
      take(FindValue(html, body, tag_end, " color:"), player.foreground_span,
           player.foreground_color);
    }
  }
  const size_t touch = html.find("id=\"touch_controls_background");
  if (touch != kNowhere) {
    const size_t tag_end = html.find('>', touch);
    if (tag_end != kNowhere) {
      take(FindValue(html, touch, tag_end, "background-color:"), player.touch_background_span,
           player.touch_background_color);
    }
  }
  constexpr std::string_view kTitleOpen = "<title>";
  const size_t title = FindIgnoringCase(html, kTitleOpen);
  if (title != kNowhere) {
    const size_t title_start = title + kTitleOpen.size();
    const size_t title_end = FindIgnoringCase(html, "</title>", title_start);
    if (title_end == kNowhere) {
      player.title_unclosed = true;
    } else {
      take({title_start, title_end}, player.title_span, player.title);
    }
  }
}

// Gives the page the splices (in page order, not overlapping) in one pass, and moves
// every remembered position past a splice by the change in length it brings: a
// position at an insertion or at the end of a replaced stretch follows the new text.
void ApplySplices(HtmlPlayerDocument& player, const std::vector<Splice>& splices) {
  if (splices.empty()) return;
  std::vector<ptrdiff_t> shift;  // shift[k]: the change brought by the first k splices
  std::string html;
  size_t size = player.html.size();
  for (const Splice& splice : splices) size += splice.text.size() - (splice.end - splice.start);
  html.reserve(size);
  shift.reserve(splices.size() + 1);
  shift.push_back(0);
  size_t copied = 0;
  for (const Splice& splice : splices) {
    html.append(player.html, copied, splice.start - copied);
    html += splice.text;
    copied = splice.end;
    shift.push_back(shift.back() + static_cast<ptrdiff_t>(splice.text.size()) -
                    static_cast<ptrdiff_t>(splice.end - splice.start));
  }
  html.append(player.html, copied);
  player.html = std::move(html);
  auto move = [&](size_t& position) {
    if (position == kNowhere) return;
    const auto passed =
        std::upper_bound(splices.begin(), splices.end(), position,
                         [](size_t value, const Splice& splice) { return value < splice.end; });
    position += shift[passed - splices.begin()];
  };
  for (PageSpan* span : {&player.background_span, &player.foreground_span,
                         &player.touch_background_span, &player.title_span}) {
    move(span->start);
    move(span->end);
  }
  for (PageImageUri& image : player.images) {
    move(image.open);
    move(image.close);
  }
}

// The payload's header bytes, decoded from its start when that suffices and from the
// whole payload otherwise (then kept in *whole for the caller to decode).
std::optional<ImageSize> PeekImageSize(std::string_view payload,
                                       std::optional<std::vector<uint8_t>>* whole) {
  if (payload.size() > kPeekCharacters) {
    const std::optional<std::vector<uint8_t>> head =
        Base64Decode(payload.substr(0, kPeekCharacters));
    if (head) {
      const std::optional<ImageSize> size = ReadImageSize(head->data(), head->size());
      if (size) return size;
    }
  }
  *whole = Base64Decode(payload);
  if (!*whole) return std::nullopt;
  return ReadImageSize((*whole)->data(), (*whole)->size());
}

}  // namespace

HtmlPlayerPtr LoadHtmlPlayer(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxPageFileSize);
  if (!bytes) return nullptr;
  // A UTF-8 mark is part of the page as the user keeps it, so it is written back.
  const bool utf8_mark = bytes->starts_with(kUtf8Mark);
  std::string html = DecodeTextBytes(std::move(*bytes));
  if (utf8_mark) html.insert(0, kUtf8Mark);
  return HtmlPlayerFromText(std::move(html));
}

HtmlPlayerPtr HtmlPlayerFromText(std::string text) {
  HtmlPlayerPtr player(new HtmlPlayerDocument);
  player->html = std::move(text);
  if (player->html.find("p8_playarea") == std::string::npos) return nullptr;
  player->images = IndexPictures(player->html);
  FindValues(*player);
  return player;
}

WriteResult SaveHtmlPlayer(const HtmlPlayerDocument& player, const std::string& path,
                           FileAccess& files) {
  if (path.empty()) return {};
  const std::pair<const PageSpan*, const std::string*> values[] = {
      {&player.background_span, &player.background_color},
      {&player.foreground_span, &player.foreground_color},
      {&player.touch_background_span, &player.touch_background_color},
      {&player.title_span, &player.title},
  };
  std::vector<std::pair<const PageSpan*, const std::string*>> found;
  for (const auto& value : values) {
    if (value.first->found()) found.push_back(value);
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first->start < b.first->start; });
  std::string page;
  size_t size = player.html.size();
  for (const auto& [span, text] : found) size += text->size();
  page.reserve(size);
  size_t copied = 0;
  for (const auto& [span, text] : found) {
    page.append(player.html, copied, span->start - copied);
    page += *text;
    copied = span->end;
  }
  page.append(player.html, copied);
  return WriteFileAtomic(path, page, files);
}

std::string_view EmbeddedImagePayload(const HtmlPlayerDocument& player, int index) {
  if (index < 0 || index >= EmbeddedImageCount(player)) return {};
  const PageImageUri& image = player.images[index];
  if (image.close == kNowhere) return {};
  const std::string_view uri =
      std::string_view(player.html).substr(image.open + 1, image.close - image.open - 1);
  const size_t comma = uri.find(',');
  if (comma == kNowhere) return {};
  return uri.substr(comma + 1);
}

std::optional<ImageSize> EmbeddedImageSize(const HtmlPlayerDocument& player, int index) {
  std::optional<std::vector<uint8_t>> whole;
  return PeekImageSize(EmbeddedImagePayload(player, index), &whole);
}

ImagePtr DecodeEmbeddedImage(const HtmlPlayerDocument& player, int index) {
  const std::optional<std::vector<uint8_t>> bytes =
      Base64Decode(EmbeddedImagePayload(player, index));
  if (!bytes) return nullptr;
  return LoadImageFromMemory(bytes->data(), bytes->size());
}

ImagePtr DecodeEmbeddedImageIf(const HtmlPlayerDocument& player, int index,
                               const std::function<bool(const ImageSize&)>& wanted) {
  const std::string_view payload = EmbeddedImagePayload(player, index);
  std::optional<std::vector<uint8_t>> bytes;
  const std::optional<ImageSize> size = PeekImageSize(payload, &bytes);
  if (!size || !wanted(*size)) return nullptr;
  if (!bytes) bytes = Base64Decode(payload);
  if (!bytes) return nullptr;
  return LoadImageFromMemory(bytes->data(), bytes->size());
}

int FindEmbeddedLabel(const HtmlPlayerDocument& player, ImagePtr* label) {
  const auto is_label = [](const ImageSize& size) {
    return size.width == kCartLabelSide && size.height == kCartLabelSide;
  };
  for (int i = 0; i < EmbeddedImageCount(player); ++i) {
    ImagePtr picture = DecodeEmbeddedImageIf(player, i, is_label);
    if (!picture || picture->width() != kCartLabelSide || picture->height() != kCartLabelSide) {
      continue;
    }
    if (label != nullptr) *label = std::move(picture);
    return i;
  }
  return -1;
}

bool ReplaceEmbeddedImage(HtmlPlayerDocument& player, int index, std::string_view base64) {
  return ReplaceEmbeddedImages(player, {{index, std::string(base64)}});
}

bool ReplaceEmbeddedImages(HtmlPlayerDocument& player, std::vector<EmbeddedImageEdit> edits) {
  constexpr std::string_view kPngHeader = "png;base64,";
  std::sort(edits.begin(), edits.end(),
            [](const auto& a, const auto& b) { return a.index < b.index; });
  std::vector<std::string> uris;
  std::vector<Splice> splices;
  uris.reserve(edits.size());
  splices.reserve(edits.size());
  for (size_t n = 0; n < edits.size(); ++n) {
    const int index = edits[n].index;
    if (index < 0 || index >= EmbeddedImageCount(player)) return false;
    if (n > 0 && edits[n - 1].index == index) return false;
    const PageImageUri& image = player.images[index];
    if (image.close == kNowhere) return false;
    std::string& uri = uris.emplace_back();
    uri.reserve(kPngHeader.size() + edits[n].base64.size());
    uri += kPngHeader;
    uri += edits[n].base64;
    splices.push_back({image.open + 1 + kImageMedia.size(), image.close, uri});
  }
  ApplySplices(player, splices);
  return true;
}

size_t FindHeadEnd(const HtmlPlayerDocument& player) {
  return FindIgnoringCase(player.html, "</head>");
}

bool InsertPageText(HtmlPlayerDocument& player, size_t at, std::string_view text) {
  if (at > player.html.size()) return false;
  ApplySplices(player, {{at, at, text}});
  return true;
}

std::string FindPlayerHtmlForJs(const std::string& path) {
  return FindPageForScript(path, ReadTextFile(path));
}

}  // namespace brasswick
