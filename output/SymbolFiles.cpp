// The output pass: one walk over the leaves fills three buffers, which are
// written to their files whole at the end.
#include "output/SymbolFiles.h"

#include "app/ConsoleTexts.h"
#include "output/CanapeDatabase.h"
#include "output/ChunkedText.h"
#include "output/FileTexts.h"
#include "output/M51Map.h"
#include "output/StyleWarnings.h"
#include "output/SymbolExpansion.h"
#include "output/TypeClassification.h"
#include "reader/DwarfDatabase.h"

#include <fstream>
#include <iostream>

namespace {

/// Turns each leaf into its map line, its CANape line and one step of the
/// duplicate check, as the leaves come out of the expansion.
class OutputPass final : public LeafSink {
public:
  explicit OutputPass(bool littleEndian) : littleEndian_(littleEndian) {
    appendCanapeHeader(line_);
    canape.append(line_);
  }

  void addLeaf(const SymbolRecord &leaf) override {
    // Pieces reached through a const qualifier cannot be calibrated: they go
    // into no file and take no part in the duplicate check.
    if (leaf.isConst) return;
    classifyLeaf(leaf, littleEndian_, classification_);
    line_.clear();
    appendM51Line(line_, leaf.address, classification_);
    m51.append(line_);
    line_.clear();
    appendCanapeLine(line_, leaf.address, classification_);
    canape.append(line_);
    duplicates.check(classification_.outputName, leaf.declLocation);
  }
  bool takesConstLeaves() const override { return false; }

  ChunkedText m51;
  ChunkedText canape;
  DuplicateCheck duplicates;

private:
  const bool littleEndian_;
  LeafClassification classification_;
  /// One line at a time, reused from leaf to leaf.
  std::string line_;
};

/// Creates (or empties) \p fileName and writes the whole buffer into it.
/// The file is binary so that the CR LF line ends stay exact on Windows.
bool writeWholeFile(const std::string &fileName, const ChunkedText &text) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  if (!file.is_open()) return false;
  text.writeTo(file);
  file.close();
  return !file.fail();
}

/// A file that cannot be created or fully written (a missing directory, a
/// full disk) is reported on the console; the other files are still tried.
bool writeOrReport(const std::string &fileName, const ChunkedText &text) {
  if (writeWholeFile(fileName, text)) return true;
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

  allWritten = writeOrReport(m51FileName, pass.m51) && allWritten;
  if (pass.duplicates.foundDuplicate()) {
    std::string logFileName = m51FileName;
    logFileName.append(FileTexts::kStyleWarningsSuffix);
    ChunkedText log;
    log.append(pass.duplicates.log());
    allWritten = writeOrReport(logFileName, log) && allWritten;
  }
  if (!canapeFileName.empty()) allWritten = writeOrReport(canapeFileName, pass.canape) && allWritten;
  return allWritten;
}
