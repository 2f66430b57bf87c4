// Dumps whose types loop or go very deep: an imported declaration that leads
// back into the namespace being expanded, structures nested 10 000 deep,
// typedef and qualifier cycles, chains of 100 000 links. The run must end,
// give the same files every time, and still write every variable that has
// a finite type.
#include "tests/output/OutputTestSupport.h"
#include "tests/output/SymbolTexts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace OutputTest;

namespace {

/// Builds a dump in objdump 2.40's layout, entry by entry.
class DumpWriter {
public:
  DumpWriter() {
    text_ = "m.elf:     file format elf32-littlearm\n"
            "  Compilation Unit @ offset 0:\n"
            "   Pointer Size:  4\n";
  }

  /// Opens an entry at \p level; returns its offset.
  unsigned entry(int level, const char *tag) {
    const unsigned offset = next_;
    next_ += 0x10;
    text_ += " <" + std::to_string(level) + "><" + hex(offset) + ">: Abbrev Number: 1 (" + tag + ")\n";
    return offset;
  }
  void attribute(const char *name, const std::string &value) {
    char line[64];
    std::snprintf(line, sizeof line, "    <%x>   %-18s: ", next_ - 1, name);
    text_ += line + value + "\n";
  }
  void reference(const char *name, unsigned offset) { attribute(name, "<0x" + hex(offset) + ">"); }
  void location(unsigned address) {
    attribute("DW_AT_location", "5 byte block: 3 \t(DW_OP_addr: " + hex(address) + ")");
  }
  /// Reserves an offset for an entry written later.
  unsigned reserve() {
    const unsigned offset = next_;
    next_ += 0x10;
    return offset;
  }
  /// Opens an entry at a reserved offset.
  void entryAt(int level, const char *tag, unsigned offset) {
    text_ += " <" + std::to_string(level) + "><" + hex(offset) + ">: Abbrev Number: 1 (" + tag + ")\n";
  }

  const std::string &text() const { return text_; }

private:
  static std::string hex(unsigned value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%x", value);
    return digits;
  }

