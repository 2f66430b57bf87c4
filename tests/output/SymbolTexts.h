#pragma once

#include "output/SymbolFiles.h"

#include <cstddef>
#include <string>

class DwarfDatabase;

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
