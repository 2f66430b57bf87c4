#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

/// Whole-file reads and writes for the tests that run the tool on real files.
namespace TestFiles {

inline std::string readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

} // namespace TestFiles
