#include "TestDumps.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace TestDumps {

std::unique_ptr<DwarfDatabase> parse(std::string_view dumpText) {
  auto database = std::make_unique<DwarfDatabase>();
  database->parseDumpText(dumpText);
  return database;
}

const std::vector<std::string> &firmwareVariants() {
  static const std::vector<std::string> variants = {"dwarf2-O0", "dwarf4-O0", "dwarf5-O0",
                                                    "dwarf2-Os", "dwarf4-Os", "dwarf5-Os"};
  return variants;
}

std::string demoDump(const std::string &variant) {
  return std::string(QUILLMAP_FIRMWARE_DIR) + "/demo-" + variant + ".txt";
}

std::string demoSymbols(const std::string &variant) {
  return std::string(QUILLMAP_READER_DUMP_DIR) + "/demo-" + variant + ".nm";
}

std::string sourceDump(const std::string &stem, int dwarf, const std::string &endian) {
  return std::string(QUILLMAP_READER_DUMP_DIR) + "/" + stem + "-dwarf" + std::to_string(dwarf) + "-" +
         endian + ".txt";
}

bool fileExists(const std::string &path) { return std::ifstream(path).good(); }

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::multimap<std::string, std::uint32_t> readNmSymbols(const std::string &path) {
  std::multimap<std::string, std::uint32_t> symbols;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (!(fields >> address >> kind >> name)) continue;
    if (const auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
    symbols.emplace(name, static_cast<std::uint32_t>(std::stoul(address, nullptr, 16)));
  }
  return symbols;
}

std::vector<Model::BasicObject *> objectsNamed(const DwarfDatabase &database, std::string_view name) {
  std::vector<Model::BasicObject *> found;
  std::vector<Model::BasicObject *> pending;
  if (database.root) pending.push_back(database.root.get());
  // Depth first, children in order: dump order.
  while (!pending.empty()) {
    Model::BasicObject *object = pending.back();
    pending.pop_back();
    if (object->name == name) found.push_back(object);
    {
      const std::size_t at = pending.size();
      for (Model::BasicObject *child : object->children)
        pending.push_back(child);
      std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(at), pending.end());
    }
  }
  return found;
}

} // namespace TestDumps
