#pragma once

#include "output/NameTrace.h"
#include "output/SymbolExpansion.h"
#include "output/SymbolFileSink.h"

#include <cstddef>
#include <string>
#include <vector>

class DwarfDatabase;

/// What a pass over the leaves did, for the caller to tell the user.
struct SymbolFilesResult {
  /// The files that could not be created or fully written, in the order the
  /// files are made (map, log, CANape database).
  std::vector<std::string> failedFiles;
  /// There were more leaves than leafCap: the files hold the first leafCap.
  bool leavesCut = false;
  std::size_t leafCap = kLeafCap;
  /// The located variables at address 0 that were left out of the map and
  /// the CANape database; the log lists each of them.
  std::size_t variablesAtAddressZero = 0;

  /// Every file holds every leaf: the run is complete.
  bool complete() const { return failedFiles.empty() && !leavesCut; }
};

/// Writes the M51 map, the style warnings log (only when a name repeats or a
/// variable at address 0 was left out) and the CANape database (unless
/// \p canapeFileName is empty) from a single pass over the leaves. Each file
/// is written to a temporary file beside it and renamed into place once all
/// files are written, so an existing file is either replaced whole or keeps
/// its bytes, and an exception (no memory) leaves every existing file as it
/// was. A file that fails is tried once more on its own once the others are
/// in place. Prints nothing: the result says what went wrong, and \p trace
/// hears of each traced name as it is read.
SymbolFilesResult writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                                   const DwarfDatabase &database, const NameTrace &trace);

/// The pass of writeSymbolFiles: expands the leaves, runs the duplicate
/// check and hands the M51 text, the log text (when a name repeats or a
/// variable at address 0 was left out) and, with \p withCanape, the CANape
/// text to \p sink. The names the expansion reads are read through \p trace.
SymbolFilesResult produceSymbolFiles(const DwarfDatabase &database, bool withCanape, SymbolFileSink &sink,
                                     std::size_t leafCap = kLeafCap, const NameTrace &trace = {});
