#pragma once

#include "model/BasicObject.h"

#include <cstdint>

/// The classes that stand for the program rather than for its types.
namespace Model {

/// A compilation unit. Its `stmtListOffset` is the one set from
/// DW_AT_stmt_list; every object below it copies that value.
class CompileUnitInfo final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::CompileUnitInfo;
  CompileUnitInfo(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
};

/// A variable or a formal parameter (both kinds are treated alike).
class VariableInfo final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::VariableInfo;
  VariableInfo(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  BasicObject *type = nullptr;
  EntryOffset typeOffset = 0;
  std::uint32_t address = 0; ///< absolute address of a DW_OP_addr location
  EntryOffset specificationOffset = 0;
  BasicObject *specification = nullptr;
};

/// A subprogram; its children are parameters, locals, blocks and inlined
/// subroutines.
class FunctionInfo final : public BasicObject {
public:
  static constexpr ObjectKind kKind = ObjectKind::FunctionInfo;
  FunctionInfo(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, kKind) {}
  EntryOffset specificationOffset = 0;
  BasicObject *specification = nullptr;
};

} // namespace Model
