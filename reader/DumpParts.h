#pragma once

#include "reader/DwarfDatabase.h"
#include "reader/LineParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

/// Parsing a large dump in parts at once, taken in turn by one thread per
/// core.
///
/// The parse is one pass whose state (LineState) runs from line to line, so
/// a part cannot simply start anywhere. A part after the first is parsed in
/// a database of its own from a guessed state: the one at a line that opens
/// a compilation unit or a section in every dump seen. It starts at such a
/// line, or, past the entries where such lines are few, at any line. Parts
/// are joined in the dump's order: when the parse of everything before a
/// part agrees with the guess, as far as the part's lines read it, the
/// part's database is appended and the parse takes on what the part's lines
/// set: the result is the one a single pass gives. Otherwise the part is
/// dropped and the parse reads its lines itself.
///
/// Parts are taken one at a time rather than split in fixed shares: the
/// entries of .debug_info cost more per byte than the rest, and the cores of
/// a machine need not be equally fast.
namespace DumpParts {

/// How a parse went.
struct Outcome {
  /// False when the dump could not be read to its end: a read error, or
  /// fewer bytes than its size (a file that shrank while it was read).
  bool readToEnd = true;
  /// True when at least one part was parsed on its own and appended.
  bool inParts = false;
};

/// Dumps smaller than this are parsed in one part: below it, starting the
/// second thread and database costs about what the second core saves.
inline constexpr std::uint64_t kSmallestParted = std::uint64_t{8} << 20;
/// A dump has a part per this many bytes, and at least two. Each part costs
/// a database of its own and a join, so parts are not made smaller than
/// the unequal speeds of the cores need.
inline constexpr std::uint64_t kBytesPerPart = std::uint64_t{24} << 20;
/// At most this many parts: enough for unequal cores to end close together,
/// few enough that the search for the parts' first lines stays cheap.
inline constexpr std::size_t kMostParts = 32;

/// The number of parts a dump of \p dumpBytes is cut into; 1 for a small
/// dump.
std::size_t partCount(std::uint64_t dumpBytes);

/// The position in \p window of the first line that opens a compilation
/// unit or a section ("  Compilation Unit @ offset ..." or "Contents of the
/// ..."), after a line feed within \p window. npos when there is none.
std::size_t partStartIn(std::string_view window);

/// Where a part may start in \p window, the stretch of a dump that begins
/// where the search for the part's first line begins: the first unit or
/// section line in it; failing that, when the window holds no entry header
/// (it lies past the entries, where few lines open a section), its first
/// whole line. npos when neither is there.
std::size_t partStartNear(std::string_view window);

/// Parses the whole dump \p file (\p dumpBytes long, read from its start;
/// a file that ends before that has not been read to its end)
/// with \p parser, in parts when it is large enough; \p fileName opens it
/// again for each thread past the first. \p parts, when not 0, sets the
/// number of parts whatever the dump's size; \p threads, when not 0, the
/// number of threads (else one per core).
Outcome parseFile(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::FILE *file,
                  const std::string &fileName, std::uint64_t dumpBytes, std::size_t parts = 0,
                  unsigned threads = 0);

/// Parses the dump \p text with \p parser: one part from the start, and one
/// more from each of \p laterParts (line starts in ascending order; any
/// other is passed over); on \p threads threads, or one per core for 0.
Outcome parseText(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::string_view text,
                  const std::vector<std::size_t> &laterParts, unsigned threads = 0);

/// Where a dump held in memory is cut when nobody says, as a file would be:
/// the starts of the parts after the first; none for a small dump.
std::vector<std::size_t> chooseParts(std::string_view text);
/// The same, cut into at most \p parts parts whatever the text's size.
std::vector<std::size_t> chooseParts(std::string_view text, std::size_t parts);

} // namespace DumpParts
