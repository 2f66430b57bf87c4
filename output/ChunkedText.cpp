#include "output/ChunkedText.h"

void ChunkedText::append(std::string_view text) {
  size_ += text.size();
  while (!text.empty()) {
    if (chunks_.empty() || chunks_.back().size() == chunks_.back().capacity()) {
      chunks_.emplace_back();
      chunks_.back().reserve(kChunkSize);
    }
    std::string &chunk = chunks_.back();
    const std::size_t room = chunk.capacity() - chunk.size();
    const std::size_t part = text.size() < room ? text.size() : room;
    chunk.append(text.substr(0, part));
    text.remove_prefix(part);
  }
}

void ChunkedText::writeTo(std::ostream &out) const {
  for (const std::string &chunk : chunks_)
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
}

std::string ChunkedText::str() const {
  std::string text;
  text.reserve(size_);
  for (const std::string &chunk : chunks_)
    text.append(chunk);
  return text;
}
