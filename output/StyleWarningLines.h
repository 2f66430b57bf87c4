#pragma once

#include <string>
#include <string_view>

/// Appends the lines of a name that repeats: the warning with the root of
/// \p name, the place \p place of the repeat and, unless it is empty, the
/// place \p firstPlace of the name's first occurrence.
void appendDuplicateWarning(std::string &log, std::string_view name, std::string_view place,
                            std::string_view firstPlace);

/// Appends the two log lines of a variable left out at address 0: its name
/// \p scopedName and its declaration place \p place.
void appendAddressZeroWarning(std::string &log, std::string_view scopedName, std::string_view place);

/// The leading run of a name up to the first "@", "." or ":", exactly as the
/// first group of the full match of kRootNamePattern; empty when that match
/// fails (a name that opens with one of those characters, or whose rest
/// holds a line break).
std::string_view rootName(std::string_view name);
inline constexpr const char *kRootNamePattern = "^([^@.:]+).*";
