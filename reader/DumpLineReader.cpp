#include "reader/DumpLineReader.h"

#include "reader/DumpStream.h"

#include <algorithm>
#include <cstring>

#if !defined(_WIN32)
#include <sys/types.h>
#endif

DumpLineReader::DumpLineReader(std::FILE *file, std::size_t chunkSize, std::uint64_t byteLimit)
    : file_(file), buffer_(new char[chunkSize]), capacity_(chunkSize), bytesLeft_(byteLimit) {
  begin_ = end_ = scan_ = buffer_.get();
}

DumpLineReader::DumpLineReader(DumpStream &stream, std::size_t chunkSize)
    : stream_(&stream), buffer_(new char[chunkSize]), capacity_(chunkSize) {
  begin_ = end_ = scan_ = buffer_.get();
}

DumpLineReader::DumpLineReader(std::string_view text)
    : begin_(text.data()), end_(text.data() + text.size()), scan_(text.data()), atEof_(true) {}

bool DumpLineReader::next(std::string_view &line) {
  for (;;) {
    const auto *feed =
        static_cast<const char *>(std::memchr(scan_, '\n', static_cast<std::size_t>(end_ - scan_)));
    if (feed != nullptr) {
      const char *lineEnd = feed;
      if (lineEnd > begin_ && lineEnd[-1] == '\r') --lineEnd;
      line = std::string_view(begin_, static_cast<std::size_t>(lineEnd - begin_));
      begin_ = scan_ = feed + 1;
      return true;
    }
    scan_ = end_;
    if (!refill()) {
      if (begin_ == end_) return false;
      line = std::string_view(begin_, static_cast<std::size_t>(end_ - begin_));
      begin_ = scan_ = end_;
      return true;
    }
  }
}

bool DumpLineReader::refill() {
  if (atEof_) return false;
  char *const base = buffer_.get();
  const std::size_t pending = static_cast<std::size_t>(end_ - begin_);
  if (pending == capacity_) {
    // One line longer than the buffer: double it.
    std::unique_ptr<char[]> larger(new char[capacity_ * 2]);
    std::memcpy(larger.get(), begin_, pending);
    buffer_ = std::move(larger);
    capacity_ *= 2;
  } else if (begin_ != base) {
    std::memmove(base, begin_, pending);
  }
  char *const data = buffer_.get();
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - pending, bytesLeft_));
  const std::size_t got = wanted == 0          ? 0
                          : stream_ != nullptr ? stream_->read(data + pending, wanted)
                                               : std::fread(data + pending, 1, wanted, file_);
  bytesLeft_ -= got;
  bytesRead_ += got;
  begin_ = data;
  scan_ = data + pending;
  end_ = data + pending + got;
  if (got == 0) {
    atEof_ = true;
    return false;
  }
  return true;
}

bool seekDumpFile(std::FILE *file, std::uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}
