#pragma once

#include "reader/EntryBuilder.h"

#include <cstdint>
#include <string_view>

class DwarfDatabase;

/// The attributes the model takes; every other name is Unused and costs only
/// the lookup of its name.
enum class Attribute : std::uint8_t {
  Unused,
  Name,
  Location,
  DataMemberLocation,
  Type,
  Import,
  StmtList,
  Specification,
  AbstractOrigin,
  Encoding,
  DeclLine,
  DeclFile,
  ByteSize,
  BitSize,
  BitOffset,
  DataBitOffset,
  UpperBound,
  LowerBound,
  Count,
  CallLine,
  CallFile,
  Declaration,
};

/// The attribute for a name such as "DW_AT_type".
Attribute attributeNamed(std::string_view name);

/// Decodes one attribute line of the current entry and stores its value in
/// the entry's object according to the object's class. \p valueText is the
/// value up to the line's last tab, \p tail the text after it (empty when
/// the line has no tab). A location that is an absolute address also files
/// the object in the database's located objects.
void applyAttribute(DwarfDatabase &database, const CurrentEntry &entry, Attribute attribute,
                    std::string_view valueText, std::string_view tail, std::int32_t pointerSize);
