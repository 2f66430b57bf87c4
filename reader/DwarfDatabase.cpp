#include "reader/DwarfDatabase.h"

#include "reader/BitFieldLayout.h"
#include "reader/ByteOrderFlag.h"
#include "reader/DeclarationResolution.h"
#include "reader/DumpLineReader.h"
#include "reader/LineParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

/// Runs the whole construction: the parse (\p parseAll hands every line to
/// the parser), the link pass, the turn from declared classes to their
/// definitions, then the layout of DWARF 4/5 bit fields (which needs the
/// members' types linked).
template <class ParseAll> void build(DwarfDatabase &database, ParseAll parseAll) {
  DwarfDatabase::LineParser parser(database);
  parseAll(parser);
  database.arena.stopPreparing();
  database.linkReferences();
  DeclarationResolution::resolveDeclaredAggregates(database);
  BitFieldLayout::convertDataBitOffsets(database.members, parser.bigEndianTarget());
}

/// The dumps of the example firmware hold 400 to 520 bytes of dump per
/// entry (the section contents and line tables count too). Reserving the
/// offset index for one entry per 192 bytes makes room for every entry of
/// such a dump at once; room never used costs address space, not memory.
/// A file whose size promises more than kMostEntriesReserved (a sparse file
/// of a terabyte) grows the index as it goes.
constexpr std::uintmax_t kReservedDumpBytesPerEntry = 192;
constexpr std::uintmax_t kMostEntriesReserved = std::uintmax_t{1} << 26;

/// The entries to make room for in a dump of \p dumpBytes.
std::size_t entriesToReserve(std::uintmax_t dumpBytes) {
  return static_cast<std::size_t>(std::min(dumpBytes / kReservedDumpBytesPerEntry, kMostEntriesReserved));
}

} // namespace

DwarfDatabase::DwarfDatabase() = default;

DwarfDatabase::DwarfDatabase(const std::string &dumpFileName) {
  // Binary mode: the reader removes a carriage return before a line feed
  // itself, the same on every platform.
  std::FILE *file = std::fopen(dumpFileName.c_str(), "rb");
  if (file == nullptr) return;
  // The reader asks for whole chunks; without stdio's own small buffer in
  // between, each chunk is one read from the system instead of two.
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::error_code sizeUnknown;
  const std::uintmax_t dumpBytes = std::filesystem::file_size(dumpFileName, sizeUnknown);
  if (!sizeUnknown) reserveForDump(dumpBytes);
  build(*this, [file](LineParser &parser) {
    DumpLineReader reader(file);
    std::string_view line;
    while (reader.next(line))
      parser.parseLine(line);
  });
  // A path that opens but cannot be read (a directory, an I/O error part way
  // through) ends the reading like the end of the file would: only the error
  // flag tells them apart. Such a dump counts as not opened.
  dumpOpened_ = std::ferror(file) == 0;
  std::fclose(file);
}

DwarfDatabase::~DwarfDatabase() {
  // The root's destructor takes the whole tree down; the lists and indexes
  // only point into it.
  root.reset();
  ownedStatementLists.clear();
}

void DwarfDatabase::parseDumpText(std::string_view dumpText) {
  // A second parse starts from an empty database, so that no list keeps
  // pointers into the tree it replaces.
  if (root != nullptr) {
    locatedObjects.clear();
    arrayTypes.clear();
    classTypes.clear();
    constTypes.clear();
    importedDeclarations.clear();
    inheritances.clear();
    members.clear();
    subroutineTypes.clear();
    typedefs.clear();
    volatileTypes.clear();
    functions.clear();
    variables.clear();
    aggregateTypes.clear();
    objectsByOffset.clear();
    statementListsByOffset.clear();
    ownedStatementLists.clear();
    root.reset();
    arena.release();
  }
  dumpOpened_ = true;
  build(*this, [dumpText](LineParser &parser) {
    DumpLineReader reader(dumpText);
    std::string_view line;
    while (reader.next(line))
      parser.parseLine(line);
  });
}

namespace {

/// Empties \p list and gives its memory back.
template <class List> void release(List &list) { List().swap(list); }

} // namespace

void DwarfDatabase::reserveForDump(std::uintmax_t dumpBytes) {
  objectsByOffset.reserve(entriesToReserve(dumpBytes));
}

void DwarfDatabase::releaseLinkIndexes() {
  objectsByOffset.clear();
  release(arrayTypes);
  release(classTypes);
  release(constTypes);
  release(importedDeclarations);
  release(inheritances);
  release(members);
  release(subroutineTypes);
  release(typedefs);
  release(volatileTypes);
  release(functions);
  release(variables);
  release(aggregateTypes);
}

bool DwarfDatabase::isLittleEndian() { return ByteOrderFlag::isLittleEndian(); }

const Model::StatementList *DwarfDatabase::findStatementList(std::uint32_t stmtListOffset) const {
  const auto it = statementListsByOffset.find(stmtListOffset);
  return it == statementListsByOffset.end() ? nullptr : it->second;
}
