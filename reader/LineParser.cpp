#include "reader/LineParser.h"

#include "reader/AttributeValues.h"
#include "reader/ByteOrderFlag.h"
#include "reader/CharacterClasses.h"
#include "reader/DumpLineGrammar.h"
#include "reader/NumberConversion.h"
#include "reader/WordScan.h"

#include <optional>

namespace {

/// The character after "<hex digits>" at \p open, or '\0' when the text there
/// is not of that form.
char charAfterAngleNumber(std::string_view line, std::size_t open) {
  std::size_t pos = open + 1;
  while (pos < line.size() && CharacterClasses::isXdigit(line[pos]))
    ++pos;
  if (pos == open + 1 || pos + 1 >= line.size() || line[pos] != '>') return '\0';
  return line[pos + 1];
}

} // namespace

DwarfDatabase::LineParser::LineParser(DwarfDatabase &database)
    : database_(database), entries_(database), tables_(database) {}

void DwarfDatabase::LineParser::parseLine(std::string_view line) {
  using namespace DumpLineGrammar;
  // Most lines are indented by blanks only; a tab among them is rare.
  std::size_t leading =
      static_cast<std::size_t>(WordScan::skipRun(line.data(), line.data() + line.size(), ' ') - line.data());
  bool onlySpaces = true;
  while (leading < line.size() && (line[leading] == ' ' || line[leading] == '\t')) {
    onlySpaces = onlySpaces && line[leading] == ' ';
    ++leading;
  }
  const char first = leading < line.size() ? line[leading] : '\0';
  const bool indentedBySpaces = leading > 0 && onlySpaces;

  if (indentedBySpaces && first == '<') {
    // Both kinds start with "<hex>"; an entry header goes on with '<', an
    // attribute line with a blank, so only one of the two matchers can match.
    const char afterOffset = charAfterAngleNumber(line, leading);
    Match m;
    if (afterOffset == '<' && matchEntryHeader(line, m)) {
      // A level that does not convert skips the header; the current entry
      // stays.
      if (const std::optional<std::int32_t> level = NumberConversion::decimal(m.group[1]))
        current_ =
            entries_.build(*level, NumberConversion::hexadecimal(m.group[2]), m.group[4], pointerSize_);
      return;
    }
    if (afterOffset == ' ' && current_.object != nullptr && takeAttributeLine(line)) return;
  }
  if (tables_.takeLine(line, leading, first)) return;
  if (indentedBySpaces && first == 'P') {
    Match m;
    if (matchPointerSize(line, m)) {
      if (const std::optional<std::int32_t> size = NumberConversion::decimal(m.group[1]))
        pointerSize_ = *size;
      return;
    }
  }
  takeFileFormatLine(line);
}

bool DwarfDatabase::LineParser::takeAttributeLine(std::string_view line) {
  DumpLineGrammar::Match m;
  // objdump 2.40 prints a tab only before a decoded extra; a line without
  // any tab is cut by the tab-less form, with an empty tail.
  if (!DumpLineGrammar::matchAttributeLine(line, m)) return false;
  const Attribute attribute = attributeNamed(m.group[2]);
  if (attribute != Attribute::Unused)
    applyAttribute(database_, current_, attribute, m.group[3], m.group[4], pointerSize_);
  return true;
}

void DwarfDatabase::LineParser::takeFileFormatLine(std::string_view line) {
  using namespace DumpLineGrammar;
  // The first file-format line names the target. After it, only a line that
  // ends in "little" can still matter, and only until the flag is set; every
  // other line that reaches this test costs one comparison.
  constexpr std::string_view kLittle = "little";
  const bool endsInLittle =
      line.size() >= kLittle.size() && line.substr(line.size() - kLittle.size()) == kLittle;
  if (formatNameSeen_ && (!endsInLittle || ByteOrderFlag::isLittleEndian())) return;
  Match m;
  if (!formatNameSeen_ && matchFileFormatName(line, m)) {
    formatNameSeen_ = true;
    bigEndianTarget_ = m.group[1].find("big") != std::string_view::npos;
  }
  if (endsInLittle && !ByteOrderFlag::isLittleEndian() && matchFileFormat(line, m))
    ByteOrderFlag::setLittleEndian();
}
