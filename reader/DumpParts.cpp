#include "reader/DumpParts.h"

#include "reader/Concurrently.h"
#include "reader/DumpLineReader.h"
#include "reader/NativeFiles.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace DumpParts {

namespace {

constexpr std::string_view kUnitLine = "\n  Compilation Unit @ offset ";
constexpr std::string_view kSectionLine = "\nContents of the ";
/// Entry headers start " <level><offset>:"; attribute lines have more blanks.
constexpr std::string_view kEntryHeaderStart = "\n <";

/// The stretch read at a time in the search for a part's first line.
constexpr std::size_t kSearchChunk = std::size_t{64} << 10;
/// At most this many threads parse, the calling one included.
constexpr unsigned kMostThreads = 8;

constexpr std::size_t kNone = std::string_view::npos;

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

/// A part parsed on its own, from the state a parse has right after a unit
/// or section line, and what became of it.
struct LaterPart {
  DwarfDatabase database;
  DwarfDatabase::LineParser parser{database, true};
  bool readToEnd = false;
};

/// The parts of one parse: which is taken next, and those finished on their
/// own. Shared by the threads.
class PartBoard {
public:
  explicit PartBoard(std::size_t parts) : finished_(parts), results_(parts) {}

  std::size_t parts() const { return results_.size(); }

  /// The first part nobody has taken yet, past the first, which is the
  /// calling thread's; kNone when all are taken.
  std::size_t take() {
    const std::size_t part = next_.fetch_add(1, std::memory_order_relaxed);
    return part < parts() ? part : kNone;
  }
  /// No part is taken any more.
  void close() { next_.store(parts(), std::memory_order_relaxed); }

  /// Hands in \p result for \p part; null when the part could not be parsed.
  void finish(std::size_t part, std::unique_ptr<LaterPart> result) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      results_[part] = std::move(result);
      finished_[part] = 1;
    }
    changed_.notify_all();
  }
  bool isFinished(std::size_t part) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return finished_[part] != 0;
  }
  /// \p part's result, once it is handed in.
  std::unique_ptr<LaterPart> waitFor(std::size_t part) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return finished_[part] != 0; });
    return std::move(results_[part]);
  }

private:
  std::atomic<std::size_t> next_{1};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> finished_;
  std::vector<std::unique_ptr<LaterPart>> results_;
};

/// Hands \p parser's lines to it until \p reader ends.
void parseLines(DumpLineReader &reader, DwarfDatabase::LineParser &parser) {
  std::string_view line;
  while (reader.next(line))
    parser.parseLine(line);
}

/// Part \p part parsed on its own by \p read; null when that failed (no
/// memory, for one): the parser of the parts before then reads it itself
/// and meets the failure where one pass would.
template <class Read> std::unique_ptr<LaterPart> parseOnItsOwn(Read &read, std::size_t part) {
  try {
    auto later = std::make_unique<LaterPart>();
    // A part makes megabytes of objects: its arena starts with blocks that
    // the system can back with huge pages.
    later->database.arena.startWithLargeBlocks();
    later->readToEnd = read(part, later->parser);
    // Joined, its objects stay where they are: the rest of its last block
    // is never filled.
    later->database.arena.releaseUnfilledRest();
    return later;
  } catch (...) {
    return nullptr;
  }
}

/// The number of threads to parse \p parts parts with, the calling one
/// included: \p wanted, or one per core for 0.
unsigned threadsFor(std::size_t parts, unsigned wanted) {
  if (wanted == 0) wanted = std::max(2u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::min<std::size_t>({wanted, kMostThreads, parts}));
}

