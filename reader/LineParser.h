#pragma once

#include "reader/DwarfDatabase.h"
#include "reader/EntryBuilder.h"
#include "reader/LineShape.h"
#include "reader/LineTableReader.h"

#include <cstddef>
#include <cstdint>
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
  explicit LineParser(DwarfDatabase &database);

  /// Marks a parser for a later part of a dump, one that starts (mostly at
  /// a compilation-unit or section line) while the parts before it are
  /// parsed elsewhere.
  struct LaterPart {};
  /// A parser that takes the state a parse has at such a line in every dump
  /// seen: the file-format line read, no current entry, no line table open,
  /// no pointer size yet. It notes each line whose outcome depended on that
  /// guess, and it keeps the byte-order flag to itself (see
  /// littleEndianSeen()).
  LineParser(DwarfDatabase &database, LaterPart);

  void parseLine(std::string_view line);
  /// After the last line: hands the database what the dump as a whole
  /// showed (fileFormatSeen(), unreadUnits()).
  void finish();

  /// True when the dump's file-format line names a big-endian format
  /// (elf32-bigarm); decides the layout of DWARF 4/5 bit fields.
  bool bigEndianTarget() const { return bigEndianTarget_; }
  std::int32_t pointerSize() const { return pointerSize_; }
  /// A file-format line ("x.elf:     file format elf32-littlearm") was read.
  bool fileFormatSeen() const { return formatNameSeen_; }
  /// The compilation units whose header came with no entry header after it,
  /// before the next unit's header or the end of the lines so far.
  std::size_t unreadUnits() const { return unreadUnits_ + (unitWithoutEntryOpen() ? 1 : 0); }
  const CurrentEntry &currentEntry() const { return current_; }

  /// True when this parser, having read every line before \p later's first,
  /// stands where \p later assumed it would, as far as \p later's lines
  /// depended on it: then \p later built exactly what going on here would
  /// have built, and its database can be appended to this one.
  bool handsOverTo(const LineParser &later) const;
  /// After \p later was handed over to and its database appended: takes
  /// from it what its own lines decided, so that this parser stands where
  /// one pass would stand after \p later's last line, ready to check the
  /// part after it. What \p later's lines left alone (no pointer-size line,
  /// no entry, no table opened) stays as it is here.
  void continueAfter(const LineParser &later);
  /// A later part's own record of a file-format line ending in "little";
  /// the byte-order flag takes it when the part is appended.
  bool littleEndianSeen() const { return littleEndianSeen_; }

private:
  /// What a later part's lines took from the state it guessed.
  struct Guesses {
    /// An attribute line came before the first entry: it went without an
    /// entry, where the earlier part's last entry may have taken it.
    bool attributeWithoutEntry = false;
    /// The first entry header was not at level 0: it was skipped here, where
    /// the earlier part's open entries may have taken it as a child.
    bool firstEntryNotAtTop = false;
    /// An entry was built before any pointer-size line: it took size 0.
    bool pointerSizeGuessed = false;
  };

  /// The cold path of an entry header while a later part has no entry yet.
  void noteFirstEntryHeader(std::int32_t level);
  /// A compilation unit's header or a pointer-size line, for a line indented
  /// by spaces whose first non-blank is \p first ('C' or 'P'); false for
  /// neither.
  bool takeUnitLine(std::string_view line, char first);
  void noteUnitHeader();
  bool unitWithoutEntryOpen() const { return unitHeaderSeen_ && !entrySinceUnitHeader_; }
  void takeFileFormatLine(std::string_view line);
  bool littleEndianKnown() const;
  void noteLittleEndian();

  DwarfDatabase &database_;
  EntryBuilder entries_;
  LineTableReader tables_;
  CurrentEntry current_;
  /// The shape of the line at hand, reused from line to line.
  LineShape shape_;
  std::int32_t pointerSize_ = 0;
  bool formatNameSeen_ = false;
  bool bigEndianTarget_ = false;
  /// A later part; its lines leave the process-wide byte-order flag alone,
  /// which the earlier part's thread sets.
  bool laterPart_ = false;
  /// False while a later part has built no entry yet (true for a whole dump).
  bool entrySeen_ = true;
  /// A later part's current entry came from its own lines: an entry header
  /// with a level that converts was read.
  bool currentEntrySet_ = false;
  bool pointerSizeSeen_ = false;
  bool littleEndianSeen_ = false;
  Guesses guesses_;
  // Units objdump printed the header of but could not read: no entry follows.
  // The state joins exactly, whatever a part guessed, so no guess is noted:
  // a later part tells whether an entry came before its first unit header.
  bool unitHeaderSeen_ = false;
  /// An entry header came after the last unit header (or, before the first,
  /// anywhere before it).
  bool entrySinceUnitHeader_ = false;
  /// For a later part: an entry header came before its first unit header.
  bool entryBeforeFirstUnitHeader_ = false;
  /// Units closed by the next unit header with no entry in between.
  std::size_t unreadUnits_ = 0;
};
