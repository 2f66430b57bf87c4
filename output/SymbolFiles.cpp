// The output pass: one walk over the leaves records a compact entry per
// written leaf; the files are made from these entries and written at the end.
#include "output/SymbolFiles.h"

#include "app/ConsoleTexts.h"
#include "output/CanapeDatabase.h"
#include "output/FileTexts.h"
#include "output/M51Map.h"
#include "output/StyleWarnings.h"
#include "output/SymbolExpansion.h"
#include "output/TypeClassification.h"
#include "reader/DwarfDatabase.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string_view>
#include <vector>

namespace {

/// What the files need of one written leaf besides its output name, which
/// the duplicate check keeps. A CANape line is about 240 bytes and a map line
/// about 70; this entry is 20, so a dump with millions of leaves does not
/// hold its whole files in memory.
struct WrittenLeaf {
  std::uint32_t address;
  LeafType type;
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
    leaves.push_back(WrittenLeaf{leaf.address, type});
  }
  bool takesConstLeaves() const override { return false; }

  /// Appends the map line of leaf number \p i.
  void appendM51(std::string &out, std::size_t i) {
    classify(i);
    appendM51Line(out, leaves[i].address, classification_);
  }
  /// Appends the CANape line of leaf number \p i.
  void appendCanape(std::string &out, std::size_t i) {
    classify(i);
    appendCanapeLine(out, leaves[i].address, classification_);
  }

  std::vector<WrittenLeaf> leaves;
  DuplicateCheck duplicates;

private:
  void classify(std::size_t i) {
    classifyType(leaves[i].type, littleEndian_, classification_);
    classification_.outputName.assign(duplicates.recordedName(i));
  }

  const bool littleEndian_;
  /// Reused from leaf to leaf.
  std::string name_;
  LeafClassification classification_;
};

/// Lines are made into a buffer of this size, which is written whenever it
/// is full.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;

/// Creates (or empties) \p fileName and writes \p head followed by the
/// lines that \p appendLine makes for 0 to \p lineCount - 1. The file is
/// binary so that the CR LF line ends stay exact on Windows.
template <class AppendLine>
bool writeWholeFile(const std::string &fileName, std::string_view head, std::size_t lineCount,
                    AppendLine appendLine) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  if (!file.is_open()) return false;
  std::string chunk;
  chunk.reserve(kChunkSize + 4096);
  chunk.append(head);
  const auto flush = [&] {
    file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    chunk.clear();
  };
  for (std::size_t i = 0; i < lineCount && file; ++i) {
    appendLine(chunk, i);
    if (chunk.size() >= kChunkSize) flush();
  }
  flush();
  file.close();
  return !file.fail();
}

/// A file that cannot be created or fully written (a missing directory, a
/// full disk) is reported on the console; the other files are still tried.
template <class AppendLine>
bool writeOrReport(const std::string &fileName, std::string_view head, std::size_t lineCount,
                   AppendLine appendLine) {
  if (writeWholeFile(fileName, head, lineCount, appendLine)) return true;
  std::cout << ConsoleTexts::kCanNotCreateFile << fileName << '\n' << std::flush;
  return false;
}

} // namespace

bool writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                      const DwarfDatabase &database) {
  OutputPass pass(DwarfDatabase::isLittleEndian());
  bool allWritten = expandLocatedVariables(database, pass);
  if (!allWritten) std::cout << ConsoleTexts::kTooManySymbols << kLeafCap << '\n' << std::flush;
  pass.duplicates.finish();

  const std::size_t count = pass.leaves.size();
  allWritten = writeOrReport(m51FileName, {}, count,
                             [&](std::string &out, std::size_t i) { pass.appendM51(out, i); }) &&
               allWritten;
  if (pass.duplicates.foundDuplicate()) {
    std::string logFileName = m51FileName;
    logFileName.append(FileTexts::kStyleWarningsSuffix);
    allWritten =
        writeOrReport(logFileName, pass.duplicates.log(), 0, [](std::string &, std::size_t) {}) && allWritten;
  }
  if (!canapeFileName.empty()) {
    std::string header;
    appendCanapeHeader(header);
    allWritten = writeOrReport(canapeFileName, header, count,
                               [&](std::string &out, std::size_t i) { pass.appendCanape(out, i); }) &&
                 allWritten;
  }
  return allWritten;
}
