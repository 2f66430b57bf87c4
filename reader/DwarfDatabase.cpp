#include "reader/DwarfDatabase.h"

#include "reader/BitFieldLayout.h"
#include "reader/ByteOrderFlag.h"
#include "reader/DeclarationResolution.h"
#include "reader/DumpLineReader.h"
#include "reader/LineParser.h"

#include <cstdio>

namespace {

/// Runs the whole construction over the lines of \p reader: the parse, the
/// link pass, the turn from declared classes to their definitions, then the
/// layout of DWARF 4/5 bit fields (which needs the members' types linked).
void build(DwarfDatabase &database, DumpLineReader &reader) {
  DwarfDatabase::LineParser parser(database);
  std::string_view line;
  while (reader.next(line))
    parser.parseLine(line);
  database.linkReferences();
  DeclarationResolution::resolveDeclaredAggregates(database);
  BitFieldLayout::convertDataBitOffsets(database.members, parser.bigEndianTarget());
}

} // namespace

DwarfDatabase::DwarfDatabase() = default;

DwarfDatabase::DwarfDatabase(const std::string &dumpFileName) {
  // Binary mode: the reader removes a carriage return before a line feed
  // itself, the same on every platform.
  std::FILE *file = std::fopen(dumpFileName.c_str(), "rb");
  if (file == nullptr) return;
  DumpLineReader reader(file);
  build(*this, reader);
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
  }
  dumpOpened_ = true;
  DumpLineReader reader(dumpText);
  build(*this, reader);
}

bool DwarfDatabase::isLittleEndian() { return ByteOrderFlag::isLittleEndian(); }

const Model::StatementList *DwarfDatabase::findStatementList(std::uint32_t stmtListOffset) const {
  const auto it = statementListsByOffset.find(stmtListOffset);
  return it == statementListsByOffset.end() ? nullptr : it->second;
}
