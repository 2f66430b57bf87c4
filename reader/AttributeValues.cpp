#include "reader/AttributeValues.h"

#include "model/Model.h"
#include "reader/DumpLineGrammar.h"
#include "reader/DwarfDatabase.h"
#include "reader/NumberConversion.h"

#include <optional>

namespace {

using namespace Model;
using NumberConversion::decimal;
using NumberConversion::hexadecimal;

/// DW_AT_name: the indirect form "(indirect string, offset: 0x1a): counter"
/// gives the text after the last "): ", the inline form is the name itself.
std::string_view nameText(std::string_view valueText) {
  DumpLineGrammar::Match m;
  return DumpLineGrammar::matchNameIndirect(valueText, m) ? m.group[1] : valueText;
}

/// A reference such as "<0x2d>": the hex digits after the last "0x"; 0 for a
/// value without them, which the link pass resolves to nothing.
EntryOffset referenceOffset(std::string_view valueText) {
  DumpLineGrammar::Match m;
  return DumpLineGrammar::matchReference(valueText, m) ? hexadecimal(m.group[1]) : 0;
}

/// DW_AT_encoding: the text in the tail's closing parentheses ("unsigned
/// char"); empty without them.
std::string_view encodingText(std::string_view tail) {
  DumpLineGrammar::Match m;
  return DumpLineGrammar::matchEncoding(tail, m) ? m.group[1] : std::string_view();
}

/// The result of a DW_AT_location: the address when the location is DW_OP_addr
/// alone or followed by DW_OP_plus_uconst.
struct LocationValue {
  bool isAddress = false;
  bool failed = false; ///< the DW_OP_plus_uconst operand did not convert
  std::uint32_t address = 0;
};

LocationValue locationValue(std::string_view tail) {
  DumpLineGrammar::Match m;
  if (DumpLineGrammar::matchLocationAddress(tail, m)) return {true, false, hexadecimal(m.group[1])};
  if (DumpLineGrammar::matchLocationAddressPlus(tail, m)) {
    const std::optional<std::int32_t> added = decimal(m.group[2]);
    if (!added) return {false, true, 0};
    return {true, false, hexadecimal(m.group[1]) + static_cast<std::uint32_t>(*added)};
  }
  return {};
}

/// DW_AT_data_member_location: the block form "(DW_OP_plus_uconst: 8)" in
/// the tail, or the constant form "8" as the value text, else 0. nullopt when
/// the number does not convert.
std::optional<std::int32_t> memberLocation(std::string_view valueText, std::string_view tail) {
  DumpLineGrammar::Match m;
  if (DumpLineGrammar::matchMemberLocationBlock(tail, m)) return decimal(m.group[1]);
  if (DumpLineGrammar::matchMemberLocationConstant(valueText, m)) return decimal(m.group[1]);
  if (valueText.starts_with("0x")) return NumberConversion::attributeNumber(valueText); // a 4-byte constant
  return 0;
}

/// Stores the decimal value of \p text in \p field; a value that does not
/// convert leaves the field as it was. True when stored.
bool storeDecimal(std::string_view text, std::int32_t &field) {
  const std::optional<std::int32_t> value = NumberConversion::attributeNumber(text);
  if (!value) return false;
  field = *value;
  return true;
}

bool isTypeReference(Attribute a) { return a == Attribute::Type || a == Attribute::Import; }
bool isSpecification(Attribute a) { return a == Attribute::Specification || a == Attribute::AbstractOrigin; }

void applyToMember(TypeInfo_Member &member, Attribute attribute, std::string_view valueText,
                   std::string_view tail) {
  switch (attribute) {
  case Attribute::Type:
  case Attribute::Import:
    member.typeOffset = referenceOffset(valueText);
    break;
  case Attribute::DataMemberLocation:
    if (const auto location = memberLocation(valueText, tail)) member.dataMemberLocation = *location;
    break;
  case Attribute::BitSize:
    storeDecimal(valueText, member.bitSize);
    break;
  case Attribute::BitOffset:
    if (storeDecimal(valueText, member.bitOffset)) member.hasBitOffset = true;
    break;
  case Attribute::ByteSize:
    if (storeDecimal(valueText, member.byteSize)) member.hasByteSize = true;
    break;
  case Attribute::DataBitOffset:
    if (storeDecimal(valueText, member.dataBitOffset)) member.hasDataBitOffset = true;
    break;
  case Attribute::Declaration:
    member.isDeclaration = valueText != "0";
    break;
  default:
    break;
  }
}

void applyToSubrange(TypeInfo_Subrange &subrange, Attribute attribute, std::string_view valueText) {
  switch (attribute) {
  case Attribute::UpperBound:
    storeDecimal(valueText, subrange.upperBound);
    break;
  case Attribute::LowerBound:
    storeDecimal(valueText, subrange.lowerBound);
    break;
  case Attribute::Count:
    if (const auto count = NumberConversion::attributeNumber(valueText)) {
      subrange.lowerBound = 0;
      subrange.upperBound = static_cast<std::int32_t>(static_cast<std::uint32_t>(*count) - 1u);
    }
    break;
  default:
    break;
  }
}

/// The fields that only some classes take.
void applyByKind(TextPool &pool, const CurrentEntry &entry, Attribute attribute, std::string_view valueText,
                 std::string_view tail, std::int32_t pointerSize) {
  BasicObject *object = entry.object;
  switch (entry.kind) {
  case EntryKind::CompileUnit:
    if (attribute == Attribute::StmtList) object->stmtListOffset = referenceOffset(valueText);
    break;
  case EntryKind::Function:
    if (isSpecification(attribute))
      static_cast<FunctionInfo *>(object)->specificationOffset = referenceOffset(valueText);
    break;
  case EntryKind::Array:
    if (isTypeReference(attribute))
      static_cast<TypeInfo_Array *>(object)->typeOffset = referenceOffset(valueText);
    break;
  case EntryKind::Const:
    if (isTypeReference(attribute))
      static_cast<TypeInfo_Const *>(object)->typeOffset = referenceOffset(valueText);
    break;
  case EntryKind::ImportedDeclaration:
    if (isTypeReference(attribute))
      static_cast<TypeInfo_ImportedDeclaration *>(object)->typeOffset = referenceOffset(valueText);
    break;
  case EntryKind::Typedef:
    if (isTypeReference(attribute))
      static_cast<TypeInfo_Typedef *>(object)->typeOffset = referenceOffset(valueText);
    break;
  case EntryKind::Volatile:
    if (isTypeReference(attribute))
      static_cast<TypeInfo_Volatile *>(object)->typeOffset = referenceOffset(valueText);
    break;
  case EntryKind::Inheritance: {
    auto *inheritance = static_cast<TypeInfo_Inheritance *>(object);
    if (isTypeReference(attribute))
      inheritance->typeOffset = referenceOffset(valueText);
    else if (attribute == Attribute::DataMemberLocation)
      if (const auto location = memberLocation(valueText, tail)) inheritance->dataMemberLocation = *location;
    break;
  }
  case EntryKind::Member:
    applyToMember(*static_cast<TypeInfo_Member *>(object), attribute, valueText, tail);
    break;
  case EntryKind::Base: {
    auto *base = static_cast<TypeInfo_Base *>(object);
    if (attribute == Attribute::Encoding)
      base->encodingName = pool.text(encodingText(tail));
    else if (attribute == Attribute::ByteSize)
      storeDecimal(valueText, base->byteSize);
    break;
  }
  case EntryKind::Class: {
    auto *classType = static_cast<TypeInfo_Class *>(object);
    if (attribute == Attribute::ByteSize)
      storeDecimal(valueText, classType->byteSize);
    else if (attribute == Attribute::Specification)
      classType->specificationOffset = referenceOffset(valueText);
    else if (attribute == Attribute::Declaration)
      classType->isDeclaration = valueText != "0";
    break;
  }
  case EntryKind::Enumeration:
    if (attribute == Attribute::ByteSize)
      storeDecimal(valueText, static_cast<TypeInfo_Enumeration *>(object)->byteSize);
    break;
  case EntryKind::Structure:
    if (attribute == Attribute::ByteSize)
      storeDecimal(valueText, static_cast<TypeInfo_Structure *>(object)->byteSize);
    else if (attribute == Attribute::Declaration)
      static_cast<TypeInfo_Structure *>(object)->isDeclaration = valueText != "0";
    break;
  case EntryKind::Union:
    if (attribute == Attribute::ByteSize)
      storeDecimal(valueText, static_cast<TypeInfo_Union *>(object)->byteSize);
    else if (attribute == Attribute::Declaration)
      static_cast<TypeInfo_Union *>(object)->isDeclaration = valueText != "0";
    break;
  case EntryKind::Pointer:
    // The unit header's pointer size wins over the entry's own size.
    if (attribute == Attribute::ByteSize && pointerSize == 0)
      storeDecimal(valueText, static_cast<TypeInfo_Pointer *>(object)->byteSize);
    break;
  case EntryKind::Subrange:
    applyToSubrange(*static_cast<TypeInfo_Subrange *>(object), attribute, valueText);
    break;
  case EntryKind::Subroutine: {
    auto *subroutine = static_cast<TypeInfo_Subroutine *>(object);
    if (isTypeReference(attribute) || attribute == Attribute::AbstractOrigin)
      subroutine->typeOffset = referenceOffset(valueText);
    else if (attribute == Attribute::CallLine)
      subroutine->declLine = valueText;
    else if (attribute == Attribute::CallFile)
      storeDecimal(valueText, subroutine->declFile);
    break;
  }
  case EntryKind::Variable: {
    auto *variable = static_cast<VariableInfo *>(object);
    if (isTypeReference(attribute))
      variable->typeOffset = referenceOffset(valueText);
    else if (isSpecification(attribute))
      variable->specificationOffset = referenceOffset(valueText);
    break;
  }
  case EntryKind::Enumerator:
  case EntryKind::Namespace:
  case EntryKind::Plain:
    break;
  }
}

} // namespace

