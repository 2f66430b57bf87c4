// Symbol expansion: every located variable becomes the ordered list of its
// scalar pieces, the leaves.
//
// The walk is depth-first over the type of each variable: through typedefs
// and qualifiers, into structure members, over the elements of an array's
// first dimension, down to base types, enumerations, pointers and functions.
// Each step works on its own copy of the record, so nothing a callee changes
// reaches a sibling. To keep that cheap for millions of leaves, the copy that
// travels down is a small trivially-copied Cursor; the name it carries is the
// prefix of one shared buffer that a step only extends past its own length
// (or, where it replaces the name, puts back before it returns).
#include "output/SymbolExpansion.h"

#include "model/Model.h"
#include "model/ModelCast.h"
#include "model/VisitedPath.h"
#include "output/FileTexts.h"
#include "output/ScopedName.h"
#include "output/SignedEncoding.h"
#include "reader/DwarfDatabase.h"

#include <charconv>

using namespace Model;

namespace {

std::int32_t sizeOf(const BasicObject &object) { return static_cast<std::int32_t>(object.getSize()); }

/// A SymbolRecord on its way down, without its texts: the name is the first
/// `nameLength` characters of the expander's buffer, the type text refers to
/// the model or to a fixed text, the declaration place is the variable's.
struct Cursor {
  std::uint32_t address;
  std::int32_t bitOffset;
  std::int32_t bitSize;
  std::int32_t byteSize;
  std::size_t nameLength;
  std::string_view typeText;
  bool isConst;
  bool isSigned;
};

/// Appends \p index in decimal, padded on the left with zeros to \p width.
void appendPaddedIndex(std::string &out, std::uint32_t index, int width) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, index).ptr;
  const int length = static_cast<int>(end - digits);
  if (width > length) out.append(static_cast<std::size_t>(width - length), '0');
  out.append(digits, end);
}

class Expander {
public:
  Expander(LeafSink &sink, std::size_t leafCap, const NameTrace &trace)
      : sink_(&sink), takesConstLeaves_(sink.takesConstLeaves()), leafCap_(leafCap), trace_(trace) {}

  /// True once a leaf beyond the cap was met: the list is cut, and every
  /// step then returns at once. Exactly leafCap leaves are a whole list.
  bool cut() const { return cut_; }

  /// Expands \p object as the first step, starting from \p record.
  void start(const BasicObject *object, const SymbolRecord &record, bool membersOnly) {
    name_ = record.symbolName;
    leaf_.declLocation = record.declLocation;
    const Cursor cursor{record.address,           record.bitOffset, record.bitSize, record.byteSize,
                        record.symbolName.size(), record.typeText,  record.isConst, record.isSigned};
    expand(object, cursor, membersOnly, 1);
  }

  /// As start(), with the leaves handed to \p sink instead. They count
  /// towards the cap as any others.
  void startInto(LeafSink &sink, const BasicObject *object, const SymbolRecord &record) {
    LeafSink *const own = sink_;
    sink_ = &sink;
    start(object, record, false);
    sink_ = own;
  }

private:
  void expand(const BasicObject *object, Cursor cursor, bool membersOnly, int depth);
  void expandNamedAfter(const BasicObject &object, const BasicObject &specification, bool isFunction,
                        Cursor cursor, int depth);
  void expandElements(const TypeInfo_Array &array, Cursor &cursor, int depth);
  void skipElements(std::size_t leavesPerElement, std::uint32_t elements);
  void expandChildren(const BasicObject &object, const Cursor &cursor, bool membersOnly, int depth);
  void appendName(Cursor &cursor, std::string_view separator, const BasicObject &object);
  void emitLeaf(const Cursor &cursor);
  /// isSignedEncoding() of the base type, remembered for the last one: the
  /// elements of an array ask about the same type over and over.
  bool isSigned(const TypeInfo_Base &base) {
    if (&base != lastBase_) {
      lastBase_ = &base;
      lastBaseSigned_ = isSignedEncoding(base.encodingName.view());
    }
    return lastBaseSigned_;
  }

  LeafSink *sink_;
  const bool takesConstLeaves_;
  const std::size_t leafCap_;
  const NameTrace &trace_;
  /// Every leaf counts towards the cap, whether the sink sees it or not.
  std::size_t leafCount_ = 0;
  std::size_t seenLeafCount_ = 0;
  /// A leaf beyond the cap was met (see cut()).
  bool cut_ = false;
  /// The name buffer shared by all steps (see Cursor::nameLength).
  std::string name_;
  /// The record handed to the sink, reused so that a leaf costs no allocation.
  SymbolRecord leaf_;
  const TypeInfo_Base *lastBase_ = nullptr;
  bool lastBaseSigned_ = false;
  /// The objects whose expansion is under way.
  VisitedPath path_;
};

