#pragma once

#include <cstdint>
#include <string>

/// The compilation date as the compiler's date macro gives it ("Oct 18 2021",
/// a single-digit day padded with a blank). Shared by the banner and the usage
/// text, so both always show the same text.
const std::string &buildDate();

/// "major.minor" from the most significant 32 bits of a file version: the high
/// and the low 16 bits, in decimal (10.0.3.7 gives "10.0").
std::string versionText(std::uint32_t fileVersionMostSignificant);

/// Prints the two banner lines: file name, version and build date, then the
/// copyright. On Windows they come from the version resource of the program
/// at \p programPath, and nothing is printed when it has none; elsewhere from
/// the record compiled into the tool.
void printVersionBanner(const char *programPath);
