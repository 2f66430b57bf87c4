#include "model/LargeBlocks.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace Model {

void adviseHugePages([[maybe_unused]] void *block, [[maybe_unused]] std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only a hint: where the kernel gives no huge pages, nothing changes.
  madvise(block, size, MADV_HUGEPAGE);
#endif
}

#if defined(__linux__)
namespace {

/// The whole pages within [block, block + size), or an empty range.
struct PageRange {
  std::uintptr_t begin;
  std::uintptr_t end;
};
PageRange wholePages(void *block, std::size_t size) noexcept {
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  return {(at + page - 1) & ~(page - 1), (at + size) & ~(page - 1)};
}

} // namespace
#endif

void populateNow([[maybe_unused]] void *block, [[maybe_unused]] std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  // Whole pages only; an older kernel refuses the request and the pages
  // fault in one by one as before.
  const PageRange pages = wholePages(block, size);
  if (pages.begin < pages.end)
    madvise(reinterpret_cast<void *>(pages.begin), pages.end - pages.begin, MADV_POPULATE_WRITE);
#endif
}

void releasePages([[maybe_unused]] void *block, [[maybe_unused]] std::size_t size) noexcept {
#if defined(__linux__)
  const PageRange pages = wholePages(block, size);
  if (pages.begin < pages.end)
    madvise(reinterpret_cast<void *>(pages.begin), pages.end - pages.begin, MADV_DONTNEED);
#endif
}

} // namespace Model
