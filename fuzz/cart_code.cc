// The code area's decoders and the code character table on any bytes. The input, cut
// or padded with zeros to the area's size, decodes to at most the console's code limit
// and never more than its header states; plain code is the bytes up to the first zero.
// Any bytes written as .p8 text read back as the same bytes (but for a CR LF, which is
// one line break, and byte 0, which code cannot hold), and any text the table takes
// writes back as itself once it is in the form the writer gives.
#include "cart/cart_code.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

// The bytes that code bytes written as text read back as: none for a zero byte, each
// CR LF one LF.
std::optional<std::string> ReadBack(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  std::string back;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    back += bytes[i];
  }
  return back;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> area(data, data + std::min(size, brasswick::kCodeAreaSize));
  area.resize(brasswick::kCodeAreaSize, 0);
  const std::optional<std::string> code = brasswick::DecodeCodeArea(area);
  const bool current = area[0] == 0x00 && area[1] == 0x70 && area[2] == 0x78 && area[3] == 0x61;
  const bool old = area[0] == 0x3A && area[1] == 0x63 && area[2] == 0x3A && area[3] == 0x00;
  if (code) {
    FUZZ_CHECK(code->size() <= brasswick::kMaxCodeLength);
    if (current || old) FUZZ_CHECK(code->size() <= brasswick::fuzz::ReadBe16(area.data() + 4));
    const std::string text = brasswick::CodeBytesToText(*code);
    FUZZ_CHECK(brasswick::CodeTextToBytes(text) == ReadBack(*code));
  } else {
    FUZZ_CHECK(current || old);
  }
  if (!current && !old) {
    const auto zero = std::find(area.begin(), area.end(), 0);
    FUZZ_CHECK(code == std::string(area.begin(), zero));
  }
  FUZZ_CHECK(!brasswick::DecodeCodeArea(std::span(area).first(brasswick::kCodeAreaSize - 1)));

  const std::string_view input = brasswick::fuzz::AsText(data, size);
  const std::string text = brasswick::CodeBytesToText(input);
  FUZZ_CHECK(brasswick::CodeTextToBytes(text) == ReadBack(input));

  brasswick::CodeTextFault fault{size + 1, 0};
  const std::optional<std::string> bytes = brasswick::CodeTextToBytes(input, &fault);
  if (bytes) {
    FUZZ_CHECK(fault.offset == size + 1);
    FUZZ_CHECK(bytes->size() <= size);
    // Written back, then read again: the same bytes (the writer's form may add the
    // selectors an emoji was read without).
    FUZZ_CHECK(brasswick::CodeTextToBytes(brasswick::CodeBytesToText(*bytes)) == ReadBack(*bytes));
  } else {
    FUZZ_CHECK(fault.offset < size);
    // Everything before the refused character is text the table takes.
    FUZZ_CHECK(brasswick::CodeTextToBytes(input.substr(0, fault.offset)).has_value());
  }
  return 0;
}