/// Keeps an object on the expansion path for the lifetime of the guard.
class OnPath {
public:
  OnPath(VisitedPath &path, const BasicObject *object) : path_(path) { path_.push(object); }
  ~OnPath() { path_.pop(); }
  OnPath(const OnPath &) = delete;
  OnPath &operator=(const OnPath &) = delete;

private:
  VisitedPath &path_;
};

void Expander::expand(const BasicObject *object, Cursor cursor, bool membersOnly, int depth) {
  // A type met again on its own path is a cycle of a malformed dump; it
  // would never end, so the second visit yields nothing.
  if (object == nullptr || depth > kMaxExpansionDepth || cut_ || path_.contains(object)) return;
  const OnPath guard(path_, object);

  if (membersOnly) {
    // Inside a structure or class only what lives in each instance counts:
    // data members and base-class parts. A static data member (declared as
    // a variable, or as a member entry flagged as declaration) lives once,
    // at its own address, and is written through its definition.
    if (object->kind == ObjectKind::TypeInfo_Inheritance) {
      const auto &inheritance = static_cast<const TypeInfo_Inheritance &>(*object);
      if (inheritance.type != nullptr) {
        cursor.address += static_cast<std::uint32_t>(inheritance.dataMemberLocation);
        expand(inheritance.type, cursor, false, depth + 1);
      }
      return;
    }
    if (object->kind != ObjectKind::TypeInfo_Member ||
        static_cast<const TypeInfo_Member &>(*object).isDeclaration)
      return;
  }

  bool childrenMembersOnly = false;
  switch (object->kind) {
  // The three stored-size kinds answer getSize() with their byteSize; it is
  // read directly, since these steps run once per leaf.
  case ObjectKind::TypeInfo_Base: {
    const auto &base = static_cast<const TypeInfo_Base &>(*object);
    cursor.typeText = base.encodingName.view();
    cursor.isSigned = isSigned(base);
    cursor.byteSize = base.byteSize;
    emitLeaf(cursor);
    break;
  }
  case ObjectKind::TypeInfo_Enumeration:
    cursor.typeText = FileTexts::kTypeEnumeration;
    cursor.byteSize = static_cast<const TypeInfo_Enumeration &>(*object).byteSize;
    emitLeaf(cursor);
    break;
  case ObjectKind::TypeInfo_Pointer:
    // The pointed-to type is never expanded: the pointer is the cell.
    cursor.typeText = FileTexts::kTypePointer;
    cursor.byteSize = static_cast<const TypeInfo_Pointer &>(*object).byteSize;
    emitLeaf(cursor);
    break;
  case ObjectKind::FunctionInfo: {
    const auto &function = static_cast<const FunctionInfo &>(*object);
    if (function.specification != nullptr) {
      expandNamedAfter(function, *function.specification, true, cursor, depth);
      return;
    }
    appendName(cursor, ".", function);
    cursor.byteSize = sizeOf(function);
    cursor.typeText = FileTexts::kTypeFunction;
    emitLeaf(cursor);
    break;
  }
  case ObjectKind::TypeInfo_Member: {
    const auto &member = static_cast<const TypeInfo_Member &>(*object);
    appendName(cursor, ".", member);
    cursor.address += static_cast<std::uint32_t>(member.dataMemberLocation);
    cursor.bitOffset = member.bitOffset;
    cursor.bitSize = member.bitSize;
    cursor.byteSize = sizeOf(member);
    expand(member.type, cursor, false, depth + 1);
    break;
  }
  case ObjectKind::TypeInfo_Structure:
  case ObjectKind::TypeInfo_Class:
    childrenMembersOnly = true;
    break;
  case ObjectKind::TypeInfo_Union:
    // Every member starts at the union's own address.
    cursor.typeText = FileTexts::kTypeUnion;
    cursor.byteSize = sizeOf(*object);
    break;
  case ObjectKind::TypeInfo_Array:
    expandElements(static_cast<const TypeInfo_Array &>(*object), cursor, depth);
    break;
  case ObjectKind::TypeInfo_Const: {
    const BasicObject *type = static_cast<const TypeInfo_Const &>(*object).type;
    if (type != nullptr) {
      cursor.isConst = true;
      expand(type, cursor, false, depth + 1);
    }
    break;
  }
  // These pass the walk on to their type.
  case ObjectKind::TypeInfo_Typedef:
    expand(static_cast<const TypeInfo_Typedef &>(*object).type, cursor, false, depth + 1);
    break;
  case ObjectKind::TypeInfo_Volatile:
    expand(static_cast<const TypeInfo_Volatile &>(*object).type, cursor, false, depth + 1);
    break;
  case ObjectKind::TypeInfo_ImportedDeclaration:
    expand(static_cast<const TypeInfo_ImportedDeclaration &>(*object).type, cursor, false, depth + 1);
    break;
  case ObjectKind::TypeInfo_Namespace:
    appendName(cursor, "::", *object);
    break;
  case ObjectKind::VariableInfo: {
    const auto &variable = static_cast<const VariableInfo &>(*object);
    if (variable.specification != nullptr) {
      expandNamedAfter(variable, *variable.specification, false, cursor, depth);
      return;
    }
    appendName(cursor, ".", variable);
    expand(variable.type, cursor, false, depth + 1);
    break;
  }
  // Only their children are walked.
  case ObjectKind::Plain:
  case ObjectKind::TypeInfo_Enumerator:
  case ObjectKind::TypeInfo_Inheritance:
  case ObjectKind::TypeInfo_Subrange:
  case ObjectKind::TypeInfo_Subroutine:
  case ObjectKind::CompileUnitInfo:
    break;
  }
  expandChildren(*object, cursor, childrenMembersOnly, depth);
}

