// writeSymbolFiles end to end on dumps that objdump 2.40 wrote for small
// programs arm-none-eabi-gcc compiled (tests/data/output, sources beside
// them): dump in, file bytes out.
#include "output/SymbolFiles.h"
#include "output/CanapeDatabase.h"
#include "output/M51Map.h"
#include "output/SymbolExpansion.h"
#include "output/TypeClassification.h"
#include "reader/DumpParts.h"
#include "tests/output/OutputTestSupport.h"
#include "tests/output/SymbolTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

using namespace OutputTest;

namespace {

std::string dataDump(const std::string &name) {
  return readFile(std::string(QUILLMAP_TEST_DATA_DIR) + "/output/" + name);
}

/// The first \p count lines of \p text (each ended by a line feed).
std::string firstLines(const std::string &text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < count; ++i) {
    end = text.find('\n', end);
    if (end == std::string::npos) return text;
    ++end;
  }
  return text.substr(0, end);
}

std::string nameField(const std::string &canapeName) {
  std::string field = "'" + canapeName + "'  ";
  field.resize(std::max<std::size_t>(field.size(), 100), ' ');
  return field;
}

const std::string kHeader =
    "VERSION 104 COMMENT \"CANAPE DB\"\r\nGROUP 'QX_Signals' : \"\"\r\n['QX_Signals']\r\n";

class SymbolFilesTest : public testing::Test {
protected:
  /// Runs the pass over \p dump; keeps its result and the console, and
  /// returns whether the files are complete.
  bool write(const std::string &dump, const std::string &m51Name = "app_Vrx.m51",
             const std::string &canapeName = "app_CANape.db") {
    database = parseDump(dump);
    m51 = directory.file(m51Name);
    canape = canapeName.empty() ? std::string() : directory.file(canapeName);
    testing::internal::CaptureStdout();
    result = writeSymbolFiles(m51, canape, *database, {});
    console = testing::internal::GetCapturedStdout();
    // The pass only reports; the driver tells the user.
    EXPECT_EQ(console, "");
    return result.complete();
  }
  std::string log() const { return m51 + "_StyleWarnings.log"; }

  ScratchDirectory directory;
  std::unique_ptr<DwarfDatabase> database;
  std::string m51;
  std::string canape;
  std::string console;
  SymbolFilesResult result;
};

// The files of golden.c, statics.c, drive.cpp and removed.c are worked
// examples in tests/data/golden.

TEST_F(SymbolFilesTest, VariablesTheLinkerRemovedAreCounted) {
  // removed.c: spare_trim and recalibrate@calls are at address 0 and left
  // out (the log: tests/data/golden/variables-the-linker-removed.golden).
  for (const char *dump : {"removed-dwarf4.txt", "removed-dwarf5.txt"}) {
    ASSERT_TRUE(write(dataDump(dump))) << dump;
    EXPECT_EQ(result.variablesAtAddressZero, 2u) << dump;
  }
}

