#include "fuzz_support.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

namespace brasswick::fuzz {
namespace {

// Removes the scratch files when the process ends normally.
class ScratchFiles {
 public:
  ~ScratchFiles() {
    for (const std::string& path : paths_) unlink(path.c_str());
  }
  void Add(const std::string& path) { paths_.insert(path); }

 private:
  std::set<std::string> paths_;
};

ScratchFiles& Scratch() {
  static ScratchFiles files;
  return files;
}

std::string ScratchFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir != nullptr && *tmpdir != '\0') return tmpdir;
  if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return "/tmp";
}

}  // namespace

std::string ScratchPath(std::string_view suffix) {
  std::string path = ScratchFolder() + "/brasswick-fuzz-" + std::to_string(getpid());
  path += suffix;
  Scratch().Add(path);
  return path;
}

bool WriteScratch(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadScratch(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RepairChunkCrcs(std::vector<uint8_t>& bytes) {
  size_t position = 8;
  if (bytes.size() < position) return;
  while (bytes.size() - position >= 12) {
    const uint32_t length = ReadBe32(bytes.data() + position);
    if (length > bytes.size() - position - 12) return;
    uint8_t* type = bytes.data() + position + 4;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, type, length + 4));
    uint8_t* out = type + 4 + length;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    position += 12 + length;
  }
}

}  // namespace brasswick::fuzz
