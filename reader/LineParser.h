#pragma once

#include "reader/DumpFacts.h"
#include "reader/DwarfDatabase.h"
#include "reader/EntryBuilder.h"
#include "reader/LineShape.h"
#include "reader/LineState.h"
#include "reader/LineTableReader.h"

#include <string_view>

/// The single pass over the dump's lines. Each line is classified by its own
/// text, with the kinds tried in a fixed order and the first match deciding:
/// entry header, attribute line (while there is a current entry), line-table
/// lines, pointer size and compilation-unit header, file format. Lines of no
/// kind are skipped.
///
/// Most lines of a dump are skipped ones (line programs, frames, string
/// dumps), so a line's first non-blank character picks the few kinds it can
/// be before any matcher runs.
class DwarfDatabase::LineParser {
public:
  /// A parser for a whole dump, or, with \p laterPart, for a part of one
  /// after the first: that starts from LineState::partStart() and leaves the
  /// filing of its entries to the database it is appended to.
  explicit LineParser(DwarfDatabase &database, bool laterPart = false);

  void parseLine(std::string_view line);

  const LineState &state() const { return state_; }
  const DumpFacts &facts() const { return facts_; }

  /// True when this parser, having read every line before those of
  /// \p later (a parser of a later part), stands where \p later guessed, as
  /// far as later's lines read the guess: then \p later built exactly what
  /// going on here would have built.
  bool handsOverTo(const LineParser &later) const;
  /// After handsOverTo(\p later) and the append of its database: takes on
  /// what later's lines set, so that this parser stands where one pass
  /// would stand after later's last line.
  void continueWith(const LineParser &later);

  /// After the last line: the database takes what the dump as a whole
  /// showed.
  void finish();

private:
  /// A compilation unit's header or a pointer-size line, for a line indented
  /// by spaces whose first non-blank is 'C' or 'P'; false for neither.
  bool takeUnitLine(std::string_view line);
  void takeFileFormatLine(std::string_view line);

  DwarfDatabase &database_;
  EntryBuilder entries_;
  LineTableReader tables_;
  LineState state_;
  DumpFacts facts_;
  /// The shape of the line at hand, reused from line to line.
  LineShape shape_;
};