TEST_F(SymbolFilesTest, LeafShapesOfASmallController) {
  // shapes.c: arrays, a structure with an unnamed union, an array of
  // structures, pointers, a const structure (left out), 8-byte leaves and
  // bit fields of 32 and 64 bits.
  ASSERT_TRUE(write(dataDump("shapes-dwarf4.txt")));
  std::vector<std::string> lines = {
      "20000000H     SYMBOL  DATA  WORD     buf_00", "20000002H     SYMBOL  DATA  WORD     buf_01",
      "20000004H     SYMBOL  DATA  WORD     buf_02", "20000006H     SYMBOL  DATA  WORD     buf_03",
      "20000008H     SYMBOL  DATA  WORD     buf_04", "2000000aH     SYMBOL  DATA  WORD     buf_05",
      "2000000cH     SYMBOL  DATA  WORD     buf_06", "2000000eH     SYMBOL  DATA  WORD     buf_07",
      "20000010H     SYMBOL  DATA  WORD     buf_08", "20000012H     SYMBOL  DATA  WORD     buf_09",
  };
  const std::string all32 = "012345678910111213141516171819202122232425262728293031";
  std::string all64 = all32;
  for (int bit = 32; bit < 64; ++bit)
    all64 += std::to_string(bit);
  for (const std::string line : {
           "20000014H     SYMBOL  DATA  INT32    m_00",
           "20000018H     SYMBOL  DATA  INT32    m_01",
           "2000001cH     SYMBOL  DATA  INT32    m_02",
           "20000044H     SYMBOL  DATA  BYTE     channel.mode",
           "20000048H     SYMBOL  DATA  DWORD    channel..x",
           "20000048H     SYMBOL  DATA  DWORD    channel..y",
           "2000004cH     SYMBOL  DATA  WORD     channel.samples_00.raw",
           "2000004eH     SYMBOL  DATA  INT8     channel.samples_00.offset",
           "20000050H     SYMBOL  DATA  WORD     channel.samples_01.raw",
           "20000052H     SYMBOL  DATA  INT8     channel.samples_01.offset",
           "20000054H     SYMBOL  DATA  DWORD    channel.source",
           "20000058H     SYMBOL  DATA  DWORD    channel.handler",
           "20000060H     SYMBOL  DATA  INT64    ticks",
           "20000068H     SYMBOL  DATA  BYTE     ready",
           "20000070H     SYMBOL  DATA  QWORD    ratio",
       })
    lines.push_back(line);
  lines.push_back("20000078H     SYMBOL  DATA  DWORD    limits.full_Bits:" + all32);
  lines.push_back("2000007cH     SYMBOL  DATA  INT32    limits.sfull_Bits:" + all32);
  lines.push_back("20000080H     SYMBOL  DATA  QWORD    limits.wide_Bits:" + all64);
  EXPECT_EQ(readFile(m51), crlfLines(lines));

  // The 8-byte rows keep the 32-bit limits; the wide bit fields do not.
  const std::string db = readFile(canape);
  const auto rowOf = [&](const std::string &canapeName) {
    const std::size_t at = db.find("VARIABLE 0x0 " + nameField(canapeName));
    if (at == std::string::npos) return std::string("missing");
    const std::size_t rowStart = at + 13 + nameField(canapeName).size() + 10;
    return db.substr(rowStart, db.find("\r\n", at) - rowStart);
  };
  EXPECT_EQ(rowOf("ticks"),
            "    \"\" INT(64)    \"\" 0 -2147483648         2147483647          CHARACTERISTIC       "
            "WEAK_LIMITS -2147483648          2147483647");
  EXPECT_EQ(rowOf("ratio"),
            "    \"\" UINT(64)   \"\" 0 0                   4294967295          CHARACTERISTIC       "
            "WEAK_LIMITS 0                    4294967295");
  EXPECT_EQ(rowOf("limits.full_Bits_" + all32),
            "    \"\" UINT(32,0) \"\" 0 0           4294967295 (0  4294967295)"
            "            CHARACTERISTIC  WEAK_LIMITS 0                   "
            "4294967295");
  EXPECT_EQ(
      rowOf("limits.sfull_Bits_" + all32),
      "    \"\" UINT(32,0) \"\" 0 -2147483648           2147483647 (-2147483648  2147483647)            "
      "CHARACTERISTIC  WEAK_LIMITS -2147483648                   2147483647");
  EXPECT_EQ(
      rowOf("limits.wide_Bits_" + all64),
      "    \"\" UINT(64,0) \"\" 0 0           18446744073709551615 (0  18446744073709551615)            "
      "CHARACTERISTIC  WEAK_LIMITS 0                   18446744073709551615");
}

