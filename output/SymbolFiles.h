#pragma once

#include "output/SymbolExpansion.h"

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
/// \p canapeFileName is empty) in a single pass over the leaves. Each file is
/// written to a temporary file beside it and renamed into place once all
/// files are written, so an existing file is either replaced whole or keeps
/// its bytes, and an exception (no memory) leaves every existing file as it
/// was. The map (with the log) and the CANape database are made and written
/// at the same time, on two threads, while the leaves are still being found;
/// a file that fails then is tried once more on its own. Prints nothing: the
/// result says what went wrong, and \p trace hears of each traced name as
/// it is read.
SymbolFilesResult writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                                   const DwarfDatabase &database, const NameTrace &trace);

/// The three texts of the symbol files, byte for byte as writeSymbolFiles
/// writes them.
struct SymbolTexts {
  std::string m51;
  std::string canape;
  /// Made only when a name repeats or a variable at address 0 was left out;
  /// hasStyleWarnings tells.
  std::string styleWarnings;
  bool hasStyleWarnings = false;
};

/// Runs the pass of writeSymbolFiles into memory, with at most \p leafCap
/// leaves.
SymbolFilesResult makeSymbolTexts(const DwarfDatabase &database, SymbolTexts &texts,
                                  std::size_t leafCap = kLeafCap, const NameTrace &trace = {});

// ---- The pass and where its texts go ---------------------------------------

/// The files of a pass, in the order they are made.
enum class SymbolFile { M51, StyleWarnings, Canape };
inline constexpr SymbolFile kSymbolFiles[] = {SymbolFile::M51, SymbolFile::StyleWarnings, SymbolFile::Canape};

/// The whole text of one file, handed out in chunks.
class SymbolFileText {
public:
  virtual ~SymbolFileText() = default;
  /// Replaces \p chunk with the next piece of the text; false when the text
  /// is done.
  virtual bool nextChunk(std::string &chunk) = 0;
};

/// Takes the texts of a pass. The map and its log are stored on one thread
/// while the CANape text is stored on another.
class SymbolFileSink {
public:
  virtual ~SymbolFileSink() = default;
  /// Stores the whole of \p text as file \p which; false when it could not.
  virtual bool store(SymbolFile which, SymbolFileText &text) = 0;
  /// Puts file \p which, stored whole, in place. Called on the calling
  /// thread once every file of the pass is stored, so that a pass that
  /// fails on the way (no memory) puts none in place. False when a stored
  /// file could not be put in place; true when none is waiting.
  virtual bool commit(SymbolFile) { return true; }
  /// The name of file \p which, for the result of the pass.
  virtual std::string nameOf(SymbolFile which) const = 0;
};

/// The pass: expands the leaves, runs the duplicate check and hands the M51
/// text, the log text (when a name repeats or a variable at address 0 was
/// left out) and, with \p withCanape, the CANape text to \p sink. The names
/// the expansion reads are read through \p trace.
SymbolFilesResult produceSymbolFiles(const DwarfDatabase &database, bool withCanape, SymbolFileSink &sink,
                                     std::size_t leafCap = kLeafCap, const NameTrace &trace = {});
