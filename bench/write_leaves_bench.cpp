/// writeSymbolFiles on a million leaves: one located array
/// `uint8_t big[1000000]`, whose elements each become a map line and a CANape
/// line. Measures output generation alone (expansion, classification, the
/// duplicate check and the three writes), without the parse.

#include "output/SymbolFiles.h"
#include "reader/DwarfDatabase.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

/// A trace that prints nothing: the names are checked as in a run.
const NameTrace kQuietTrace = [](std::string_view, std::size_t) {};

constexpr std::int64_t kLeaves = 1000000;

/// objdump 2.40's dump of `uint8_t big[1000000];` in big.c, trimmed to the
/// lines the tool reads. The bound is written in decimal, as objdump prints
/// DW_FORM_udata.
constexpr const char *kDump = R"(
big.elf:     file format elf32-littlearm

Contents of the .debug_info section:

  Compilation Unit @ offset 0:
   Length:        0x92 (32-bit)
   Version:       5
   Unit Type:     DW_UT_compile (1)
   Abbrev Offset: 0
   Pointer Size:  4
 <0><c>: Abbrev Number: 2 (DW_TAG_compile_unit)
    <d>   DW_AT_producer    : (indirect string, offset: 0x64): GNU C17 12.2.1 20221205 -mcpu=cortex-m4 -mthumb -g
    <11>   DW_AT_language    : 29	(C11)
    <12>   DW_AT_name        : (indirect string, offset: 0x16): big.c
    <16>   DW_AT_comp_dir    : (indirect string, offset: 0xe): /work/fw
    <1a>   DW_AT_stmt_list   : 0
 <1><3a>: Abbrev Number: 3 (DW_TAG_typedef)
    <3b>   DW_AT_name        : (indirect string, offset: 0x45): uint8_t
    <3f>   DW_AT_decl_file   : 2
    <40>   DW_AT_decl_line   : 46
    <41>   DW_AT_decl_column : 24
    <42>   DW_AT_type        : <0x46>
 <1><46>: Abbrev Number: 1 (DW_TAG_base_type)
    <47>   DW_AT_byte_size   : 1
    <48>   DW_AT_encoding    : 8	(unsigned char)
    <49>   DW_AT_name        : (indirect string, offset: 0x4d): unsigned char
 <1><69>: Abbrev Number: 1 (DW_TAG_base_type)
    <6a>   DW_AT_byte_size   : 4
    <6b>   DW_AT_encoding    : 7	(unsigned)
    <6c>   DW_AT_name        : (indirect string, offset: 0xe1): unsigned int
 <1><70>: Abbrev Number: 5 (DW_TAG_array_type)
    <71>   DW_AT_type        : <0x3a>
    <75>   DW_AT_sibling     : <0x83>
 <2><79>: Abbrev Number: 6 (DW_TAG_subrange_type)
    <7a>   DW_AT_type        : <0x69>
    <7e>   DW_AT_upper_bound : 999999
 <2><82>: Abbrev Number: 0
 <1><83>: Abbrev Number: 7 (DW_TAG_variable)
    <84>   DW_AT_name        : big
    <88>   DW_AT_decl_file   : 1
    <89>   DW_AT_decl_line   : 2
    <8a>   DW_AT_decl_column : 9
    <8b>   DW_AT_type        : <0x70>
    <8f>   DW_AT_external    : 1
    <8f>   DW_AT_location    : 5 byte block: 3 0 0 0 20 	(DW_OP_addr: 20000000)
 <1><95>: Abbrev Number: 0

Raw dump of debug contents of section .debug_line:

  Offset:                      0
  Length:                      88
  DWARF Version:               3

 The Directory Table (offset 0x1b):
  1	/usr/lib/gcc/arm-none-eabi/12.2.1/include

 The File Name Table (offset 0x46):
  Entry	Dir	Time	Size	Name
  1	0	0	0	big.c
  2	1	0	0	stdint.h

 No Line Number Statements.
)";

std::int64_t countLines(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  std::int64_t lines = 0;
  for (std::istreambuf_iterator<char> it(in), end; it != end; ++it)
    if (*it == '\n') ++lines;
  return lines;
}

void BM_WriteMillionLeaves(benchmark::State &state) {
  DwarfDatabase database;
  database.parseDumpText(kDump);
  const auto dir = std::filesystem::temp_directory_path() / "quillmap-write-leaves-bench";
  std::filesystem::create_directories(dir);
  const std::string map = (dir / "big_Vrx.m51").string();
  const std::string canape = (dir / "big_CANape.db").string();

  // A run that does not reach a million leaves would time something else.
  if (!writeSymbolFiles(map, canape, database, kQuietTrace).complete() || countLines(map) < kLeaves) {
    state.SkipWithError("the dump did not expand to a million leaves");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(writeSymbolFiles(map, canape, database, kQuietTrace).complete());
  }
  state.SetItemsProcessed(state.iterations() * kLeaves);
  state.counters["map_bytes"] = static_cast<double>(std::filesystem::file_size(map));
  std::filesystem::remove_all(dir);
}

} // namespace

BENCHMARK(BM_WriteMillionLeaves)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
