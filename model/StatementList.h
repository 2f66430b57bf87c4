#pragma once

#include "model/ShortText.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace Model {

/// The directory and file names of one line table of the dump; turns a
/// declaration's file number into a path.
///
/// Every compilation unit lists the same library headers again; with a
/// \p pool each longer path is kept once there, and the table refers to it.
class StatementList {
public:
  explicit StatementList(std::uint32_t offset, TextPool *pool = nullptr) : offset(offset), pool_(pool) {}

  void addDirectory(std::string_view text) { directories.push_back(textOf(text)); }
  /// Appends "<directory>/<fileName>". Directories count from 1 and index 0
  /// stands for the empty directory text; an index past the directories read
  /// so far also gives the empty text rather than a read outside the list.
  void addFile(std::uint32_t directoryIndex, std::string_view fileName);
  /// DWARF 5 line tables number their directories from 0: index d names
  /// entry d. An index past the list gives the empty text.
  void addFileZeroBased(std::uint32_t directoryIndex, std::string_view fileName);

  /// Where later texts are kept once; for a table whose pool is handed over
  /// to another one.
  void usePool(TextPool *pool) { pool_ = pool; }

  /// The path for declaration file number \p n, or nullptr when n names no
  /// entry. Older tables count files from 1, DWARF 5 tables from 0.
  const ShortText *fileForNumber(std::int64_t n) const;

  const std::uint32_t offset;
  std::vector<ShortText> directories;
  std::vector<ShortText> files;
  /// True for a DWARF 5 table, whose files are numbered from 0.
  bool filesNumberedFromZero = false;

private:
  ShortText textOf(std::string_view text) const;

  /// Not owned; may be null.
  TextPool *pool_;
};

} // namespace Model
