#pragma once

#include "model/BasicObject.h"
#include "reader/StatePiece.h"

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
  bool operator==(const CurrentEntry &) const = default;
};

/// The entries a new entry may hang from: the object most recently created
/// at each nesting level, from level 0 on. An entry may be at most one level
/// deeper than the most recently created one, so a skipped entry takes its
/// whole subtree with it.
using OpenEntries = std::vector<Model::BasicObject *>;

/// Turns entry header lines into model objects under their parents and
/// files them in the database (DwarfDatabase::fileEntry).
class EntryBuilder {
public:
  /// Creates the database's root. Without \p fileEntries the objects are
  /// only built: a later part of a parse in parts leaves their filing to the
  /// database it is appended to.
  explicit EntryBuilder(DwarfDatabase &database, bool fileEntries = true);

  /// Builds the object for one entry header below \p open, which it
  /// updates; a skipped entry gives an empty CurrentEntry. A pointer takes
  /// \p pointerSize, the unit's pointer size.
  CurrentEntry build(StatePiece<OpenEntries> &open, std::int32_t level, Model::EntryOffset offset,
                     std::string_view tag, const StatePiece<std::int32_t> &pointerSize);

private:
  Model::BasicObject *create(EntryKind kind, Model::EntryOffset offset, Model::BasicObject *parent,
                             const StatePiece<std::int32_t> &pointerSize);

  DwarfDatabase &database_;
  bool fileEntries_;
};