/// A function or variable with a specification takes the full scoped name of
/// its declaration in place of the name built so far; the caller's name is
/// put back before returning.
void Expander::expandNamedAfter(const BasicObject &object, const BasicObject &specification, bool isFunction,
                                Cursor cursor, int depth) {
  const std::string callerName(name_, 0, cursor.nameLength);
  if (!isFunction) (void)tracedName(object, trace_); // read (and traced) before the name is replaced
  name_ = scopedName(&specification, {}, trace_);
  cursor.nameLength = name_.size();
  if (isFunction) cursor.byteSize = sizeOf(specification);
  expand(&specification, cursor, false, depth + 1);
  if (isFunction) {
    cursor.typeText = FileTexts::kTypeFunction;
    emitLeaf(cursor);
  }
  expandChildren(object, cursor, false, depth);
  name_ = callerName;
}

/// Only the first dimension is enumerated, with the element type's size as
/// stride; the subranges themselves yield nothing.
void Expander::expandElements(const TypeInfo_Array &array, Cursor &cursor, int depth) {
  std::uint32_t count = 0;
  std::uint32_t first = 0;
  if (!array.children.empty())
    if (auto range = as<TypeInfo_Subrange>(array.children.front())) {
      count = static_cast<std::uint32_t>(range->upperBound) + 1u;
      first = static_cast<std::uint32_t>(range->lowerBound);
    }
  const BasicObject *element = array.type;
  if (element == nullptr || first >= count) return;
  const std::uint32_t stride = element->getSize();
  const std::size_t baseLength = cursor.nameLength;
  int width = 1;
  for (std::uint32_t n = count; n > 1; n /= 10)
    ++width;

  for (std::uint32_t index = first; index < count; ++index) {
    name_.resize(baseLength);
    name_.push_back('_');
    appendPaddedIndex(name_, index, width);
    cursor.nameLength = name_.size();
    const std::size_t leavesBefore = leafCount_;
    const std::size_t seenBefore = seenLeafCount_;
    expand(element, cursor, false, depth + 1);
    cursor.address += stride;
    if (cut_) return;
    if (seenLeafCount_ == seenBefore) {
      // Which leaves an element yields does not depend on its index, so an
      // element that gives the sink nothing (an empty structure, a cycle,
      // the depth limit, const data the sink drops) stands for all: a
      // malformed bound of two thousand million must not turn into as many
      // steps. The rest only count towards the cap, and the record ends as
      // if the loop had run to the end.
      skipElements(leafCount_ - leavesBefore, count - 1 - index);
      const std::uint32_t last = count - 1;
      cursor.address += stride * (last - index);
      name_.resize(baseLength);
      name_.push_back('_');
      appendPaddedIndex(name_, last, width);
      cursor.nameLength = name_.size();
      return;
    }
  }
}

void Expander::skipElements(std::size_t leavesPerElement, std::uint32_t elements) {
  // As if each leaf had been counted one by one: a leaf beyond the cap cuts
  // the list.
  const unsigned long long skipped = static_cast<unsigned long long>(leavesPerElement) * elements;
  const std::size_t room = leafCap_ - leafCount_;
  if (skipped > room) {
    leafCount_ = leafCap_;
    cut_ = true;
  } else {
    leafCount_ += static_cast<std::size_t>(skipped);
  }
}

void Expander::expandChildren(const BasicObject &object, const Cursor &cursor, bool membersOnly, int depth) {
  for (const BasicObject *child : object.children) {
    if (cut_) return;
    expand(child, cursor, membersOnly, depth + 1);
  }
}