TEST_F(SymbolFilesTest, FilesOfThousandsOfLeavesSpanManyChunks) {
  // chunks.c: 3000 structures of bit fields, a 16-byte complex and scalars,
  // 15 001 leaves. The files are made in pieces while they are written; each
  // line must still be that of its own leaf, bytes across the pieces intact.
  ASSERT_TRUE(write(dataDump("chunks-dwarf4.txt")));
  EXPECT_EQ(console, "");

  std::string expectedM51;
  std::string expectedCanape;
  appendCanapeHeader(expectedCanape);
  std::size_t leafCount = 0;
  for (const SymbolRecord &leaf : collectLeafSymbols(*database)) {
    const LeafClassification c = classifyLeaf(leaf, database->isLittleEndian());
    appendM51Line(expectedM51, leaf.address, c);
    appendCanapeLine(expectedCanape, leaf.address, c);
    ++leafCount;
  }
  EXPECT_EQ(leafCount, 15001u);
  EXPECT_GT(expectedCanape.size(), std::size_t{3} << 20);
  // Compared as booleans: a failure would otherwise print megabytes.
  EXPECT_TRUE(readFile(m51) == expectedM51);
  EXPECT_TRUE(readFile(canape) == expectedCanape);

  // The last element, at 2999 * 32 bytes from 0x20000000, and the variable
  // after the array.
  const std::string map = readFile(m51);
  const std::string tail = crlfLines({
      "200176e0H     SYMBOL  DATA  DWORD    cells_02999.ready_Bit:31",
      "200176e0H     SYMBOL  DATA  INT32    cells_02999.level_Bits:2627282930",
      "200176e2H     SYMBOL  DATA  WORD     cells_02999.count",
      "200176e8H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_16    cells_02999.phase",
      "200176f8H     SYMBOL  DATA  INT8     cells_02999.trim",
      "20017700H     SYMBOL  DATA  QWORD    total",
  });
  ASSERT_GT(map.size(), tail.size());
  EXPECT_EQ(map.substr(map.size() - tail.size()), tail);
}

TEST_F(SymbolFilesTest, NoLocatedVariables) {
  ASSERT_TRUE(write(""));
  EXPECT_TRUE(std::filesystem::exists(m51));
  EXPECT_EQ(readFile(m51), "");
  EXPECT_EQ(readFile(canape), kHeader);
  EXPECT_FALSE(std::filesystem::exists(log()));
}

TEST_F(SymbolFilesTest, ExistingFilesAreEmptiedAndAnOldLogIsLeftAlone) {
  ASSERT_TRUE(write(dataDump("golden-dwarf4.txt")));
  const std::string fresh = readFile(m51);
  std::ofstream(m51, std::ios::binary) << std::string(5000, '#');
  std::ofstream(log(), std::ios::binary) << "earlier run\r\n";
  ASSERT_TRUE(write(dataDump("golden-dwarf4.txt")));
  EXPECT_EQ(readFile(m51), fresh);
  EXPECT_EQ(readFile(log()), "earlier run\r\n");
}

TEST_F(SymbolFilesTest, EmptyCanapeNameWritesNoCanapeFile) {
  ASSERT_TRUE(write(dataDump("golden-dwarf4.txt"), "app_Vrx.m51", ""));
  EXPECT_EQ(console, "");
  EXPECT_FALSE(std::filesystem::exists(directory.file("app_CANape.db")));
  EXPECT_NE(readFile(m51), "");
}

TEST_F(SymbolFilesTest, FilesThatCannotBeCreatedAreReportedAndTheOthersStillWritten) {
  EXPECT_FALSE(write(dataDump("statics-dwarf4.txt"), "missing/app_Vrx.m51"));
  EXPECT_EQ(result.failedFiles, (std::vector<std::string>{m51, m51 + "_StyleWarnings.log"}));
  EXPECT_EQ(readFile(canape).substr(0, kHeader.size()), kHeader);
  EXPECT_NE(readFile(canape).find("'count'  "), std::string::npos);
}

TEST_F(SymbolFilesTest, EveryFileFailingGivesOneLineEach) {
  EXPECT_FALSE(write(dataDump("statics-dwarf4.txt"), "missing/app_Vrx.m51", "missing/app_CANape.db"));
  EXPECT_EQ(result.failedFiles, (std::vector<std::string>{m51, m51 + "_StyleWarnings.log", canape}));
}

