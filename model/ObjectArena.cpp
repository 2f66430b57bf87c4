#include "model/ObjectArena.h"

#include "model/LargeBlocks.h"

#include <cstdint>
#include <system_error>

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

ObjectArena::~ObjectArena() { stopPreparing(); }

void ObjectArena::addBlock(std::size_t atLeast) {
  // Small dumps stay small; large ones soon get blocks of a huge page.
  static_assert(kLargestBlockSize >= kHugePageSize, "a block prepared ahead is huge-page aligned");
  std::size_t size = nextBlockSize_;
  while (size < atLeast)
    size *= 2;
  if (nextBlockSize_ < kLargestBlockSize) nextBlockSize_ *= 2;
  const std::align_val_t alignment{size >= kHugePageSize ? kHugePageSize : kSmallBlockAlignment};
  // From the second block of the largest size on, the block was prepared
  // while the one before it filled up.
  std::byte *block = size == kLargestBlockSize ? takePrepared() : nullptr;
  if (block == nullptr) {
    block = static_cast<std::byte *>(::operator new(size, alignment));
    // Objects fill a block from its start to its end, so all of it will be
    // written: a small block is backed in one call rather than a page fault
    // per 4 KiB (each costs microseconds in a virtual machine). A huge-page
    // block takes one fault per 2 MiB anyway.
    if (size >= kHugePageSize)
      adviseHugePages(block, size);
    else
      populateNow(block, size);
  }
  blocks_.emplace_back(block, BlockDeleter{alignment});
  next_ = block;
  end_ = block + size;
  reserved_ += size;
  if (size == kLargestBlockSize) prepareNext();
}

void ObjectArena::prepareNext() {
  // Taken here, so that every block comes from the same heap; the second
  // thread only backs its pages, which leaves the contents as they are.
  auto *block = static_cast<std::byte *>(
      ::operator new (kLargestBlockSize, std::align_val_t{kHugePageSize}, std::nothrow));
  if (block == nullptr) return;
  adviseHugePages(block, kLargestBlockSize);
  try {
    preparing_ = std::thread([block] { populateNow(block, kLargestBlockSize); });
  } catch (const std::system_error &) {
    // No second thread to be had: the pages fault in as they are written.
  }
  prepared_ = block;
}

std::byte *ObjectArena::takePrepared() {
  if (preparing_.joinable()) preparing_.join();
  std::byte *block = prepared_;
  prepared_ = nullptr;
  return block;
}

void ObjectArena::stopPreparing() {
  // The unfilled rest of the last block was backed in advance, whole; its
  // pages go back until an object needs them.
  if (next_ != nullptr) releasePages(next_, static_cast<std::size_t>(end_ - next_));
  if (std::byte *spare = takePrepared()) {
    // The heap may keep a freed block for later; its backed pages go back
    // to the system now.
    releasePages(spare, kLargestBlockSize);
    BlockDeleter{std::align_val_t{kHugePageSize}}(spare);
  }
}

void ObjectArena::adopt(ObjectArena &other) {
  other.stopPreparing();
  for (auto &block : other.blocks_)
    blocks_.push_back(std::move(block));
  reserved_ += other.reserved_;
  other.blocks_.clear();
  other.next_ = other.end_ = nullptr;
  other.nextBlockSize_ = kFirstBlockSize;
  other.reserved_ = 0;
}

void ObjectArena::release() {
  stopPreparing();
  blocks_.clear();
  next_ = end_ = nullptr;
  nextBlockSize_ = kFirstBlockSize;
  reserved_ = 0;
}

} // namespace Model
