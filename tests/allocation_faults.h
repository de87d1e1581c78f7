// Allocations that fail on demand, for tests of what code does when memory runs out.
// The header replaces the global operator new and delete, so exactly one source file of
// a test program includes it. Outside RunsOutOfMemory every allocation is malloc's.
#ifndef BRASSWICK_TESTS_ALLOCATION_FAULTS_H_
#define BRASSWICK_TESTS_ALLOCATION_FAULTS_H_

#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>

namespace brasswick::testing {

// Allocations of at least this many bytes fail while it is below the maximum.
inline std::size_t failing_allocation_size = std::numeric_limits<std::size_t>::max();

// Whether work lets std::bad_alloc out when every allocation of at least `size` bytes
// fails; whatever it returns is dropped.
template <typename Work>
bool RunsOutOfMemory(std::size_t size, Work&& work) {
  failing_allocation_size = size;
  bool thrown = false;
  try {
    (void)work();
  } catch (const std::bad_alloc&) {
    thrown = true;
  }
  failing_allocation_size = std::numeric_limits<std::size_t>::max();
  return thrown;
}

}  // namespace brasswick::testing

void* operator new(std::size_t size) {
  if (size >= brasswick::testing::failing_allocation_size) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
// The standard library's temporary buffers (stable_sort's) take the nothrow forms and
// give them back through the plain delete: every form must come from the same malloc.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (size >= brasswick::testing::failing_allocation_size) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return ::operator new(size, tag);
}
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

#endif  // BRASSWICK_TESTS_ALLOCATION_FAULTS_H_
