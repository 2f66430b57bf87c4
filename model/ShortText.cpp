#include "model/ShortText.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace Model {

void ShortText::assign(std::string_view s) {
  if (s.size() <= kInlineCapacity) {
    setInline(s.size());
    // An empty view may carry a null pointer, which memcpy must not get.
    if (!s.empty()) std::memcpy(bytes_ + kFirstChar, s.data(), s.size());
    return;
  }
  if (s.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("text longer than 4 GiB");
  auto *block =
      static_cast<char *>(::operator new (kHeapHeader + s.size(), std::align_val_t{kHeapAlignment}));
  fillBlock(block, s);
  const auto word = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block));
  std::memcpy(bytes_, &word, sizeof word);
}

void ShortText::release() noexcept {
  if (onHeap()) ::operator delete (const_cast<char *>(outsideBlock()), std::align_val_t{kHeapAlignment});
}

} // namespace Model
