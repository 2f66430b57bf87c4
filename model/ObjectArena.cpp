#include "model/ObjectArena.h"

#include "model/LargeBlocks.h"

#include <cstdint>

namespace Model {

void *ObjectArena::allocate(std::size_t size, std::size_t alignment) {
  auto at = reinterpret_cast<std::uintptr_t>(next_);
  at = (at + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
  if (next_ == nullptr || at + size > reinterpret_cast<std::uintptr_t>(end_)) {
    addBlock(size + alignment);
    at = reinterpret_cast<std::uintptr_t>(next_);
    at = (at + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
  }
  next_ = reinterpret_cast<std::byte *>(at + size);
  return reinterpret_cast<void *>(at);
}

ObjectArena::~ObjectArena() = default;

void ObjectArena::addBlock(std::size_t atLeast) {
  // Small dumps stay small; large ones soon get blocks of a huge page.
  static_assert(kLargestBlockSize >= kHugePageSize, "the largest blocks are offered for huge pages");
  std::size_t size = nextBlockSize_;
  while (size < atLeast)
    size *= 2;
  if (nextBlockSize_ < kLargestBlockSize) nextBlockSize_ *= 2;
  const std::align_val_t alignment{size >= kHugePageSize ? kHugePageSize : kSmallBlockAlignment};
  ObjectArena &keeper = owner_ != nullptr ? *owner_ : *this;
  keeper.blocks_.reserve(keeper.blocks_.size() + 1); // the block is not lost if this throws
  auto *block = static_cast<std::byte *>(::operator new(size, alignment));
  // Objects fill a block from its start to its end, so all of it will be
  // written: a small block is backed in one call rather than a page fault
  // per 4 KiB, which a virtual machine makes dear. A huge-page
  // block takes one fault per 2 MiB anyway.
  if (size >= kHugePageSize)
    adviseHugePages(block, size);
  else
    populateNow(block, size);
  keeper.blocks_.emplace_back(block, BlockDeleter{alignment});
  next_ = block;
  end_ = block + size;
  keeper.reserved_ += size;
}

void ObjectArena::fillFor(ObjectArena &owner) {
  owner_ = &owner;
  next_ = owner.next_;
  end_ = owner.end_;
  nextBlockSize_ = owner.nextBlockSize_;
}

void ObjectArena::handBack() {
  if (owner_ == nullptr) return;
  owner_->next_ = next_;
  owner_->end_ = end_;
  owner_->nextBlockSize_ = nextBlockSize_;
  owner_ = nullptr;
  next_ = end_ = nullptr;
  nextBlockSize_ = kFirstBlockSize;
}

void ObjectArena::keep(std::unique_ptr<ObjectArena> other) noexcept {
  if (other == nullptr) return;
  // Appended behind the other's own chain: nothing is allocated.
  ObjectArena *last = other.get();
  while (last->kept_ != nullptr)
    last = last->kept_.get();
  last->kept_ = std::move(kept_);
  kept_ = std::move(other);
}

void ObjectArena::releaseUnfilledRest() {
  if (next_ != nullptr) releasePages(next_, static_cast<std::size_t>(end_ - next_));
}

void ObjectArena::adopt(ObjectArena &other) {
  // Room first: a block half moved would be freed with the other arena.
  blocks_.reserve(blocks_.size() + other.blocks_.size());
  for (auto &block : other.blocks_)
    blocks_.push_back(std::move(block));
  reserved_ += other.reserved_;
  other.blocks_.clear();
  keep(std::move(other.kept_));
  other.next_ = other.end_ = nullptr;
  other.nextBlockSize_ = kFirstBlockSize;
  other.reserved_ = 0;
}

void ObjectArena::release() {
  blocks_.clear();
  kept_.reset();
  next_ = end_ = nullptr;
  nextBlockSize_ = kFirstBlockSize;
  reserved_ = 0;
}

} // namespace Model
