#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string_view>

class DumpStream;

/// Splits a dump into lines without ever holding the whole dump: the file is
/// read in large chunks and each line is handed out as a view into the chunk.
///
/// A line ends at a line feed; a carriage return directly before the line
/// feed belongs to the line end. A last line without a line feed is a line
/// too; nothing is handed out for the empty rest after a final line feed.
class DumpLineReader {
public:
  /// Small enough to stay in the cache and to touch few pages on a small
  /// dump; a line longer than a chunk doubles the buffer.
  static constexpr std::size_t kChunkSize = std::size_t{64} << 10;

  static constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

  /// Reads from \p file (opened in binary mode; not closed here) from where
  /// it stands, at most \p byteLimit bytes: a part of a dump ends there as
  /// if the file ended, and the file then stands just behind it.
  explicit DumpLineReader(std::FILE *file, std::size_t chunkSize = kChunkSize,
                          std::uint64_t byteLimit = kNoLimit);
  /// Reads from \p stream to its end; \p stream must outlive the reader.
  explicit DumpLineReader(DumpStream &stream, std::size_t chunkSize = kChunkSize);
  /// Splits a dump held in memory; \p text must outlive the reader.
  explicit DumpLineReader(std::string_view text);

  DumpLineReader(const DumpLineReader &) = delete;
  DumpLineReader &operator=(const DumpLineReader &) = delete;

  /// The next line, valid until the next call; false at the end.
  bool next(std::string_view &line);

  /// The bytes read from the file or stream so far: once next() gave false, all the
  /// reader got before the end of the file, its limit or a read error.
  std::uint64_t bytesRead() const { return bytesRead_; }

private:
  /// Moves the unfinished line to the front of the buffer, grows the buffer
  /// when that line fills it, and reads more. False once the file is done.
  bool refill();

  std::FILE *file_ = nullptr;
  /// Read instead of file_ when set.
  DumpStream *stream_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  const char *begin_ = nullptr; ///< start of the next line
  const char *end_ = nullptr;   ///< end of the data read so far
  const char *scan_ = nullptr;  ///< where the search for the next line feed goes on
  bool atEof_ = false;
  std::uint64_t bytesLeft_ = kNoLimit;
  std::uint64_t bytesRead_ = 0;
};

/// Moves \p file to byte \p offset; offsets past 2 GiB work on every
/// platform. False when the file cannot seek.
bool seekDumpFile(std::FILE *file, std::uint64_t offset);
