// Construction from a file: opening, line ends, the byte-order flag, a line
// of 16 MiB, parts read on several threads, and teardown.
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"
#include "reader/DumpParts.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#ifdef __linux__
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace Model;

/// A temporary file holding \p content; removed at the end of the test.
class TempFile {
public:
  explicit TempFile(const std::string &content) {
    std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '_'); // a parameterised test's name
    // The number tells apart the files of one test, the random part those of
    // other processes sharing the temporary folder.
    path_ = testing::TempDir() + "reader_" + test + "_" + std::to_string(counter_++) + "_" +
            std::to_string(std::random_device()()) + ".txt";
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
  EXPECT_FALSE(db.isLittleEndian());
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

/// \p utf8 (ASCII) in UTF-16 with a byte-order mark, as PowerShell 5 writes
/// it: little endian, and with \p crlf every line feed after a carriage
/// return; or big endian.
std::string inUtf16(const std::string &utf8, bool bigEndian, bool crlf) {
  std::string bytes = bigEndian ? "\xfe\xff" : "\xff\xfe";
  const auto unit = [&](char c) {
    bytes += bigEndian ? '\0' : c;
    bytes += bigEndian ? c : '\0';
  };
  for (const char c : utf8) {
    EXPECT_GE(static_cast<signed char>(c), 0) << "not ASCII";
    if (crlf && c == '\n') unit('\r');
    unit(c);
  }
  return bytes;
}

TEST(DwarfDatabase, DumpInUtf16ParsesLikeItsUtf8) {
  // A real dump as PowerShell 5 writes it (little endian, CR LF), in big
  // endian, and large enough to be parsed in parts; from a file and from a
  // text.
  const std::string path = TestDumps::demoDump("dwarf4-O0");
  REQUIRE_DUMP(path);
  const std::string dump = TestDumps::readFile(path);
  const std::string expected = TestDumps::describe(DwarfDatabase(path));
  ASSERT_NE(expected.find("file format line 1"), std::string::npos);
  std::string large;
  while (large.size() < 2 * DumpParts::kSmallestParted)
    large += dump;
  const std::string expectedLarge = TestDumps::describe(*TestDumps::parse(large));
  struct Case {
    const char *what;
    std::string bytes;
    const std::string &expected;
  };
  const Case cases[] = {
      {"PowerShell 5", inUtf16(dump, false, true), expected},
      {"big endian", inUtf16(dump, true, false), expected},
      {"in parts", inUtf16(large, false, true), expectedLarge},
  };
  for (const Case &c : cases) {
    TempFile file(c.bytes);
    DwarfDatabase fromFile(file.path());
    EXPECT_TRUE(fromFile.dumpReadWhole()) << c.what;
    EXPECT_EQ(TestDumps::describe(fromFile), c.expected) << c.what;
    EXPECT_EQ(TestDumps::describe(*TestDumps::parse(c.bytes)), c.expected) << c.what;
  }
  DwarfDatabase large16;
  large16.parseDumpText(cases[2].bytes);
  EXPECT_TRUE(large16.parsedInParts());
}

TEST(DwarfDatabase, FileStartingLikeAByteOrderMarkIsReadAsItIs) {
  // FF or FE followed by anything but the rest of a mark: the bytes as they
  // are, the first one included.
  for (const std::string start : {"\xff\n", "\xfe", "\xff\xff", "\xfe\xfe"}) {
    const std::string dump = start + kSmallDump;
    TempFile file(dump);
    DwarfDatabase fromFile(file.path());
    EXPECT_TRUE(fromFile.dumpReadWhole());
    EXPECT_EQ(TestDumps::describe(fromFile), TestDumps::describe(*TestDumps::parse(dump)));
    EXPECT_EQ(fromFile.locatedObjects.size(), 1u);
  }
  TempFile oneByte("\xff");
  DwarfDatabase fromFile(oneByte.path());
  EXPECT_TRUE(fromFile.dumpReadWhole());
  EXPECT_FALSE(fromFile.fileFormatSeen());
}

#ifdef __linux__
TEST(DwarfDatabase, DumpFromAPipeParsesLikeText) {
  // A pipe cannot go back to its start once the first bytes are read, and
  // has no size.
  const std::string path = TestDumps::demoDump("dwarf5-Os");
  REQUIRE_DUMP(path);
  const std::string dump = TestDumps::readFile(path);
  const std::string expected = TestDumps::describe(*TestDumps::parse(dump));
  const std::string fifo = testing::TempDir() + "reader_dump_fifo_" + std::to_string(getpid());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Two bytes that are no byte-order mark, before a line that would be an
  // entry header without them.
  const std::string notAMark = "\xff\xff <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n" + dump;
  ASSERT_EQ(TestDumps::describe(*TestDumps::parse(notAMark)), expected);
  ASSERT_NE(TestDumps::describe(*TestDumps::parse(notAMark.substr(2))), expected);
  for (const std::string &bytes : {dump, inUtf16(dump, false, true), notAMark}) {
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << bytes; });
    DwarfDatabase fromPipe(fifo);
    writer.join();
    EXPECT_TRUE(fromPipe.dumpReadWhole());
    EXPECT_EQ(TestDumps::describe(fromPipe), expected);
  }
  std::remove(fifo.c_str());
}
#endif