/// The parse in \p parts parts on \p threads threads. \p openReader(thread)
/// gives the reading of one thread (0 is the calling one): a callable that
/// parses the lines of a part into a parser and says whether they could be
/// read to their end; an empty optional when that thread cannot read the
/// dump.
///
/// The calling thread parses the first part and joins the others in the
/// dump's order, each as soon as it is parsed; it takes parts of its own
/// while the next one to join is not ready. A part is joined when the parse
/// of everything before it agrees with the part's guess in every piece of
/// state the part's lines read, and read again here otherwise: the result is
/// the one a single pass gives.
template <class OpenReader>
Outcome parseInParts(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::size_t parts,
                     unsigned threads, OpenReader openReader) {
  PartBoard board(parts);
  Outcome outcome;
  const auto joinAll = [&](auto &read) {
    if (!read(0, parser)) return false;
    std::size_t joined = 1;
    const auto join = [&](std::unique_ptr<LaterPart> later) {
      const std::size_t part = joined++;
      if (later != nullptr && later->readToEnd && parser.handsOverTo(later->parser)) {
        database.appendLaterPart(later->database);
        parser.continueWith(later->parser);
        outcome.inParts = true;
        return true;
      }
      later.reset();
      return read(part, parser);
    };
    for (std::size_t part = board.take(); part != kNone; part = board.take()) {
      while (joined < part && board.isFinished(joined))
        if (!join(board.waitFor(joined))) return false;
      board.finish(part, parseOnItsOwn(read, part));
    }
    // Joining needs no new objects unless a part is read here after all:
    // the unfilled rest of the current block goes back before the model
    // peaks.
    database.arena.releaseUnfilledRest();
    while (joined < parts)
      if (!join(board.waitFor(joined))) return false;
    return true;
  };
  if (threads < 2) {
    // On one thread the parts are read one after the other, as one pass.
    auto read = openReader(0u);
    outcome.readToEnd = read.has_value();
    for (std::size_t part = 0; part < parts && outcome.readToEnd; ++part)
      outcome.readToEnd = (*read)(part, parser);
    return outcome;
  }
  runConcurrently(threads, [&](std::size_t thread) {
    auto read = openReader(static_cast<unsigned>(thread));
    if (thread != 0) {
      if (read)
        for (std::size_t part = board.take(); part != kNone; part = board.take())
          board.finish(part, parseOnItsOwn(*read, part));
      return;
    }
    // One pass stops at a read error; what the other threads read then is
    // not wanted.
    try {
      outcome.readToEnd = read && joinAll(*read);
    } catch (...) {
      board.close();
      throw;
    }
    board.close();
  });
  if (!outcome.readToEnd) outcome.inParts = false;
  return outcome;
}

/// The start of a part in \p file whose search begins at \p from: see
/// partStartNear(); past the first chunk only a unit or section line
/// counts, up to \p to.
std::optional<std::uint64_t> findPartStart(std::FILE *file, std::uint64_t from, std::uint64_t to) {
  if (!seekDumpFile(file, from)) return std::nullopt;
  std::uint64_t windowAt = from;
  std::string window;
  bool firstChunk = true;
  while (windowAt + window.size() < to) {
    const std::size_t kept = window.size();
    window.resize(kept + kSearchChunk);
    const std::size_t got = std::fread(window.data() + kept, 1, kSearchChunk, file);
    window.resize(kept + got);
    const std::size_t at = firstChunk ? partStartNear(window) : partStartIn(window);
    if (at != kNone) return windowAt + at;
    if (got == 0) return std::nullopt;
    firstChunk = false;
    // A line cut at the window's end may be one to start at: keep it from
    // the line feed before it on.
    const std::size_t lastFeed = window.rfind('\n');
    const std::size_t dropped = lastFeed == std::string::npos ? window.size() : lastFeed;
    window.erase(0, dropped);
    windowAt += dropped;
  }
  return std::nullopt;
}

/// The starts of at most \p parts parts of a dump of \p dumpBytes: 0, then
/// for each further part the line found from its share of the dump on by
/// \p find(from, to), where one is found and lies past the one before.
template <class Find>
std::vector<std::uint64_t> partStarts(std::uint64_t dumpBytes, std::size_t parts, Find find) {
  std::vector<std::uint64_t> starts{0};
  const std::uint64_t share = dumpBytes / parts;
  for (std::size_t part = 1; part < parts; ++part) {
    const std::uint64_t from = share * part;
    const std::optional<std::uint64_t> at = find(from, from + share);
    if (at && *at > starts.back() && *at < dumpBytes) starts.push_back(*at);
  }
  return starts;
}

} // namespace

std::size_t partCount(std::uint64_t dumpBytes) {
  if (dumpBytes < kSmallestParted) return 1;
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(dumpBytes / kBytesPerPart, 2, kMostParts));
}

std::size_t partStartIn(std::string_view window) {
  const std::size_t unit = window.find(kUnitLine);
  const std::size_t section = window.find(kSectionLine);
  const std::size_t first = std::min(unit, section);
  return first == kNone ? first : first + 1;
}

std::size_t partStartNear(std::string_view window) {
  if (const std::size_t at = partStartIn(window); at != kNone) return at;
  if (window.find(kEntryHeaderStart) != kNone) return kNone;
  const std::size_t feed = window.find('\n');
  return feed == kNone || feed + 1 == window.size() ? kNone : feed + 1;
}

