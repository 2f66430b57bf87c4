#include "reader/ShapedLineBatches.h"

#include <cstring>

ShapedLineBatches::ShapedLineBatches(std::FILE *file, std::size_t chunkSize)
    : file_(file), chunkSize_(chunkSize) {
  for (std::size_t i = 0; i < kBatchCount; ++i) {
    batches_.push_back(std::make_unique<Batch>());
    free_.push_back(batches_.back().get());
  }
  reader_ = std::thread([this] { run(); });
}

ShapedLineBatches::~ShapedLineBatches() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  reader_.join();
}

const ShapedLineBatches::Batch *ShapedLineBatches::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (taken_ != nullptr) {
    free_.push_back(taken_);
    taken_ = nullptr;
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
  if (!ready_.empty()) {
    taken_ = ready_.front();
    ready_.pop_front();
    return taken_;
  }
  if (failure_) std::rethrow_exception(failure_);
  return nullptr;
}

void ShapedLineBatches::run() {
  try {
    for (;;) {
      Batch *batch = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty() || stopping_; });
        if (stopping_) break;
        batch = free_.front();
        free_.pop_front();
      }
      const bool filled = fill(*batch);
      const std::lock_guard<std::mutex> lock(mutex_);
      if (filled) ready_.push_back(batch);
      if (!filled || batch->last) break;
      changed_.notify_all();
    }
  } catch (...) {
    const std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::current_exception();
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

bool ShapedLineBatches::fill(Batch &batch) {
  batch.lines.clear();
  batch.last = false;
  if (atEof_) return false;
  // The unfinished line of the previous chunk goes first; a line longer
  // than the buffer doubles it.
  std::size_t used = carry_.size();
  if (batch.capacity < used + chunkSize_) {
    std::size_t capacity = chunkSize_;
    while (capacity < used + chunkSize_)
      capacity *= 2;
    batch.buffer.reset(new char[capacity]);
    batch.capacity = capacity;
  }
  if (used != 0) std::memcpy(batch.buffer.get(), carry_.data(), used);
  carry_.clear();

  std::size_t lineStart = 0;
  std::size_t scan = 0;
  for (;;) {
    if (used == batch.capacity) {
      // Not one line end in the whole buffer (no line was handed out, so no
      // view points into it): make room and read on.
      std::unique_ptr<char[]> larger(new char[batch.capacity * 2]);
      std::memcpy(larger.get(), batch.buffer.get(), used);
      batch.buffer = std::move(larger);
      batch.capacity *= 2;
    }
    char *const data = batch.buffer.get();
    const std::size_t got = std::fread(data + used, 1, batch.capacity - used, file_);
    used += got;
    if (got == 0) atEof_ = true;
    // Every complete line read so far.
    while (scan < used) {
      const auto *feed = static_cast<const char *>(std::memchr(data + scan, '\n', used - scan));
      if (feed == nullptr) {
        scan = used;
        break;
      }
      const std::size_t feedAt = static_cast<std::size_t>(feed - data);
      std::size_t lineEnd = feedAt;
      if (lineEnd > lineStart && data[lineEnd - 1] == '\r') --lineEnd;
      const std::string_view text(data + lineStart, lineEnd - lineStart);
      batch.lines.push_back(Line{text, shapeOf(text)});
      lineStart = scan = feedAt + 1;
    }
    if (atEof_) {
      if (lineStart < used) {
        const std::string_view text(data + lineStart, used - lineStart);
        batch.lines.push_back(Line{text, shapeOf(text)});
      }
      batch.last = true;
      return !batch.lines.empty();
    }
    if (!batch.lines.empty()) {
      carry_.assign(data + lineStart, used - lineStart);
      return true;
    }
  }
}
