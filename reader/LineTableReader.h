#pragma once

#include "reader/StatePiece.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

class DwarfDatabase;
namespace Model {
class StatementList;
}

/// Which list of the current line table is being read.
struct TableLists {
  bool inDirectoryTable = false;
  bool inFileTable = false;
  /// The open file table is a DWARF 5 one ("Entry\tDir\tName").
  bool dwarf5FileTable = false;
  bool operator==(const TableLists &) const = default;
};

/// Collects the directory and file tables of the line-number section into
/// StatementLists: one per line-table offset line, filled from the tables
/// that follow it.
///
/// It reads both layouts: the older one (" The Directory Table:", directory
/// lines without a number, "Offset: 0x0") and that of objdump 2.40 ("Offset:
/// 0", "The Directory Table (offset 0x1b):", "<n>\t<dir>" lines, and the
/// DWARF 5 tables "Entry\tName" / "Entry\tDir\tName" whose directories and
/// files are numbered from 0 and may name indirect line strings).
class LineTableReader {
public:
  explicit LineTableReader(DwarfDatabase &database) : database_(database) {}

  /// Tries \p line as a line-table line: an offset line, a table header,
  /// or - while a list is read - a table line, for the current \p table
  /// and its \p lists. True when the line is taken (and so done); a table
  /// line that matches no entry pattern is taken too. \p firstNonBlank is
  /// the first character after the line's leading blanks and
  /// \p leadingBlanks their number.
  bool takeLine(StatePiece<Model::StatementList *> &table, StatePiece<TableLists> &lists,
                std::string_view line, std::size_t leadingBlanks, char firstNonBlank);

private:
  Model::StatementList *openTable(std::uint32_t offset);

  DwarfDatabase &database_;
};
