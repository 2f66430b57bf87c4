#include "model/Text.h"

#include <limits>
#include <stdexcept>

namespace Model {

void Text::assign(std::string_view s) {
  clear();
  if (s.size() <= kInlineCapacity) {
    // An empty view may carry a null pointer, which memcpy must not get.
    if (!s.empty()) std::memcpy(bytes_, s.data(), s.size());
    bytes_[15] = static_cast<unsigned char>(kInlineCapacity - s.size());
    return;
  }
  if (s.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("Text longer than 4 GiB");
  char *p = new char[s.size()];
  std::memcpy(p, s.data(), s.size());
  const auto n = static_cast<std::uint32_t>(s.size());
  std::memcpy(bytes_, &p, sizeof p);
  std::memcpy(bytes_ + sizeof p, &n, sizeof n);
  bytes_[15] = kHeapTag;
}

} // namespace Model
