#include "reader/LineTableReader.h"

#include "model/StatementList.h"
#include "reader/DumpLineGrammar.h"
#include "reader/DwarfDatabase.h"
#include "reader/NumberConversion.h"

#include <memory>
#include <optional>

namespace {

/// A DWARF 5 table names its strings as "(indirect line string, offset:
/// 0x57): ../libgloss/arm"; the text after the last "): " is the name.
std::string_view lineString(std::string_view text) {
  DumpLineGrammar::Match m;
  return DumpLineGrammar::matchIndirectLineString(text, m) ? m.group[1] : text;
}

} // namespace

bool LineTableReader::takeLine(StatePiece<Model::StatementList *> &table, StatePiece<TableLists> &lists,
                               std::string_view line, std::size_t leadingBlanks, char firstNonBlank) {
  using namespace DumpLineGrammar;
  Match m;
  if (leadingBlanks > 0) {
    switch (firstNonBlank) {
    case 'O':
      // The lists being read stay as they are.
      if (matchLineTableOffset(line, m)) {
        table.set(openTable(NumberConversion::hexadecimal(m.group[1])));
        return true;
      }
      if (matchLineTableOffsetZero(line, m)) {
        table.set(openTable(0));
        return true;
      }
      break;
    case 'T':
      if (matchDirectoryTableHeader(line, m) || matchDirectoryTableOffsetHeader(line, m)) {
        lists.update().inDirectoryTable = true;
        return true;
      }
      break;
    case 'E':
      if (matchFileTableHeader(line, m)) {
        TableLists &now = lists.update();
        now.inFileTable = true;
        now.dwarf5FileTable = false;
        return true;
      }
      if (matchFileTableDwarf5Header(line, m)) {
        TableLists &now = lists.update();
        now.inFileTable = true;
        now.dwarf5FileTable = true;
        if (Model::StatementList *current = table.get()) current->filesNumberedFromZero = true;
        return true;
      }
      // The column line of a DWARF 5 directory table names no directory.
      if (matchDirectoryTableColumns(line, m)) return true;
      break;
    default:
      break;
    }
  }
  const TableLists reading = lists.get();
  if (!reading.inDirectoryTable && !reading.inFileTable) return false;
  Model::StatementList *current = table.get();
  // An empty line ends a list; so does any line of a list that has no table
  // to go to.
  if (line.empty() || current == nullptr) {
    TableLists &now = lists.update();
    (reading.inDirectoryTable ? now.inDirectoryTable : now.inFileTable) = false;
    return true;
  }
  if (reading.inDirectoryTable) {
    if (matchNumberedDirectoryEntry(line, m))
      current->addDirectory(lineString(m.group[2]));
    else if (matchDirectoryEntry(line, m))
      current->addDirectory(m.group[1]);
    return true;
  }
  if (reading.dwarf5FileTable) {
    if (!matchFileEntryDwarf5(line, m)) return true;
    if (const std::optional<std::int32_t> directory = NumberConversion::decimal(m.group[2]))
      current->addFileZeroBased(static_cast<std::uint32_t>(*directory), lineString(m.group[3]));
    return true;
  }
  if (!matchFileEntry(line, m)) return true;
  if (const std::optional<std::int32_t> directory = NumberConversion::decimal(m.group[2]))
    current->addFile(static_cast<std::uint32_t>(*directory), m.group[3]);
  return true;
}

Model::StatementList *LineTableReader::openTable(std::uint32_t offset) {
  auto &owned = database_.ownedStatementLists;
  owned.push_back(std::make_unique<Model::StatementList>(offset, &database_.textPool));
  Model::StatementList *table = owned.back().get();
  // The first table of an offset stays indexed; a later one is still the
  // current table and collects what follows.
  database_.statementListsByOffset.emplace(offset, table);
  return table;
}
