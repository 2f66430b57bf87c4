#pragma once

#include "model/LargeBlocks.h"
#include "model/Model.h"
#include "model/ObjectArena.h"
#include "model/TextPool.h"
#include "reader/OffsetIndex.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class DumpStream;

/// A list of model objects that grows with the dump.
template <class T> using ObjectList = std::vector<T *, Model::LargeBlockAllocator<T *>>;

/// The owner of everything known about one dump: the object tree, the index
/// from entry offset to object, the line tables, the located objects and the
/// per-kind lists that the link pass walks.
class DwarfDatabase {
public:
  /// Loads the dump file, parses it, links every reference. A file that
  /// cannot be opened (or is a directory) leaves the database empty; one
  /// that cannot be read to its end holds what was read before the error.
  /// dumpOpened() and dumpReadWhole() tell. A dump that starts with a UTF-16
  /// byte-order mark is read as the same text in UTF-8.
  explicit DwarfDatabase(const std::string &dumpFileName);
  /// Parses the dump \p stream as it comes, in one pass, keeping no more of
  /// it than the line at hand; once it has ended, links every reference
  /// when stream.finish() says the dump is whole. dumpReadWhole() tells
  /// that; a database of a dump that was not whole holds what was parsed
  /// and is not linked.
  explicit DwarfDatabase(DumpStream &stream);
  /// An empty database; the tests fill it through parseDumpText().
  DwarfDatabase();
  ~DwarfDatabase();

  DwarfDatabase(const DwarfDatabase &) = delete;
  DwarfDatabase &operator=(const DwarfDatabase &) = delete;

  /// Parses and links a whole dump held in memory, exactly as the file
  /// constructor does with a file's contents (UTF-16 included).
  void parseDumpText(std::string_view dumpText);
  /// The same for a text in UTF-8, with a part of the parse starting at each
  /// of \p laterParts (line starts in ascending order); none parses the text
  /// in one part.
  /// The parts are taken by \p threads threads (0: one per core). The
  /// result is the same wherever the parts meet. Returns parsedInParts().
  bool parseDumpTextInParts(std::string_view dumpText, const std::vector<std::size_t> &laterParts,
                            unsigned threads = 0);

  /// The dump's byte-order flag for the bit positions of bit fields: set
  /// when a file-format line of the dump names a format that ends in
  /// "little" (elf32-little; not elf32-littlearm, which goes on after it).
  bool isLittleEndian() const { return littleEndian_; }

  /// False when the dump file could not be opened or is a directory.
  bool dumpOpened() const { return dumpOpened_; }
  /// False when the dump file could not be opened or not be read to its end:
  /// a read error, or fewer bytes than its size when it was opened (it shrank
  /// while it was read).
  bool dumpReadWhole() const { return dumpReadWhole_; }

  /// The dump holds a file-format line ("x.elf:     file format
  /// elf32-littlearm"), as every objdump dump does.
  bool fileFormatSeen() const { return fileFormatSeen_; }
  /// The compilation units whose header ("  Compilation Unit @ offset
  /// 0x1b2c:") came with no entry header before the next unit's header or
  /// the end of the dump: units objdump could not read (objdump before 2.29
  /// does not read DWARF 5). A null entry names no tag and is no entry here.
  std::size_t unreadUnits() const { return unreadUnits_; }

  /// True when the last parse ran in parts and appended at least one of
  /// them; false when it ran in one, by choice or because no part after the
  /// first could be used.
  bool parsedInParts() const { return inParts_; }

  /// The line table filed under \p stmtListOffset, or nullptr.
  const Model::StatementList *findStatementList(std::uint32_t stmtListOffset) const;

  /// The memory of the model objects below the root; declared before `root`
  /// so that it outlives the tree.
  Model::ObjectArena arena;
  /// The longer names of the model objects and paths of the line tables,
  /// each kept once; declared before `root` and the line tables, which refer
  /// to it.
  Model::TextPool textPool;
  // Owned: the root of the tree (null until a parse starts) and the line
  // tables (including ones not indexed because their offset repeated).
  std::unique_ptr<Model::BasicObject> root;
  /// Entry offset -> first object created for it; the root is not entered.
  OffsetIndex objectsByOffset;
  std::map<std::uint32_t, Model::StatementList *> statementListsByOffset;
  std::vector<std::unique_ptr<Model::StatementList>> ownedStatementLists;

