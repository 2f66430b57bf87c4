#include "model/LargeBlocks.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Model {

void adviseHugePages([[maybe_unused]] void *block, [[maybe_unused]] std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only a hint: where the kernel gives no huge pages, nothing changes.
  madvise(block, size, MADV_HUGEPAGE);
#endif
}

} // namespace Model
