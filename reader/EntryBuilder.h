#pragma once

#include "model/BasicObject.h"

#include <cstdint>
#include <string_view>
#include <vector>

class DwarfDatabase;

/// The kind of model object an entry's tag makes. The parse keeps it beside
/// the current entry, so attribute handling knows the object's class without
/// a run-time type test per attribute line.
enum class EntryKind : std::uint8_t {
  Plain, ///< any tag without a class of its own (lexical blocks, ...)
  Array,
  Base,
  Class,
  Const,
  Enumeration,
  Enumerator,
  ImportedDeclaration,
  Inheritance,
  Member,
  Namespace,
  Pointer,
  Structure,
  Subrange,
  Subroutine, ///< DW_TAG_subroutine_type and DW_TAG_inlined_subroutine
  Typedef,
  Union,
  Volatile,
  Function,
  CompileUnit,
  Variable, ///< DW_TAG_variable and DW_TAG_formal_parameter
};

/// The kind for a tag text such as "DW_TAG_member"; Plain for any other.
EntryKind entryKindForTag(std::string_view tag);

/// The entry whose attribute lines are being read, if any.
struct CurrentEntry {
  Model::BasicObject *object = nullptr;
  EntryKind kind = EntryKind::Plain;
};

/// Turns entry header lines into model objects under their parents, files
/// them in the database (DwarfDatabase::fileEntry), and guards the
/// nesting: an entry may be at most one level deeper than the most recently
/// created one, so a skipped entry takes its whole subtree with it.
class EntryBuilder {
public:
  /// Creates the database's root. Without \p fileEntries the objects are
  /// only built: a later part of a parse in parts leaves their filing to the
  /// database it is appended to.
  explicit EntryBuilder(DwarfDatabase &database, bool fileEntries = true);

  /// Builds the object for one entry header; a skipped entry gives an empty
  /// CurrentEntry. \p pointerSize is the parse's current pointer size.
  CurrentEntry build(std::int32_t level, Model::EntryOffset offset, std::string_view tag,
                     std::int32_t pointerSize);

  /// Takes the open entries of \p later, a builder of a later part that has
  /// built a level-0 entry and whose objects now hang below this builder's
  /// root: its open entries are those one pass would have at its end.
  void continueFrom(const EntryBuilder &later);

private:
  Model::BasicObject *create(EntryKind kind, Model::EntryOffset offset, Model::BasicObject *parent,
                             std::int32_t pointerSize);

  DwarfDatabase &database_;
  bool fileEntries_;
  /// levels_[k]: the object most recently created at nesting level k - 1;
  /// levels_[0] is the root. Keys only ever grow by one, so a vector serves.
  std::vector<Model::BasicObject *> levels_;
  /// The key (level + 1) of the most recently created entry.
  std::uint32_t depthLimit_ = 0;
};
