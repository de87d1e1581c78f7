#include "html/html_player.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "cart/cart_image.h"
#include "cart/text_file.h"
#include "html/base64.h"
#include "runtime/platform/file_system.h"

namespace brasswick {
namespace {

constexpr std::string_view kImageUriStart = "\"data:image/";
constexpr std::string_view kPlaceholderPrefix = "%BRASSWICK-";
constexpr size_t kNpos = std::string_view::npos;

// One value found in the page: where it stands and which field holds it.
struct ValueSpot {
  size_t start;
  size_t end;
  std::string_view placeholder;
  std::string* field;
};

// In [from, limit) of text: the range after marker up to the next terminator (or, when
// there is none, the next fallback if one is given). None when either is missing.
std::optional<std::pair<size_t, size_t>> FindValue(std::string_view text, size_t from, size_t limit,
                                                   std::string_view marker, char terminator,
                                                   char fallback = '\0') {
  const std::string_view area = text.substr(0, limit);
  const size_t at = area.find(marker, from);
  if (at == kNpos) return std::nullopt;
  const size_t value_start = at + marker.size();
  size_t value_end = area.find(terminator, value_start);
  if (value_end == kNpos && fallback != '\0') value_end = area.find(fallback, value_start);
  if (value_end == kNpos) return std::nullopt;
  return std::make_pair(value_start, value_end);
}

// The value spots of the page, in the fixed order background, foreground, touch
// background, title; a spot that overlaps an earlier one is left out.
std::vector<ValueSpot> FindValueSpots(const std::string& html, HtmlPlayerDocument& player) {
  std::vector<ValueSpot> spots;
  auto add = [&](std::optional<std::pair<size_t, size_t>> range, std::string_view placeholder,
                 std::string* field) {
    if (!range) return;
    const auto [start, end] = *range;
    for (const ValueSpot& spot : spots) {
      if ((start < spot.end && spot.start < end) || start == spot.start) return;
    }
    spots.push_back({start, end, placeholder, field});
  };

  const size_t body = html.find("<body");
  if (body != kNpos) {
    const size_t tag_end = html.find('>', body);
    if (tag_end != kNpos) {
      add(FindValue(html, body, tag_end, "background-color:", ';'), kBackgroundPlaceholder,
          &player.background_color);
      add(FindValue(html, body, tag_end, " color:", ';', '"'), kForegroundPlaceholder,
          &player.foreground_color);
    }
  }
  const size_t touch = html.find("id=\"touch_controls_background");
  if (touch != kNpos) {
    const size_t tag_end = html.find('>', touch);
    if (tag_end != kNpos) {
      add(FindValue(html, touch, tag_end, "background-color:", ';'), kTouchBackgroundPlaceholder,
          &player.touch_background_color);
    }
  }
  const size_t title = html.find("<title>");
  if (title != kNpos) {
    const size_t title_start = title + std::string_view("<title>").size();
    const size_t title_end = html.find("</title>", title_start);
    if (title_end != kNpos) {
      add(std::make_pair(title_start, title_end), kTitlePlaceholder, &player.title);
    }
  }
  return spots;
}

int CountOccurrences(std::string_view text, std::string_view needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != kNpos; at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

// The data URI number index: the position of its opening quote and of its closing one.
std::optional<std::pair<size_t, size_t>> FindImageUri(std::string_view html, int index) {
  if (index < 0) return std::nullopt;
  size_t at = kNpos;
  size_t from = 0;
  for (int n = 0; n <= index; ++n) {
    at = FindIgnoringCase(html, kImageUriStart, from);
    if (at == kNpos) return std::nullopt;
    from = at + 1;
  }
  const size_t close = html.find('"', at + 1);
  if (close == kNpos) return std::nullopt;
  return std::make_pair(at, close);
}

}  // namespace

HtmlPlayerPtr LoadHtmlPlayer(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes || bytes->find("p8_playarea") == std::string::npos) return nullptr;
  HtmlPlayerPtr player(new (std::nothrow) HtmlPlayerDocument);
  if (!player) return nullptr;
  try {
    const std::string& page = *bytes;
    if (page.find(kPlaceholderPrefix) != std::string::npos) {
      player->html = std::move(*bytes);
      player->fills_placeholders = false;
      player->image_count = CountOccurrences(player->html, kImageUriStart);
      return player;
    }
    std::vector<ValueSpot> spots = FindValueSpots(page, *player);
    std::sort(spots.begin(), spots.end(),
              [](const ValueSpot& a, const ValueSpot& b) { return a.start < b.start; });
    std::string html;
    html.reserve(page.size() + spots.size() * kTouchBackgroundPlaceholder.size());
    size_t copied = 0;
    for (const ValueSpot& spot : spots) {
      html.append(page, copied, spot.start - copied);
      *spot.field = page.substr(spot.start, spot.end - spot.start);
      html += spot.placeholder;
      copied = spot.end;
    }
    html.append(page, copied);
    player->html = std::move(html);
    player->image_count = CountOccurrences(player->html, kImageUriStart);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return player;
}

bool SaveHtmlPlayer(const HtmlPlayerDocument& player, const std::string& path) {
  if (path.empty()) return false;
  if (!player.fills_placeholders) return WriteFileAtomic(path, player.html);
  const std::pair<std::string_view, const std::string*> values[] = {
      {kBackgroundPlaceholder, &player.background_color},
      {kForegroundPlaceholder, &player.foreground_color},
      {kTouchBackgroundPlaceholder, &player.touch_background_color},
      {kTitlePlaceholder, &player.title},
  };
  // One pass, so that a value holding placeholder text is written as it is.
  const std::string_view html(player.html);
  std::string page;
  page.reserve(html.size());
  size_t copied = 0;
  for (size_t at = html.find(kPlaceholderPrefix); at != kNpos;
       at = html.find(kPlaceholderPrefix, at)) {
    const auto value = std::find_if(std::begin(values), std::end(values), [&](const auto& entry) {
      return html.substr(at).starts_with(entry.first);
    });
    if (value == std::end(values)) {
      ++at;
      continue;
    }
    page.append(html.substr(copied, at - copied));
    page += *value->second;
    at += value->first.size();
    copied = at;
  }
  page.append(html.substr(copied));
  return WriteFileAtomic(path, page);
}

std::string_view EmbeddedImagePayload(const HtmlPlayerDocument& player, int index) {
  const auto uri = FindImageUri(player.html, index);
  if (!uri) return {};
  const std::string_view text =
      std::string_view(player.html).substr(uri->first, uri->second - uri->first);
  const size_t comma = text.find(',');
  if (comma == kNpos) return {};
  return text.substr(comma + 1);
}

std::string EmbeddedImageData(const HtmlPlayerDocument& player, int index) {
  return std::string(EmbeddedImagePayload(player, index));
}

ImagePtr DecodeEmbeddedImage(const HtmlPlayerDocument& player, int index) {
  const std::optional<std::vector<uint8_t>> bytes =
      Base64Decode(EmbeddedImagePayload(player, index));
  if (!bytes) return nullptr;
  return LoadImageFromMemory(bytes->data(), bytes->size());
}

int FindEmbeddedLabel(const HtmlPlayerDocument& player, ImagePtr* label) {
  for (int i = 0; i < EmbeddedImageCount(player); ++i) {
    ImagePtr picture = DecodeEmbeddedImage(player, i);
    if (!picture || picture->width() != kCartLabelSide || picture->height() != kCartLabelSide) {
      continue;
    }
    if (label != nullptr) *label = std::move(picture);
    return i;
  }
  return -1;
}

bool ReplaceEmbeddedImage(HtmlPlayerDocument& player, int index, std::string_view base64) {
  const auto uri = FindImageUri(player.html, index);
  if (!uri) return false;
  const size_t media_start = uri->first + kImageUriStart.size();
  std::string html;
  html.reserve(player.html.size() + base64.size());
  html.append(player.html, 0, media_start);
  html += "png;base64,";
  html += base64;
  html.append(player.html, uri->second);
  player.html = std::move(html);
  return true;
}

std::string FindPlayerHtmlForJs(const std::string& path) {
  if (ReadTextFile(path).find("_cartdat") == std::string::npos) return "";
  const std::string folder = FolderOf(path);
  const std::string candidates[] = {ReplaceExtension(path, "html"), ReplaceExtension(path, "htm"),
                                    folder + "index.html", folder + "index.htm"};
  for (const std::string& candidate : candidates) {
    if (candidate == path) continue;
    if (ReadTextFile(candidate).find(".p8_menu_button") != std::string::npos) return candidate;
  }
  return "";
}

}  // namespace brasswick
