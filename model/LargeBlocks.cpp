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

void populateNow([[maybe_unused]] void *block, [[maybe_unused]] std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  // Whole pages only; an older kernel refuses the request and the pages
  // fault in one by one as before.
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = (at + page - 1) & ~(page - 1);
  const std::uintptr_t end = (at + size) & ~(page - 1);
  if (begin < end) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
}

} // namespace Model