struct WholeDumpCase {
  const char *what;
  std::string dump;
  bool fileFormatSeen;
  std::size_t unreadUnits;
};

/// A unit as objdump 2.24 prints one of DWARF 5, and one it could read.
const std::string kUnitNotRead = "  Compilation Unit @ offset 0x1b2c:\n"
                                 "   Length:        0x8ba (32-bit)\n"
                                 "   Version:       5\n"
                                 "   Abbrev Offset: 0x6940401\n"
                                 "   Pointer Size:  0\n";
const std::string kUnitRead = "  Compilation Unit @ offset 0:\n"
                              "   Length:        0x3c (32-bit)\n"
                              "   Version:       4\n"
                              "   Abbrev Offset: 0\n"
                              "   Pointer Size:  4\n"
                              " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                              "    <c>   DW_AT_name        : a.c\n";
const std::string kFormatLine = "\nx.elf:     file format elf32-littlearm\n\n";
const std::string kInfoSection = "Contents of the .debug_info section:\n\n";
const std::string kAbbrevSection = "\nContents of the .debug_abbrev section:\n\n  Number TAG (0)\n";

const WholeDumpCase kWholeDumpCases[] = {
    {"empty", "", false, 0},
    {"no dump", "Hello\nthis is a text file: not a file format line\n", false, 0},
    {"format line only", kFormatLine, true, 0},
    {"format line of an archive member", "In archive libx.a:\n\ny.o:     file format elf32-bigarm\n", true,
     0},
    {"format line ended by CR only", "\rx.elf:     file format elf32-littlearm\r\r", false, 0},
    {"units read", kFormatLine + kInfoSection + kUnitRead + kUnitRead + kAbbrevSection, true, 0},
    {"unit not read between read ones",
     kFormatLine + kInfoSection + kUnitRead + kUnitNotRead + kUnitRead + kAbbrevSection, true, 1},
    {"units not read at the end", kFormatLine + kInfoSection + kUnitRead + kUnitNotRead + kUnitNotRead, true,
     2},
    {"unit not read before other sections", kFormatLine + kInfoSection + kUnitNotRead + kAbbrevSection, true,
     1},
    {"null entry only",
     kFormatLine + kUnitRead.substr(0, kUnitRead.find(" <0>")) + " <0><b>: Abbrev Number: 0\n", true, 1},
};

void PrintTo(const WholeDumpCase &c, std::ostream *os) { *os << c.what; }

class WholeDump : public testing::TestWithParam<WholeDumpCase> {};

TEST_P(WholeDump, TellsItsFileFormatLineAndTheUnitsNotRead) {
  const WholeDumpCase &c = GetParam();
  const auto database = TestDumps::parse(c.dump);
  EXPECT_EQ(database->fileFormatSeen(), c.fileFormatSeen);
  EXPECT_EQ(database->unreadUnits(), c.unreadUnits);
  TempFile file(c.dump);
  DwarfDatabase fromFile(file.path());
  EXPECT_EQ(fromFile.fileFormatSeen(), c.fileFormatSeen);
  EXPECT_EQ(fromFile.unreadUnits(), c.unreadUnits);
}

