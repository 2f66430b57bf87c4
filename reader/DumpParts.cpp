#include "reader/DumpParts.h"

#include "reader/ByteOrderFlag.h"
#include "reader/DumpLineReader.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

namespace DumpParts {

namespace {

constexpr std::string_view kUnitLine = "\n  Compilation Unit @ offset ";
constexpr std::string_view kSectionLine = "\nContents of the ";

/// How far past searchStart() a file is searched for a line to start at: a
/// dump whose rest holds no such line soon (one huge section) is parsed in
/// one part rather than read twice.
constexpr std::uint64_t kSearchedFraction = 16;
constexpr std::size_t kSearchChunk = std::size_t{256} << 10;

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

/// The later part and what became of it, filled on its own thread.
struct LaterPart {
  DwarfDatabase database;
  std::optional<DwarfDatabase::LineParser> parser;
  bool readToEnd = false;
  bool failed = false;
};

/// Hands \p parser's lines to it until \p reader ends.
void parseLines(DumpLineReader &reader, DwarfDatabase::LineParser &parser) {
  std::string_view line;
  while (reader.next(line))
    parser.parseLine(line);
}

/// The two-part parse around the reading. \p parseEarlier reads the lines
/// before the later part's start, \p parseLater (on a second thread) those
/// from it on into a fresh parser, \p parseRest the same lines into the
/// earlier parser when the later part cannot be used; each says whether its
/// lines could be read to their end.
template <class ParseEarlier, class ParseLater, class ParseRest>
Outcome parseInTwo(DwarfDatabase &database, DwarfDatabase::LineParser &parser, ParseEarlier parseEarlier,
                   ParseLater parseLater, ParseRest parseRest) {
  auto later = std::make_unique<LaterPart>();
  std::thread thread;
  try {
    thread = std::thread([part = later.get(), &parseLater] {
      try {
        part->parser.emplace(part->database, DwarfDatabase::LineParser::LaterPart{});
        part->readToEnd = parseLater(*part->parser);
        part->database.arena.releaseUnfilledRest();
      } catch (...) {
        // A later part that fails is dropped; the earlier parser then reads
        // the same lines and meets the failure where one pass would.
        part->failed = true;
      }
    });
  } catch (const std::system_error &) {
    // No second thread to be had: one part.
    return {parseEarlier(parser) && parseRest(parser), false};
  }
  bool earlierRead = false;
  try {
    earlierRead = parseEarlier(parser);
  } catch (...) {
    thread.join();
    throw;
  }
  // The merge below needs no new objects: the unfilled rest of the current
  // block goes back before the model peaks.
  database.arena.releaseUnfilledRest();
  thread.join();
  // One pass stops at a read error; what the later part read is not wanted.
  if (!earlierRead) return {false, false};
  if (!later->failed && later->readToEnd && parser.handsOverTo(*later->parser)) {
    database.appendLaterPart(later->database);
    if (later->parser->littleEndianSeen()) ByteOrderFlag::setLittleEndian();
    return {true, true};
  }
  later.reset();
  return {parseRest(parser), false};
}

/// The start of the later part in \p file: the first line at or after
/// searchStart() that partStartIn() accepts, searched no further than
/// kSearchedFraction of the dump.
std::optional<std::uint64_t> findLaterPart(std::FILE *file, std::uint64_t dumpBytes) {
  std::uint64_t windowAt = searchStart(dumpBytes);
  if (!seekDumpFile(file, windowAt)) return std::nullopt;
  const std::uint64_t searchEnd = windowAt + dumpBytes / kSearchedFraction;
  std::string window;
  while (windowAt + window.size() < searchEnd) {
    const std::size_t kept = window.size();
    window.resize(kept + kSearchChunk);
    const std::size_t got = std::fread(window.data() + kept, 1, kSearchChunk, file);
    window.resize(kept + got);
    if (const std::size_t at = partStartIn(window); at != std::string_view::npos) return windowAt + at;
    if (got == 0) return std::nullopt;
    // A line cut at the window's end may be one to start at: keep it from
    // the line feed before it on.
    const std::size_t lastFeed = window.rfind('\n');
    const std::size_t dropped = lastFeed == std::string::npos ? window.size() : lastFeed;
    window.erase(0, dropped);
    windowAt += dropped;
  }
  return std::nullopt;
}

} // namespace

std::uint64_t searchStart(std::uint64_t dumpBytes) { return dumpBytes / 25 * 9; }

std::size_t partStartIn(std::string_view window) {
  const std::size_t unit = window.find(kUnitLine);
  const std::size_t section = window.find(kSectionLine);
  const std::size_t first = std::min(unit, section);
  return first == std::string_view::npos ? first : first + 1;
}

Outcome parseFile(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::FILE *file,
                  const std::string &fileName, std::uint64_t dumpBytes) {
  const auto parseOnePart = [&parser, file] {
    DumpLineReader reader(file);
    parseLines(reader, parser);
    return std::ferror(file) == 0;
  };
  if (dumpBytes < kSmallestParted) return {parseOnePart(), false};
  // The later part reads through a file of its own, opened here so that a
  // file that cannot be opened twice is simply read in one part.
  OwnedFile laterFile(std::fopen(fileName.c_str(), "rb"));
  if (laterFile == nullptr) return {parseOnePart(), false};
  std::setvbuf(laterFile.get(), nullptr, _IONBF, 0);
  const std::optional<std::uint64_t> laterAt = findLaterPart(laterFile.get(), dumpBytes);
  if (!laterAt || !seekDumpFile(laterFile.get(), *laterAt)) return {parseOnePart(), false};
  return parseInTwo(
      database, parser,
      [file, at = *laterAt](DwarfDatabase::LineParser &earlier) {
        DumpLineReader reader(file, DumpLineReader::kChunkSize, at);
        parseLines(reader, earlier);
        return std::ferror(file) == 0;
      },
      [later = laterFile.get()](DwarfDatabase::LineParser &laterParser) {
        DumpLineReader reader(later);
        parseLines(reader, laterParser);
        return std::ferror(later) == 0;
      },
      // The earlier reader stopped right at the later part's start.
      [&parseOnePart](DwarfDatabase::LineParser &) { return parseOnePart(); });
}

Outcome parseText(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::string_view text,
                  std::size_t laterPartAt) {
  const auto parseFrom = [text](std::size_t from, std::size_t to, DwarfDatabase::LineParser &into) {
    DumpLineReader reader(text.substr(from, to - from));
    parseLines(reader, into);
    return true;
  };
  if (laterPartAt == 0 || laterPartAt >= text.size() || text[laterPartAt - 1] != '\n') {
    parseFrom(0, text.size(), parser);
    return {};
  }
  return parseInTwo(
      database, parser,
      [&](DwarfDatabase::LineParser &earlier) { return parseFrom(0, laterPartAt, earlier); },
      [&](DwarfDatabase::LineParser &later) { return parseFrom(laterPartAt, text.size(), later); },
      [&](DwarfDatabase::LineParser &earlier) { return parseFrom(laterPartAt, text.size(), earlier); });
}

std::size_t chooseLaterPart(std::string_view text) {
  if (text.size() < kSmallestParted) return text.size();
  const auto from = static_cast<std::size_t>(searchStart(text.size()));
  const std::size_t searched = text.size() / kSearchedFraction;
  const std::size_t at = partStartIn(text.substr(from, searched));
  return at == std::string_view::npos ? text.size() : from + at;
}

} // namespace DumpParts
