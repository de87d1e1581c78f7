// The player page loader, its embedded pictures and base64, on any page text. A page
// loads exactly when it holds "p8_playarea" and is saved back unchanged byte for byte;
// each picture's payload decodes to bytes that encode and decode to themselves, and the
// picture loaders are run on them; writing a PNG payload back over itself changes
// nothing. The input bytes themselves go through base64 and back.
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
  FUZZ_CHECK((page != nullptr) == (text.find("p8_playarea") != std::string_view::npos));
  if (!page) return 0;
  FUZZ_CHECK(brasswick::SaveHtmlPlayer(*page, saved_path));
  FUZZ_CHECK(brasswick::fuzz::ReadScratch(saved_path) == text);

  const int count = brasswick::EmbeddedImageCount(*page);
  FUZZ_CHECK(count >= 0);
  for (int i = 0; i < count && i < kPicturesChecked; ++i) {
    CheckPayload(brasswick::EmbeddedImageData(*page, i));
  }
  FUZZ_CHECK(brasswick::EmbeddedImageData(*page, -1).empty());

  // Picture 0 written back with its own payload: a page whose first data URI already
  // says "png;base64," is left as it was; any page then holds the payload there.
  if (count > 0) {
    const size_t hit = brasswick::FindIgnoringCase(page->html, "\"data:image/");
    const size_t close = hit == std::string::npos ? hit : page->html.find('"', hit + 1);
    if (close != std::string::npos) {
      const std::string uri = page->html.substr(hit + 12, close - hit - 12);
      const std::string payload = brasswick::EmbeddedImageData(*page, 0);
      const std::string before = page->html;
      FUZZ_CHECK(brasswick::ReplaceEmbeddedImage(*page, 0, payload));
      if (uri.rfind("png;base64,", 0) == 0) FUZZ_CHECK(page->html == before);
      FUZZ_CHECK(brasswick::EmbeddedImageData(*page, 0) == payload);
      FUZZ_CHECK(brasswick::EmbeddedImageCount(*page) == count);
    }
  }
  return 0;
}
