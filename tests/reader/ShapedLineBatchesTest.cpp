#include "reader/ShapedLineBatches.h"
#include "reader/DumpLineReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

struct TempFile {
  explicit TempFile(const std::string &content) : file(std::tmpfile()) {
    EXPECT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
  }
  ~TempFile() { std::fclose(file); }
  std::FILE *file;
};

Lines linesOfReader(const std::string &content) {
  DumpLineReader reader(content);
  Lines lines;
  std::string_view line;
  while (reader.next(line))
    lines.emplace_back(line);
  return lines;
}

/// The lines of \p content as the batches give them; each line's shape must
/// be the one shapeOf() gives the same text.
Lines linesOfBatches(const std::string &content, std::size_t chunkSize) {
  TempFile temp(content);
  ShapedLineBatches batches(temp.file, chunkSize);
  Lines lines;
  while (const ShapedLineBatches::Batch *batch = batches.next())
    for (const ShapedLineBatches::Line &line : batch->lines) {
      const LineShape expected = shapeOf(line.text);
      EXPECT_EQ(line.shape.kind, expected.kind) << line.text;
      EXPECT_EQ(line.shape.leading, expected.leading) << line.text;
      EXPECT_EQ(line.shape.match.group, expected.match.group) << line.text;
      lines.emplace_back(line.text);
    }
  return lines;
}

} // namespace

TEST(ShapedLineBatches, WorkedExampleWithShapes) {
  const std::string dump = " <1><2d>: Abbrev Number: 2 (DW_TAG_base_type)\r\n"
                           "    <2e>   DW_AT_byte_size   : 1\n"
                           "    <2f>   DW_AT_encoding    : 8\t(unsigned char)";
  TempFile temp(dump);
  ShapedLineBatches batches(temp.file, 16);
  std::vector<ShapedLineBatches::Line> lines;
  std::vector<std::string> texts;
  while (const ShapedLineBatches::Batch *batch = batches.next())
    for (const ShapedLineBatches::Line &line : batch->lines) {
      lines.push_back(line);
      texts.emplace_back(line.text);
    }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(texts[0], " <1><2d>: Abbrev Number: 2 (DW_TAG_base_type)");
  EXPECT_EQ(lines[0].shape.kind, LineShape::Kind::EntryHeader);
  EXPECT_EQ(lines[1].shape.kind, LineShape::Kind::Attribute);
  EXPECT_EQ(texts[2], "    <2f>   DW_AT_encoding    : 8\t(unsigned char)"); // no line end at the end
  EXPECT_EQ(lines[2].shape.kind, LineShape::Kind::Attribute);
}

TEST(ShapedLineBatches, GivesTheLinesOfTheSingleThreadedReader) {
  // Line ends at and across chunk borders, lines many chunks long, CR LF
  // split between two chunks, empty lines, no line end at the end.
  const std::vector<std::string> pieces = {"\n",
                                           "\r\n",
                                           "\r",
                                           "a",
                                           " <1><2d>: Abbrev Number: 2 (DW_TAG_base_type)",
                                           "    <2e>   DW_AT_byte_size   : 1",
                                           std::string(100, 'x'),
                                           "\t"};
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> count(0, 40);
  std::vector<std::string> contents = {"", "\n", "a", "a\r\n", std::string(5000, 'y')};
  for (int i = 0; i < 200; ++i) {
    std::string content;
    for (int n = count(random); n > 0; --n)
      content += pieces[pick(random)];
    contents.push_back(content);
  }
  for (const std::string &content : contents)
    for (const std::size_t chunkSize : {1u, 2u, 7u, 64u, 4096u})
      ASSERT_EQ(linesOfBatches(content, chunkSize), linesOfReader(content)) << chunkSize << ' ' << content;
}

TEST(ShapedLineBatches, StopsCleanlyWhenTheParseStopsEarly) {
  std::string content;
  for (int i = 0; i < 100000; ++i)
    content += "    <2e>   DW_AT_byte_size   : 1\n";
  TempFile temp(content);
  {
    ShapedLineBatches batches(temp.file, 64);
    ASSERT_NE(batches.next(), nullptr);
  } // the reading thread is stopped and joined here, with batches unread
  SUCCEED();
}
