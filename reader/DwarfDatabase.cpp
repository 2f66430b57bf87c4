#include "reader/DwarfDatabase.h"

namespace {
/// Set by a file-format line whose format name ends in "little"; shared by
/// every database of the process and never cleared.
bool littleEndianFlag = false;
} // namespace

DwarfDatabase::DwarfDatabase() = default;

DwarfDatabase::DwarfDatabase(const std::string& dumpFileName) { (void)dumpFileName; }

DwarfDatabase::~DwarfDatabase() = default;

void DwarfDatabase::parseDumpText(std::string_view dumpText) {
  (void)dumpText;
  root = std::make_unique<Model::BasicObject>(0, nullptr);
  dumpOpened_ = true;
}

bool DwarfDatabase::isLittleEndian() { return littleEndianFlag; }

const Model::StatementList* DwarfDatabase::findStatementList(std::uint32_t stmtListOffset) const {
  const auto it = statementListsByOffset.find(stmtListOffset);
  return it == statementListsByOffset.end() ? nullptr : it->second;
}

void DwarfDatabase::linkReferences() {}