Outcome parseFile(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::FILE *file,
                  const std::string &fileName, std::uint64_t dumpBytes, std::size_t parts, unsigned threads) {
  // A dump that shrinks while it is read ends early, as if it were shorter:
  // only the bytes read tell.
  const auto parseOnePart = [&parser, file, dumpBytes] {
    DumpLineReader reader(file);
    parseLines(reader, parser);
    return std::ferror(file) == 0 && reader.bytesRead() >= dumpBytes;
  };
  if (parts == 0) parts = partCount(dumpBytes);
  if (parts < 2) return {parseOnePart(), false};
  // The second thread reads through a file of its own, opened here so that
  // a file that cannot be opened twice (or cannot seek) is simply read in
  // one part.
  OwnedFile secondFile(NativeFiles::openForReading(fileName));
  if (secondFile == nullptr || !seekDumpFile(file, 0)) return {parseOnePart(), false};
  std::setvbuf(secondFile.get(), nullptr, _IONBF, 0);
  const std::vector<std::uint64_t> starts =
      partStarts(dumpBytes, parts, [file = secondFile.get()](std::uint64_t from, std::uint64_t to) {
        return findPartStart(file, from, to);
      });
  if (starts.size() < 2) return {parseOnePart(), false};
  // Reads part k from its start to the next part's, the last one to the end
  // of the file, which lies at dumpBytes at least.
  const auto readerOn = [&starts, dumpBytes](std::FILE *own) {
    return [&starts, dumpBytes, own](std::size_t part, DwarfDatabase::LineParser &into) {
      if (!seekDumpFile(own, starts[part])) return false;
      const bool last = part + 1 == starts.size();
      const std::uint64_t end = last ? dumpBytes : starts[part + 1];
      DumpLineReader reader(own, DumpLineReader::kChunkSize,
                            last ? DumpLineReader::kNoLimit : end - starts[part]);
      parseLines(reader, into);
      return std::ferror(own) == 0 && starts[part] + reader.bytesRead() >= end;
    };
  };
  using Reader = decltype(readerOn(file));
  // Files opened for threads past the second; closed after the parse.
  threads = threadsFor(starts.size(), threads);
  std::vector<OwnedFile> moreFiles(threads);
  return parseInParts(database, parser, starts.size(), threads,
                      [&](unsigned thread) -> std::optional<Reader> {
                        if (thread == 0) return readerOn(file);
                        if (thread == 1) return readerOn(secondFile.get());
                        OwnedFile &own = moreFiles[thread];
                        own.reset(NativeFiles::openForReading(fileName));
                        if (own == nullptr) return std::nullopt;
                        std::setvbuf(own.get(), nullptr, _IONBF, 0);
                        return readerOn(own.get());
                      });
}

Outcome parseText(DwarfDatabase &database, DwarfDatabase::LineParser &parser, std::string_view text,
                  const std::vector<std::size_t> &laterParts, unsigned threads) {
  std::vector<std::size_t> starts{0};
  for (const std::size_t at : laterParts)
    if (at > starts.back() && at < text.size() && text[at - 1] == '\n') starts.push_back(at);
  auto read = [&starts, text](std::size_t part, DwarfDatabase::LineParser &into) {
    const std::size_t end = part + 1 < starts.size() ? starts[part + 1] : text.size();
    DumpLineReader reader(text.substr(starts[part], end - starts[part]));
    parseLines(reader, into);
    return true;
  };
  if (starts.size() < 2) {
    read(0, parser);
    return {};
  }
  return parseInParts(database, parser, starts.size(), threadsFor(starts.size(), threads),
                      [&read](unsigned) { return std::optional<decltype(read)>(read); });
}

std::vector<std::size_t> chooseParts(std::string_view text) {
  return chooseParts(text, partCount(text.size()));
}

std::vector<std::size_t> chooseParts(std::string_view text, std::size_t parts) {
  const std::vector<std::uint64_t> starts = partStarts(
      text.size(), parts, [text](std::uint64_t from, std::uint64_t to) -> std::optional<std::uint64_t> {
        const std::string_view rest = text.substr(static_cast<std::size_t>(from));
        std::size_t at = partStartNear(rest.substr(0, kSearchChunk));
        if (at == kNone) at = partStartIn(rest.substr(0, static_cast<std::size_t>(to - from)));
        if (at == kNone) return std::nullopt;
        return from + at;
      });
  return {starts.begin() + 1, starts.end()};
}

} // namespace DumpParts
