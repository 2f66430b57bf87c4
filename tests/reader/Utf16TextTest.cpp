// Dumps in UTF-16 (what Windows PowerShell 5 writes through `>`): the
// byte-order mark, and the decoding to UTF-8 of every kind of code unit,
// whole and cut into pieces anywhere.
#include "reader/Utf16Text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using Utf16Text::ByteOrder;
using namespace std::string_literals;

TEST(Utf16Text, ByteOrderMarkAtTheStart) {
  EXPECT_EQ(Utf16Text::byteOrderMark("\xff\xfe"), ByteOrder::Little);
  EXPECT_EQ(Utf16Text::byteOrderMark("\xff\xfe\n\0"), ByteOrder::Little);
  EXPECT_EQ(Utf16Text::byteOrderMark("\xfe\xff\0\n"), ByteOrder::Big);
  EXPECT_EQ(Utf16Text::byteOrderMark("\xff"), ByteOrder::None);
  EXPECT_EQ(Utf16Text::byteOrderMark("\xef\xbb\xbf\n"), ByteOrder::None); // UTF-8's mark
  EXPECT_EQ(Utf16Text::byteOrderMark("\nx.elf:"), ByteOrder::None);
  EXPECT_EQ(Utf16Text::byteOrderMark(""), ByteOrder::None);
}

struct DecodeCase {
  const char *what;
  std::string littleEndian; ///< the code units after the mark, low byte first
  std::string utf8;
};

/// \p units as bytes in \p order.
std::string unitsIn(std::string_view littleEndian, ByteOrder order) {
  std::string bytes(littleEndian);
  if (order == ByteOrder::Big)
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2)
      std::swap(bytes[at], bytes[at + 1]);
  return bytes;
}

const DecodeCase kDecodeCases[] = {
    {"ASCII with CR LF and a tab", "x\0:\0\t\0\r\0\n\0"s, "x:\t\r\n"s},
    {"NUL", "\0\0a\0"s, "\0a"s},
    {"two-byte UTF-8", "\xe9\x00"s, "\xc3\xa9"s},                 // U+00E9
    {"three-byte UTF-8", "\xac\x20"s, "\xe2\x82\xac"s},           // U+20AC
    {"last of the plane", "\xff\xff"s, "\xef\xbf\xbf"s},          // U+FFFF
    {"surrogate pair", "\x3d\xd8\x00\xde"s, "\xf0\x9f\x98\x80"s}, // U+1F600
    {"highest pair", "\xff\xdb\xff\xdf"s, "\xf4\x8f\xbf\xbf"s},   // U+10FFFF
    {"first half at the end", "a\0\x3d\xd8"s, "a\xef\xbf\xbd"s},
    {"first half before a letter", "\x3d\xd8"s + "b\0"s, "\xef\xbf\xbd"s + "b"},
    {"two first halves and a second", "\x3d\xd8\x3d\xd8\x00\xde"s, "\xef\xbf\xbd\xf0\x9f\x98\x80"s},
    {"second half alone", "\x00\xde"s + "c\0"s, "\xef\xbf\xbd"s + "c"},
    {"odd byte at the end", "d\0e"s, "d\xef\xbf\xbd"s},
    {"nothing after the mark", ""s, ""s},
};

void PrintTo(const DecodeCase &c, std::ostream *os) { *os << c.what; }

class Utf16Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf16Decode, GivesTheUtf8OfEachCodePointWhereverTheInputIsCut) {
  const DecodeCase &c = GetParam();
  for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    const std::string units = unitsIn(c.littleEndian, order);
    const std::string mark = order == ByteOrder::Little ? "\xff\xfe" : "\xfe\xff";
    EXPECT_EQ(Utf16Text::toUtf8(mark + units), c.utf8);
    // Pieces as the file is read in chunks: one cut anywhere, and a byte at
    // a time.
    for (std::size_t cut = 0; cut <= units.size(); ++cut) {
      Utf16Text::Decoder decoder(order);
      std::string text;
      decoder.decode(std::string_view(units).substr(0, cut), text);
      decoder.decode(std::string_view(units).substr(cut), text);
      decoder.finish(text);
      EXPECT_EQ(text, c.utf8) << "cut at " << cut;
    }
    Utf16Text::Decoder decoder(order);
    std::string text;
    for (const char byte : units)
      decoder.decode(std::string_view(&byte, 1), text);
    decoder.finish(text);
    EXPECT_EQ(text, c.utf8) << "byte by byte";
  }
}

INSTANTIATE_TEST_SUITE_P(CodeUnits, Utf16Decode, testing::ValuesIn(kDecodeCases),
                         [](const testing::TestParamInfo<DecodeCase> &info) {
                           std::string name;
                           for (const char ch : std::string(info.param.what))
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

} // namespace