INSTANTIATE_TEST_SUITE_P(Dumps, WholeDump, testing::ValuesIn(kWholeDumpCases),
                         [](const testing::TestParamInfo<WholeDumpCase> &info) {
                           std::string name;
                           for (const char ch : std::string(info.param.what))
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

TEST(DwarfDatabase, RealDumpsOfOldObjdumpTellTheUnitsItCouldNotRead) {
  struct Case {
    const char *image;
    const char *version;
    std::size_t unreadUnits;
  };
  const Case cases[] = {
      {"demo-dwarf5-O0", "2.24", 15},   {"demo-dwarf4-O0", "2.24", 13},  {"demo-dwarf5-O0", "2.40", 0},
      {"demo-dwarf4-O0", "2.40", 0},    {"ecu_be-dwarf4-O0", "2.22", 0}, {"ecu_be-dwarf2-Os", "2.22", 0},
      {"gateway-dwarf5-Os", "2.46", 0},
  };
  for (const Case &c : cases) {
    const std::string path = TestDumps::objdumpVersionDump(c.image, c.version);
    DwarfDatabase database(path);
    ASSERT_TRUE(database.dumpReadWhole()) << path;
    EXPECT_TRUE(database.fileFormatSeen()) << path;
    EXPECT_EQ(database.unreadUnits(), c.unreadUnits) << path;
  }
}

TEST(DwarfDatabase, FileThatCannotBeHadWholeIsTold) {
  // A directory opens on Linux, but holds no dump.
  struct Case {
    const char *what;
    std::string path;
    bool opened;
    bool readWhole;
  };
  TempFile dump(kSmallDump);
  std::vector<Case> cases = {
      {"dump", dump.path(), true, true},
      {"missing", testing::TempDir() + "no_such_dump_file.txt", false, false},
      {"directory", testing::TempDir(), false, false},
  };
#ifdef __linux__
  // A read error at the first byte, for root too: a failing disk.
  cases.push_back({"read error", "/proc/self/mem", true, false});
  // Its size says 4096 bytes, it holds a few: a file that shrank after it
  // was opened.
  if (std::filesystem::file_size("/sys/devices/system/cpu/online") > 100)
    cases.push_back({"fewer bytes than its size", "/sys/devices/system/cpu/online", true, false});
#endif
  for (const Case &c : cases) {
    DwarfDatabase database(c.path);
    EXPECT_EQ(database.dumpOpened(), c.opened) << c.what;
    EXPECT_EQ(database.dumpReadWhole(), c.readWhole) << c.what;
  }
}

TEST(DwarfDatabase, DumpThatShrinksWhileItIsReadIsNotReadWhole) {
  // The size is taken when the file is opened; the file is then cut short
  // (another process truncates it), in one part and in eight on one, two
  // and five threads. Cut in the first part, in the middle and in the last.
  const std::string path = TestDumps::demoDump("dwarf4-O0");
  REQUIRE_DUMP(path);
  const std::string dump = TestDumps::readFile(path);
  for (const std::size_t keptBytes : {dump.size() / 20, dump.size() / 2, dump.size() - 1}) {
    for (const std::size_t parts : {std::size_t{1}, std::size_t{8}}) {
      for (const unsigned threads : {1u, 2u, 5u}) {
        if (parts == 1 && threads > 1) continue;
        TempFile file(dump);
        std::FILE *opened = std::fopen(file.path().c_str(), "rb");
        ASSERT_NE(opened, nullptr);
        std::filesystem::resize_file(file.path(), keptBytes);
        DwarfDatabase database;
        DwarfDatabase::LineParser parser(database);
        const DumpParts::Outcome outcome =
            DumpParts::parseFile(database, parser, opened, file.path(), dump.size(), parts, threads);
        std::fclose(opened);
        EXPECT_FALSE(outcome.readToEnd)
            << keptBytes << " bytes kept, " << parts << " parts, " << threads << " threads";
      }
    }
  }
}

TEST(DwarfDatabase, FileFormatEndingInLittleSetsTheByteOrderFlagOfItsDump) {
  EXPECT_FALSE(TestDumps::parse("x.elf:     file format elf32-littlearm\n")->isLittleEndian());
  EXPECT_TRUE(TestDumps::parse("x.elf:     file format elf32-little\n")->isLittleEndian());
  // Each dump decides for itself: what a dump parsed before showed stays
  // with that dump.
  EXPECT_FALSE(TestDumps::parse("x.elf:     file format elf32-bigarm\n")->isLittleEndian());
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
