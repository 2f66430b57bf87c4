// The style warnings log: names that occur more than once.
#include "output/StyleWarnings.h"

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

std::uint32_t DuplicateCheck::internLocation(const std::string &declLocation) {
  // The leaves of one variable arrive together and share their place.
  if (locations_.empty() || locations_.back() != declLocation) locations_.push_back(declLocation);
  return static_cast<std::uint32_t>(locations_.size() - 1);
}

void DuplicateCheck::check(const std::string &outputName, const std::string &declLocation) {
  const auto [entry, isNew] = firstLocationByName_.try_emplace(outputName, 0);
  if (isNew) {
    entry->second = internLocation(declLocation);
    return;
  }
  foundDuplicate_ = true;
  // A structure variable repeats once per member, all at one place: only a
  // place not reported before adds lines, so such a clash gives one warning.
  if (reportedLocations_.insert(declLocation).second) {
    using namespace FileTexts;
    log_.append(kDuplicateWarning).append(rootName(outputName)).append(kLineEnd);
    log_.append(kLocationFile).append(declLocation).append(kLineEnd);
    if (entry->second != kBlanked && !locations_[entry->second].empty())
      log_.append(kLocationFile).append(locations_[entry->second]).append(kLineEnd);
  }
  entry->second = kBlanked;
}
