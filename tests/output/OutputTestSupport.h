#pragma once

#include "output/NameTrace.h"
#include "output/SymbolRecord.h"
#include "reader/DwarfDatabase.h"

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// Helpers of the output tests: databases from dump text, files in a
/// directory of their own, and the CR LF joined texts the files must hold.
namespace OutputTest {

/// A database parsed and linked from \p dumpText, as from a dump file.
std::unique_ptr<DwarfDatabase> parseDump(std::string_view dumpText);

/// The whole file, byte for byte; empty when it cannot be read.
std::string readFile(const std::filesystem::path &path);

/// \p lines, each followed by CR LF.
std::string crlfLines(std::initializer_list<std::string_view> lines);
std::string crlfLines(const std::vector<std::string> &lines);

/// The symbol names of \p leaves, in order.
std::vector<std::string> namesOf(const std::vector<SymbolRecord> &leaves);

/// What a NameTrace was told, one "<name> / <number of children>" per read,
/// in order.
class HeardReads {
public:
  NameTrace trace() {
    return [this](std::string_view name, std::size_t childCount) {
      reads.push_back(std::string(name) + " / " + std::to_string(childCount));
    };
  }
  std::vector<std::string> reads;
};

/// An empty directory of the current test's own, removed with the object.
class ScratchDirectory {
public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory &) = delete;
  ScratchDirectory &operator=(const ScratchDirectory &) = delete;

  std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
  std::filesystem::path path_;
};

} // namespace OutputTest