Attribute attributeNamed(std::string_view name) {
  constexpr std::string_view kPrefix = "DW_AT_";
  if (name.size() <= kPrefix.size() || name.substr(0, kPrefix.size()) != kPrefix) return Attribute::Unused;
  const std::string_view rest = name.substr(kPrefix.size());
  // Dispatch on the first letter, then compare the few names that share it.
  switch (rest[0]) {
  case 'a':
    if (rest == "abstract_origin") return Attribute::AbstractOrigin;
    break;
  case 'b':
    if (rest == "byte_size") return Attribute::ByteSize;
    if (rest == "bit_size") return Attribute::BitSize;
    if (rest == "bit_offset") return Attribute::BitOffset;
    break;
  case 'c':
    if (rest == "count") return Attribute::Count;
    if (rest == "call_line") return Attribute::CallLine;
    if (rest == "call_file") return Attribute::CallFile;
    break;
  case 'd':
    if (rest == "decl_line") return Attribute::DeclLine;
    if (rest == "decl_file") return Attribute::DeclFile;
    if (rest == "data_member_location") return Attribute::DataMemberLocation;
    if (rest == "data_bit_offset") return Attribute::DataBitOffset;
    if (rest == "declaration") return Attribute::Declaration;
    break;
  case 'e':
    if (rest == "encoding") return Attribute::Encoding;
    break;
  case 'i':
    if (rest == "import") return Attribute::Import;
    break;
  case 'l':
    if (rest == "location") return Attribute::Location;
    if (rest == "lower_bound") return Attribute::LowerBound;
    break;
  case 'n':
    if (rest == "name") return Attribute::Name;
    break;
  case 's':
    if (rest == "specification") return Attribute::Specification;
    if (rest == "stmt_list") return Attribute::StmtList;
    break;
  case 't':
    if (rest == "type") return Attribute::Type;
    break;
  case 'u':
    if (rest == "upper_bound") return Attribute::UpperBound;
    break;
  default:
    break;
  }
  return Attribute::Unused;
}

void applyAttribute(DwarfDatabase &database, const CurrentEntry &entry, Attribute attribute,
                    std::string_view valueText, std::string_view tail, std::int32_t pointerSize) {
  BasicObject *object = entry.object;
  // Fields every object takes, whatever its class.
  switch (attribute) {
  case Attribute::Name:
    object->name = database.textPool.text(nameText(valueText));
    return;
  case Attribute::DeclLine:
    object->declLine = valueText;
    return;
  case Attribute::DeclFile:
    storeDecimal(valueText, object->declFile);
    return;
  case Attribute::Location: {
    const LocationValue location = locationValue(tail);
    if (location.failed) return; // an operand that does not convert: the location is ignored whole
    if (location.isAddress) database.locatedObjects.push_back(object);
    if (entry.kind == EntryKind::Variable) static_cast<VariableInfo *>(object)->address = location.address;
    return;
  }
  case Attribute::Unused:
    return;
  default:
    break;
  }
  applyByKind(database.textPool, entry, attribute, valueText, tail, pointerSize);
}
