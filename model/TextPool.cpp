#include "model/TextPool.h"

#include <functional>
#include <limits>
#include <stdexcept>

namespace Model {

namespace {

std::size_t hashOf(std::string_view s) { return std::hash<std::string_view>{}(s); }

} // namespace

ShortText TextPool::text(std::string_view s) {
  if (s.size() <= ShortText::kInlineCapacity) return ShortText(s);
  ShortText result;
  if (slots_.empty()) slots_.resize(1024);
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hashOf(s) & mask;
  while (slots_[at] != nullptr) {
    if (ShortText::blockText(slots_[at]) == s) {
      result.referTo(slots_[at]);
      return result;
    }
    at = (at + 1) & mask;
  }
  const char *pooled = place(s);
  slots_[at] = pooled;
  if (++count_ * 2 > slots_.size()) grow();
  result.referTo(pooled);
  return result;
}

char *TextPool::place(std::string_view s) {
  if (s.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("text longer than 4 GiB");
  const std::size_t bytes = (ShortText::kHeapHeader + s.size() + 3) & ~std::size_t{3};
  if (bytes > freeBytes_) {
    // A text longer than a block gets a block of its own.
    const std::size_t blockBytes = bytes > kBlockSize ? bytes : kBlockSize;
    blocks_.push_back(std::make_unique<std::uint32_t[]>(blockBytes / sizeof(std::uint32_t)));
    free_ = reinterpret_cast<char *>(blocks_.back().get());
    freeBytes_ = blockBytes;
  }
  char *pooled = free_;
  ShortText::fillBlock(pooled, s);
  free_ += bytes;
  freeBytes_ -= bytes;
  return pooled;
}

void TextPool::adopt(TextPool &other) {
  for (auto &block : other.blocks_)
    blocks_.push_back(std::move(block));
  other.blocks_.clear();
  other.free_ = nullptr;
  other.freeBytes_ = 0;
  std::vector<const char *>().swap(other.slots_);
  other.count_ = 0;
}

void TextPool::grow() {
  std::vector<const char *> slots(slots_.size() * 2);
  const std::size_t mask = slots.size() - 1;
  for (const char *pooled : slots_) {
    if (pooled == nullptr) continue;
    std::size_t at = hashOf(ShortText::blockText(pooled)) & mask;
    while (slots[at] != nullptr)
      at = (at + 1) & mask;
    slots[at] = pooled;
  }
  slots_.swap(slots);
}

} // namespace Model
