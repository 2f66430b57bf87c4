#pragma once

#include "reader/EntryBuilder.h"
#include "reader/LineTableReader.h"
#include "reader/StatePiece.h"

#include <cstdint>

/// Everything the parse of one line of a dump leaves for the lines after it,
/// as one value.
///
/// A part of a dump parsed on its own starts from partStart(), what a parse
/// stands in at a line that opens a compilation unit or a section in every
/// dump seen. It is joined to the parse of the lines before it when that
/// parse agrees with every piece the part's lines read of the guess; the
/// parse then takes every piece the part's lines set. Both go through all
/// members (forEachPiece()), so a piece added here takes part in both.
struct LineState {
  StatePiece<OpenEntries> openEntries;
  /// The entry whose attribute lines are being read.
  StatePiece<CurrentEntry> current;
  /// The line table that table lines go to.
  StatePiece<Model::StatementList *> table;
  /// Which list of that table is being read.
  StatePiece<TableLists> lists;
  /// The pointer size of the most recent unit header; never reset.
  StatePiece<std::int32_t> pointerSize;
  /// A file-format line was read: only the first names the target.
  StatePiece<bool> formatNameSeen;

  /// The state of a whole parse before its first line.
  static LineState atStart() { return LineState(false, false); }
  /// The guess a part after the first starts from: the dump's file-format
  /// line read, no entry open, no line table, no pointer size yet.
  static LineState partStart() { return LineState(true, true); }

  /// Calls \p apply(a, b, ...) for each piece of \p a with the same piece of
  /// each further state. The binding names every member: one added to
  /// LineState and missing here does not compile.
  template <class Apply, class State, class... States>
  static void forEachPiece(Apply apply, State &a, States &...more) {
    auto &[entries, current, table, lists, pointerSize, formatNameSeen] = a;
    apply(entries, more.openEntries...);
    apply(current, more.current...);
    apply(table, more.table...);
    apply(lists, more.lists...);
    apply(pointerSize, more.pointerSize...);
    apply(formatNameSeen, more.formatNameSeen...);
  }

private:
  LineState(bool guessed, bool formatRead)
      : openEntries({}, guessed), current({}, guessed), table(nullptr, guessed), lists({}, guessed),
        pointerSize(0, guessed), formatNameSeen(formatRead, guessed) {}
};
