#include "output/FileSink.h"

#include "output/FileTexts.h"

#include <string_view>
#include <utility>

namespace {

std::size_t index(SymbolFile which) { return static_cast<std::size_t>(which); }

/// The whole text in a closed temporary file; null when it could not be.
std::unique_ptr<ReplacementFile> writeWhole(const std::string &fileName, ChunkedText &text) {
  auto file = std::make_unique<ReplacementFile>(fileName);
  if (!file->isOpen()) return nullptr;
  std::string chunk;
  // A chunk ends with the line that crossed kChunkSize.
  chunk.reserve(kChunkSize + 4096);
  while (text.nextChunk(chunk))
    if (!file->write(chunk)) return nullptr;
  if (!file->close()) return nullptr;
  return file;
}

} // namespace

bool FileSink::store(SymbolFile which, ChunkedText &text) {
  waiting_[index(which)] = writeWhole(nameOf(which), text);
  return waiting_[index(which)] != nullptr;
}

bool FileSink::commit(SymbolFile which) {
  const std::unique_ptr<ReplacementFile> file = std::move(waiting_[index(which)]);
  return file == nullptr || file->commit();
}

std::string FileSink::nameOf(SymbolFile which) const {
  switch (which) {
  case SymbolFile::StyleWarnings:
    return m51FileName_ + std::string(FileTexts::kStyleWarningsSuffix);
  case SymbolFile::Canape:
    return canapeFileName_;
  case SymbolFile::M51:
    break;
  }
  return m51FileName_;
}
