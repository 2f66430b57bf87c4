#pragma once

#include "model/Model.h"
#include "reader/OffsetIndex.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

/// The owner of everything known about one dump: the object tree, the index
/// from entry offset to object, the line tables, the located objects and the
/// per-kind lists that the link pass walks.
class DwarfDatabase {
public:
  /// Loads the dump file, parses it, links every reference. A file that
  /// cannot be opened leaves the database empty; one that cannot be read to
  /// its end holds what was read before the error. dumpOpened() tells both.
  explicit DwarfDatabase(const std::string& dumpFileName);
  /// An empty database; the tests fill it through parseDumpText().
  DwarfDatabase();
  ~DwarfDatabase();

  DwarfDatabase(const DwarfDatabase&) = delete;
  DwarfDatabase& operator=(const DwarfDatabase&) = delete;

  /// Parses and links a whole dump held in memory, exactly as the file
  /// constructor does with a file's contents.
  void parseDumpText(std::string_view dumpText);

  /// The process-wide byte-order flag, set by a file-format line whose format
  /// name ends in "little" and never cleared.
  static bool isLittleEndian();

  /// False when the dump file could not be opened or read to its end.
  bool dumpOpened() const { return dumpOpened_; }

  /// The line table filed under \p stmtListOffset, or nullptr.
  const Model::StatementList* findStatementList(std::uint32_t stmtListOffset) const;

  // Owned: the root of the tree (null until a parse starts) and the line
  // tables (including ones not indexed because their offset repeated).
  std::unique_ptr<Model::BasicObject> root;
  /// Entry offset -> first object created for it; the root is not entered.
  OffsetIndex objectsByOffset;
  std::map<std::uint32_t, Model::StatementList*> statementListsByOffset;
  std::vector<std::unique_ptr<Model::StatementList>> ownedStatementLists;

  // Non-owning, in dump order.
  std::vector<Model::BasicObject*> locatedObjects;
  std::vector<Model::TypeInfo_Array*> arrayTypes;
  std::vector<Model::TypeInfo_Class*> classTypes;
  std::vector<Model::TypeInfo_Const*> constTypes;
  std::vector<Model::TypeInfo_ImportedDeclaration*> importedDeclarations;
  std::vector<Model::TypeInfo_Inheritance*> inheritances;
  std::vector<Model::TypeInfo_Member*> members;
  std::vector<Model::TypeInfo_Subroutine*> subroutineTypes;
  std::vector<Model::TypeInfo_Typedef*> typedefs;
  std::vector<Model::TypeInfo_Volatile*> volatileTypes;
  std::vector<Model::FunctionInfo*> functions;
  std::vector<Model::VariableInfo*> variables;
  /// Every structure, class and union, for completing declared classes from
  /// their definitions after the link pass.
  std::vector<Model::BasicObject*> aggregateTypes;

  /// The single pass over the dump's lines that builds the model objects and
  /// the line tables.
  class LineParser;
  /// Turns every stored reference offset into a pointer.
  void linkReferences();

private:
  bool dumpOpened_ = false;
};