void Expander::appendName(Cursor &cursor, std::string_view separator, const BasicObject &object) {
  name_.resize(cursor.nameLength);
  name_.append(separator);
  name_.append(tracedName(object, trace_));
  cursor.nameLength = name_.size();
}

void Expander::emitLeaf(const Cursor &cursor) {
  // The cap is known to cut the list only when one more leaf comes.
  if (leafCount_ == leafCap_) {
    cut_ = true;
    return;
  }
  ++leafCount_;
  if (cursor.isConst && !takesConstLeaves_) return;
  ++seenLeafCount_;
  leaf_.address = cursor.address;
  leaf_.bitOffset = cursor.bitOffset;
  leaf_.bitSize = cursor.bitSize;
  leaf_.byteSize = cursor.byteSize;
  leaf_.typeText.assign(cursor.typeText);
  leaf_.symbolName.assign(name_, 0, cursor.nameLength);
  leaf_.isConst = cursor.isConst;
  leaf_.isSigned = cursor.isSigned;
  sink_->addLeaf(leaf_);
}

/// The declaration place "file(line)" of a variable: the file from its own
/// unit's line table, file number and line from \p source (the declaration
/// when the variable has one). Empty when the unit has no line table.
std::string declarationPlace(const DwarfDatabase &database, const VariableInfo &variable,
                             const BasicObject &source) {
  const StatementList *table = database.findStatementList(variable.stmtListOffset);
  if (table == nullptr) return {};
  const ShortText *file = table->fileForNumber(source.declFile);
  const std::string_view fileText = file != nullptr ? file->view() : FileTexts::kUnknownFile;
  std::string place;
  place.reserve(fileText.size() + source.declLine.size() + 2);
  place.append(fileText).append("(").append(source.declLine.view()).append(")");
  return place;
}

/// The type a located variable is expanded through. gcc writes the definition
/// of a variable declared earlier (an extern in a header, a static data
/// member) without a type of its own; the type is then on the declaration.
const BasicObject *typeToExpand(const VariableInfo &variable) {
  if (variable.type != nullptr) return variable.type;
  if (auto declaration = as<VariableInfo>(variable.specification)) return declaration->type;
  if (auto declaration = as<TypeInfo_Member>(variable.specification)) return declaration->type;
  return nullptr;
}

/// Takes the leaves of a variable at address 0 only to see whether any of
/// them would be written.
class WrittenLeafProbe final : public LeafSink {
public:
  void addLeaf(const SymbolRecord &leaf) override {
    if (!leaf.isConst) found = true;
  }
  bool takesConstLeaves() const override { return false; }

  bool found = false;
};

class VectorSink final : public LeafSink {
public:
  explicit VectorSink(std::vector<SymbolRecord> &leaves) : leaves_(leaves) {}
  void addLeaf(const SymbolRecord &leaf) override { leaves_.push_back(leaf); }

private:
  std::vector<SymbolRecord> &leaves_;
};

} // namespace

bool expandLocatedVariables(const DwarfDatabase &database, LeafSink &sink, std::size_t leafCap,
                            const NameTrace &trace) {
  Expander expander(sink, leafCap, trace);
  SymbolRecord record;
  for (const BasicObject *object : database.locatedObjects) {
    if (expander.cut()) break;
    const auto *variable = as<VariableInfo>(object);
    if (variable == nullptr) continue;
    const BasicObject *source = variable->specification != nullptr ? variable->specification : variable;
    record.address = variable->address;
    record.declLocation = declarationPlace(database, *variable, *source);
    record.symbolName = scopedName(variable, {}, trace);
    // A variable whose type did not resolve contributes nothing, silently.
    const BasicObject *type = typeToExpand(*variable);
    if (type == nullptr) continue;
    if (variable->address != 0) {
      expander.start(type, record, false);
      continue;
    }
    // No variable lives at address 0 (on Cortex-M and Cortex-R the vector
    // table is there): this is one the linker removed. Const data goes into
    // no file anyway; anything else would be a line at an address that
    // holds something else.
    WrittenLeafProbe probe;
    expander.startInto(probe, type, record);
    if (probe.found) sink.addVariableAtAddressZero(record);
  }
  return !expander.cut();
}

std::vector<SymbolRecord> collectLeafSymbols(const DwarfDatabase &database, const NameTrace &trace) {
  std::vector<SymbolRecord> leaves;
  VectorSink sink(leaves);
  expandLocatedVariables(database, sink, kLeafCap, trace);
  return leaves;
}

void expandSymbol(const BasicObject *object, SymbolRecord record, bool membersOnly,
                  std::vector<SymbolRecord> &leaves, const NameTrace &trace) {
  VectorSink sink(leaves);
  Expander expander(sink, leaves.size() < kLeafCap ? kLeafCap - leaves.size() : 0, trace);
  expander.start(object, record, membersOnly);
}
