#pragma once

#include "model/LargeBlocks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

/// A sequence of plain values that grows in blocks which never move: the
/// first block holds kFirstBlock elements and each later one as many as all
/// the blocks before it. A growing std::vector copies everything into fresh
/// memory at each doubling, so every page of a large one is touched (and
/// faulted in) twice; here each element is written once, a small run still
/// allocates only one small block, and an index finds its block with one
/// bit count.
template <class T> class BlockVector {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "blocks are filled by copying and freed without destructors");

public:
  /// About 16 KiB: a few entries cost no more than a small vector.
  static constexpr std::size_t kFirstBlock = std::bit_floor(std::max<std::size_t>(1, 16384 / sizeof(T)));

  BlockVector() = default;
  /// Not copied or moved: end_ points into the blocks.
  BlockVector(const BlockVector &) = delete;
  BlockVector &operator=(const BlockVector &) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  T &operator[](std::size_t i) {
    const std::size_t block = blockOf(i);
    return blocks_[block].get()[i - blockStart(block)];
  }
  const T &operator[](std::size_t i) const {
    const std::size_t block = blockOf(i);
    return blocks_[block].get()[i - blockStart(block)];
  }

  void push_back(const T &value) {
    if (free_ == 0) addBlock();
    ::new (static_cast<void *>(end_)) T(value);
    ++end_;
    --free_;
    ++size_;
  }

  /// Appends \p count elements copied from \p values.
  void append(const T *values, std::size_t count) {
    while (count > 0) {
      if (free_ == 0) addBlock();
      const std::size_t piece = std::min(count, free_);
      std::memcpy(static_cast<void *>(end_), values, piece * sizeof(T));
      end_ += piece;
      free_ -= piece;
      size_ += piece;
      values += piece;
      count -= piece;
    }
  }

  /// The stored elements from \p i up to the end of i's block: a reader of a
  /// long stretch takes it piece by piece. \p count is set to their number.
  const T *piece(std::size_t i, std::size_t &count) const {
    const std::size_t block = blockOf(i);
    const std::size_t start = blockStart(block);
    count = std::min(start + blockSize(block), size_) - i;
    return blocks_[block].get() + (i - start);
  }
  /// As piece(), but up to the end of i's block whether written or not, and
  /// without looking at the size: for a reader on another thread that knows
  /// how far the elements handed to it reach, while the writer appends.
  const T *blockRest(std::size_t i, std::size_t &count) const {
    const std::size_t block = blockOf(i);
    const std::size_t start = blockStart(block);
    count = start + blockSize(block) - i;
    return blocks_[block].get() + (i - start);
  }

private:
  struct FreeBlock {
    std::size_t count = 0;
    void operator()(T *block) const noexcept { Model::LargeBlockAllocator<T>().deallocate(block, count); }
  };

  static std::size_t blockOf(std::size_t i) {
    return static_cast<std::size_t>(std::bit_width(i / kFirstBlock));
  }
  static std::size_t blockStart(std::size_t block) { return block == 0 ? 0 : kFirstBlock << (block - 1); }
  static std::size_t blockSize(std::size_t block) {
    return block == 0 ? kFirstBlock : kFirstBlock << (block - 1);
  }

  void addBlock() {
    if (blockCount_ == kMaxBlocks) throw std::bad_alloc();
    const std::size_t count = blockSize(blockCount_);
    blocks_[blockCount_] =
        std::unique_ptr<T[], FreeBlock>(Model::LargeBlockAllocator<T>().allocate(count), FreeBlock{count});
    end_ = blocks_[blockCount_].get();
    free_ = count;
    ++blockCount_;
  }

  /// Each block doubles the room: more blocks than this would not fit in
  /// memory. A fixed table never moves, so a reader on another thread finds
  /// the blocks of the elements handed to it while new blocks are added.
  static constexpr std::size_t kMaxBlocks = 48;
  std::array<std::unique_ptr<T[], FreeBlock>, kMaxBlocks> blocks_;
  std::size_t blockCount_ = 0;
  std::size_t size_ = 0;
  /// Where the next element goes, and the room left in its block.
  T *end_ = nullptr;
  std::size_t free_ = 0;
};
