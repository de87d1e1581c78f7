// What the fuzz targets share: a scratch file for the readers that load from a path,
// the checks that turn a wrong result into a crash libFuzzer reports, and small byte
// readers for the header fields a target compares a decoded picture against.
#ifndef BRASSWICK_FUZZ_FUZZ_SUPPORT_H_
#define BRASSWICK_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// A property that does not hold is a finding: say which, then trap so that libFuzzer
// keeps the input.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                                      \
    }                                                                                        \
  } while (0)

namespace brasswick::fuzz {

// A file of this process in $TMPDIR (else /dev/shm, else /tmp) whose name ends in
// suffix; removed when the process exits.
std::string ScratchPath(std::string_view suffix);
// Replaces the file's content; false when it cannot be written.
bool WriteScratch(const std::string& path, std::string_view bytes);
// The file's bytes; "" when it cannot be read.
std::string ReadScratch(const std::string& path);

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Writes the right CRC into every whole chunk of PNG bytes (after the 8-byte
// signature), so that the fuzzer's changes reach the chunks' contents instead of
// stopping at their checksums. Stops at the first chunk that does not fit.
void RepairChunkCrcs(std::vector<uint8_t>& bytes);

inline uint32_t ReadBe32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline uint32_t ReadBe16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }
inline uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// Pictures whose header claims more pixels than this are not decoded by the targets:
// they are legal, but each would take gigabytes and stop the run at its memory limit.
inline constexpr uint64_t kMaxFuzzPixels = 16u << 20;

}  // namespace brasswick::fuzz

#endif  // BRASSWICK_FUZZ_FUZZ_SUPPORT_H_
