// The output pass: one walk over the leaves records a compact entry per
// written leaf; the files are made from these entries at the end and handed,
// chunk by chunk, to the files on disk or to texts in memory.
#include "output/SymbolFiles.h"

#include "app/ConsoleTexts.h"
#include "output/BlockVector.h"
#include "output/CanapeDatabase.h"
#include "output/FileTexts.h"
#include "output/M51Map.h"
#include "output/ReplacementFile.h"
#include "output/StyleWarnings.h"
#include "output/SymbolExpansion.h"
#include "output/TypeClassification.h"
#include "reader/DwarfDatabase.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iostream>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

/// What the files need of one written leaf besides its output name, which
/// the duplicate check keeps. A CANape line is about 240 bytes and a map line
/// about 70; this entry is 8, so a dump with millions of leaves does not hold
/// its whole files in memory.
struct WrittenLeaf {
  std::uint32_t address;
  /// The leaf's type in the pass's table of distinct types.
  std::uint32_t type;
};

/// The distinct leaf types of a pass, numbered in the order they first
/// occur. A dump has a few dozen of them (byte sizes, signedness, bit-field
/// shapes) against millions of leaves.
class LeafTypeTable {
public:
  std::uint32_t numberOf(const LeafType &type) {
    // Neighbouring leaves (the elements of an array, the members of a
    // structure) mostly share their type.
    if (!types_.empty() && types_[last_] == type) return last_;
    const auto found = numbers_.find(type);
    if (found != numbers_.end()) return last_ = found->second;
    last_ = static_cast<std::uint32_t>(types_.size());
    types_.push_back(type);
    numbers_.emplace(type, last_);
    return last_;
  }
  const LeafType &operator[](std::uint32_t number) const { return types_[number]; }

private:
  struct Hash {
    std::size_t operator()(const LeafType &type) const {
      std::uint64_t h = static_cast<std::uint32_t>(type.byteSize);
      h = h * 0x9E3779B97F4A7C15u + static_cast<std::uint32_t>(type.bitOffset);
      h = h * 0x9E3779B97F4A7C15u + static_cast<std::uint32_t>(type.bitSize);
      h = h * 0x9E3779B97F4A7C15u + (type.isSigned ? 1u : 0u);
      return static_cast<std::size_t>(h ^ (h >> 32));
    }
  };
  std::vector<LeafType> types_;
  std::unordered_map<LeafType, std::uint32_t, Hash> numbers_;
  std::uint32_t last_ = 0;
};

/// Records each leaf as it comes out of the expansion: its entry for the
/// files and one step of the duplicate check.
class OutputPass final : public LeafSink {
public:
  explicit OutputPass(bool littleEndian) : littleEndian(littleEndian) {}

  void addLeaf(const SymbolRecord &leaf) override {
    // Pieces reached through a const qualifier cannot be calibrated: they go
    // into no file and take no part in the duplicate check.
    if (leaf.isConst) return;
    const LeafType type = LeafType::of(leaf);
    name_.clear();
    appendOutputName(name_, leaf.symbolName, type, littleEndian);
    duplicates.check(name_, leaf.declLocation);
    leaves.push_back(WrittenLeaf{leaf.address, types.numberOf(type)});
  }
  bool takesConstLeaves() const override { return false; }

  const bool littleEndian;
  /// In blocks that never move: a million leaves are written once, not
  /// copied at every doubling.
  BlockVector<WrittenLeaf> leaves;
  LeafTypeTable types;
  DuplicateCheck duplicates;

private:
  /// Reused from leaf to leaf.
  std::string name_;
};

/// Makes the lines of one file from a finished pass. Each file has a maker
/// of its own, with its own place in the names and its own type texts, so
/// that two files can be made at once; the pass is only read.
class LineMaker {
public:
  explicit LineMaker(const OutputPass &pass) : pass_(pass), names_(pass.duplicates.names()) {}

