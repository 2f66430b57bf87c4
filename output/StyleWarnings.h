#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

/// The duplicate check behind the style warnings log. A measurement tool
/// cannot tell two symbols of one name apart (typically file-local statics
/// of the same name in two source files); each repeat is reported with the
/// declaration places involved. The check only reports: both leaves are
/// still written.
class DuplicateCheck {
public:
  /// Checks one written leaf, in leaf order.
  void check(const std::string &outputName, const std::string &declLocation);

  bool foundDuplicate() const { return foundDuplicate_; }
  /// The log lines so far, each ended by CR LF.
  const std::string &log() const { return log_; }

private:
  /// Marks a name whose first place has been reported.
  static constexpr std::uint32_t kBlanked = UINT32_MAX;

  std::uint32_t internLocation(const std::string &declLocation);

  /// Name -> the place of its first occurrence (an index into locations_),
  /// or kBlanked once that place has been reported.
  std::unordered_map<std::string, std::uint32_t> firstLocationByName_;
  /// The places met so far; one variable's leaves share one entry.
  std::vector<std::string> locations_;
  /// The places already reported, under any name.
  std::unordered_set<std::string> reportedLocations_;
  std::string log_;
  bool foundDuplicate_ = false;
};

/// The leading run of a name up to the first "@", "." or ":", exactly as the
/// first group of the full match of kRootNamePattern; empty when that match
/// fails (a name that opens with one of those characters, or whose rest
/// holds a line break).
std::string_view rootName(std::string_view name);
inline constexpr const char *kRootNamePattern = "^([^@.:]+).*";
