#pragma once

#include "reader/LineShape.h"

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

/// Reads a dump file on a second thread, splits it into lines and works out
/// each line's shape there, while the calling thread builds the model from
/// the batches already done. Splitting and matching are about half of a
/// parse, and they need nothing but the text; the model itself is only ever
/// touched by the calling thread.
///
/// Lines end as DumpLineReader ends them: at a line feed, with a carriage
/// return directly before it belonging to the line end; a last line without
/// a line feed is a line too.
class ShapedLineBatches {
public:
  static constexpr std::size_t kChunkSize = std::size_t{1} << 20;

  struct Line {
    std::string_view text;
    LineShape shape;
  };
  /// The lines of one chunk of the file, in file order; the texts point into
  /// the batch's own buffer.
  struct Batch {
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;
    std::vector<Line> lines;
    bool last = false;
  };

  /// Starts reading \p file (opened in binary mode; not closed here).
  explicit ShapedLineBatches(std::FILE *file, std::size_t chunkSize = kChunkSize);
  /// Stops the reading thread, also when not every batch was taken.
  ~ShapedLineBatches();

  ShapedLineBatches(const ShapedLineBatches &) = delete;
  ShapedLineBatches &operator=(const ShapedLineBatches &) = delete;

  /// The next batch, valid until the next call; nullptr after the last one.
  /// Rethrows what stopped the reading thread (out of memory, say).
  const Batch *next();

private:
  /// Batches in flight: one being read, one being parsed, one ready.
  static constexpr std::size_t kBatchCount = 4;

  void run();
  /// Fills \p batch with the next chunk's lines; false when the file gave
  /// nothing more.
  bool fill(Batch &batch);

  std::FILE *file_;
  const std::size_t chunkSize_;
  /// The unfinished line at the end of the previous chunk.
  std::string carry_;
  bool atEof_ = false;

  std::vector<std::unique_ptr<Batch>> batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch *> free_;
  std::deque<Batch *> ready_;
  Batch *taken_ = nullptr;
  bool finished_ = false;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread reader_;
};
