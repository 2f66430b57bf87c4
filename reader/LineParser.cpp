#include "reader/LineParser.h"

#include "reader/AttributeValues.h"
#include "reader/ByteOrderFlag.h"
#include "reader/DumpLineGrammar.h"
#include "reader/NumberConversion.h"

#include <cstring>
#include <optional>

DwarfDatabase::LineParser::LineParser(DwarfDatabase &database)
    : database_(database), entries_(database), tables_(database) {}

void DwarfDatabase::LineParser::parseLine(std::string_view line) {
  using namespace DumpLineGrammar;
  std::size_t leading = 0;
  bool onlySpaces = true;
  while (leading < line.size() && (line[leading] == ' ' || line[leading] == '\t')) {
    onlySpaces = onlySpaces && line[leading] == ' ';
    ++leading;
  }
  const char first = leading < line.size() ? line[leading] : '\0';
  const bool indentedBySpaces = leading > 0 && onlySpaces;

  Match m;
  if (indentedBySpaces && first == '<') {
    if (matchEntryHeader(line, m)) {
      // A level that does not convert skips the header; the current entry
      // stays.
      if (const std::optional<std::int32_t> level = NumberConversion::decimal(m.group[1]))
        current_ =
            entries_.build(*level, NumberConversion::hexadecimal(m.group[2]), m.group[4], pointerSize_);
      return;
    }
    if (current_.object != nullptr && takeAttributeLine(line)) return;
  }
  if (tables_.takeLine(line, leading, first)) return;
  if (indentedBySpaces && first == 'P' && matchPointerSize(line, m)) {
    if (const std::optional<std::int32_t> size = NumberConversion::decimal(m.group[1])) pointerSize_ = *size;
    return;
  }
  takeFileFormatLine(line);
}

bool DwarfDatabase::LineParser::takeAttributeLine(std::string_view line) {
  using namespace DumpLineGrammar;
  Match m;
  // objdump 2.40 prints a tab only before a decoded extra; a line without
  // any tab is cut by the tab-less form, with an empty tail.
  const bool hasTab = std::memchr(line.data(), '\t', line.size()) != nullptr;
  if (!(hasTab ? matchAttribute(line, m) : matchAttributeNoTab(line, m))) return false;
  const Attribute attribute = attributeNamed(m.group[2]);
  if (attribute != Attribute::Unused)
    applyAttribute(database_, current_, attribute, m.group[3], m.group[4], pointerSize_);
  return true;
}

void DwarfDatabase::LineParser::takeFileFormatLine(std::string_view line) {
  using namespace DumpLineGrammar;
  Match m;
  // The first file-format line names the target; once it is seen, and once
  // the byte-order flag is set, the remaining lines cost nothing here.
  if (!formatNameSeen_ && matchFileFormatName(line, m)) {
    formatNameSeen_ = true;
    bigEndianTarget_ = m.group[1].find("big") != std::string_view::npos;
  }
  if (!ByteOrderFlag::isLittleEndian() && matchFileFormat(line, m)) ByteOrderFlag::setLittleEndian();
}
