#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace Model {

/// The memory of a database's model objects.
///
/// A dump of a gigabyte yields millions of small objects that all live until
/// the end of the run. Taking them from large blocks saves the allocator's
/// header on each (8 to 16 bytes), a call per object on the way in and on the
/// way out, and, on Linux, most page faults: blocks of 2 MiB and more are
/// offered to the kernel for transparent huge pages.
///
/// The arena only provides memory. Ownership stays with the object tree: a
/// parent destroys its children (see `ObjectDeleter`), and the arena, which
/// outlives the tree, releases its blocks afterwards.
class ObjectArena {
public:
  ObjectArena() = default;
  ~ObjectArena();
  ObjectArena(const ObjectArena &) = delete;
  ObjectArena &operator=(const ObjectArena &) = delete;

  /// Constructs a T in the arena and marks it as arena memory, so that its
  /// owner destroys it without freeing it.
  template <class T, class... Args> T *create(Args &&...args) {
    void *memory = allocate(sizeof(T), alignof(T));
    T *object = ::new (memory) T(std::forward<Args>(args)...);
    object->inArena = true;
    return object;
  }

  /// \p size bytes aligned to \p alignment (a power of two, at most 64).
  void *allocate(std::size_t size, std::size_t alignment);
  /// Releases every block. Only when no object in them is alive any more.
  void release();
  /// Gives back the pages of the current block's unfilled rest, which were
  /// backed with the block; the database calls it when the parse is over,
  /// so that they do not add to the peak of the link pass. Objects may still
  /// be made afterwards.
  void releaseUnfilledRest();
  /// Takes over every block of \p other; the objects in them stay where
  /// they are. New objects still come from this arena's own current block.
  void adopt(ObjectArena &other);
  /// Takes the largest blocks from the first one on: for a model known to
  /// grow large, whose small first blocks would each be backed page by page.
  void startWithLargeBlocks() { nextBlockSize_ = kLargestBlockSize; }

  /// Makes the objects of this (empty) arena in \p owner's blocks, from
  /// where \p owner stands; new blocks go to \p owner as well. handBack()
  /// gives the place reached back to \p owner. The parts of a dump parsed
  /// one after another on one thread so share their blocks: each part's own
  /// unfilled rest, given back, would break up a huge page.
  void fillFor(ObjectArena &owner);
  /// Ends fillFor(): \p owner goes on from where this arena stopped.
  void handBack();
  /// Keeps \p other, with its blocks, as long as this arena: for an arena
  /// that made objects of this arena's model. Takes no memory, so it cannot
  /// fail.
  void keep(std::unique_ptr<ObjectArena> other) noexcept;
  /// The bytes taken from the system so far.
  std::size_t reservedBytes() const { return reserved_; }

private:
  static constexpr std::size_t kFirstBlockSize = std::size_t{64} << 10;
  /// One huge page: the unfilled rest of the last block adds little to the
  /// peak.
  static constexpr std::size_t kLargestBlockSize = std::size_t{2} << 20;
  static constexpr std::size_t kSmallBlockAlignment = 64;

  struct BlockDeleter {
    std::align_val_t alignment;
    void operator()(std::byte *block) const { ::operator delete(block, alignment); }
  };
  void addBlock(std::size_t atLeast);

  std::vector<std::unique_ptr<std::byte, BlockDeleter>> blocks_;
  std::byte *next_ = nullptr;
  std::byte *end_ = nullptr;
  std::size_t nextBlockSize_ = kFirstBlockSize;
  std::size_t reserved_ = 0;
  /// The arena whose blocks this one fills (fillFor()), or null.
  ObjectArena *owner_ = nullptr;
  /// Arenas kept with this one (keep()), each leading to the next.
  std::unique_ptr<ObjectArena> kept_;
};

} // namespace Model
