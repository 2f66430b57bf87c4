// Every seed of the fuzz corpus and every input the fuzzer once failed on,
// through the same pipeline as the fuzz target, in the ordinary test builds.
#include "tests/fuzz/FuzzPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kFuzzDir = fs::path(QUILLMAP_SOURCE_DIR) / "tests" / "fuzz";

/// The files of tests/fuzz/<folder>, as "<folder>/<name>", sorted.
std::vector<std::string> inputsIn(const std::string &folder) {
  std::vector<std::string> inputs;
  std::error_code missing;
  for (const fs::directory_entry &entry : fs::directory_iterator(kFuzzDir / folder, missing))
    if (entry.is_regular_file() && entry.path().filename() != "README.md")
      inputs.push_back(folder + "/" + entry.path().filename().string());
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

std::string readInput(const std::string &name) {
  std::ifstream file(kFuzzDir / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class FuzzInput : public testing::TestWithParam<std::string> {};

TEST_P(FuzzInput, RunsThroughThePipeline) {
  const std::string dump = readInput(GetParam());
  // The pipeline aborts the process when a rule breaks; the sanitizer build
  // stops on any memory or undefined-behaviour fault.
  FuzzPipeline::run(dump);
  SUCCEED();
}

std::string testName(const testing::TestParamInfo<std::string> &info) {
  std::string name = info.param;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzInput, testing::ValuesIn(inputsIn("corpus")), testName);
INSTANTIATE_TEST_SUITE_P(Regressions, FuzzInput, testing::ValuesIn(inputsIn("regressions")), testName);

TEST(FuzzCorpus, HoldsSeedsOfBothLayouts) {
  const std::vector<std::string> seeds = inputsIn("corpus");
  const auto count = [&](const std::string &part) {
    return std::count_if(seeds.begin(), seeds.end(),
                         [&](const std::string &s) { return s.find(part) != std::string::npos; });
  };
  EXPECT_GE(count("older"), 2);
  EXPECT_GE(static_cast<long>(seeds.size()) - count("older"), 2);
}

} // namespace
