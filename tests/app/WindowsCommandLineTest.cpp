#include "app/WindowsCommandLine.h"

#include <gtest/gtest.h>

namespace {

struct QuoteCase {
  const char *name;
  const char *argument;
  const char *quoted; // As CreateProcess must receive it.
};

// The split of the Microsoft C runtime: 2n backslashes before a quote give n
// backslashes and end or start a quoted part, 2n+1 give n and a literal quote,
// backslashes elsewhere are literal.
const QuoteCase kQuoteCases[] = {
    {"Switches", "-WlLiaprmfFsoRt", "-WlLiaprmfFsoRt"},
    {"BackslashesAlone", "C:\\fw\\app.elf", "C:\\fw\\app.elf"},
    {"Empty", "", "\"\""},
    {"Blank", "my app.elf", "\"my app.elf\""},
    {"Tab", "tab\there", "\"tab\there\""},
    {"Quote", "a\"b", "\"a\\\"b\""},
    {"TrailingBackslashWithBlank", "C:\\my fw\\", "\"C:\\my fw\\\\\""},
    {"BackslashBeforeQuote", "a\\\"b", "\"a\\\\\\\"b\""},
    {"BackslashesBeforeBlank", "x\\\\ y", "\"x\\\\ y\""},
    {"BackslashesBeforeQuoteAtEnd", "end\\\\\"", "\"end\\\\\\\\\\\"\""},
    // Characters only a command processor would interpret need no quoting.
    {"ShellCharacters", ";&|$`'()<>%^!", ";&|$`'()<>%^!"},
    {"Everything", "a b;&|$`'\"()<>%^!\\", "\"a b;&|$`'\\\"()<>%^!\\\\\""},
};

/// Gives each case its name in the test list.
void PrintTo(const QuoteCase &c, std::ostream *os) { *os << c.name; }

class QuoteWindowsArgumentTest : public testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteWindowsArgumentTest, SurvivesTheRuntimeSplit) {
  EXPECT_EQ(quoteWindowsArgument(GetParam().argument), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(Arguments, QuoteWindowsArgumentTest, testing::ValuesIn(kQuoteCases));

TEST(WindowsCommandLineTest, JoinsQuotedArgumentsWithOneBlank) {
  EXPECT_EQ(windowsCommandLine({"arm-none-eabi-objdump", "-WlLiaprmfFsoRt", "C:\\my fw\\app.elf"}),
            "arm-none-eabi-objdump -WlLiaprmfFsoRt \"C:\\my fw\\app.elf\"");
  EXPECT_EQ(windowsCommandLine({"prog", "", "x"}), "prog \"\" x");
}

struct PathCase {
  const char *name;
  const char *path;
  std::vector<std::string> folders;
};

// Windows finds programs through PATH like this: ';' separates, except inside
// double quotes, which are dropped; an empty entry names no folder.
const PathCase kPathCases[] = {
    {"Plain", "C:\\arm\\bin;C:\\Windows", {"C:\\arm\\bin", "C:\\Windows"}},
    {"EmptyEntries", ";C:\\arm\\bin;;C:\\Windows;", {"C:\\arm\\bin", "C:\\Windows"}},
    {"OnlyEmpty", ";;", {}},
    {"Nothing", "", {}},
    {"Quoted", "\"C:\\Program Files\\Arm\\bin\";C:\\x", {"C:\\Program Files\\Arm\\bin", "C:\\x"}},
    {"SemicolonInQuotes", "\"C:\\a;b\";C:\\c", {"C:\\a;b", "C:\\c"}},
    {"QuotesInside", "C:\\\"my tools\"\\bin", {"C:\\my tools\\bin"}},
    {"EmptyQuotes", "\"\";C:\\x", {"C:\\x"}},
};

void PrintTo(const PathCase &c, std::ostream *os) { *os << c.name; }

class WindowsPathFoldersTest : public testing::TestWithParam<PathCase> {};

TEST_P(WindowsPathFoldersTest, AreTheFoldersWindowsSearches) {
  EXPECT_EQ(windowsPathFolders(GetParam().path), GetParam().folders);
}

INSTANTIATE_TEST_SUITE_P(Paths, WindowsPathFoldersTest, testing::ValuesIn(kPathCases));

} // namespace
