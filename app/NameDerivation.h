#pragma once

#include <string>

/// The file names of one run, all derived from the input path.
struct DerivedNames {
  std::string directoryPart; ///< Ends with '/' or '\\', or is empty.
  std::string baseName;      ///< The file name without its extension.
  std::string extension;     ///< From the splitting dot to the end, dot included.
  std::string dumpFileName;
  std::string mapFileName;
  std::string canapeFileName;
  bool isElf = false; ///< The extension names an ELF file, so objdump runs.
};

/// The three patterns that define the split. They are ECMAScript patterns
/// applied to the whole string; deriveNames() decides exactly as they do, but
/// in one linear pass, because std::regex recurses once per character and a
/// long argument would overflow the stack.
namespace NamePatterns {
inline constexpr const char *kPath = "^(.*[/\\\\])([^/\\\\]+)([.].*)$";
inline constexpr const char *kBare = "^(.*)([.].*)$";
inline constexpr const char *kElf = "^[.][elfELF]+$";
} // namespace NamePatterns

/// A whole-string match of NamePatterns::kPath; fills the three groups.
bool matchPathPattern(const std::string &path, std::string &directoryPart, std::string &baseName,
                      std::string &extension);
/// A whole-string match of NamePatterns::kBare; fills the two groups.
bool matchBarePattern(const std::string &path, std::string &baseName, std::string &extension);
/// A whole-string match of NamePatterns::kElf.
bool matchElfPattern(const std::string &extension);

/// Splits \p inputPath by the path pattern, else by the bare pattern, else
/// leaves all three parts empty, and builds the dump, map and CANape names.
DerivedNames deriveNames(const std::string &inputPath);
