#pragma once

#include <cstddef>

/// The compilation units objdump printed the header of but no entry for: an
/// objdump older than the unit's DWARF version (2.26 and older cannot read
/// DWARF 5) prints "Compilation Unit @ offset ..." and the header's lines,
/// then the next unit.
class UnitCount {
public:
  void unitHeader() {
    if (openWithoutEntry_) ++unread_;
    headerSeen_ = true;
    openWithoutEntry_ = true;
  }
  void entryHeader() {
    if (!headerSeen_) entryBeforeFirstHeader_ = true;
    openWithoutEntry_ = false;
  }
  /// Counts on with the units of \p later, which counted the lines right
  /// after these: its entries before its first header belong to the unit
  /// open here.
  void append(const UnitCount &later);

  /// The units without an entry, up to the last line counted.
  std::size_t unread() const { return unread_ + (openWithoutEntry_ ? 1 : 0); }

  bool operator==(const UnitCount &) const = default;

private:
  /// Units closed by the next header with no entry in between.
  std::size_t unread_ = 0;
  bool headerSeen_ = false;
  bool entryBeforeFirstHeader_ = false;
  /// The last header has had no entry after it yet.
  bool openWithoutEntry_ = false;
};

/// What the lines of a dump tell about the dump as a whole. Each part of a
/// parse in parts keeps its own; appended in dump order they give what one
/// pass over all lines gives.
struct DumpFacts {
  /// The first file-format line names a format that holds "big"
  /// (elf32-bigarm): the target stores its words big-end first, which
  /// decides where a DWARF 4/5 bit field lies in its storage unit.
  bool formatNameHoldsBig = false;
  /// A file-format line names a format that ends in "little" (elf32-little;
  /// not elf32-littlearm, which goes on after it): the bit fields' bit
  /// numbers then count the other way (DwarfDatabase::isLittleEndian()).
  bool formatNameEndsInLittle = false;
  UnitCount units;

  /// Takes in the facts of \p later, whose lines came right after these.
  /// Only the first part reads the first file-format line, which decides
  /// formatNameHoldsBig.
  void append(const DumpFacts &later) {
    formatNameEndsInLittle = formatNameEndsInLittle || later.formatNameEndsInLittle;
    units.append(later.units);
  }

  bool operator==(const DumpFacts &) const = default;
};

inline void UnitCount::append(const UnitCount &later) {
  if (!later.headerSeen_) {
    if (later.entryBeforeFirstHeader_) entryHeader();
    return;
  }
  if (openWithoutEntry_ && !later.entryBeforeFirstHeader_) ++unread_;
  if (!headerSeen_) entryBeforeFirstHeader_ = entryBeforeFirstHeader_ || later.entryBeforeFirstHeader_;
  unread_ += later.unread_;
  headerSeen_ = true;
  openWithoutEntry_ = later.openWithoutEntry_;
}
