#include "reader/LineParser.h"

#include "reader/AttributeValues.h"
#include "reader/ByteOrderFlag.h"
#include "reader/DumpLineGrammar.h"
#include "reader/LineShape.h"
#include "reader/NumberConversion.h"

#include <optional>

DwarfDatabase::LineParser::LineParser(DwarfDatabase &database)
    : database_(database), entries_(database), tables_(database) {}

DwarfDatabase::LineParser::LineParser(DwarfDatabase &database, LaterPart)
    : database_(database), entries_(database, false), tables_(database) {
  formatNameSeen_ = true;
  laterPart_ = true;
  entrySeen_ = false;
}

bool DwarfDatabase::LineParser::handsOverTo(const LineParser &later) const {
  if (!formatNameSeen_ || tables_.inDirectoryTable() || tables_.inFileTable()) return false;
  const Guesses &guessed = later.guesses_;
  if (guessed.firstEntryNotAtTop) return false;
  if (guessed.attributeWithoutEntry && current_.object != nullptr) return false;
  if (guessed.pointerSizeGuessed && pointerSize_ != 0) return false;
  if (later.tables_.headerWithoutTable() && tables_.currentTable() != nullptr) return false;
  return true;
}

void DwarfDatabase::LineParser::continueAfter(const LineParser &later) {
  if (later.unitHeaderSeen_) {
    // Its first unit header closed the unit open here.
    if (unitWithoutEntryOpen() && !later.entryBeforeFirstUnitHeader_) ++unreadUnits_;
    unreadUnits_ += later.unreadUnits_;
    unitHeaderSeen_ = true;
    entrySinceUnitHeader_ = later.entrySinceUnitHeader_;
  } else if (later.entrySinceUnitHeader_) {
    entrySinceUnitHeader_ = true;
  }
  if (later.entrySeen_) entries_.continueFrom(later.entries_);
  if (later.currentEntrySet_) current_ = later.current_;
  if (later.pointerSizeSeen_) pointerSize_ = later.pointerSize_;
  tables_.continueFrom(later.tables_);
  if (later.littleEndianSeen_ && !littleEndianKnown()) noteLittleEndian();
}

void DwarfDatabase::LineParser::noteFirstEntryHeader(std::int32_t level) {
  // Only a level that converts comes here. Whatever it is, the header
  // decides the current entry (a negative level leaves none), in every part
  // alike.
  currentEntrySet_ = true;
  // A negative level skips the header in every part alike.
  if (level < 0) return;
  if (level > 0) {
    guesses_.firstEntryNotAtTop = true;
    return;
  }
  // A level-0 entry hangs from the root whatever came before: from here on
  // the entries are built as in one pass over the whole dump.
  entrySeen_ = true;
  if (!pointerSizeSeen_) guesses_.pointerSizeGuessed = true;
}

void DwarfDatabase::LineParser::parseLine(std::string_view line) {
  using namespace DumpLineGrammar;
  // What the text alone says first; then the parse's state decides.
  LineShape &shape = shape_;
  shapeOf(line, shape);
  if (shape.kind == LineShape::Kind::EntryHeader) {
    // objdump printed an entry of the unit: it could read the unit.
    entrySinceUnitHeader_ = true;
    // A level that does not convert skips the header; the current entry
    // stays.
    const Match &m = shape.match;
    if (const std::optional<std::int32_t> level = NumberConversion::decimal(m.group[1])) {
      if (!entrySeen_) noteFirstEntryHeader(*level);
      current_ = entries_.build(*level, NumberConversion::hexadecimal(m.group[2]), m.group[4], pointerSize_);
    }
    return;
  }
  if (shape.kind == LineShape::Kind::Attribute && current_.object != nullptr) {
    // objdump 2.40 prints a tab only before a decoded extra; a line without
    // any tab is cut by the tab-less form, with an empty tail.
    const Match &m = shape.match;
    const Attribute attribute = attributeNamed(m.group[2]);
    if (attribute != Attribute::Unused)
      applyAttribute(database_, current_, attribute, m.group[3], m.group[4], pointerSize_);
    return;
  }
  if (!entrySeen_ && shape.kind == LineShape::Kind::Attribute) guesses_.attributeWithoutEntry = true;
  if (tables_.takeLine(line, shape.leading, shape.first)) return;
  // Both kinds are rare: one out-of-line test for the few lines they can be.
  if (shape.indentedBySpaces && (shape.first == 'P' || shape.first == 'C') && takeUnitLine(line, shape.first))
    return;
  takeFileFormatLine(line);
}

bool DwarfDatabase::LineParser::takeUnitLine(std::string_view line, char first) {
  using namespace DumpLineGrammar;
  Match m;
  if (first == 'C') {
    if (!matchUnitHeader(line, m)) return false;
    noteUnitHeader();
    return true;
  }
  if (!matchPointerSize(line, m)) return false;
  if (const std::optional<std::int32_t> size = NumberConversion::decimal(m.group[1])) {
    pointerSize_ = *size;
    pointerSizeSeen_ = true;
  }
  return true;
}

void DwarfDatabase::LineParser::noteUnitHeader() {
  if (unitWithoutEntryOpen()) ++unreadUnits_;
  if (!unitHeaderSeen_) entryBeforeFirstUnitHeader_ = entrySinceUnitHeader_;
  unitHeaderSeen_ = true;
  entrySinceUnitHeader_ = false;
}

void DwarfDatabase::LineParser::finish() {
  database_.fileFormatSeen_ = formatNameSeen_;
  database_.unreadUnits_ = unreadUnits();
}

void DwarfDatabase::LineParser::takeFileFormatLine(std::string_view line) {
  using namespace DumpLineGrammar;
  // The first file-format line names the target. After it, only a line that
  // ends in "little" can still matter, and only until the flag is set; every
  // other line that reaches this test costs one comparison.
  constexpr std::string_view kLittle = "little";
  const bool endsInLittle =
      line.size() >= kLittle.size() && line.substr(line.size() - kLittle.size()) == kLittle;
  if (formatNameSeen_ && (!endsInLittle || littleEndianKnown())) return;
  Match m;
  if (!formatNameSeen_ && matchFileFormatName(line, m)) {
    formatNameSeen_ = true;
    bigEndianTarget_ = m.group[1].find("big") != std::string_view::npos;
  }
  if (endsInLittle && !littleEndianKnown() && matchFileFormat(line, m)) noteLittleEndian();
}

bool DwarfDatabase::LineParser::littleEndianKnown() const {
  return laterPart_ ? littleEndianSeen_ : ByteOrderFlag::isLittleEndian();
}

void DwarfDatabase::LineParser::noteLittleEndian() {
  if (laterPart_)
    littleEndianSeen_ = true;
  else
    ByteOrderFlag::setLittleEndian();
}
