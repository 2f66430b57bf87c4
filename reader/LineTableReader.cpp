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

bool LineTableReader::takeLine(std::string_view line, std::size_t leadingBlanks, char firstNonBlank) {
  using namespace DumpLineGrammar;
  Match m;
  if (leadingBlanks > 0) {
    switch (firstNonBlank) {
    case 'O':
      if (matchLineTableOffset(line, m)) {
        openTable(NumberConversion::hexadecimal(m.group[1]));
        return true;
      }
      if (matchLineTableOffsetZero(line, m)) {
        openTable(0);
        return true;
      }
      break;
    case 'T':
      if (matchDirectoryTableHeader(line, m) || matchDirectoryTableOffsetHeader(line, m)) {
        inDirectoryTable_ = true;
        if (current_ == nullptr) headerWithoutTable_ = true;
        return true;
      }
      break;
    case 'E':
      if (matchFileTableHeader(line, m)) {
        inFileTable_ = true;
        dwarf5FileTable_ = false;
        if (current_ == nullptr) headerWithoutTable_ = true;
        return true;
      }
      if (matchFileTableDwarf5Header(line, m)) {
        inFileTable_ = true;
        dwarf5FileTable_ = true;
        if (current_ != nullptr)
          current_->filesNumberedFromZero = true;
        else
          headerWithoutTable_ = true;
        return true;
      }
      // The column line of a DWARF 5 directory table names no directory.
      if (matchDirectoryTableColumns(line, m)) return true;
      break;
    default:
      break;
    }
  }
  if (inDirectoryTable_) {
    takeDirectoryLine(line);
    return true;
  }
  if (inFileTable_) {
    takeFileLine(line);
    return true;
  }
  return false;
}

void LineTableReader::continueFrom(const LineTableReader &later) {
  if (later.current_ != nullptr) current_ = later.current_;
  inDirectoryTable_ = later.inDirectoryTable_;
  inFileTable_ = later.inFileTable_;
  dwarf5FileTable_ = later.dwarf5FileTable_;
}

void LineTableReader::openTable(std::uint32_t offset) {
  auto &owned = database_.ownedStatementLists;
  owned.push_back(std::make_unique<Model::StatementList>(offset, &database_.textPool));
  current_ = owned.back().get();
  // The first table of an offset stays indexed; a later one is still the
  // current table and collects what follows.
  database_.statementListsByOffset.emplace(offset, current_);
}

void LineTableReader::takeDirectoryLine(std::string_view line) {
  if (line.empty() || current_ == nullptr) {
    inDirectoryTable_ = false;
    return;
  }
  DumpLineGrammar::Match m;
  if (DumpLineGrammar::matchNumberedDirectoryEntry(line, m))
    current_->addDirectory(lineString(m.group[2]));
  else if (DumpLineGrammar::matchDirectoryEntry(line, m))
    current_->addDirectory(m.group[1]);
}

void LineTableReader::takeFileLine(std::string_view line) {
  if (line.empty() || current_ == nullptr) {
    inFileTable_ = false;
    return;
  }
  DumpLineGrammar::Match m;
  if (dwarf5FileTable_) {
    if (!DumpLineGrammar::matchFileEntryDwarf5(line, m)) return;
    if (const std::optional<std::int32_t> directory = NumberConversion::decimal(m.group[2]))
      current_->addFileZeroBased(static_cast<std::uint32_t>(*directory), lineString(m.group[3]));
    return;
  }
  if (!DumpLineGrammar::matchFileEntry(line, m)) return;
  if (const std::optional<std::int32_t> directory = NumberConversion::decimal(m.group[2]))
    current_->addFile(static_cast<std::uint32_t>(*directory), m.group[3]);
}
