#include "tests/output/OutputTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace OutputTest {

std::unique_ptr<DwarfDatabase> parseDump(std::string_view dumpText) {
  auto database = std::make_unique<DwarfDatabase>();
  database->parseDumpText(dumpText);
  return database;
}

std::string readFile(const std::filesystem::path &path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string crlfLines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines)
    text.append(line).append("\r\n");
  return text;
}

std::string crlfLines(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines)
    text.append(line).append("\r\n");
  return text;
}

std::vector<std::string> namesOf(const std::vector<SymbolRecord> &leaves) {
  std::vector<std::string> names;
  for (const SymbolRecord &leaf : leaves)
    names.push_back(leaf.symbolName);
  return names;
}

ScratchDirectory::ScratchDirectory() {
  const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
  // Unique per process and object: builds, helpers and repeated runs share
  // the temporary folder.
  std::string name = "quillmap-output-" + std::string(test->test_suite_name()) + "-" + test->name() + "-" +
                     std::to_string(std::random_device()());
  std::replace(name.begin(), name.end(), '/', '_'); // a parameterised test's name
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

} // namespace OutputTest
