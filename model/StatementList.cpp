#include "model/StatementList.h"

#include "model/TextPool.h"

#include <string>

namespace Model {

namespace {
std::string joinPath(std::string_view directory, std::string_view fileName) {
  std::string path;
  path.reserve(directory.size() + 1 + fileName.size());
  path.append(directory).append("/").append(fileName);
  return path;
}
} // namespace

void StatementList::addFile(std::uint32_t directoryIndex, std::string_view fileName) {
  std::string_view directory;
  if (directoryIndex >= 1 && directoryIndex <= directories.size())
    directory = directories[directoryIndex - 1];
  files.push_back(textOf(joinPath(directory, fileName)));
}

void StatementList::addFileZeroBased(std::uint32_t directoryIndex, std::string_view fileName) {
  std::string_view directory;
  if (directoryIndex < directories.size()) directory = directories[directoryIndex];
  files.push_back(textOf(joinPath(directory, fileName)));
}

ShortText StatementList::textOf(std::string_view text) const {
  return pool_ != nullptr ? pool_->text(text) : ShortText(text);
}

const ShortText *StatementList::fileForNumber(std::int64_t n) const {
  const std::int64_t first = filesNumberedFromZero ? 0 : 1;
  const std::int64_t index = n - first;
  if (index < 0 || index >= static_cast<std::int64_t>(files.size())) return nullptr;
  return &files[static_cast<std::size_t>(index)];
}

} // namespace Model
