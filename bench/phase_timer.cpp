/// Times the phases of one run on a dump, which the tool's own progress lines
/// give only in whole seconds:
///
///   phase_timer <dump> <output-directory>
///
///   read      splitting the dump into lines alone (DumpLineReader), a
///             separate pass that shows what the parse adds to plain reading
///   parse     load and parse: every line through DwarfDatabase::LineParser,
///             in parts on a large dump as a run does (in_parts=1 when
///             a part after the first was appended)
///   link      linkReferences() and the layout of DWARF 4/5 bit fields
///   write     writeSymbolFiles into <output-directory>
///   teardown  destroying the database
///
/// parse and link are the steps of the DwarfDatabase constructor, taken one
/// by one so that each can be timed.
///
/// Prints "key=value" lines for bench/run_benchmark.sh.

#include "output/SymbolFiles.h"
#include "reader/BitFieldLayout.h"
#include "reader/DeclarationResolution.h"
#include "reader/DumpLineReader.h"
#include "reader/DumpParts.h"
#include "reader/DwarfDatabase.h"
#include "reader/LineParser.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#if defined(__unix__)
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

/// A trace that prints nothing: the names are checked as in a run.
const NameTrace kQuietTrace = [](std::string_view, std::size_t) {};

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Peak resident memory of this process so far, in MB (0 where unknown).
double peakRssMb() {
#if defined(__unix__)
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) == 0) return static_cast<double>(usage.ru_maxrss) / 1024.0;
#endif
  return 0.0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: phase_timer <dump> <output-directory>\n");
    return 2;
  }
  const std::string dump = argv[1];
  const std::string outDir = argv[2];

  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;
  auto start = Clock::now();
  {
    std::FILE *file = std::fopen(dump.c_str(), "rb");
    if (file == nullptr) {
      std::fprintf(stderr, "cannot open %s\n", dump.c_str());
      return 1;
    }
    DumpLineReader reader(file);
    std::string_view line;
    while (reader.next(line)) {
      bytes += line.size() + 1;
      ++lines;
    }
    std::fclose(file);
  }
  const double readSeconds = secondsSince(start);

  auto database = std::make_unique<DwarfDatabase>();
  database->reserveForDump(bytes);
  start = Clock::now();
  bool bigEndianTarget = false;
  DumpParts::Outcome outcome;
  {
    std::FILE *file = std::fopen(dump.c_str(), "rb");
    if (file == nullptr) return 1;
    std::setvbuf(file, nullptr, _IONBF, 0);
    DwarfDatabase::LineParser parser(*database);
    outcome = DumpParts::parseFile(*database, parser, file, dump, bytes);
    database->arena.releaseUnfilledRest();
    parser.finish();
    bigEndianTarget = parser.facts().formatNameHoldsBig;
    std::fclose(file);
  }
  const double parseSeconds = secondsSince(start);
  const double rssAfterParse = peakRssMb();

  start = Clock::now();
  database->linkReferences();
  DeclarationResolution::resolveDeclaredAggregates(*database);
  BitFieldLayout::convertDataBitOffsets(database->members, bigEndianTarget);
  const double linkSeconds = secondsSince(start);

  // As a run does: what only the link pass reads goes before the files.
  database->releaseLinkIndexes();
  start = Clock::now();
  const bool written =
      writeSymbolFiles(outDir + "/phase_Vrx.m51", outDir + "/phase_CANape.db", *database, kQuietTrace)
          .complete();
  const double writeSeconds = secondsSince(start);

  const std::size_t located = database->locatedObjects.size();
  start = Clock::now();
  database.reset();
  const double teardownSeconds = secondsSince(start);

  std::printf("bytes=%llu\nlines=%llu\nlocated_objects=%zu\nwritten=%d\nin_parts=%d\n",
              static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(lines), located,
              written ? 1 : 0, outcome.inParts ? 1 : 0);
  std::printf("read_s=%.3f\nparse_s=%.3f\nlink_s=%.3f\nwrite_s=%.3f\nteardown_s=%.3f\n", readSeconds,
              parseSeconds, linkSeconds, writeSeconds, teardownSeconds);
  std::printf("peak_rss_after_parse_mb=%.1f\npeak_rss_mb=%.1f\n", rssAfterParse, peakRssMb());
  return 0;
}
