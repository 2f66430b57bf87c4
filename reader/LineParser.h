#pragma once

#include "reader/DwarfDatabase.h"
#include "reader/EntryBuilder.h"
#include "reader/LineShape.h"
#include "reader/LineTableReader.h"

#include <cstdint>
#include <string_view>

/// The single pass over the dump's lines. Each line is classified by its own
/// text, with the kinds tried in a fixed order and the first match deciding:
/// entry header, attribute line (while there is a current entry), line-table
/// lines, pointer size, file format. Lines of no kind are skipped.
///
/// Most lines of a dump are skipped ones (line programs, frames, string
/// dumps), so a line's first non-blank character picks the few kinds it can
/// be before any matcher runs.
class DwarfDatabase::LineParser {
public:
  explicit LineParser(DwarfDatabase &database);

  void parseLine(std::string_view line);

  /// True when the dump's file-format line names a big-endian format
  /// (elf32-bigarm); decides the layout of DWARF 4/5 bit fields.
  bool bigEndianTarget() const { return bigEndianTarget_; }
  std::int32_t pointerSize() const { return pointerSize_; }
  const CurrentEntry &currentEntry() const { return current_; }

private:
  void takeFileFormatLine(std::string_view line);

  DwarfDatabase &database_;
  EntryBuilder entries_;
  LineTableReader tables_;
  CurrentEntry current_;
  /// The shape of the line at hand, reused from line to line.
  LineShape shape_;
  std::int32_t pointerSize_ = 0;
  bool formatNameSeen_ = false;
  bool bigEndianTarget_ = false;
};