  // Non-owning, in dump order.
  ObjectList<Model::BasicObject> locatedObjects;
  ObjectList<Model::TypeInfo_Array> arrayTypes;
  ObjectList<Model::TypeInfo_Class> classTypes;
  ObjectList<Model::TypeInfo_Const> constTypes;
  ObjectList<Model::TypeInfo_ImportedDeclaration> importedDeclarations;
  ObjectList<Model::TypeInfo_Inheritance> inheritances;
  ObjectList<Model::TypeInfo_Member> members;
  ObjectList<Model::TypeInfo_Subroutine> subroutineTypes;
  ObjectList<Model::TypeInfo_Typedef> typedefs;
  ObjectList<Model::TypeInfo_Volatile> volatileTypes;
  ObjectList<Model::FunctionInfo> functions;
  ObjectList<Model::VariableInfo> variables;
  /// Every structure, class and union, for completing declared classes from
  /// their definitions after the link pass.
  ObjectList<Model::BasicObject> aggregateTypes;

  /// Calls \p apply on each per-kind list whose objects refer to a type
  /// (`typeOffset`, linked to `type`).
  template <class Apply> void forEachTypeList(Apply apply) {
    apply(arrayTypes);
    apply(constTypes);
    apply(importedDeclarations);
    apply(inheritances);
    apply(members);
    apply(subroutineTypes);
    apply(typedefs);
    apply(volatileTypes);
    apply(variables);
  }

  /// The single pass over the dump's lines that builds the model objects and
  /// the line tables.
  class LineParser;
  /// Turns every stored reference offset into a pointer.
  void linkReferences();

  /// Makes room in the offset index for the entries a dump of \p dumpBytes
  /// holds, so that it does not grow step by step (the file constructor
  /// calls it with the file's size).
  void reserveForDump(std::uintmax_t dumpBytes);

  /// Files the object of a new entry: in the offset index (unless its
  /// offset is there already) and in the per-kind list of its kind.
  void fileEntry(Model::BasicObject *object);

  /// Appends the database of a later part of the same dump, parsed on its
  /// own without filing its entries, as if its lines had followed this
  /// database's own: its compilation units after this root's children, its
  /// objects filed here in the order they were built, its located objects
  /// and line tables after these (a line-table offset already here keeps
  /// its table). Its objects and texts move into this database's arena and
  /// pool; \p later is left empty. Before the link pass only.
  void appendLaterPart(DwarfDatabase &later);

  /// Frees what only the link pass reads: the offset index and the per-kind
  /// lists, `locatedObjects` excepted. The symbol files need the tree, the
  /// located objects and the line tables only, so a run frees these before
  /// writing and the output's memory does not come on top of theirs (about
  /// 45 MB of a 1 GB dump).
  void releaseLinkIndexes();

private:
  /// The whole construction: the parse (\p parseAll hands every line to the
  /// parser it is given), the link pass, the turn from declared classes to
  /// their definitions, then the layout of DWARF 4/5 bit fields (which needs
  /// the members' types linked).
  template <class ParseAll> void build(ParseAll parseAll);
  /// What build() does after the last line went to \p parser.
  void complete(LineParser &parser);

  /// Calls \p apply(list, object) for each per-kind list an object of
  /// \p object's kind is filed in, with the object cast to the list's type.
  template <class Apply> void forEachListOf(Model::BasicObject *object, Apply apply);

  bool dumpOpened_ = false;
  bool dumpReadWhole_ = false;
  bool inParts_ = false;
  bool fileFormatSeen_ = false;
  std::size_t unreadUnits_ = 0;
  bool littleEndian_ = false;
  /// The first file-format line names a big-endian format (elf32-bigarm).
  bool bigEndianFormat_ = false;
};
