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
template <class T>
T *createIn(DwarfDatabase &db, Model::EntryOffset offset, Model::BasicObject *parent) {
  return db.arena.create<T>(offset, parent);
}

template <class T, class List>
T *createListed(Model::EntryOffset offset, Model::BasicObject *parent, DwarfDatabase &db, List &list) {
  T *object = createIn<T>(db, offset, parent);
  list.push_back(object);
  return object;
}

/// A structure, class or union, also filed among the aggregates.
template <class T, class... Lists>
T *createAggregate(Model::EntryOffset offset, Model::BasicObject *parent, DwarfDatabase &db, Lists &...lists) {
  T *object = createIn<T>(db, offset, parent);
  db.aggregateTypes.push_back(object);
  (lists.push_back(object), ...);
  return object;
}

} // namespace

EntryKind entryKindForTag(std::string_view tag) {
  // A string_view comparison checks the length first, so most rows cost one
  // integer compare.
  for (const TagRow &row : kTagTable)
    if (row.tag == tag) return row.kind;
  return EntryKind::Plain;
}

EntryBuilder::EntryBuilder(DwarfDatabase &database) : database_(database) {
  database_.root = std::make_unique<Model::BasicObject>(0, nullptr);
  levels_.push_back(database_.root.get());
}

CurrentEntry EntryBuilder::build(std::int32_t level, Model::EntryOffset offset, std::string_view tag,
                                 std::int32_t pointerSize) {
  if (level < 0) return {};
  const std::uint32_t key = static_cast<std::uint32_t>(level) + 1;
  if (key > depthLimit_ + 1) return {};
  Model::BasicObject *parent = levels_[key - 1];
  const EntryKind kind = entryKindForTag(tag);
  Model::BasicObject *object = create(kind, offset, parent, pointerSize);
  if (key == levels_.size())
    levels_.push_back(object);
  else
    levels_[key] = object;
  database_.objectsByOffset.insert(offset, object);
  depthLimit_ = key;
  return {object, kind};
}

Model::BasicObject *EntryBuilder::create(EntryKind kind, Model::EntryOffset offset,
                                         Model::BasicObject *parent, std::int32_t pointerSize) {
  using namespace Model;
  DwarfDatabase &db = database_;
  // Every constructor hands the new object to its parent, which owns it.
  switch (kind) {
  case EntryKind::Array:
    return createListed<TypeInfo_Array>(offset, parent, db, db.arrayTypes);
  case EntryKind::Base:
    return createIn<TypeInfo_Base>(db, offset, parent);
  case EntryKind::Class:
    return createAggregate<TypeInfo_Class>(offset, parent, db, db.classTypes);
  case EntryKind::Const:
    return createListed<TypeInfo_Const>(offset, parent, db, db.constTypes);
  case EntryKind::Enumeration:
    return createIn<TypeInfo_Enumeration>(db, offset, parent);
  case EntryKind::Enumerator:
    return createIn<TypeInfo_Enumerator>(db, offset, parent);
  case EntryKind::ImportedDeclaration:
    return createListed<TypeInfo_ImportedDeclaration>(offset, parent, db, db.importedDeclarations);
  case EntryKind::Inheritance:
    return createListed<TypeInfo_Inheritance>(offset, parent, db, db.inheritances);
  case EntryKind::Member:
    return createListed<TypeInfo_Member>(offset, parent, db, db.members);
  case EntryKind::Namespace:
    return createIn<TypeInfo_Namespace>(db, offset, parent);
  case EntryKind::Pointer: {
    auto *pointer = createIn<TypeInfo_Pointer>(db, offset, parent);
    pointer->byteSize = pointerSize;
    return pointer;
  }
  case EntryKind::Structure:
    return createAggregate<TypeInfo_Structure>(offset, parent, db);
  case EntryKind::Subrange:
    return createIn<TypeInfo_Subrange>(db, offset, parent);
  case EntryKind::Subroutine:
    return createListed<TypeInfo_Subroutine>(offset, parent, db, db.subroutineTypes);
  case EntryKind::Typedef:
    return createListed<TypeInfo_Typedef>(offset, parent, db, db.typedefs);
  case EntryKind::Union:
    return createAggregate<TypeInfo_Union>(offset, parent, db);
  case EntryKind::Volatile:
    return createListed<TypeInfo_Volatile>(offset, parent, db, db.volatileTypes);
  case EntryKind::Function:
    return createListed<FunctionInfo>(offset, parent, db, db.functions);
  case EntryKind::CompileUnit:
    return createIn<CompileUnitInfo>(db, offset, parent);
  case EntryKind::Variable:
    return createListed<VariableInfo>(offset, parent, db, db.variables);
  case EntryKind::Plain:
    break;
  }
  return createIn<BasicObject>(db, offset, parent);
}