  /// Appends the map line of leaf number \p i.
  void appendM51(std::string &out, std::size_t i) { appendM51Line(out, classify(i), classification_); }
  /// Appends the CANape line of leaf number \p i.
  void appendCanape(std::string &out, std::size_t i) { appendCanapeLine(out, classify(i), classification_); }

private:
  /// Fills classification_ for leaf number \p i; returns its address.
  std::uint32_t classify(std::size_t i) {
    const WrittenLeaf &leaf = pass_.leaves[i];
    // Neighbouring leaves mostly share their type texts.
    if (leaf.type != classifiedType_) {
      classifyType(pass_.types[leaf.type], pass_.littleEndian, classification_);
      classifiedType_ = leaf.type;
    }
    // The lines are made in leaf order: each name is one step on.
    if (names_.position() != i) names_.seek(i);
    classification_.outputName.assign(names_.next());
    return leaf.address;
  }

  static constexpr std::uint32_t kNoType = UINT32_MAX;

  const OutputPass &pass_;
  LeafNameStore::Cursor names_;
  LeafClassification classification_;
  /// The type whose texts classification_ holds, kNoType before the first.
  std::uint32_t classifiedType_ = kNoType;
};

/// Lines are made into a buffer of this size, which is handed on whenever
/// it is full. A small buffer stays in the cache and is reused: a megabyte
/// would cost a page fault per 4 KiB on every file of a small run.
constexpr std::size_t kChunkSize = std::size_t{64} << 10;

/// The whole text of one file, made chunk by chunk: \p head followed by the
/// lines that \p appendLine makes for 0 to \p lineCount - 1.
template <class AppendLine> class LineText final : public SymbolFileText {
public:
  LineText(std::string_view head, std::size_t lineCount, AppendLine appendLine)
      : head_(head), lineCount_(lineCount), appendLine_(appendLine) {}

  bool nextChunk(std::string &chunk) override {
    if (done_) return false;
    chunk.clear();
    if (next_ == 0) chunk.append(head_);
    while (next_ < lineCount_ && chunk.size() < kChunkSize)
      appendLine_(chunk, next_++);
    done_ = next_ == lineCount_;
    return true;
  }

private:
  std::string_view head_;
  std::size_t lineCount_;
  AppendLine appendLine_;
  std::size_t next_ = 0;
  bool done_ = false;
};

template <class AppendLine>
LineText<AppendLine> lineText(std::string_view head, std::size_t lineCount, AppendLine appendLine) {
  return LineText<AppendLine>(head, lineCount, appendLine);
}

/// Writes each text to its file through a temporary file, so that a file is
/// either replaced whole or left as it was. A file that cannot be created or
/// fully written (a missing or read-only directory, a full disk) is reported
/// on the console; the other files are still tried.
class FileSink final : public SymbolFileSink {
public:
  FileSink(const std::string &m51FileName, const std::string &canapeFileName)
      : m51FileName_(m51FileName), canapeFileName_(canapeFileName) {}

  bool store(SymbolFile which, SymbolFileText &text) override { return writeWhole(nameOf(which), text); }
  void reportFailure(SymbolFile which) override {
    std::cout << ConsoleTexts::kCanNotCreateFile << nameOf(which) << '\n' << std::flush;
  }

private:
  std::string nameOf(SymbolFile which) const {
    switch (which) {
    case SymbolFile::StyleWarnings:
      return m51FileName_ + std::string(FileTexts::kStyleWarningsSuffix);
    case SymbolFile::Canape:
      return canapeFileName_;
    case SymbolFile::M51:
      break;
    }
    return m51FileName_;
  }

  static bool writeWhole(const std::string &fileName, SymbolFileText &text) {
    ReplacementFile file(fileName);
    if (!file.isOpen()) return false;
    std::string chunk;
    chunk.reserve(kChunkSize + 4096);
    while (text.nextChunk(chunk))
      if (!file.write(chunk)) return false;
    return file.commit();
  }

  const std::string &m51FileName_;
  const std::string &canapeFileName_;
};

/// Keeps each text in memory.
class MemorySink final : public SymbolFileSink {
public:
  explicit MemorySink(SymbolTexts &texts) : texts_(texts) {}

