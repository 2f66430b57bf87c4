#pragma once

#include <cstdint>
#include <string>

/// One symbol on its way from a variable down to a leaf. A value type: every
/// recursive step of the expansion works on its own copy, so nothing a callee
/// changes reaches a sibling.
struct SymbolRecord {
  std::uint32_t address = 0;
  std::int32_t bitOffset = 0;
  std::int32_t bitSize = 0;
  std::int32_t byteSize = 0;
  std::string typeText;
  std::string symbolName;
  std::string declLocation;
  bool isConst = false;
  bool isSigned = false;
};
