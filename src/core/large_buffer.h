// Storage for large pixel and file buffers. Blocks of 2 MiB and more are
// aligned to 2 MiB and marked for transparent huge pages, so that touching a
// 36 MB picture for the first time costs a few dozen page faults instead of
// thousands; smaller blocks come from the ordinary heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include <sys/mman.h>

namespace pixtrel {

template <typename T>
struct LargeAllocator {
  using value_type = T;
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  LargeAllocator() noexcept = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kHugePage) return static_cast<T*>(::operator new(bytes));
    const std::size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    void* p = nullptr;
    if (posix_memalign(&p, kHugePage, rounded) != 0) throw std::bad_alloc();
    madvise(p, rounded, MADV_HUGEPAGE);
    return static_cast<T*>(p);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < kHugePage)
      ::operator delete(p);
    else
      std::free(p);
  }

  template <typename U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }
};

using ByteBuffer = std::vector<std::uint8_t, LargeAllocator<std::uint8_t>>;

}  // namespace pixtrel
