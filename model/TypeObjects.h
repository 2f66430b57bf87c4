#pragma once

#include "model/BasicObject.h"

#include <cstdint>

/// One class per kind of type-describing entry. Later phases tell the kinds
/// apart by their class, so every kind is its own class even where two hold
/// the same fields. References are stored twice: the offset read from the
/// dump (`typeOffset`) and the pointer the link pass fills from it (`type`).
namespace Model {

class TypeInfo_Array final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Array;
  TypeInfo_Array(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr; ///< element type; children are the subranges
  EntryOffset typeOffset = 0;
};

class TypeInfo_Base final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Base;
  TypeInfo_Base(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  std::int32_t byteSize = 0;
  /// e.g. "unsigned char", "signed", "float"; set through the database's
  /// `TextPool`, which keeps each longer text once.
  ShortText encodingName;
};

class TypeInfo_Class final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Class;
  TypeInfo_Class(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  std::int32_t byteSize = 0;
  EntryOffset specificationOffset = 0;
  BasicObject *specification = nullptr;
  /// DW_AT_declaration: only declared in this unit; the link pass turns
  /// references to it to the definition of the same name in another unit.
  bool isDeclaration = false;
};

class TypeInfo_Const final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Const;
  TypeInfo_Const(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr;
  EntryOffset typeOffset = 0;
};

class TypeInfo_Enumeration final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Enumeration;
  TypeInfo_Enumeration(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  std::int32_t byteSize = 0;
};

class TypeInfo_Enumerator final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Enumerator;
  TypeInfo_Enumerator(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
};

class TypeInfo_ImportedDeclaration final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_ImportedDeclaration;
  TypeInfo_ImportedDeclaration(EntryOffset offset, BasicObject *parent)
      : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr; ///< the imported entity (DW_AT_import)
  EntryOffset typeOffset = 0;
};

class TypeInfo_Inheritance final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Inheritance;
  TypeInfo_Inheritance(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr; ///< the base class
  EntryOffset typeOffset = 0;
  std::int32_t dataMemberLocation = 0;
};

class TypeInfo_Member final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Member;
  TypeInfo_Member(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr;
  EntryOffset typeOffset = 0;
  std::int32_t dataMemberLocation = 0;
  std::int32_t bitSize = 0;   ///< 0: no bit field
  std::int32_t bitOffset = 0; ///< DW_AT_bit_offset: counted from the unit's most significant bit
  std::int32_t byteSize = 0;  ///< storage unit of a bit field
  /// DW_AT_data_bit_offset (DWARF 4/5 bit fields), turned into the DWARF 2
  /// values above after linking.
  std::int32_t dataBitOffset = 0;
  bool hasDataBitOffset = false;
  bool hasBitOffset = false;
  bool hasByteSize = false;
  /// DW_AT_declaration with a value other than "0": a static data member,
  /// which does not live in the instance.
  bool isDeclaration = false;
};

class TypeInfo_Namespace final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Namespace;
  TypeInfo_Namespace(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
};

class TypeInfo_Pointer final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Pointer;
  TypeInfo_Pointer(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  std::int32_t byteSize = 0; ///< the unit's pointer size; the pointee is not kept
};

class TypeInfo_Structure final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Structure;
  TypeInfo_Structure(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  std::int32_t byteSize = 0;
  /// DW_AT_declaration: only declared in this unit; the link pass turns
  /// references to it to the definition of the same name in another unit.
  bool isDeclaration = false;
};

class TypeInfo_Subrange final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Subrange;
  TypeInfo_Subrange(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  std::int32_t upperBound = 0;
  std::int32_t lowerBound = 0;
};

/// A subroutine type, and also an inlined subroutine (whose reference is its
/// DW_AT_abstract_origin and whose declaration place is its call place).
class TypeInfo_Subroutine final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Subroutine;
  TypeInfo_Subroutine(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr;
  EntryOffset typeOffset = 0;
};

class TypeInfo_Typedef final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Typedef;
  TypeInfo_Typedef(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr;
  EntryOffset typeOffset = 0;
};

class TypeInfo_Union final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Union;
  TypeInfo_Union(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  std::int32_t byteSize = 0;
  /// DW_AT_declaration: only declared in this unit; the link pass turns
  /// references to it to the definition of the same name in another unit.
  bool isDeclaration = false;
};

class TypeInfo_Volatile final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::TypeInfo_Volatile;
  TypeInfo_Volatile(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr;
  EntryOffset typeOffset = 0;
};

} // namespace Model
