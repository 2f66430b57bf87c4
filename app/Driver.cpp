#include "app/Driver.h"

#include "app/ConsoleTexts.h"
#include "app/NameDerivation.h"
#include "app/ObjdumpRunner.h"
#include "app/VersionBanner.h"
#include "output/SymbolFiles.h"
#include "reader/DwarfDatabase.h"

#include <cstddef>
#include <ctime>
#include <iostream>
#include <string>

namespace {

void printLine(const std::string &line) { std::cout << line << '\n' << std::flush; }

void printUsage() {
  printLine(ConsoleTexts::kUsageTitle);
  printLine(ConsoleTexts::kUsageBuild + buildDate());
  for (const char *line : ConsoleTexts::kUsageLines)
    printLine(line);
}

/// Whole seconds since the start, printed in the stream's default floating
/// point format: 0, 7, 125.
class ProgressClock {
public:
  ProgressClock() : start_(std::time(nullptr)) {}

  void printProgress(const std::string &what) const {
    const double seconds = std::difftime(std::time(nullptr), start_);
    std::cout << what << ConsoleTexts::kSecondsSinceStart << seconds << '\n' << std::flush;
  }

private:
  std::time_t start_;
};

int runOnPath(const std::string &inputPath) {
  const DerivedNames names = deriveNames(inputPath);
  printLine(ConsoleTexts::kInputFile + names.dumpFileName);
  printLine(ConsoleTexts::kOutFileMap + names.mapFileName);
  const ProgressClock clock;

  if (names.isElf) {
    const std::string elfPath = names.directoryPart + names.baseName + names.extension;
    printLine(ConsoleTexts::kElfFile + elfPath);
    const int exitCode = runObjdump(elfPath, names.dumpFileName);
    if (exitCode != 0) {
      // A failed or missing objdump leaves no dump worth parsing.
      printLine(ConsoleTexts::kObjDumpFailed + std::to_string(exitCode) + ConsoleTexts::kObjDumpFailedTail +
                names.dumpFileName);
      return 1;
    }
    clock.printProgress(ConsoleTexts::kObjDumpFinished + names.dumpFileName);
  }

  DwarfDatabase database(names.dumpFileName);
  // A dump that cannot be had whole, or is none, stops the run before any
  // output file is touched: existing ones keep their bytes.
  const char *refusal = !database.dumpOpened()       ? ConsoleTexts::kCanNotOpenFile
                        : !database.dumpReadWhole()  ? ConsoleTexts::kCanNotReadFile
                        : !database.fileFormatSeen() ? ConsoleTexts::kNotAnObjdumpDump
                                                     : nullptr;
  if (refusal != nullptr) {
    printLine(refusal + names.dumpFileName);
    return 1;
  }
  // Units an old objdump printed without their entries: the files are still
  // made from the rest, but they are not complete.
  const std::size_t unreadUnits = database.unreadUnits();
  if (unreadUnits > 0)
    printLine(ConsoleTexts::kUnreadUnits + std::to_string(unreadUnits) + ConsoleTexts::kUnreadUnitsTail);
  clock.printProgress(ConsoleTexts::kParsingFinished);
  database.releaseLinkIndexes();

  const bool written = writeSymbolFiles(names.mapFileName, names.canapeFileName, database);
  clock.printProgress(ConsoleTexts::kOutputFinished + names.mapFileName);
  return written && unreadUnits == 0 ? 0 : 1;
}

} // namespace

int runQuillmap(int argc, char **argv) {
  if (argc > 0) printVersionBanner(argv[0]);

  // The last argument wins; earlier ones are never looked at.
  std::string inputPath;
  for (int i = 1; i < argc; ++i)
    inputPath = argv[i];

  if (inputPath.empty()) {
    printUsage();
    return 0;
  }
  return runOnPath(inputPath);
}
