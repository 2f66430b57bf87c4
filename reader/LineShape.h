#pragma once

#include "reader/DumpLineGrammar.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

/// What a dump line's own text says, before the parse's state is asked: its
/// indentation and first character, and, for the two kinds that make up most
/// of a dump, the groups of the entry-header or attribute match. It depends
/// on nothing but the line.
struct LineShape {
  enum class Kind : std::uint8_t {
    Other,       ///< neither an entry header nor an attribute line
    EntryHeader, ///< matched kEntryHeaderPattern
    Attribute,   ///< matched an attribute pattern (used only under an entry)
  };

  Kind kind = Kind::Other;
  /// The first character after the leading blanks, '\0' for none.
  char first = '\0';
  /// Indented by at least one blank, and by spaces only.
  bool indentedBySpaces = false;
  /// The number of leading blanks (spaces and tabs).
  std::size_t leading = 0;
  /// The groups of the entry-header or attribute match; what they hold for
  /// a line of another kind means nothing.
  DumpLineGrammar::Match match;
};

/// Works out the shape of \p line into \p shape. Every field but `match` is
/// set anew; both matchers set every group when they match. The parse keeps
/// one shape for all lines: clearing the groups of a fresh shape cost about
/// 4 % of a run, and most lines match neither pattern.
void shapeOf(std::string_view line, LineShape &shape);
