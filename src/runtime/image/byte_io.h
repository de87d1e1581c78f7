// Little-endian reads and writes of explicit bytes, for the BMP reader and writer.
// Callers check that the bytes are there before reading.
#ifndef BRASSWICK_RUNTIME_IMAGE_BYTE_IO_H_
#define BRASSWICK_RUNTIME_IMAGE_BYTE_IO_H_

#include <cstdint>
#include <vector>

namespace brasswick {

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t ReadLeInt32(const uint8_t* p) { return static_cast<int32_t>(ReadLe32(p)); }

inline void AppendLe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_IMAGE_BYTE_IO_H_
