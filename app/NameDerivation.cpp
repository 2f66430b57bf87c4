#include "app/NameDerivation.h"

#include "app/ConsoleTexts.h"

#include <string_view>

namespace {

constexpr const char *kSeparators = "/\\";
/// The characters that an ECMAScript '.' does not match.
constexpr const char *kLineTerminators = "\n\r";
constexpr std::string_view kElfLetters = "elfELF";

} // namespace

bool matchPathPattern(const std::string &path, std::string &directoryPart, std::string &baseName,
                      std::string &extension) {
  // (.*[/\\]) may not hold a line terminator before its separator, and the
  // extension's (.*) may not hold one after its dot.
  const std::size_t n = path.size();
  const std::size_t firstTerminator = path.find_first_of(kLineTerminators);
  const std::size_t lastTerminator = path.find_last_of(kLineTerminators);

  // The greedy first group tries the last separator first, then each earlier
  // one; the greedy second group takes the last dot of the name that follows.
  std::size_t nameEnd = n; // One past the name after the separator tried.
  for (std::size_t sep = path.find_last_of(kSeparators); sep != std::string::npos;
       sep = sep == 0 ? std::string::npos : path.find_last_of(kSeparators, sep - 1)) {
    const std::size_t nameBegin = sep + 1;
    if (firstTerminator == std::string::npos || sep <= firstTerminator) {
      // The dot must lie inside the name, after its first character and after
      // every line terminator of the path.
      for (std::size_t dot = nameEnd; dot > nameBegin + 1;) {
        --dot;
        if (lastTerminator != std::string::npos && dot <= lastTerminator) break;
        if (path[dot] == '.') {
          directoryPart = path.substr(0, nameBegin);
          baseName = path.substr(nameBegin, dot - nameBegin);
          extension = path.substr(dot);
          return true;
        }
      }
    }
    nameEnd = sep;
  }
  return false;
}

bool matchBarePattern(const std::string &path, std::string &baseName, std::string &extension) {
  if (path.find_first_of(kLineTerminators) != std::string::npos) return false;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  baseName = path.substr(0, dot);
  extension = path.substr(dot);
  return true;
}

bool matchElfPattern(const std::string &extension) {
  if (extension.size() < 2 || extension[0] != '.') return false;
  return extension.find_first_not_of(kElfLetters, 1) == std::string::npos;
}

DerivedNames deriveNames(const std::string &inputPath) {
  DerivedNames names;
  if (!matchPathPattern(inputPath, names.directoryPart, names.baseName, names.extension)) {
    names.directoryPart.clear();
    if (!matchBarePattern(inputPath, names.baseName, names.extension)) {
      names.baseName.clear();
      names.extension.clear();
    }
  }
  const std::string stem = names.directoryPart + names.baseName;
  names.dumpFileName = stem + ConsoleTexts::kDumpSuffix;
  names.mapFileName = stem + ConsoleTexts::kMapSuffix;
  names.canapeFileName = stem + ConsoleTexts::kCanapeSuffix;
  names.isElf = matchElfPattern(names.extension);
  return names;
}