TEST_F(SymbolFilesTest, AFileThatCannotBeWrittenInFullIsReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  database = parseDump(dataDump("golden-dwarf4.txt"));
  m51 = directory.file("app_Vrx.m51");
  result = writeSymbolFiles(m51, "/dev/full", *database, {});
  EXPECT_FALSE(result.complete());
  EXPECT_EQ(result.failedFiles, std::vector<std::string>{"/dev/full"});
  EXPECT_NE(readFile(m51), "");
}

TEST_F(SymbolFilesTest, LeafCapCutsTheListAndConstPiecesGoNowhere) {
  // cap.c with the bound of its const table raised to 16777216: the table
  // fills the leaf list to the cap; its elements are const and go into no
  // file, and `after` is never reached.
  EXPECT_FALSE(write(dataDump("cap-dwarf4.txt")));
  EXPECT_TRUE(result.leavesCut);
  EXPECT_EQ(result.leafCap, 16777216u);
  EXPECT_TRUE(result.failedFiles.empty());
  EXPECT_EQ(readFile(m51), "20000000H     SYMBOL  DATA  BYTE     first\r\n");
  EXPECT_EQ(readFile(canape).substr(kHeader.size(), 22), "VARIABLE 0x0 'first'  ");
  EXPECT_FALSE(std::filesystem::exists(log()));
}

TEST(SymbolFilesLeafCap, ExactlyTheCapIsCompleteOneLeafMoreIsCut) {
  // golden.c has six leaves: a cap of six holds them all, a cap of five
  // cuts the list before tick@count.
  const std::unique_ptr<DwarfDatabase> database = parseDump(dataDump("golden-dwarf4.txt"));
  SymbolTexts whole;
  const SymbolFilesResult atCap = makeSymbolTexts(*database, whole, 6);
  EXPECT_TRUE(atCap.complete());
  EXPECT_FALSE(atCap.leavesCut);
  SymbolTexts unlimited;
  makeSymbolTexts(*database, unlimited);
  EXPECT_EQ(whole.m51, unlimited.m51);
  EXPECT_EQ(whole.canape, unlimited.canape);

  SymbolTexts cut;
  const SymbolFilesResult belowCap = makeSymbolTexts(*database, cut, 5);
  EXPECT_FALSE(belowCap.complete());
  EXPECT_TRUE(belowCap.leavesCut);
  EXPECT_EQ(belowCap.leafCap, 5u);
  EXPECT_EQ(cut.m51, firstLines(unlimited.m51, 5));
  EXPECT_EQ(cut.m51.find("tick@count"), std::string::npos);
}

} // namespace

namespace {

/// A run frees the offset index and the per-kind lists before it writes;
/// the files must come out the same without them.
class WithoutLinkIndexes : public testing::TestWithParam<const char *> {};

TEST_P(WithoutLinkIndexes, TheFilesAreTheSame) {
  const std::unique_ptr<DwarfDatabase> database = parseDump(dataDump(GetParam()));
  SymbolTexts before;
  makeSymbolTexts(*database, before);
  ASSERT_FALSE(before.m51.empty());

  database->releaseLinkIndexes();
  EXPECT_TRUE(database->objectsByOffset.empty());
  EXPECT_TRUE(database->members.empty());
  EXPECT_TRUE(database->variables.empty());
  EXPECT_FALSE(database->locatedObjects.empty());
  SymbolTexts after;
  makeSymbolTexts(*database, after);
  EXPECT_EQ(after.m51, before.m51);
  EXPECT_EQ(after.canape, before.canape);
  EXPECT_EQ(after.styleWarnings, before.styleWarnings);
}

INSTANTIATE_TEST_SUITE_P(RealDumps, WithoutLinkIndexes,
                         testing::Values("golden-dwarf4.txt", "drive-dwarf4.txt", "drive-dwarf5.txt",
                                         "shapes-dwarf4.txt"));

} // namespace