  bool store(SymbolFile which, SymbolFileText &text) override {
    std::string &target = which == SymbolFile::M51      ? texts_.m51
                          : which == SymbolFile::Canape ? texts_.canape
                                                        : texts_.styleWarnings;
    if (which == SymbolFile::StyleWarnings) texts_.hasStyleWarnings = true;
    target.clear();
    std::string chunk;
    while (text.nextChunk(chunk))
      target.append(chunk);
    return true;
  }
  void reportFailure(SymbolFile) override {}

private:
  SymbolTexts &texts_;
};

/// Runs \p first on a second thread and \p second on this one, and returns
/// when both are done: true when they ran at once, false when there was no
/// second thread to be had and they ran one after the other.
template <class First, class Second> bool runBoth(First first, Second second) {
  std::exception_ptr firstFailure;
  std::thread thread;
  try {
    thread = std::thread([&] {
      try {
        first();
      } catch (...) {
        firstFailure = std::current_exception();
      }
    });
  } catch (const std::system_error &) {
    first();
    second();
    return false;
  }
  try {
    second();
  } catch (...) {
    thread.join();
    throw;
  }
  thread.join();
  if (firstFailure) std::rethrow_exception(firstFailure);
  return true;
}

} // namespace

bool produceSymbolFiles(const DwarfDatabase &database, bool withCanape, SymbolFileSink &sink,
                        std::size_t leafCap) {
  OutputPass pass(DwarfDatabase::isLittleEndian());
  const bool allLeaves = expandLocatedVariables(database, pass, leafCap);
  if (!allLeaves) std::cout << ConsoleTexts::kTooManySymbols << leafCap << '\n' << std::flush;

  const std::size_t count = pass.leaves.size();
  const auto store = [&](SymbolFile which) {
    LineMaker maker(pass);
    switch (which) {
    case SymbolFile::M51: {
      auto m51 = lineText({}, count, [&](std::string &out, std::size_t i) { maker.appendM51(out, i); });
      return sink.store(which, m51);
    }
    case SymbolFile::StyleWarnings: {
      auto log = lineText(pass.duplicates.log(), 0, [](std::string &, std::size_t) {});
      return sink.store(which, log);
    }
    case SymbolFile::Canape:
      break;
    }
    std::string header;
    appendCanapeHeader(header);
    auto canape =
        lineText(header, count, [&](std::string &out, std::size_t i) { maker.appendCanape(out, i); });
    return sink.store(which, canape);
  };

  // Indexed by SymbolFile; a file not written counts as stored.
  bool stored[3] = {true, true, true};
  const auto index = [](SymbolFile which) { return static_cast<std::size_t>(which); };
  const auto storeMapAndLog = [&] {
    stored[index(SymbolFile::M51)] = store(SymbolFile::M51);
    // Only the log needs the duplicate check, which only reads the names.
    pass.duplicates.finish();
    if (pass.duplicates.foundDuplicate())
      stored[index(SymbolFile::StyleWarnings)] = store(SymbolFile::StyleWarnings);
  };
  // The files share only the finished pass, which they read: the map (then
  // the duplicate check and the log) and the CANape database are made and
  // written at the same time, each with its own disk writes and the rename
  // over the old file.
  if (!withCanape) {
    storeMapAndLog();
  } else if (runBoth(storeMapAndLog,
                     [&] { stored[index(SymbolFile::Canape)] = store(SymbolFile::Canape); })) {
    // On a nearly full disk, the other file's temporary copy may have taken
    // the room a file needed: a file that failed is tried once more on its
    // own, in the files' order, where one after the other it may fit.
    for (const SymbolFile which : kSymbolFiles)
      if (!stored[index(which)]) stored[index(which)] = store(which);
  }

  bool allStored = true;
  for (const SymbolFile which : kSymbolFiles) {
    if (stored[index(which)]) continue;
    sink.reportFailure(which);
    allStored = false;
  }
  return allStored && allLeaves;
}

bool writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                      const DwarfDatabase &database) {
  FileSink sink(m51FileName, canapeFileName);
  return produceSymbolFiles(database, !canapeFileName.empty(), sink);
}

bool makeSymbolTexts(const DwarfDatabase &database, SymbolTexts &texts, std::size_t leafCap) {
  texts = SymbolTexts();
  MemorySink sink(texts);
  return produceSymbolFiles(database, true, sink, leafCap);
}
