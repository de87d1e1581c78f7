// Whether two paths name one file, however they are spelt.
#ifndef BRASSWICK_RUNTIME_PLATFORM_FILE_IDENTITY_H_
#define BRASSWICK_RUNTIME_PLATFORM_FILE_IDENTITY_H_

#include <string>

namespace brasswick {

// True when both paths lead to the same file: the same device and inode when both
// exist (links and hard links included), else the same fully resolved path. False when
// either is empty.
bool SameFile(const std::string& first, const std::string& second);

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_PLATFORM_FILE_IDENTITY_H_