namespace {

/// A large dump is parsed in parts; wherever two of them meet, the
/// files must hold the bytes of a single pass.
class TwoPartParse : public testing::TestWithParam<const char *> {};

TEST_P(TwoPartParse, WritesTheFilesOfOnePassWhereverThePartsMeet) {
  const std::string dump = dataDump(GetParam());
  ASSERT_FALSE(dump.empty());
  DwarfDatabase onePart;
  onePart.parseDumpTextInParts(dump, {});
  SymbolTexts expected;
  makeSymbolTexts(onePart, expected);
  ASSERT_FALSE(expected.m51.empty());
  int splits = 0;
  for (std::size_t from = 0;;) {
    const std::size_t at = DumpParts::partStartIn(std::string_view(dump).substr(from));
    if (at == std::string_view::npos) break;
    from += at;
    DwarfDatabase twoParts;
    EXPECT_TRUE(twoParts.parseDumpTextInParts(dump, {from})) << "at " << from;
    SymbolTexts texts;
    makeSymbolTexts(twoParts, texts);
    EXPECT_EQ(texts.m51, expected.m51) << "at " << from;
    EXPECT_EQ(texts.canape, expected.canape) << "at " << from;
    EXPECT_EQ(texts.styleWarnings, expected.styleWarnings) << "at " << from;
    ++splits;
  }
  EXPECT_GE(splits, 2); // the units, then the sections after them
}

INSTANTIATE_TEST_SUITE_P(RealDumps, TwoPartParse,
                         testing::Values("golden-dwarf4.txt", "drive-dwarf4.txt", "drive-dwarf5.txt",
                                         "shapes-dwarf4.txt", "statics-dwarf4.txt", "chunks-dwarf4.txt"));

} // namespace

namespace {

/// Takes the texts of a pass, runs out of memory on one file, and notes which
/// files are put in place.
class FailingSink final : public SymbolFileSink {
public:
  explicit FailingSink(std::optional<SymbolFile> failing) : failing_(failing) {}

  bool store(SymbolFile which, ChunkedText &text) override {
    if (which == failing_) throw std::bad_alloc();
    std::string chunk;
    while (text.nextChunk(chunk)) {
    }
    return true;
  }
  bool commit(SymbolFile which) override {
    committed.push_back(which);
    return true;
  }
  std::string nameOf(SymbolFile) const override { return {}; }

  std::vector<SymbolFile> committed;

private:
  std::optional<SymbolFile> failing_;
};

struct CommitCase {
  const char *name;
  const char *dump;
  std::optional<SymbolFile> failing;
  std::vector<SymbolFile> committed;
};

const CommitCase kCommitCases[] = {
    // Three statics of one name: the log is made after the map.
    {"NoFailure",
     "statics-dwarf4.txt",
     std::nullopt,
     {SymbolFile::M51, SymbolFile::StyleWarnings, SymbolFile::Canape}},
    {"LogFails", "statics-dwarf4.txt", SymbolFile::StyleWarnings, {}},
    // The CANape database is made on a thread of its own.
    {"CanapeFailsOnItsThread", "chunks-dwarf4.txt", SymbolFile::Canape, {}},
};

void PrintTo(const CommitCase &c, std::ostream *os) { *os << c.name; }

class SymbolFilesCommitTest : public testing::TestWithParam<CommitCase> {};

TEST_P(SymbolFilesCommitTest, FilesGoIntoPlaceOnlyWhenThePassGotThrough) {
  const CommitCase &c = GetParam();
  const std::unique_ptr<DwarfDatabase> database = parseDump(dataDump(c.dump));
  FailingSink sink(c.failing);
  if (c.failing) {
    EXPECT_THROW(produceSymbolFiles(*database, true, sink), std::bad_alloc);
  } else {
    EXPECT_TRUE(produceSymbolFiles(*database, true, sink).complete());
  }
  EXPECT_EQ(sink.committed, c.committed);
}

INSTANTIATE_TEST_SUITE_P(Passes, SymbolFilesCommitTest, testing::ValuesIn(kCommitCases));

} // namespace
