#include "reader/EntryBuilder.h"

#include "model/Model.h"
#include "reader/DwarfDatabase.h"

namespace {

struct TagRow {
  std::string_view tag;
  EntryKind kind;
};

constexpr TagRow kTagTable[] = {
    {"DW_TAG_array_type", EntryKind::Array},
    {"DW_TAG_base_type", EntryKind::Base},
    {"DW_TAG_class_type", EntryKind::Class},
    {"DW_TAG_const_type", EntryKind::Const},
    {"DW_TAG_enumeration_type", EntryKind::Enumeration},
    {"DW_TAG_enumerator", EntryKind::Enumerator},
    {"DW_TAG_imported_declaration", EntryKind::ImportedDeclaration},
    {"DW_TAG_inheritance", EntryKind::Inheritance},
    {"DW_TAG_member", EntryKind::Member},
    {"DW_TAG_namespace", EntryKind::Namespace},
    {"DW_TAG_pointer_type", EntryKind::Pointer},
    {"DW_TAG_structure_type", EntryKind::Structure},
    {"DW_TAG_subrange_type", EntryKind::Subrange},
    {"DW_TAG_subroutine_type", EntryKind::Subroutine},
    {"DW_TAG_inlined_subroutine", EntryKind::Subroutine},
    {"DW_TAG_typedef", EntryKind::Typedef},
    {"DW_TAG_union_type", EntryKind::Union},
    {"DW_TAG_volatile_type", EntryKind::Volatile},
    {"DW_TAG_subprogram", EntryKind::Function},
    {"DW_TAG_compile_unit", EntryKind::CompileUnit},
    {"DW_TAG_variable", EntryKind::Variable},
    {"DW_TAG_formal_parameter", EntryKind::Variable},
};

/// A new object in the database's arena, owned by \p parent from here on.
template <class T> T *createIn(DwarfDatabase &db, Model::EntryOffset offset, Model::BasicObject *parent) {
  return db.arena.create<T>(offset, parent);
}

} // namespace

EntryKind entryKindForTag(std::string_view tag) {
  // A string_view comparison checks the length first, so most rows cost one
  // integer compare.
  for (const TagRow &row : kTagTable)
    if (row.tag == tag) return row.kind;
  return EntryKind::Plain;
}

EntryBuilder::EntryBuilder(DwarfDatabase &database, bool fileEntries)
    : database_(database), fileEntries_(fileEntries) {
  database_.root = std::make_unique<Model::BasicObject>(0, nullptr);
}

CurrentEntry EntryBuilder::build(StatePiece<OpenEntries> &open, std::int32_t level, Model::EntryOffset offset,
                                 std::string_view tag, const StatePiece<std::int32_t> &pointerSize) {
  if (level < 0) return {};
  const EntryKind kind = entryKindForTag(tag);
  if (level == 0) {
    // A level-0 entry hangs from the root, whatever was open.
    Model::BasicObject *object = create(kind, offset, database_.root.get(), pointerSize);
    OpenEntries &entries = open.replace();
    entries.clear();
    entries.push_back(object);
    if (fileEntries_) database_.fileEntry(object);
    return {object, kind};
  }
  const auto depth = static_cast<std::size_t>(level);
  if (depth > open.get().size()) return {};
  Model::BasicObject *object = create(kind, offset, open.get()[depth - 1], pointerSize);
  OpenEntries &entries = open.update();
  entries.resize(depth);
  entries.push_back(object);
  if (fileEntries_) database_.fileEntry(object);
  return {object, kind};
}

Model::BasicObject *EntryBuilder::create(EntryKind kind, Model::EntryOffset offset,
                                         Model::BasicObject *parent,
                                         const StatePiece<std::int32_t> &pointerSize) {
  using namespace Model;
  DwarfDatabase &db = database_;
  // Every constructor hands the new object to its parent, which owns it.
  switch (kind) {
  case EntryKind::Array:
    return createIn<TypeInfo_Array>(db, offset, parent);
  case EntryKind::Base:
    return createIn<TypeInfo_Base>(db, offset, parent);
  case EntryKind::Class:
    return createIn<TypeInfo_Class>(db, offset, parent);
  case EntryKind::Const:
    return createIn<TypeInfo_Const>(db, offset, parent);
  case EntryKind::Enumeration:
    return createIn<TypeInfo_Enumeration>(db, offset, parent);
  case EntryKind::Enumerator:
    return createIn<TypeInfo_Enumerator>(db, offset, parent);
  case EntryKind::ImportedDeclaration:
    return createIn<TypeInfo_ImportedDeclaration>(db, offset, parent);
  case EntryKind::Inheritance:
    return createIn<TypeInfo_Inheritance>(db, offset, parent);
  case EntryKind::Member:
    return createIn<TypeInfo_Member>(db, offset, parent);
  case EntryKind::Namespace:
    return createIn<TypeInfo_Namespace>(db, offset, parent);
  case EntryKind::Pointer: {
    auto *pointer = createIn<TypeInfo_Pointer>(db, offset, parent);
    pointer->byteSize = pointerSize.get();
    return pointer;
  }
  case EntryKind::Structure:
    return createIn<TypeInfo_Structure>(db, offset, parent);
  case EntryKind::Subrange:
    return createIn<TypeInfo_Subrange>(db, offset, parent);
  case EntryKind::Subroutine:
    return createIn<TypeInfo_Subroutine>(db, offset, parent);
  case EntryKind::Typedef:
    return createIn<TypeInfo_Typedef>(db, offset, parent);
  case EntryKind::Union:
    return createIn<TypeInfo_Union>(db, offset, parent);
  case EntryKind::Volatile:
    return createIn<TypeInfo_Volatile>(db, offset, parent);
  case EntryKind::Function:
    return createIn<FunctionInfo>(db, offset, parent);
  case EntryKind::CompileUnit:
    return createIn<CompileUnitInfo>(db, offset, parent);
  case EntryKind::Variable:
    return createIn<VariableInfo>(db, offset, parent);
  case EntryKind::Plain:
    break;
  }
  return createIn<BasicObject>(db, offset, parent);
}
