// The code compressor on any bytes (cut to the console's code limit), by each search
// and keeping the smaller: the stream it makes decodes back to exactly those bytes, through the
// area's decoder when it fits the area and through the stream decoder when it does not, and its
// header states the code's length and the stream's own.
#include "cart/code_compressor.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cart/cart_code.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string code(brasswick::fuzz::AsText(data, std::min(size, brasswick::kMaxCodeLength)));
  std::optional<size_t> smallest;
  for (const int search : {0, 1, 2}) {
    const std::optional<std::string> stream =
        search == 0 ? brasswick::CompressCode(code)
                    : brasswick::CompressCodeBySearch(
                          code, search == 1 ? brasswick::CompressSearch::kQuick
                                            : brasswick::CompressSearch::kThorough);
    FUZZ_CHECK(stream.has_value());
    std::vector<uint8_t> bytes(stream->begin(), stream->end());
    FUZZ_CHECK(bytes.size() >= 8);
    FUZZ_CHECK(brasswick::fuzz::ReadBe16(bytes.data() + 4) == code.size());
    FUZZ_CHECK(brasswick::fuzz::ReadBe16(bytes.data() + 6) ==
               std::min<size_t>(bytes.size(), 0xFFFF));
    FUZZ_CHECK(brasswick::DecodeCodeStream(bytes) == code);
    if (bytes.size() <= brasswick::kCodeAreaSize) {
      bytes.resize(brasswick::kCodeAreaSize, 0);
      FUZZ_CHECK(brasswick::DecodeCodeArea(bytes) == code);
    }
    // The kept stream is the smaller of the two searches'.
    if (search == 0) smallest = stream->size();
    if (search != 0) FUZZ_CHECK(*smallest <= stream->size());
  }
  return 0;
}
