// The one cartridge reader on any file: a .p8 text, a cartridge picture, a player page
// with its script tags, a script, or a raw ROM. Whatever it makes of the bytes is one form, with
// the input first among the files read and a payload that is a whole cartridge or, for
// a page whose cartridge is not found, empty.
#include <string>

#include "cart/cart_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = brasswick::fuzz::ScratchPath(".html");
  if (!brasswick::fuzz::WriteScratch(path, brasswick::fuzz::AsText(data, size))) return 0;
  const std::optional<brasswick::CartFile> file = brasswick::ReadCartFile(path);
  if (!file) return 0;
  FUZZ_CHECK(!file->read_paths.empty() && file->read_paths.front() == path);
  switch (file->form) {
    case brasswick::CartForm::kText:
      FUZZ_CHECK(file->document.has_value() && file->payload.empty());
      break;
    case brasswick::CartForm::kPicture:
      FUZZ_CHECK(file->picture != nullptr && file->payload.size() == brasswick::kCartPayloadSize);
      break;
    case brasswick::CartForm::kPlayer:
      FUZZ_CHECK(file->payload.empty() || file->payload.size() == brasswick::kCartPayloadSize);
      // The input is the page, the script, or both.
      FUZZ_CHECK(file->page_path == path || file->script_path == path);
      break;
    case brasswick::CartForm::kRom:
      FUZZ_CHECK(file->payload.size() == brasswick::kCartPayloadSize);
      break;
  }
  return 0;
}
