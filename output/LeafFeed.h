#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

/// Hands the leaves of the output pass from the expansion, which records
/// them, to the makers of the files on other threads, batch by batch: a file
/// is made and written while the leaves after it are still being found.
///
/// The recorded leaves and names sit in blocks that never move
/// (BlockVector), so a reader may read every leaf handed to it while the
/// writer appends the next ones.
class LeafFeed {
public:
  /// Leaves are handed on in batches of this many: a lock per batch, not
  /// per leaf.
  static constexpr std::size_t kBatch = 4096;

  /// Thrown to a reader when the writer gave up (see abort()).
  struct Aborted {};

  /// The writer: leaves 0 to \p count - 1 are recorded in full.
  void publish(std::size_t count);
  /// The writer: the expansion is done; \p count leaves were recorded.
  void finish(std::size_t count);
  /// The writer failed: readers waiting or yet to wait get Aborted.
  void abort();

  /// The reader: waits until leaf \p index is recorded or no more leaves
  /// will come; returns the number of leaves recorded then.
  std::size_t waitFor(std::size_t index) const;
  /// The reader: waits until the expansion is done.
  void waitForEnd() const;

private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::size_t count_ = 0;
  bool finished_ = false;
  bool aborted_ = false;
};
