#include "runtime/platform/file_identity.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <memory>

namespace brasswick {
namespace {

struct FreeDeleter {
  void operator()(char* text) const { free(text); }
};

// The canonical path, or empty when it cannot be resolved (a missing folder).
std::string ResolvedPath(const std::string& path) {
  std::unique_ptr<char, FreeDeleter> resolved(realpath(path.c_str(), nullptr));
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

bool SameFile(const std::string& first, const std::string& second) {
  if (first.empty() || second.empty()) return false;
  struct stat a;
  struct stat b;
  if (stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  }
  std::string resolved_first = ResolvedPath(first);
  return !resolved_first.empty() && resolved_first == ResolvedPath(second);
}

}  // namespace brasswick
