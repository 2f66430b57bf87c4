#include "app/Driver.h"

#include "app/ConsoleOutput.h"
#include "app/ConsoleTexts.h"
#include "app/NameDerivation.h"
#include "app/ObjdumpRunner.h"
#include "app/PipedDump.h"
#include "app/VersionBanner.h"
#include "output/InterruptCleanup.h"
#include "output/ReplacementFile.h"
#include "output/SymbolFiles.h"
#include "reader/Concurrently.h"
#include "reader/DwarfDatabase.h"

#include <cstddef>
#include <ctime>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void printLine(const std::string &line) { printConsoleLine({line}); }

/// The two lines of a traced name, printed as the name is read.
void printNameTrace(std::string_view name, std::size_t childCount) {
  printConsoleLine({ConsoleTexts::kGetNameTrace, name});
  printConsoleLine({ConsoleTexts::kChildrenSizeTrace, std::to_string(childCount)});
}

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
    std::ostringstream number;
    number << seconds;
    printConsoleLine({what, ConsoleTexts::kSecondsSinceStart, number.str()});
  }

private:
  std::time_t start_;
};

/// The dump of an earlier run, held open while objdump writes the new one.
/// Once the new dump has replaced it, the file system frees the old one
/// only when this last hold on it closes: beside the writing of the symbol
/// files, rather than in the rename the user waits for (ext4 takes 0.1 to
/// 0.4 s to free a dump of 150 MB). Only a regular file is held, and the
/// opening never waits (a FIFO planted at the name). Not on Windows, where
/// a file held open cannot be replaced.
class EarlierDumpHold {
public:
  explicit EarlierDumpHold([[maybe_unused]] const std::string &dumpFileName) {
#ifndef _WIN32
    file_ = open(dumpFileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat status {};
    if (file_ >= 0 && (fstat(file_, &status) != 0 || !S_ISREG(status.st_mode))) release();
#endif
  }
  ~EarlierDumpHold() { release(); }
  EarlierDumpHold(const EarlierDumpHold &) = delete;
  EarlierDumpHold &operator=(const EarlierDumpHold &) = delete;

  bool held() const { return file_ >= 0; }
  void release() {
#ifndef _WIN32
    if (file_ >= 0) close(file_);
#endif
    file_ = -1;
  }

private:
  int file_ = -1;
};

/// The database of the dump objdump writes of the image, parsed as objdump
/// writes it: objdump's output goes through a pipe into a temporary file
/// that replaces the dump only when objdump succeeded (a failed, missing or
/// killed objdump leaves the dump of an earlier run as it was), and into
/// the parse. Null when the console has said why there is none.
std::unique_ptr<DwarfDatabase> parseObjdumpOutput(const DerivedNames &names, const ProgressClock &clock) {
  const std::string elfPath = names.directoryPart + names.baseName + names.extension;
  printLine(ConsoleTexts::kElfFile + elfPath);
  ReplacementFile dump(names.dumpFileName);
  if (!dump.isOpen()) {
    printLine(ConsoleTexts::kCanNotCreateFile + names.dumpFileName);
    return nullptr;
  }
  const std::unique_ptr<PipedProgram> objdump = startObjdump(elfPath);
  PipedDump stream(*objdump, dump,
                   [&] { clock.printProgress(ConsoleTexts::kObjDumpFinished + names.dumpFileName); });
  // A program that could not be started is a failed objdump: its stream
  // ends at once.
  auto database = std::make_unique<DwarfDatabase>(stream);
  switch (stream.outcome()) {
  case PipedDump::Outcome::Finished:
    return database;
  case PipedDump::Outcome::ObjdumpFailed:
    printLine(ConsoleTexts::kObjDumpFailed + std::to_string(stream.exitCode()) +
              ConsoleTexts::kObjDumpFailedTail + names.dumpFileName);
    return nullptr;
  case PipedDump::Outcome::ReadFailed:
    printLine(ConsoleTexts::kCanNotReadFile + names.dumpFileName);
    return nullptr;
  case PipedDump::Outcome::Running:
  case PipedDump::Outcome::WriteFailed:
    break;
  }
  printLine(ConsoleTexts::kCanNotCreateFile + names.dumpFileName);
  return nullptr;
}

int runOnNames(const DerivedNames &names) {
  printLine(ConsoleTexts::kInputFile + names.dumpFileName);
  printLine(ConsoleTexts::kOutFileMap + names.mapFileName);
  const ProgressClock clock;

  std::unique_ptr<DwarfDatabase> parsed;
  std::unique_ptr<EarlierDumpHold> earlierDump;
  if (names.isElf) {
    earlierDump = std::make_unique<EarlierDumpHold>(names.dumpFileName);
    parsed = parseObjdumpOutput(names, clock);
    if (parsed == nullptr) return 1;
  } else {
    parsed = std::make_unique<DwarfDatabase>(names.dumpFileName);
  }
  DwarfDatabase &database = *parsed;
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

  SymbolFilesResult result;
  runConcurrently(earlierDump != nullptr && earlierDump->held() ? 2 : 1, [&](std::size_t job) {
    if (job == 0)
      result = writeSymbolFiles(names.mapFileName, names.canapeFileName, database, printNameTrace);
    else
      earlierDump->release();
  });
  if (result.leavesCut) printLine(ConsoleTexts::kTooManySymbols + std::to_string(result.leafCap));
  // Left out because the linker removed them: the files are still complete.
  if (result.variablesAtAddressZero != 0)
    printLine(ConsoleTexts::kVariablesAtAddressZero + std::to_string(result.variablesAtAddressZero));
  for (const std::string &fileName : result.failedFiles)
    printLine(ConsoleTexts::kCanNotCreateFile + fileName);
  clock.printProgress(ConsoleTexts::kOutputFinished + names.mapFileName);
  return result.complete() && unreadUnits == 0 ? 0 : 1;
}

/// Says that the run could not get the memory it needed. Prints without
/// making a new string: there may be no memory for one.
int reportNoMemory(const DerivedNames &names) {
  printConsoleLine({ConsoleTexts::kNotEnoughMemory, names.dumpFileName});
  return 1;
}

bool isShortOfResources(const std::system_error &error) {
  const std::error_code code = error.code();
  return code == std::errc::not_enough_memory || code == std::errc::resource_unavailable_try_again ||
         code == std::errc::too_many_files_open || code == std::errc::too_many_files_open_in_system;
}

/// The run on \p inputPath. A run that runs out of memory, or of threads or
/// files to be had, ends in an exception: as it unwinds, the temporary files
/// are removed and the objects freed, and every existing file keeps its bytes.
int runOnPath(const std::string &inputPath) {
  InterruptCleanup::installHandlers();
  DerivedNames names;
  try {
    names = deriveNames(inputPath);
    return runOnNames(names);
  } catch (const std::bad_alloc &) {
    return reportNoMemory(names);
  } catch (const std::length_error &) {
    // A size beyond what can ever be had.
    return reportNoMemory(names);
  } catch (const std::system_error &error) {
    if (!isShortOfResources(error)) throw;
    return reportNoMemory(names);
  }
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
