#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

/// A text buffer for an output file of hundreds of megabytes, kept in memory
/// until the file is written: a list of large chunks, so that growing it
/// never copies what is already there.
class ChunkedText {
public:
  void append(std::string_view text);
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  /// Writes the whole text, chunk after chunk, to \p out.
  void writeTo(std::ostream &out) const;
  /// The whole text in one string (for small texts and tests).
  std::string str() const;

private:
  static constexpr std::size_t kChunkSize = std::size_t{4} << 20;
  std::vector<std::string> chunks_;
  std::size_t size_ = 0;
};
