// Names in UTF-8 and the system's own forms of them: the UTF-16 of the wide
// Windows functions and the "\\?\" form of a long path.
#include "reader/NativeFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
  const char *name;
  std::string utf8;
  std::u16string utf16;
};

const NameCase kNameCases[] = {
    {"Ascii", "C:\\fw\\app.elf", u"C:\\fw\\app.elf"},
    {"CyrillicAndGreek",
     "\xD0\xBF\xD1\x80\xD0\xBE\xD1\x88\xD0\xB8\xD0\xB2\xD0\xBA\xD0\xB0 "
     "\xCE\xBA\xCE\xB9\xCE\xBD\xCE\xB7\xCF\x84\xCE\xAE\xCF\x81\xCE\xB1.elf",
     u"\u043F\u0440\u043E\u0448\u0438\u0432\u043A\u0430 "
     u"\u03BA\u03B9\u03BD\u03B7\u03C4\u03AE\u03C1\u03B1.elf"},
    {"ThreeBytes", "\xE2\x82\xAC\xE4\xB8\xAD", u"\u20AC\u4E2D"},
    // Beyond the first plane: a surrogate pair in UTF-16, four bytes in UTF-8.
    {"SurrogatePair", "a\xF0\x9F\x94\xA7z", u"a\U0001F527z"},
    // NTFS names may hold an unpaired surrogate; it must come back unchanged.
    {"UnpairedHighSurrogate", "x\xED\xA0\x80y", std::u16string{u'x', char16_t(0xD800), u'y'}},
    {"UnpairedLowSurrogateAtEnd", "x\xED\xBF\xBF", std::u16string{u'x', char16_t(0xDFFF)}},
};

void PrintTo(const NameCase &c, std::ostream *os) { *os << c.name; }

class NameConversionTest : public testing::TestWithParam<NameCase> {};

TEST_P(NameConversionTest, GoesThereAndBack) {
  EXPECT_EQ(NativeFiles::utf16FromUtf8(GetParam().utf8), GetParam().utf16);
  EXPECT_EQ(NativeFiles::utf8FromUtf16(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Names, NameConversionTest, testing::ValuesIn(kNameCases));

// A byte that starts no valid sequence stands for itself as U+FFFD; the bytes
// after it are read anew.
TEST(NameConversionTest, StrayBytesBecomeReplacementCharacters) {
  EXPECT_EQ(NativeFiles::utf16FromUtf8("a\x80"
                                       "b"),
            u"a\uFFFDb");
  EXPECT_EQ(NativeFiles::utf16FromUtf8("\xC3"), u"\uFFFD");           // cut short
  EXPECT_EQ(NativeFiles::utf16FromUtf8("\xC3(x"), u"\uFFFD(x");       // no continuation
  EXPECT_EQ(NativeFiles::utf16FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong '/'
  EXPECT_EQ(NativeFiles::utf16FromUtf8("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(NativeFiles::utf16FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // above U+10FFFF
  EXPECT_EQ(NativeFiles::utf16FromUtf8("\xFF"
                                       "end"),
            u"\uFFFDend");
}

struct LongPathCase {
  const char *name;
  std::u16string fullPath;
  std::u16string longForm;
};

const LongPathCase kLongPathCases[] = {
    {"Drive", u"C:\\build\\app.elf", u"\\\\?\\C:\\build\\app.elf"},
    {"Share", u"\\\\server\\share\\fw\\app.elf", u"\\\\?\\UNC\\server\\share\\fw\\app.elf"},
    {"AlreadyLong", u"\\\\?\\C:\\build\\app.elf", u"\\\\?\\C:\\build\\app.elf"},
    {"AlreadyLongShare", u"\\\\?\\UNC\\server\\share\\app.elf", u"\\\\?\\UNC\\server\\share\\app.elf"},
    {"Device", u"\\\\.\\NUL", u"\\\\.\\NUL"},
};

void PrintTo(const LongPathCase &c, std::ostream *os) { *os << c.name; }

class LongPathFormTest : public testing::TestWithParam<LongPathCase> {};

TEST_P(LongPathFormTest, IsTheNameWithoutLengthLimit) {
  EXPECT_EQ(NativeFiles::longPathForm(GetParam().fullPath), GetParam().longForm);
}

INSTANTIATE_TEST_SUITE_P(Paths, LongPathFormTest, testing::ValuesIn(kLongPathCases));

} // namespace
