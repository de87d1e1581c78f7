// The code compressor as the command benchmark's floor calls it from C: counting a
// cartridge's code compresses it, so the floor of that row does too.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "cart/code_compressor.h"

extern "C" size_t FloorCompressCode(const unsigned char* code, size_t size) {
  const std::optional<std::string> stream =
      brasswick::CompressCode(std::string_view(reinterpret_cast<const char*>(code), size));
  return stream ? stream->size() : 0;
}
