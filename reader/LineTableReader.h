#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

class DwarfDatabase;
namespace Model {
class StatementList;
}

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

  /// Tries \p line as a line-table line: an offset line, a table header, or -
  /// while a table is open - a table line. True when the line is taken (and
  /// so done); a table line that matches no entry pattern is taken too.
  /// \p firstNonBlank is the first character after the line's leading blanks
  /// and \p leadingBlanks their number.
  bool takeLine(std::string_view line, std::size_t leadingBlanks, char firstNonBlank);

  bool inDirectoryTable() const { return inDirectoryTable_; }
  bool inFileTable() const { return inFileTable_; }
  const Model::StatementList *currentTable() const { return current_; }
  /// A directory or file table header came while no table was open: its
  /// lines were dropped, where an open table would have taken them.
  bool headerWithoutTable() const { return headerWithoutTable_; }

  /// Takes the state of \p later, the reader of a later part whose lines
  /// came right after this one's and depended on nothing it guessed (see
  /// headerWithoutTable()): its open table if it opened one, this one's
  /// otherwise, and where it stands in a table.
  void continueFrom(const LineTableReader &later);

private:
  void openTable(std::uint32_t offset);
  void takeDirectoryLine(std::string_view line);
  void takeFileLine(std::string_view line);

  DwarfDatabase &database_;
  Model::StatementList *current_ = nullptr;
  bool inDirectoryTable_ = false;
  bool inFileTable_ = false;
  /// The open file table is a DWARF 5 one ("Entry\tDir\tName").
  bool dwarf5FileTable_ = false;
  bool headerWithoutTable_ = false;
};