  std::string text_;
  unsigned next_ = 0x10;
};

/// The map text of \p dump; the same dump must give the same map again.
std::string mapOf(const std::string &dump) {
  const std::unique_ptr<DwarfDatabase> database = parseDump(dump);
  SymbolTexts first;
  SymbolTexts second;
  makeSymbolTexts(*database, first);
  makeSymbolTexts(*database, second);
  EXPECT_EQ(first.m51, second.m51);
  EXPECT_EQ(first.canape, second.canape);
  return first.m51;
}

/// A compile unit with an unsigned int at level 1; returns its offset.
unsigned unitWithUnsignedInt(DumpWriter &dump) {
  dump.entry(0, "DW_TAG_compile_unit");
  dump.attribute("DW_AT_name", "m.cpp");
  const unsigned uint = dump.entry(1, "DW_TAG_base_type");
  dump.attribute("DW_AT_byte_size", "4");
  dump.attribute("DW_AT_encoding", "7\t(unsigned)");
  dump.attribute("DW_AT_name", "unsigned int");
  return uint;
}

void variable(DumpWriter &dump, int level, const char *name, unsigned type, unsigned address) {
  dump.entry(level, "DW_TAG_variable");
  dump.attribute("DW_AT_name", name);
  dump.reference("DW_AT_type", type);
  dump.location(address);
}

TEST(ExpansionBounds, ImportedDeclarationLeadingBackIntoItsNamespace) {
  // namespace cfg { unsigned int gain; } with an imported declaration
  // inside cfg that names cfg itself, and a variable whose type is an
  // imported declaration of cfg: the walk into cfg meets cfg again and stops
  // there, after gain.
  DumpWriter dump;
  const unsigned uint = unitWithUnsignedInt(dump);
  const unsigned cfg = dump.entry(1, "DW_TAG_namespace");
  dump.attribute("DW_AT_name", "cfg");
  variable(dump, 2, "gain", uint, 0x20000000);
  dump.entry(2, "DW_TAG_imported_declaration");
  dump.reference("DW_AT_import", cfg);
  const unsigned intoCfg = dump.entry(1, "DW_TAG_imported_declaration");
  dump.reference("DW_AT_import", cfg);
  variable(dump, 1, "alias", intoCfg, 0x20000100);
  variable(dump, 1, "after", uint, 0x20000200);

  EXPECT_EQ(mapOf(dump.text()), crlfLines({"20000000H     SYMBOL  DATA  DWORD    cfg::gain",
                                           "20000100H     SYMBOL  DATA  DWORD    alias::cfg.gain",
                                           "20000200H     SYMBOL  DATA  DWORD    after"}));
}

TEST(ExpansionBounds, StructuresNested10000DeepThroughTheirMembers) {
  // struct S0 { unsigned int m; }; struct Sk { struct Sk-1 m; };
  DumpWriter dump;
  const unsigned uint = unitWithUnsignedInt(dump);
  constexpr int kLevels = 10000;
  std::vector<unsigned> structures;
  unsigned inner = uint;
  for (int k = 0; k < kLevels; ++k) {
    const unsigned s = dump.entry(1, "DW_TAG_structure_type");
    dump.attribute("DW_AT_byte_size", "4");
    dump.entry(2, "DW_TAG_member");
    dump.attribute("DW_AT_name", "m");
    dump.reference("DW_AT_type", inner);
    dump.attribute("DW_AT_data_member_location", "0");
    structures.push_back(s);
    inner = s;
  }
  // The variable's type is step 1 and each structure two more (structure,
  // member): 499 structures reach the unsigned int at step 1000, the most
  // the expansion walks; deeper ones give nothing.
  variable(dump, 1, "deepest", structures[498], 0x20000000);
  variable(dump, 1, "tooDeep", structures[499], 0x20000010);
  variable(dump, 1, "nested", structures.back(), 0x20000020);
  variable(dump, 1, "after", uint, 0x20000030);

  std::string deepest = "deepest";
  for (int k = 0; k < 499; ++k)
    deepest += ".m";
  EXPECT_EQ(mapOf(dump.text()), crlfLines({"20000000H     SYMBOL  DATA  DWORD    " + deepest,
                                           "20000030H     SYMBOL  DATA  DWORD    after"}));
}

TEST(ExpansionBounds, ClassesDeclared10000LevelsInsideEachOther) {
  // class L { class L { ... class L { static unsigned int v; } ... } }: the
  // scoped name of the static member carries every enclosing class.
  DumpWriter dump;
  const unsigned uint = unitWithUnsignedInt(dump);
  constexpr int kLevels = 10000;
  for (int level = 1; level <= kLevels; ++level) {
    dump.entry(level, "DW_TAG_class_type");
    dump.attribute("DW_AT_name", "L");
    dump.attribute("DW_AT_byte_size", "4");
  }
  variable(dump, kLevels + 1, "v", uint, 0x20000000);
  variable(dump, 1, "after", uint, 0x20000010);

  std::string name;
  for (int level = 1; level <= kLevels; ++level)
    name += "L->";
  EXPECT_EQ(mapOf(dump.text()), crlfLines({"20000000H     SYMBOL  DATA  DWORD    " + name + "v",
                                           "20000010H     SYMBOL  DATA  DWORD    after"}));
}

TEST(ExpansionBounds, TypedefAndQualifierCycles) {
  DumpWriter dump;
  const unsigned uint = unitWithUnsignedInt(dump);
  // typedef T -> volatile -> const -> T.
  const unsigned t = dump.reserve();
  const unsigned v = dump.reserve();
  const unsigned c = dump.reserve();
  dump.entryAt(1, "DW_TAG_typedef", t);
  dump.attribute("DW_AT_name", "T");
  dump.reference("DW_AT_type", v);
  dump.entryAt(1, "DW_TAG_volatile_type", v);
  dump.reference("DW_AT_type", c);
  dump.entryAt(1, "DW_TAG_const_type", c);
  dump.reference("DW_AT_type", t);
  // A volatile that qualifies itself.
  const unsigned self = dump.reserve();
  dump.entryAt(1, "DW_TAG_volatile_type", self);
  dump.reference("DW_AT_type", self);
  // struct R { unsigned int x; R-through-a-typedef self; unsigned int y; }
  const unsigned r = dump.reserve();
  const unsigned rAlias = dump.entry(1, "DW_TAG_typedef");
  dump.attribute("DW_AT_name", "R");
  dump.reference("DW_AT_type", r);
  dump.entryAt(1, "DW_TAG_structure_type", r);
  dump.attribute("DW_AT_byte_size", "8");
  const char *members[] = {"x", "self", "y"};
  const unsigned types[] = {uint, rAlias, uint};
  const char *offsets[] = {"0", "4", "4"};
  for (int i = 0; i < 3; ++i) {
    dump.entry(2, "DW_TAG_member");
    dump.attribute("DW_AT_name", members[i]);
    dump.reference("DW_AT_type", types[i]);
    dump.attribute("DW_AT_data_member_location", offsets[i]);
  }
  // An array of the looping typedef.
  const unsigned array = dump.entry(1, "DW_TAG_array_type");
  dump.reference("DW_AT_type", t);
  dump.entry(2, "DW_TAG_subrange_type");
  dump.attribute("DW_AT_upper_bound", "3");

  variable(dump, 1, "looping", t, 0x20000000);
  variable(dump, 1, "selfQualified", self, 0x20000010);
  variable(dump, 1, "r", rAlias, 0x20000020);
  variable(dump, 1, "loops", array, 0x20000030);
  variable(dump, 1, "after", uint, 0x20000040);

  EXPECT_EQ(mapOf(dump.text()),
            crlfLines({"20000020H     SYMBOL  DATA  DWORD    r.x", "20000024H     SYMBOL  DATA  DWORD    r.y",
                       "20000040H     SYMBOL  DATA  DWORD    after"}));
}

TEST(ExpansionBounds, AStructureThatContainsItselfFarDownAChain) {
  // struct R { unsigned int x; T self; unsigned int y; }, where T is the
  // last of a ring of typedefs whose first names R, and the variable reaches
  // R through a chain of typedefs: the cycle closes as far down as the chain
  // is long, after the whole ring. Every shape gives the same map.
  for (const int lead : {0, 31, 32, 33, 100})
    for (const int ring : {1, 40}) {
      SCOPED_TRACE(std::to_string(lead) + " + " + std::to_string(ring));
      DumpWriter dump;
      const unsigned uint = unitWithUnsignedInt(dump);
      const auto typedefOf = [&dump](unsigned type) {
        const unsigned link = dump.entry(1, "DW_TAG_typedef");
        dump.attribute("DW_AT_name", "T");
        dump.reference("DW_AT_type", type);
        return link;
      };
      const unsigned r = dump.reserve();
      unsigned self = r;
      for (int i = 0; i < ring; ++i)
        self = typedefOf(self);
      dump.entryAt(1, "DW_TAG_structure_type", r);
      dump.attribute("DW_AT_byte_size", "8");
      const char *members[] = {"x", "self", "y"};
      const unsigned types[] = {uint, self, uint};
      const char *offsets[] = {"0", "4", "4"};
      for (int i = 0; i < 3; ++i) {
        dump.entry(2, "DW_TAG_member");
        dump.attribute("DW_AT_name", members[i]);
        dump.reference("DW_AT_type", types[i]);
        dump.attribute("DW_AT_data_member_location", offsets[i]);
      }
      unsigned type = r;
      for (int i = 0; i < lead; ++i)
        type = typedefOf(type);
      variable(dump, 1, "r", type, 0x20000020);

      EXPECT_EQ(mapOf(dump.text()), crlfLines({"20000020H     SYMBOL  DATA  DWORD    r.x",
                                               "20000024H     SYMBOL  DATA  DWORD    r.y"}));
    }
}

TEST(ExpansionBounds, TypedefAndQualifierChainsOf100000Links) {
  DumpWriter dump;
  const unsigned uint = unitWithUnsignedInt(dump);
  // Each link names the one before it; the first names the unsigned int.
  const auto chain = [&](int links, bool mixed) {
    unsigned type = uint;
    for (int i = 0; i < links; ++i) {
      const bool isVolatile = mixed && i % 2 == 1;
      const unsigned link = dump.entry(1, isVolatile ? "DW_TAG_volatile_type" : "DW_TAG_typedef");
      if (!isVolatile) dump.attribute("DW_AT_name", "t");
      dump.reference("DW_AT_type", type);
      type = link;
    }
    return type;
  };
  // 999 links put the unsigned int at step 1000, the last the expansion
  // takes; 100 000 links are far beyond it.
  const unsigned longest = chain(999, true);
  const unsigned typedefs = chain(100000, false);
  const unsigned mixed = chain(100000, true);
  const unsigned array = dump.entry(1, "DW_TAG_array_type");
  dump.reference("DW_AT_type", typedefs);
  dump.entry(2, "DW_TAG_subrange_type");
  dump.attribute("DW_AT_upper_bound", "3");

  variable(dump, 1, "longest", longest, 0x20000000);
  variable(dump, 1, "typedefs", typedefs, 0x20000010);
  variable(dump, 1, "mixed", mixed, 0x20000020);
  variable(dump, 1, "elements", array, 0x20000030);
  variable(dump, 1, "after", uint, 0x20000040);

  EXPECT_EQ(mapOf(dump.text()), crlfLines({"20000000H     SYMBOL  DATA  DWORD    longest",
                                           "20000040H     SYMBOL  DATA  DWORD    after"}));
}

} // namespace
