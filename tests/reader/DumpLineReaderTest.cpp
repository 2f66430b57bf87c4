#include "reader/DumpLineReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> linesOfText(std::string_view text) {
  DumpLineReader reader(text);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line))
    lines.emplace_back(line);
  return lines;
}

std::vector<std::string> linesOfFile(const std::string &content, std::size_t chunkSize) {
  std::FILE *file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  std::fwrite(content.data(), 1, content.size(), file);
  std::rewind(file);
  DumpLineReader reader(file, chunkSize);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line))
    lines.emplace_back(line);
  std::fclose(file);
  return lines;
}

using Lines = std::vector<std::string>;

struct SplitCase {
  std::string text;
  Lines lines;
};

const std::vector<SplitCase> kSplitCases = {
    {"", {}},
    {"\n", {""}},
    {"a", {"a"}},
    {"a\n", {"a"}},
    {"a\nb", {"a", "b"}},           // a last line without line feed
    {"a\r\nb\r\n", {"a", "b"}},     // CRLF
    {"a\r\n\r\nb", {"a", "", "b"}}, // an empty CRLF line
    {"a\rb\n", {"a\rb"}},           // a lone CR belongs to the line
    {"a\r\r\n", {"a\r"}},           // only the CR before the LF goes
    {"a\r", {"a\r"}},               // no LF: the CR stays
    {"\n\n\n", {"", "", ""}},
    {" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\r\n    <c>   DW_AT_name        : main.c\n",
     {" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)", "    <c>   DW_AT_name        : main.c"}},
};

TEST(DumpLineReader, SplitsTextAtLineFeeds) {
  for (const SplitCase &c : kSplitCases)
    EXPECT_EQ(linesOfText(c.text), c.lines) << c.text;
}

TEST(DumpLineReader, SplitsAFileTheSameWhateverTheChunkSize) {
  // Tiny chunks put every line end, and every CR/LF pair, across a chunk
  // boundary somewhere.
  for (const SplitCase &c : kSplitCases)
    for (std::size_t chunk : {1, 2, 3, 5, 8, 64, 4096})
      EXPECT_EQ(linesOfFile(c.text, chunk), c.lines) << c.text << " chunk " << chunk;
}

TEST(DumpLineReader, ALineOf16MiBGrowsTheBuffer) {
  const std::string longLine(std::size_t{16} << 20, 'x');
  const std::string content = "first\n" + longLine + "\r\nlast";
  const Lines lines = linesOfFile(content, DumpLineReader::kChunkSize);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "first");
  EXPECT_EQ(lines[1].size(), longLine.size());
  EXPECT_EQ(lines[1], longLine);
  EXPECT_EQ(lines[2], "last");
}

} // namespace

namespace {

TEST(DumpLineReader, ALimitEndsThePartWhereTheNextOneStarts) {
  // A part of a parse in parts reads up to the next part's start
  // and no further; a reader on the same file then goes on from there, and
  // one moved to that offset reads the same lines.
  const std::string content = "first\r\nsecond\nthird\r\nfourth";
  const std::size_t split = content.find("third");
  for (std::size_t chunk : {1, 3, 64}) {
    SCOPED_TRACE(chunk);
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    Lines earlier, later, moved;
    std::string_view line;
    {
      DumpLineReader reader(file, chunk, split);
      while (reader.next(line))
        earlier.emplace_back(line);
    }
    {
      DumpLineReader reader(file, chunk);
      while (reader.next(line))
        later.emplace_back(line);
    }
    ASSERT_TRUE(seekDumpFile(file, split));
    {
      DumpLineReader reader(file, chunk);
      while (reader.next(line))
        moved.emplace_back(line);
    }
    std::fclose(file);
    EXPECT_EQ(earlier, (Lines{"first", "second"}));
    EXPECT_EQ(later, (Lines{"third", "fourth"}));
    EXPECT_EQ(moved, later);
  }
}

} // namespace
