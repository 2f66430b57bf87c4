// A dump parsed from a stream as its writer goes on: the blocks may cut
// lines anywhere, and a stream that did not end whole leaves the database
// unlinked and says so.
#include "reader/DumpStream.h"
#include "TestDumps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

/// Hands out \p text in blocks of the sizes \p blocks, taken in turn, as a
/// pipe hands out what its writer wrote; finish() says \p whole.
class TextStream : public DumpStream {
public:
  TextStream(std::string text, std::vector<std::size_t> blocks, bool whole = true)
      : text_(std::move(text)), blocks_(std::move(blocks)), whole_(whole) {}

  std::size_t read(char *buffer, std::size_t size) override {
    EXPECT_EQ(finishes, 0) << "read after finish()";
    const std::size_t block = blocks_[reads_++ % blocks_.size()];
    const std::size_t count = std::min({size, block, text_.size() - at_});
    std::memcpy(buffer, text_.data() + at_, count);
    at_ += count;
    return count;
  }
  bool finish() override {
    ++finishes;
    EXPECT_EQ(at_, text_.size()) << "finish() before the end";
    return whole_;
  }

  int finishes = 0;

private:
  std::string text_;
  std::vector<std::size_t> blocks_;
  bool whole_;
  std::size_t at_ = 0;
  std::size_t reads_ = 0;
};

struct BlockCase {
  const char *name;
  std::vector<std::size_t> blocks;
};

const BlockCase kBlockCases[] = {
    {"OneByte", {1}},
    {"PipeSized", {4096, 65536}},
    {"Ragged", {7, 1, 4093, 65535, 3, 70000}},
};

class StreamOfRealDump : public testing::TestWithParam<std::tuple<std::string, BlockCase>> {};

TEST_P(StreamOfRealDump, GivesTheDatabaseOfTheFile) {
  const std::string path = TestDumps::demoDump(std::get<0>(GetParam()));
  REQUIRE_DUMP(path);
  const std::string text = TestDumps::readFile(path);
  const std::vector<std::size_t> &blocks = std::get<1>(GetParam()).blocks;
  // A byte a read cannot cut needs no test of one byte at a time on every dump.
  if (blocks.size() == 1 && blocks[0] == 1 && text.size() > (std::size_t{4} << 20)) GTEST_SKIP();
  TextStream stream(text, blocks);
  const DwarfDatabase streamed(stream);
  const DwarfDatabase fromFile(path);

  EXPECT_EQ(stream.finishes, 1);
  EXPECT_TRUE(streamed.dumpReadWhole());
  EXPECT_TRUE(streamed.fileFormatSeen());
  EXPECT_EQ(TestDumps::describe(streamed), TestDumps::describe(fromFile));
}

INSTANTIATE_TEST_SUITE_P(AllVariants, StreamOfRealDump,
                         testing::Combine(testing::ValuesIn(TestDumps::firmwareVariants()),
                                          testing::ValuesIn(kBlockCases)),
                         [](const auto &info) {
                           std::string name = std::get<0>(info.param) + "_" + std::get<1>(info.param).name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(DumpStream, LineLongerThanAReadIsOneLine) {
  // A name of 200 000 characters arrives in reads of 4 KiB.
  const std::string name(200000, 'n');
  const std::string dump = "\nx.elf:     file format elf32-littlearm\n\n"
                           "Contents of the .debug_info section:\n\n"
                           "  Compilation Unit @ offset 0:\n"
                           "   Pointer Size:  4\n"
                           " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                           "    <c>   DW_AT_name        : " +
                           name + "\n";
  TextStream stream(dump, {4096});
  const DwarfDatabase streamed(stream);
  ASSERT_TRUE(streamed.dumpReadWhole());
  EXPECT_EQ(TestDumps::describe(streamed), TestDumps::describe(*TestDumps::parse(dump)));
  EXPECT_EQ(TestDumps::objectsNamed(streamed, name).size(), 1u);
}

TEST(DumpStream, StreamNotWholeIsSaidAndFinishedOnce) {
  const std::string dump = "\nx.elf:     file format elf32-littlearm\n";
  TextStream stream(dump, {5}, false);
  const DwarfDatabase streamed(stream);
  EXPECT_EQ(stream.finishes, 1);
  EXPECT_TRUE(streamed.dumpOpened());
  EXPECT_FALSE(streamed.dumpReadWhole());
}

} // namespace
