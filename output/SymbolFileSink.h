#pragma once

#include "output/ChunkedText.h"

#include <string>

/// The files of a pass, in the order they are made.
enum class SymbolFile { M51, StyleWarnings, Canape };
inline constexpr SymbolFile kSymbolFiles[] = {SymbolFile::M51, SymbolFile::StyleWarnings, SymbolFile::Canape};

/// Takes the texts of a pass: files on disk in a run, texts in memory in the
/// tests.
class SymbolFileSink {
public:
  virtual ~SymbolFileSink() = default;
  /// Stores the whole of \p text as file \p which; false when it could not.
  /// The map and the CANape text may be stored at the same time, on two
  /// threads.
  virtual bool store(SymbolFile which, ChunkedText &text) = 0;
  /// Puts file \p which, stored whole, in place. Called once every file of
  /// the pass is stored, so that a pass that fails on the way (no memory)
  /// puts none in place. False when a stored file could not be put in
  /// place; true when none is waiting.
  virtual bool commit(SymbolFile) { return true; }
  /// The name of file \p which, for the result of the pass.
  virtual std::string nameOf(SymbolFile which) const = 0;
};
