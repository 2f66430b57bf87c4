#pragma once

#include "reader/DwarfDatabase.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// Dumps for the reader tests: parsing a worked example held in a string, and
/// finding the real dumps the build made with the ARM toolchain.
namespace TestDumps {

/// A database built from \p dumpText exactly as from a file.
std::unique_ptr<DwarfDatabase> parse(std::string_view dumpText);

/// The variants the example firmware is built in (dwarf2-O0 ... dwarf5-Os).
const std::vector<std::string> &firmwareVariants();
/// <firmware dir>/demo-<variant>.txt
std::string demoDump(const std::string &variant);
/// <reader dump dir>/demo-<variant>.nm: arm-none-eabi-nm of the image.
std::string demoSymbols(const std::string &variant);
/// A dump that objdump \p version (2.22 ... 2.46) wrote of the example
/// firmware's \p image (tests/data/objdump-versions).
std::string objdumpVersionDump(const std::string &image, const std::string &version);
/// <reader dump dir>/<stem>-dwarf<dwarf>-<endian>.txt, a source of
/// tests/reader/sources compiled at that DWARF version and byte order.
std::string sourceDump(const std::string &stem, int dwarf, const std::string &endian);

bool fileExists(const std::string &path);
std::string readFile(const std::string &path);

/// The symbols of an nm listing: name (without gcc's ".N" suffix of local
/// statics) to every address listed under it.
std::multimap<std::string, std::uint32_t> readNmSymbols(const std::string &path);

/// Everything a parse stored, as text, for comparing two databases: each
/// object in tree order with its fields, parent, linked type and index
/// entry, then the line tables, the located objects and the per-kind lists.
std::string describe(const DwarfDatabase &database);

/// The objects of \p database named \p name, in dump order.
std::vector<Model::BasicObject *> objectsNamed(const DwarfDatabase &database, std::string_view name);

} // namespace TestDumps

/// Skips the current test when \p path was not built (no ARM toolchain).
#define REQUIRE_DUMP(path)                                                                                   \
  do {                                                                                                       \
    if (!TestDumps::fileExists(path)) GTEST_SKIP() << "not built: " << (path);                               \
  } while (false)
