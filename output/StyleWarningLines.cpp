// The lines of the style warnings log.
#include "output/StyleWarningLines.h"

#include "output/FileTexts.h"

#include <algorithm>

std::string_view rootName(std::string_view name) {
  // The group takes the longest run without "@", "." or ":"; the rest is
  // matched by ".*", which stops at a line break, and giving characters back
  // to the rest cannot remove one, so a break there fails the whole match.
  const std::size_t runEnd = std::min(name.find_first_of("@.:"), name.size());
  if (runEnd == 0) return {};
  if (name.find_first_of("\r\n", runEnd) != std::string_view::npos) return {};
  return name.substr(0, runEnd);
}

void appendDuplicateWarning(std::string &log, std::string_view name, std::string_view place,
                            std::string_view firstPlace) {
  using namespace FileTexts;
  log.append(kDuplicateWarning).append(rootName(name)).append(kLineEnd);
  log.append(kLocationFile).append(place).append(kLineEnd);
  if (!firstPlace.empty()) log.append(kLocationFile).append(firstPlace).append(kLineEnd);
}

void appendAddressZeroWarning(std::string &log, std::string_view scopedName, std::string_view place) {
  using namespace FileTexts;
  log.append(kAddressZeroWarning).append(scopedName).append(kLineEnd);
  log.append(kLocationFile).append(place).append(kLineEnd);
}
