#pragma once

#include "output/SymbolExpansion.h"

#include <cstddef>
#include <string>

class DwarfDatabase;

/// Writes the M51 map, the style warnings log (only when a name repeats) and
/// the CANape database (unless \p canapeFileName is empty) in a single pass
/// over the leaves. Each file is written to a temporary file beside it and
/// renamed into place once all files are written, so an existing file is
/// either replaced whole or keeps its bytes, and an exception (no memory)
/// leaves every existing file as it was. The map (with the log) and the CANape database are made and
/// written at the same time, on two threads, while the leaves are still
/// being found; a file that fails then is tried once more on its own.
/// Returns false when a file could not be created or fully written, or when
/// the leaf list had to be cut; the console has then said why.
bool writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                      const DwarfDatabase &database);

/// The three texts of the symbol files, byte for byte as writeSymbolFiles
/// writes them.
struct SymbolTexts {
  std::string m51;
  std::string canape;
  /// Made only when a name repeats; hasStyleWarnings tells.
  std::string styleWarnings;
  bool hasStyleWarnings = false;
};

/// Runs the pass of writeSymbolFiles into memory. Returns false when the
/// leaf list had to be cut at \p leafCap (said on the console).
bool makeSymbolTexts(const DwarfDatabase &database, SymbolTexts &texts, std::size_t leafCap = kLeafCap);

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
  /// Says on the console that file \p which could not be stored. Called
  /// after all files are stored, in the order of SymbolFile.
  virtual void reportFailure(SymbolFile which) = 0;
};

/// The pass: expands the leaves, runs the duplicate check and hands the M51
/// text, the log text (when a name repeats) and, with \p withCanape, the
/// CANape text to \p sink. Returns false when a text could not be stored or
/// the leaf list was cut at \p leafCap.
bool produceSymbolFiles(const DwarfDatabase &database, bool withCanape, SymbolFileSink &sink,
                        std::size_t leafCap = kLeafCap);
