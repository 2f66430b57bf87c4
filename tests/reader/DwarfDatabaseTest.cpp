// Construction from a file: opening, line ends, the byte-order flag, a line
// of 16 MiB, parts read on several threads, and teardown.
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"
#include "reader/DumpParts.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <typeinfo>

namespace {

using namespace Model;

/// A temporary file holding \p content; removed at the end of the test.
class TempFile {
public:
  explicit TempFile(const std::string &content) {
    path_ = testing::TempDir() + "reader_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
            "_" + std::to_string(counter_++) + ".txt";
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string &path() const { return path_; }

private:
  static inline int counter_ = 0;
  std::string path_;
};

const char *const kSmallDump = "\n"
                               "x.elf:     file format elf32-littlearm\n"
                               "\n"
                               "   Pointer Size:  4\n"
                               " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                               "    <c>   DW_AT_name        : main.c\n"
                               " <1><d>: Abbrev Number: 2 (DW_TAG_variable)\n"
                               "    <e>   DW_AT_name        : counter\n"
                               "    <f>   DW_AT_type        : <0x20>\n"
                               "    <10>   DW_AT_location    : 5 byte block: 3 0 4 0 0 \t(DW_OP_addr: 400)\n"
                               " <1><20>: Abbrev Number: 3 (DW_TAG_base_type)\n"
                               "    <21>   DW_AT_byte_size   : 4\n";

TEST(DwarfDatabase, MissingFileGivesAnEmptyDatabase) {
  DwarfDatabase db(testing::TempDir() + "no_such_dump_file.txt");
  EXPECT_FALSE(db.dumpOpened());
  EXPECT_EQ(db.root, nullptr);
  EXPECT_TRUE(db.objectsByOffset.empty());
  EXPECT_TRUE(db.locatedObjects.empty());
  EXPECT_TRUE(db.statementListsByOffset.empty());
}

TEST(DwarfDatabase, EmptyFileGivesOnlyTheRoot) {
  TempFile file("");
  DwarfDatabase db(file.path());
  EXPECT_TRUE(db.dumpOpened());
  ASSERT_NE(db.root, nullptr);
  EXPECT_EQ(db.root->offset, 0u);
  EXPECT_TRUE(db.root->children.empty());
  EXPECT_TRUE(db.objectsByOffset.empty());
  EXPECT_FALSE(DwarfDatabase::isLittleEndian());
}

TEST(DwarfDatabase, FileParsesLikeText) {
  TempFile file(kSmallDump);
  DwarfDatabase fromFile(file.path());
  const auto fromText = TestDumps::parse(kSmallDump);
  EXPECT_EQ(TestDumps::describe(fromFile), TestDumps::describe(*fromText));
  ASSERT_EQ(fromFile.locatedObjects.size(), 1u);
  EXPECT_EQ(fromFile.locatedObjects[0]->name, "counter");
  EXPECT_EQ(fromFile.locatedObjects[0]->getSize(), 4u);
}

TEST(DwarfDatabase, LineEndsDoNotMatter) {
  std::string dump = kSmallDump;
  std::string crlf;
  for (const char c : dump)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::string noFinalFeed = dump.substr(0, dump.size() - 1);
  TempFile lf(dump), windows(crlf), last(noFinalFeed);
  const std::string expected = TestDumps::describe(DwarfDatabase(lf.path()));
  EXPECT_EQ(TestDumps::describe(DwarfDatabase(windows.path())), expected);
  EXPECT_EQ(TestDumps::describe(DwarfDatabase(last.path())),
            expected); // the byte size on the last line counts
}

TEST(DwarfDatabase, RealDumpWithWindowsLineEnds) {
  const std::string path = TestDumps::demoDump("dwarf5-Os");
  REQUIRE_DUMP(path);
  std::string crlf;
  for (const char c : TestDumps::readFile(path))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TempFile windows(crlf);
  const std::string expected = TestDumps::describe(DwarfDatabase(path));
  EXPECT_EQ(TestDumps::describe(DwarfDatabase(windows.path())), expected);
  EXPECT_GT(expected.size(), 10000u);
}

TEST(DwarfDatabase, LargeFileParsesLikeText) {
  // Many chunks of the file reader, and line ends across their borders. Real
  // dumps of every DWARF version, one after the other (offsets repeat, the
  // first object of an offset stays), with CR LF in one copy and no line
  // feed at the very end.
  std::string dump;
  for (int copy = 0; dump.size() < (std::size_t{17} << 20); ++copy)
    for (const char *variant : {"dwarf2-O0", "dwarf4-Os", "dwarf5-O0"}) {
      const std::string path = TestDumps::demoDump(variant);
      REQUIRE_DUMP(path);
      const std::string text = TestDumps::readFile(path);
      if (copy == 1)
        for (const char c : text)
          dump += c == '\n' ? std::string("\r\n") : std::string(1, c);
      else
        dump += text;
    }
  dump.pop_back();
  TempFile file(dump);
  DwarfDatabase fromFile(file.path());
  EXPECT_TRUE(fromFile.parsedInParts());
  DwarfDatabase fromText;
  EXPECT_FALSE(fromText.parseDumpTextInParts(dump, {}));
  const std::string expected = TestDumps::describe(fromText);
  EXPECT_EQ(TestDumps::describe(fromFile), expected);
  EXPECT_GT(fromFile.locatedObjects.size(), 100u);
}

TEST(DwarfDatabase, FileInPartsOnMoreThreadsThanTwoParsesLikeText) {
  // Each thread past the second opens the dump once more and reads the
  // parts it takes through that file. Eight parts on one, two and five
  // threads, as machines with more cores run it.
  const std::string path = TestDumps::demoDump("dwarf4-O0");
  REQUIRE_DUMP(path);
  const std::string dump = TestDumps::readFile(path);
  TempFile file(dump);
  const auto parsed = [](DwarfDatabase &database, auto parse) {
    DwarfDatabase::LineParser parser(database);
    const DumpParts::Outcome outcome = parse(parser);
    EXPECT_TRUE(outcome.readToEnd);
    return outcome.inParts;
  };
  DwarfDatabase fromText;
  EXPECT_FALSE(parsed(fromText, [&](DwarfDatabase::LineParser &parser) {
    return DumpParts::parseText(fromText, parser, dump, {});
  }));
  const std::string expected = TestDumps::describe(fromText);
  for (const unsigned threads : {1u, 2u, 5u}) {
    DwarfDatabase fromFile;
    std::FILE *opened = std::fopen(file.path().c_str(), "rb");
    ASSERT_NE(opened, nullptr);
    const bool inParts = parsed(fromFile, [&](DwarfDatabase::LineParser &parser) {
      return DumpParts::parseFile(fromFile, parser, opened, file.path(), dump.size(), 8, threads);
    });
    std::fclose(opened);
    // One thread reads the parts one after the other, as one pass.
    EXPECT_EQ(inParts, threads > 1) << threads << " threads";
    EXPECT_EQ(TestDumps::describe(fromFile), expected) << threads << " threads";
  }
}

TEST(DwarfDatabase, FileFormatEndingInLittleSetsTheByteOrderFlag) {
  TestDumps::parse("x.elf:     file format elf32-littlearm\n");
  EXPECT_FALSE(DwarfDatabase::isLittleEndian());
  TestDumps::parse("x.elf:     file format elf32-little\n");
  EXPECT_TRUE(DwarfDatabase::isLittleEndian());
  TestDumps::parse("x.elf:     file format elf32-bigarm\n");
  EXPECT_TRUE(DwarfDatabase::isLittleEndian()); // never cleared
}

TEST(DwarfDatabase, LinesOf16MiB) {
  const std::string huge(std::size_t{16} << 20, 'q');
  const std::string dump = " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                           "    <c>   DW_AT_producer    : " +
                           huge + "\n" + huge + "\t" + huge + "\n" +
                           " <1><d>: Abbrev Number: 2 (DW_TAG_variable)\n" +
                           "    <e>   DW_AT_name        : " + huge + "\n" +
                           "    <f>   DW_AT_location    : 5 byte block: \t(DW_OP_addr: 400)\n";
  TempFile file(dump);
  DwarfDatabase db(file.path());
  ASSERT_EQ(db.locatedObjects.size(), 1u);
  EXPECT_EQ(db.locatedObjects[0]->name.size(), huge.size());
}

TEST(DwarfDatabase, SecondParseStartsAfresh) {
  DwarfDatabase db;
  db.parseDumpText(kSmallDump);
  db.parseDumpText(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n");
  EXPECT_EQ(db.objectsByOffset.size(), 1u);
  EXPECT_TRUE(db.locatedObjects.empty());
  EXPECT_TRUE(db.variables.empty());
}

} // namespace
