#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Texts are made into a buffer of this size, which is handed on whenever
/// it is full. A small buffer stays in the cache and is reused: a megabyte
/// would cost a page fault per 4 KiB on every file of a small run.
inline constexpr std::size_t kChunkSize = std::size_t{64} << 10;

/// The whole text of one file, handed out in chunks, so that a file of a
/// million lines is never held in memory at once.
class ChunkedText {
public:
  virtual ~ChunkedText() = default;
  /// Replaces \p chunk with the next piece of the text; false when the text
  /// is done.
  virtual bool nextChunk(std::string &chunk) = 0;
};

/// \p head followed by the lines that \p appendLine makes for 0, 1, ...,
/// \p lineCount - 1.
template <class AppendLine> class LineText final : public ChunkedText {
public:
  LineText(std::string_view head, std::size_t lineCount, AppendLine appendLine)
      : head_(head), lineCount_(lineCount), appendLine_(appendLine) {}

  bool nextChunk(std::string &chunk) override {
    if (done_) return false;
    chunk.clear();
    if (next_ == 0) chunk.append(head_);
    while (chunk.size() < kChunkSize && next_ < lineCount_)
      appendLine_(chunk, next_++);
    done_ = next_ == lineCount_;
    return true;
  }

private:
  std::string_view head_;
  std::size_t lineCount_;
  AppendLine appendLine_;
  std::size_t next_ = 0;
  bool done_ = false;
};
