/// The side-by-side baseline of the benchmark: reads a dump line by line and
/// classifies every line with the grammar's patterns in the parse's order of
/// tests, the way a reader built on std::regex would, and counts the matches.
///
///   regex_baseline [--engine regex|matcher] [--max-line N] <dump>
///
/// --engine matcher runs the hand-written matchers over the same order of
/// tests instead, which isolates the cost of classification from the rest of
/// the parse. Lines longer than --max-line (default 16384) are skipped and
/// counted with the regex engine only: libstdc++'s std::regex recurses once
/// per character and overflows the stack on lines of a few ten thousand
/// characters.
///
/// Prints "key=value" lines (bytes, lines, wall and CPU seconds, MB/s, matches
/// per kind)
/// for bench/run_benchmark.sh.

#include "reader/DumpLineGrammar.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <string_view>

namespace {

namespace G = DumpLineGrammar;

/// The line kinds counted, in the parse's order of tests.
enum Kind {
  EntryHeader,
  Attribute,
  AttributeNoTab,
  LineTableOffset,
  DirectoryTableHeader,
  FileTableHeader,
  DirectoryColumns,
  DirectoryEntry,
  FileEntry,
  PointerSize,
  FileFormat,
  Unmatched,
  KindCount
};

constexpr const char *kKindNames[KindCount] = {"entry_header",      "attribute",        "attribute_no_tab",
                                               "line_table_offset", "directory_header", "file_header",
                                               "directory_columns", "directory_entry",  "file_entry",
                                               "pointer_size",      "file_format",      "unmatched"};

/// Whole-line matching with std::regex, each pattern compiled once.
class RegexEngine {
public:
  explicit RegexEngine(const char *pattern) : regex_(pattern, std::regex::ECMAScript) {}
  bool operator()(std::string_view line) {
    return std::regex_match(line.begin(), line.end(), groups_, regex_);
  }

private:
  std::regex regex_;
  std::match_results<std::string_view::const_iterator> groups_;
};

/// The same interface over the hand-written matchers.
class MatcherEngine {
public:
  explicit MatcherEngine(G::Matcher matcher) : matcher_(matcher) {}
  bool operator()(std::string_view line) { return matcher_(line, match_); }

private:
  G::Matcher matcher_;
  G::Match match_;
};

/// The tests of the parse, in its order; only the state that decides which
/// test applies is kept (current entry, open line table, the two table flags).
template <typename Engine> class Classifier {
public:
  template <typename Make>
  explicit Classifier(Make make)
      : entryHeader_(make(G::kEntryHeaderPattern, G::matchEntryHeader)),
        attribute_(make(G::kAttributePattern, G::matchAttribute)),
        attributeNoTab_(make(G::kAttributeNoTabPattern, G::matchAttributeNoTab)),
        lineTableOffset_(make(G::kLineTableOffsetPattern, G::matchLineTableOffset)),
        lineTableOffsetZero_(make(G::kLineTableOffsetZeroPattern, G::matchLineTableOffsetZero)),
        directoryHeader_(make(G::kDirectoryTableHeaderPattern, G::matchDirectoryTableHeader)),
        directoryOffsetHeader_(
            make(G::kDirectoryTableOffsetHeaderPattern, G::matchDirectoryTableOffsetHeader)),
        fileHeader_(make(G::kFileTableHeaderPattern, G::matchFileTableHeader)),
        fileDwarf5Header_(make(G::kFileTableDwarf5HeaderPattern, G::matchFileTableDwarf5Header)),
        directoryColumns_(make(G::kDirectoryTableColumnsPattern, G::matchDirectoryTableColumns)),
        numberedDirectory_(make(G::kNumberedDirectoryEntryPattern, G::matchNumberedDirectoryEntry)),
        directory_(make(G::kDirectoryEntryPattern, G::matchDirectoryEntry)),
        fileEntry_(make(G::kFileEntryPattern, G::matchFileEntry)),
        fileEntryDwarf5_(make(G::kFileEntryDwarf5Pattern, G::matchFileEntryDwarf5)),
        pointerSize_(make(G::kPointerSizePattern, G::matchPointerSize)),
        fileFormat_(make(G::kFileFormatPattern, G::matchFileFormat)),
        fileFormatName_(make(G::kFileFormatNamePattern, G::matchFileFormatName)) {}

  Kind classify(std::string_view line) {
    if (entryHeader_(line)) {
      inEntry_ = true;
      return EntryHeader;
    }
    if (inEntry_) {
      // A line with a tab is split at its last tab; one without any tab is an
      // attribute line of objdump 2.40 with an empty tail.
      if (line.find('\t') != std::string_view::npos) {
        if (attribute_(line)) return Attribute;
      } else if (attributeNoTab_(line)) {
        return AttributeNoTab;
      }
    }
    if (lineTableOffset_(line) || lineTableOffsetZero_(line)) {
      haveTable_ = true;
      return LineTableOffset;
    }
    if (directoryHeader_(line) || directoryOffsetHeader_(line)) {
      inDirectories_ = true;
      return DirectoryTableHeader;
    }
    if (fileHeader_(line) || fileDwarf5Header_(line)) {
      inFiles_ = true;
      return FileTableHeader;
    }
    if (inDirectories_) {
      if (line.empty() || !haveTable_) {
        inDirectories_ = false;
        return Unmatched;
      }
      if (directoryColumns_(line)) return DirectoryColumns;
      if (numberedDirectory_(line) || directory_(line)) return DirectoryEntry;
      return Unmatched;
    }
    if (inFiles_) {
      if (line.empty() || !haveTable_) {
        inFiles_ = false;
        return Unmatched;
      }
      if (fileEntry_(line) || fileEntryDwarf5_(line)) return FileEntry;
      return Unmatched;
    }
    if (pointerSize_(line)) return PointerSize;
    if (fileFormat_(line)) return FileFormat;
    if (fileFormatName_(line)) return FileFormat;
    return Unmatched;
  }

private:
  Engine entryHeader_, attribute_, attributeNoTab_, lineTableOffset_, lineTableOffsetZero_, directoryHeader_,
      directoryOffsetHeader_, fileHeader_, fileDwarf5Header_, directoryColumns_, numberedDirectory_,
      directory_, fileEntry_, fileEntryDwarf5_, pointerSize_, fileFormat_, fileFormatName_;
  bool inEntry_ = false;
  bool haveTable_ = false;
  bool inDirectories_ = false;
  bool inFiles_ = false;
};

struct Totals {
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;
  std::uint64_t skippedLong = 0;
  std::uint64_t counts[KindCount] = {};
};

template <typename Engine, typename Make>
bool run(const char *path, std::size_t maxLine, bool skipLong, Make make, Totals &totals) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  static char buffer[1 << 20];
  in.rdbuf()->pubsetbuf(buffer, sizeof buffer);
  Classifier<Engine> classifier(make);
  std::string line;
  while (std::getline(in, line)) {
    totals.bytes += line.size() + 1;
    ++totals.lines;
    std::string_view text(line);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (skipLong && text.size() > maxLine) {
      ++totals.skippedLong;
      continue;
    }
    ++totals.counts[classifier.classify(text)];
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  std::string engine = "regex";
  std::size_t maxLine = 16384;
  const char *path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--engine") == 0 && i + 1 < argc) {
      engine = argv[++i];
    } else if (std::strcmp(argv[i], "--max-line") == 0 && i + 1 < argc) {
      maxLine = std::stoul(argv[++i]);
    } else {
      path = argv[i];
    }
  }
  if (path == nullptr || (engine != "regex" && engine != "matcher")) {
    std::cerr << "usage: regex_baseline [--engine regex|matcher] [--max-line N] <dump>\n";
    return 2;
  }

  Totals totals;
  const std::clock_t cpuStart = std::clock();
  const auto start = std::chrono::steady_clock::now();
  bool opened;
  if (engine == "regex") {
    opened = run<RegexEngine>(
        path, maxLine, true, [](const char *pattern, G::Matcher) { return RegexEngine(pattern); }, totals);
  } else {
    opened = run<MatcherEngine>(
        path, maxLine, false, [](const char *, G::Matcher matcher) { return MatcherEngine(matcher); },
        totals);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  if (!opened) {
    std::cerr << "cannot open " << path << "\n";
    return 1;
  }

  std::printf("engine=%s\nbytes=%llu\nlines=%llu\nseconds=%.3f\nmb_per_s=%.1f\nskipped_long_lines=%llu\n",
              engine.c_str(), static_cast<unsigned long long>(totals.bytes),
              static_cast<unsigned long long>(totals.lines), seconds, totals.bytes / 1e6 / seconds,
              static_cast<unsigned long long>(totals.skippedLong));
  std::printf("cpu_seconds=%.3f\ncpu_mb_per_s=%.1f\n", cpuSeconds, totals.bytes / 1e6 / cpuSeconds);
  for (int k = 0; k < KindCount; ++k)
    std::printf("%s=%llu\n", kKindNames[k], static_cast<unsigned long long>(totals.counts[k]));
  return 0;
}
