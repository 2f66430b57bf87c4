#include "TestDumps.h"

#include "model/Model.h"
#include "model/ModelCast.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <typeinfo>

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

std::string objdumpVersionDump(const std::string &image, const std::string &version) {
  return std::string(QUILLMAP_OBJDUMP_VERSIONS_DIR) + "/" + image + ".objdump-" + version + ".txt";
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

namespace {

std::string offsetOf(const Model::BasicObject *object) {
  if (object == nullptr) return "-";
  std::ostringstream out;
  out << std::hex << object->offset;
  return out.str();
}

template <class List> void describeList(std::ostream &out, const char *name, const List &list) {
  out << name << ' ' << list.size() << ':';
  for (const Model::BasicObject *object : list)
    out << ' ' << offsetOf(object);
  out << '\n';
}

} // namespace

std::string describe(const DwarfDatabase &db) {
  using namespace Model;
  std::ostringstream out;
  std::vector<const BasicObject *> pending;
  if (db.root) pending.push_back(db.root.get());
  while (!pending.empty()) {
    const BasicObject *o = pending.back();
    pending.pop_back();
    out << std::hex << o->offset << ' ' << typeid(*o).name() << " [" << o->name.view() << "] "
        << o->declLine.view() << ' ' << o->declFile << ' ' << o->stmtListOffset << ' ' << o->getSize()
        << " parent " << offsetOf(o->parent);
    if (o != db.root.get()) out << " indexed " << offsetOf(db.objectsByOffset.find(o->offset));
    if (auto v = as<VariableInfo>(o))
      out << " addr " << v->address << " type " << v->typeOffset << '>' << offsetOf(v->type);
    if (auto m = as<TypeInfo_Member>(o))
      out << " member " << m->dataMemberLocation << ' ' << m->bitSize << ' ' << m->bitOffset << " type "
          << offsetOf(m->type);
    out << '\n';
    const std::size_t at = pending.size();
    for (const BasicObject *child : o->children) {
      if (child->parent != o) out << "wrong parent of " << offsetOf(child) << '\n';
      pending.push_back(child);
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(at), pending.end());
  }
  for (const auto &[offset, list] : db.statementListsByOffset) {
    out << "table " << offset << (list->filesNumberedFromZero ? " from 0:" : ":");
    for (const auto &f : list->files)
      out << ' ' << f.view();
    out << '\n';
  }
  out << "tables " << db.ownedStatementLists.size() << '\n';
  out << "file format line " << db.fileFormatSeen() << ", units not read " << std::dec << db.unreadUnits()
      << std::hex << '\n';
  describeList(out, "located", db.locatedObjects);
  describeList(out, "arrays", db.arrayTypes);
  describeList(out, "classes", db.classTypes);
  describeList(out, "consts", db.constTypes);
  describeList(out, "imported", db.importedDeclarations);
  describeList(out, "inheritances", db.inheritances);
  describeList(out, "members", db.members);
  describeList(out, "subroutines", db.subroutineTypes);
  describeList(out, "typedefs", db.typedefs);
  describeList(out, "volatiles", db.volatileTypes);
  describeList(out, "functions", db.functions);
  describeList(out, "variables", db.variables);
  describeList(out, "aggregates", db.aggregateTypes);
  return out.str();
}

} // namespace TestDumps
