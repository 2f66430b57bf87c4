#include "reader/LineShape.h"

#include "reader/CharacterClasses.h"
#include "reader/WordScan.h"

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

void shapeOf(std::string_view line, LineShape &shape) {
  shape.kind = LineShape::Kind::Other;
  // Most lines are indented by blanks only; a tab among them is rare.
  std::size_t leading =
      static_cast<std::size_t>(WordScan::skipRun(line.data(), line.data() + line.size(), ' ') - line.data());
  bool onlySpaces = true;
  while (leading < line.size() && (line[leading] == ' ' || line[leading] == '\t')) {
    onlySpaces = onlySpaces && line[leading] == ' ';
    ++leading;
  }
  shape.leading = leading;
  shape.first = leading < line.size() ? line[leading] : '\0';
  shape.indentedBySpaces = leading > 0 && onlySpaces;

  if (shape.indentedBySpaces && shape.first == '<') {
    // Both kinds start with "<hex>"; an entry header goes on with '<', an
    // attribute line with a blank, so only one of the two matchers can match.
    const char afterOffset = charAfterAngleNumber(line, leading);
    if (afterOffset == '<' && DumpLineGrammar::matchEntryHeader(line, shape.match))
      shape.kind = LineShape::Kind::EntryHeader;
    else if (afterOffset == ' ' && DumpLineGrammar::matchAttributeLine(line, shape.match))
      shape.kind = LineShape::Kind::Attribute;
  }
}
