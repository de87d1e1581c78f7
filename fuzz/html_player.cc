// The player page loader, its embedded pictures and base64, on any page text. A page
// loads exactly when it holds "p8_playarea" and is saved back unchanged byte for byte;
// each picture's payload decodes to bytes that encode and decode to themselves, and the
// picture loaders are run on them; writing a PNG payload back over itself changes
// nothing; new values and inserted head text land in their places. The input bytes
// themselves go through base64 and back.
#include "html/html_player.h"

#include <optional>
#include <string>
#include <vector>

#include "cart/text_file.h"
#include "fuzz_support.h"
#include "html/base64.h"
#include "runtime/image/image.h"

namespace {

// Pictures per page looked at; a page of thousands would only repeat the work.
constexpr int kPicturesChecked = 8;

void CheckBase64RoundTrip(const uint8_t* data, size_t size) {
  // One alphabet and padding choice a run, by the input's length.
  constexpr int kFlags[] = {0, brasswick::kBase64UrlAlphabet, brasswick::kBase64NoPadding};
  {
    const int flags = kFlags[size % 3];
    const std::string text = brasswick::Base64Encode(data, size, flags);
    FUZZ_CHECK(text.size() == (flags == 0 ? (size + 2) / 3 * 4 : text.size()));
    const std::optional<std::vector<uint8_t>> back = brasswick::Base64Decode(text);
    if (size == 0) {
      FUZZ_CHECK(text.empty() && !back.has_value());
    } else {
      FUZZ_CHECK(back.has_value() && *back == std::vector<uint8_t>(data, data + size));
    }
  }
}

void CheckPayload(const std::string& payload) {
  const std::optional<std::vector<uint8_t>> bytes = brasswick::Base64Decode(payload);
  if (!bytes) return;
  const std::string again = brasswick::Base64Encode(bytes->data(), bytes->size());
  FUZZ_CHECK(brasswick::Base64Decode(again) == bytes);
  brasswick::ImagePtr picture = brasswick::LoadImageFromMemory(bytes->data(), bytes->size());
  if (picture) FUZZ_CHECK(picture->width() >= 1 && picture->height() >= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string page_path = brasswick::fuzz::ScratchPath(".html");
  static const std::string saved_path = brasswick::fuzz::ScratchPath(".saved.html");
  const std::string_view text = brasswick::fuzz::AsText(data, size);
  CheckBase64RoundTrip(data, size);
  CheckPayload(std::string(text));

  FUZZ_CHECK(brasswick::fuzz::WriteScratch(page_path, text));
  brasswick::HtmlPlayerPtr page = brasswick::LoadHtmlPlayer(page_path);
  // A UTF-8 mark is kept with the page; any other text is read decoded.
  const std::string expected = text.starts_with("\xEF\xBB\xBF")
                                   ? std::string(text)
                                   : brasswick::DecodeTextBytes(std::string(text));
  FUZZ_CHECK((page != nullptr) == (expected.find("p8_playarea") != std::string::npos));
  if (!page) return 0;
  FUZZ_CHECK(brasswick::SaveHtmlPlayer(*page, saved_path));
  FUZZ_CHECK(brasswick::fuzz::ReadScratch(saved_path) == expected);

  const int count = brasswick::EmbeddedImageCount(*page);
  FUZZ_CHECK(count >= 0);
  for (int i = 0; i < count && i < kPicturesChecked; ++i) {
    CheckPayload(std::string(brasswick::EmbeddedImagePayload(*page, i)));
    brasswick::EmbeddedImageSize(*page, i);
  }
  FUZZ_CHECK(brasswick::EmbeddedImagePayload(*page, -1).empty());

  // Every closed picture written back with its own payload and a new title and
  // colours: pictures still hold their payloads, and the values land in their places
  // whatever the page holds.
  std::vector<brasswick::EmbeddedImageEdit> edits;
  for (int i = 0; i < count; ++i) {
    if (page->images[i].close != std::string::npos) {
      edits.push_back({i, std::string(brasswick::EmbeddedImagePayload(*page, i))});
    }
  }
  FUZZ_CHECK(brasswick::ReplaceEmbeddedImages(*page, edits));
  for (const brasswick::EmbeddedImageEdit& edit : edits) {
    FUZZ_CHECK(brasswick::EmbeddedImagePayload(*page, edit.index) == edit.base64);
  }
  FUZZ_CHECK(brasswick::EmbeddedImageCount(*page) == count);
  const size_t head_end = brasswick::FindHeadEnd(*page);
  if (head_end != std::string::npos) {
    FUZZ_CHECK(brasswick::InsertPageText(*page, head_end, "<meta>"));
    FUZZ_CHECK(page->html.compare(head_end, 6, "<meta>") == 0);
    FUZZ_CHECK(brasswick::FindHeadEnd(*page) == head_end + 6);
  }
  page->title = "%T%";
  page->background_color = "%B%";
  FUZZ_CHECK(brasswick::SaveHtmlPlayer(*page, saved_path));
  const std::string saved = brasswick::fuzz::ReadScratch(saved_path);
  if (page->title_span.found()) FUZZ_CHECK(saved.find("%T%") != std::string::npos);
  if (page->background_span.found()) FUZZ_CHECK(saved.find("%B%") != std::string::npos);
  return 0;
}
