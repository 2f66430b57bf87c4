#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <vector>

namespace Model {

/// Blocks of this size and larger are offered to the kernel for transparent
/// huge pages; a huge page needs a block aligned to its size.
inline constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

/// Hints that \p block (aligned to kHugePageSize) may be backed by huge
/// pages: one page fault instead of 512 for each 2 MiB touched. A no-op where
/// the system has no such hint.
void adviseHugePages(void *block, std::size_t size) noexcept;

/// Asks the system to back the pages of \p block with memory at once, in one
/// call, instead of one page fault per page as they are first written. Only
/// for memory about to be written through; a no-op where the system has no
/// such request.
void populateNow(void *block, std::size_t size) noexcept;

/// Gives the pages of \p block back to the system; they read as zeros when
/// touched again. For memory about to be freed that the heap may keep. A
/// no-op where the system has no such request.
void releasePages(void *block, std::size_t size) noexcept;

/// The allocator for the few containers that grow with the dump (the offset
/// index, the per-kind lists, the names of the leaves): small requests go to
/// the ordinary heap, large ones get huge-page-aligned blocks.
template <class T> struct LargeBlockAllocator {
  using value_type = T;

  LargeBlockAllocator() = default;
  template <class U> LargeBlockAllocator(const LargeBlockAllocator<U> &) noexcept {} // NOLINT

  T *allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kHugePageSize) return static_cast<T *>(::operator new(bytes));
    void *block = ::operator new (bytes, std::align_val_t{kHugePageSize});
    adviseHugePages(block, bytes);
    return static_cast<T *>(block);
  }
  void deallocate(T *p, std::size_t n) noexcept {
    if (n * sizeof(T) < kHugePageSize)
      ::operator delete(p);
    else
      ::operator delete (p, std::align_val_t{kHugePageSize});
  }

  template <class U> bool operator==(const LargeBlockAllocator<U> &) const noexcept { return true; }
};

/// Makes room for \p capacity elements in \p list. When the list has to
/// move, its old pages go back to the system huge page by huge page as they
/// are copied: an old and a new copy never stand whole side by side, which
/// at the peak of a run would add the list's size to it.
template <class T> void reserveReleasing(std::vector<T, LargeBlockAllocator<T>> &list, std::size_t capacity) {
  static_assert(std::is_trivially_copyable_v<T>, "copied as bytes");
  if (capacity <= list.capacity()) return;
  std::vector<T, LargeBlockAllocator<T>> moved;
  moved.reserve(capacity);
  constexpr std::size_t kStep = kHugePageSize / sizeof(T);
  for (std::size_t at = 0; at < list.size(); at += kStep) {
    const std::size_t count = std::min(kStep, list.size() - at);
    const auto from = list.begin() + static_cast<std::ptrdiff_t>(at);
    moved.insert(moved.end(), from, from + static_cast<std::ptrdiff_t>(count));
    releasePages(list.data() + at, count * sizeof(T));
  }
  list.swap(moved);
}

/// Makes room for \p more elements after the end of \p list, its capacity
/// at least doubled (from 16 KiB on), as reserveReleasing does: for lists
/// that grow element by element to millions.
template <class T> void makeRoomReleasing(std::vector<T, LargeBlockAllocator<T>> &list, std::size_t more) {
  if (list.size() + more <= list.capacity()) return;
  reserveReleasing(list, std::max({list.size() + more, 2 * list.capacity(), 16384 / sizeof(T)}));
}

} // namespace Model
