#include "reader/LineParser.h"

#include "reader/AttributeValues.h"
#include "reader/DumpLineGrammar.h"
#include "reader/NumberConversion.h"

#include <optional>

DwarfDatabase::LineParser::LineParser(DwarfDatabase &database, bool laterPart)
    : database_(database), entries_(database, !laterPart), tables_(database),
      state_(laterPart ? LineState::partStart() : LineState::atStart()) {}

bool DwarfDatabase::LineParser::handsOverTo(const LineParser &later) const {
  const LineState guess = LineState::partStart();
  bool agree = true;
  LineState::forEachPiece(
      [&agree](const auto &read, const auto &earlier, const auto &guessed) {
        agree = agree && read.agreesWith(earlier, guessed);
      },
      later.state_, state_, guess);
  return agree;
}

void DwarfDatabase::LineParser::continueWith(const LineParser &later) {
  LineState::forEachPiece([](auto &here, const auto &there) { here.takeFrom(there); }, state_, later.state_);
  facts_.append(later.facts_);
}

void DwarfDatabase::LineParser::finish() {
  database_.fileFormatSeen_ = state_.formatNameSeen.get();
  database_.unreadUnits_ = facts_.units.unread();
  database_.littleEndian_ = facts_.formatNameEndsInLittle;
  database_.bigEndianFormat_ = facts_.formatNameHoldsBig;
}

void DwarfDatabase::LineParser::parseLine(std::string_view line) {
  using namespace DumpLineGrammar;
  // What the text alone says first; then the parse's state decides.
  LineShape &shape = shape_;
  shapeOf(line, shape);
  if (shape.kind == LineShape::Kind::EntryHeader) {
    // objdump printed an entry of the unit: it could read the unit.
    facts_.units.entryHeader();
    // A level that does not convert skips the header; the current entry
    // stays.
    const Match &m = shape.match;
    if (const std::optional<std::int32_t> level = NumberConversion::decimal(m.group[1]))
      state_.current.set(entries_.build(state_.openEntries, *level, NumberConversion::hexadecimal(m.group[2]),
                                        m.group[4], state_.pointerSize));
    return;
  }
  if (shape.kind == LineShape::Kind::Attribute && state_.current.get().object != nullptr) {
    // objdump 2.40 prints a tab only before a decoded extra; a line without
    // any tab is cut by the tab-less form, with an empty tail.
    const Match &m = shape.match;
    const Attribute attribute = attributeNamed(m.group[2]);
    if (attribute != Attribute::Unused)
      applyAttribute(database_, state_.current.get(), attribute, m.group[3], m.group[4],
                     state_.pointerSize.get());
    return;
  }
  if (tables_.takeLine(state_.table, state_.lists, line, shape.leading, shape.first)) return;
  // Both kinds are rare: one out-of-line test for the few lines they can be.
  if (shape.indentedBySpaces && (shape.first == 'P' || shape.first == 'C') && takeUnitLine(line)) return;
  takeFileFormatLine(line);
}

bool DwarfDatabase::LineParser::takeUnitLine(std::string_view line) {
  using namespace DumpLineGrammar;
  Match m;
  if (shape_.first == 'C') {
    if (!matchUnitHeader(line, m)) return false;
    facts_.units.unitHeader();
    return true;
  }
  if (!matchPointerSize(line, m)) return false;
  if (const std::optional<std::int32_t> size = NumberConversion::decimal(m.group[1]))
    state_.pointerSize.set(*size);
  return true;
}

void DwarfDatabase::LineParser::takeFileFormatLine(std::string_view line) {
  using namespace DumpLineGrammar;
  // The first file-format line names the target. After it, only a line that
  // ends in "little" can still matter, and only until one was seen; every
  // other line that reaches this test costs one comparison.
  constexpr std::string_view kLittle = "little";
  const bool endsInLittle =
      line.size() >= kLittle.size() && line.substr(line.size() - kLittle.size()) == kLittle;
  const bool formatNameSeen = state_.formatNameSeen.get();
  if (formatNameSeen && (!endsInLittle || facts_.formatNameEndsInLittle)) return;
  Match m;
  if (!formatNameSeen && matchFileFormatName(line, m)) {
    state_.formatNameSeen.set(true);
    facts_.formatNameHoldsBig = m.group[1].find("big") != std::string_view::npos;
  }
  if (endsInLittle && !facts_.formatNameEndsInLittle && matchFileFormat(line, m))
    facts_.formatNameEndsInLittle = true;
}
