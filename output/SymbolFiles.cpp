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
#include <iostream>
#include <string_view>
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
  explicit OutputPass(bool littleEndian) : littleEndian_(littleEndian) {}

  void addLeaf(const SymbolRecord &leaf) override {
    // Pieces reached through a const qualifier cannot be calibrated: they go
    // into no file and take no part in the duplicate check.
    if (leaf.isConst) return;
    const LeafType type = LeafType::of(leaf);
    name_.clear();
    appendOutputName(name_, leaf.symbolName, type, littleEndian_);
    duplicates.check(name_, leaf.declLocation);
    leaves.push_back(WrittenLeaf{leaf.address, types_.numberOf(type)});
  }
  bool takesConstLeaves() const override { return false; }

  /// Appends the map line of leaf number \p i.
  void appendM51(std::string &out, std::size_t i) {
    const WrittenLeaf &leaf = leaves[i];
    classify(leaf, i);
    appendM51Line(out, leaf.address, classification_);
  }
  /// Appends the CANape line of leaf number \p i.
  void appendCanape(std::string &out, std::size_t i) {
    const WrittenLeaf &leaf = leaves[i];
    classify(leaf, i);
    appendCanapeLine(out, leaf.address, classification_);
  }

  /// In blocks that never move: a million leaves are written once, not
  /// copied at every doubling.
  BlockVector<WrittenLeaf> leaves;
  DuplicateCheck duplicates;

private:
  void classify(const WrittenLeaf &leaf, std::size_t i) {
    // Neighbouring leaves mostly share their type texts.
    if (leaf.type != classifiedType_) {
      classifyType(types_[leaf.type], littleEndian_, classification_);
      classifiedType_ = leaf.type;
    }
    classification_.outputName.assign(duplicates.recordedName(i));
  }

  static constexpr std::uint32_t kNoType = UINT32_MAX;

  const bool littleEndian_;
  LeafTypeTable types_;
  /// Reused from leaf to leaf.
  std::string name_;
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

  bool store(SymbolFile which, SymbolFileText &text) override {
    const std::string fileName = nameOf(which);
    if (writeWhole(fileName, text)) return true;
    std::cout << ConsoleTexts::kCanNotCreateFile << fileName << '\n' << std::flush;
    return false;
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

private:
  SymbolTexts &texts_;
};

} // namespace

bool produceSymbolFiles(const DwarfDatabase &database, bool withCanape, SymbolFileSink &sink,
                        std::size_t leafCap) {
  OutputPass pass(DwarfDatabase::isLittleEndian());
  bool allWritten = expandLocatedVariables(database, pass, leafCap);
  if (!allWritten) std::cout << ConsoleTexts::kTooManySymbols << leafCap << '\n' << std::flush;
  pass.duplicates.finish();

  const std::size_t count = pass.leaves.size();
  auto m51 = lineText({}, count, [&](std::string &out, std::size_t i) { pass.appendM51(out, i); });
  allWritten = sink.store(SymbolFile::M51, m51) && allWritten;
  if (pass.duplicates.foundDuplicate()) {
    auto log = lineText(pass.duplicates.log(), 0, [](std::string &, std::size_t) {});
    allWritten = sink.store(SymbolFile::StyleWarnings, log) && allWritten;
  }
  if (withCanape) {
    std::string header;
    appendCanapeHeader(header);
    auto canape =
        lineText(header, count, [&](std::string &out, std::size_t i) { pass.appendCanape(out, i); });
    allWritten = sink.store(SymbolFile::Canape, canape) && allWritten;
  }
  return allWritten;
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
