#pragma once

#include "reader/DwarfDatabase.h"
#include "reader/LineParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

/// Parsing a large dump in two parts at once, one per core.
///
/// The parse is one pass whose state (the open entries, the line table, the
/// pointer size) runs from line to line, so a part cannot start just
/// anywhere. At a line that opens a compilation unit or a section, the state
/// is the same in every dump seen: the earlier lines matter no more. A later
/// part starts at such a line with that state guessed, in a database of its
/// own, while the earlier part is parsed as usual. When the earlier part is
/// done, its parser checks the guess against where it stands (only as far as
/// the later part's lines depended on it); then the later database is
/// appended, and the result is the one a single pass gives. Otherwise the
/// later part is dropped and the earlier parser reads on.
namespace DumpParts {

/// How a parse went.
struct Outcome {
  /// False when the dump could not be read to its end.
  bool readToEnd = true;
  /// True when a later part was parsed on its own and appended.
  bool inTwoParts = false;
};

/// Dumps smaller than this are parsed in one part: below it, starting the
/// second thread and database costs about what the second core saves (the
/// parse of a 10 MB dump takes 16 ms in one part and 12 ms in two; those of
/// 2 to 5 MB take as long or longer in two).
inline constexpr std::uint64_t kSmallestParted = std::uint64_t{8} << 20;

/// Where the search for the later part's first line begins in a dump of
/// \p dumpBytes. The entries of .debug_info cost about three times as much
/// per byte as the rest, and fill the first half or so of a dump; 36 % of
/// the way in gives the two parts about the same work.
std::uint64_t searchStart(std::uint64_t dumpBytes);

/// The position in \p window of the first line that may start a later part:
/// "  Compilation Unit @ offset ..." or "Contents of the ...", after a line
/// feed within \p window. npos when there is none.
std::size_t partStartIn(std::string_view window);

/// Parses the whole dump \p file (\p dumpBytes long, read from its start)
/// with \p parser, in two parts when it is large enough; \p fileName opens
/// it a second time for the later part.
Outcome parseFile(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::FILE *file,
                  const std::string &fileName, std::uint64_t dumpBytes);

/// Parses the dump \p text with \p parser: in two parts when \p laterPartAt
/// (a line start) lies inside the text, in one part otherwise.
Outcome parseText(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::string_view text,
                  std::size_t laterPartAt);

/// Where a dump held in memory is split when nobody says: as for a file;
/// text.size() for a small dump or one without a line to start at.
std::size_t chooseLaterPart(std::string_view text);

} // namespace DumpParts
