#include "app/NameDerivation.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

struct NameCase {
  const char *name;
  const char *inputPath;
  const char *directoryPart;
  const char *baseName;
  const char *extension;
  const char *dumpFileName;
  const char *mapFileName;
  const char *canapeFileName;
  bool isElf;
};

// clang-format off
const NameCase kNameCases[] = {
    // name                         input                 dir            base         ext          dump                            map                         CANape                        ELF
    {"PlainElf",                    "app.elf",             "",            "app",       ".elf",      "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              true},
    {"DotsInBaseName",              "app.debug.elf",       "",            "app.debug", ".elf",      "app.debug_ObjDump.txt",        "app.debug_Vrx.m51",        "app.debug_CANape.db",        true},
    {"UpperElf",                    "app.ELF",             "",            "app",       ".ELF",      "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              true},
    {"MixedElf",                    "app.Elf",             "",            "app",       ".Elf",      "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              true},
    // The ELF pattern is a letter class, not a word.
    {"ElfLetterClass",              "app.lfe",             "",            "app",       ".lfe",      "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              true},
    {"Axf",                         "app.axf",             "",            "app",       ".axf",      "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              false},
    {"Out",                         "app.out",             "",            "app",       ".out",      "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              false},
    {"Txt",                         "app.txt",             "",            "app",       ".txt",      "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              false},
    {"ElfBeforeBak",                "app.elf.bak",         "",            "app.elf",   ".bak",      "app.elf_ObjDump.txt",          "app.elf_Vrx.m51",          "app.elf_CANape.db",          false},
    {"ElfX",                        "app.elfx",            "",            "app",       ".elfx",     "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              false},
    {"DotOnly",                     "app.",                "",            "app",       ".",         "app_ObjDump.txt",              "app_Vrx.m51",              "app_CANape.db",              false},
    {"DirectoryTxt",                "build/app.txt",       "build/",      "app",       ".txt",      "build/app_ObjDump.txt",        "build/app_Vrx.m51",        "build/app_CANape.db",        false},
    {"ParentDirectory",             "../fw/app.elf",       "../fw/",      "app",       ".elf",      "../fw/app_ObjDump.txt",        "../fw/app_Vrx.m51",        "../fw/app_CANape.db",        true},
    {"DotInDirectory",              "/abs/a.b/c.d.elf",    "/abs/a.b/",   "c.d",       ".elf",      "/abs/a.b/c.d_ObjDump.txt",     "/abs/a.b/c.d_Vrx.m51",     "/abs/a.b/c.d_CANape.db",     true},
    {"BackslashPath",               "C:\\fw\\app.elf",     "C:\\fw\\",    "app",       ".elf",      "C:\\fw\\app_ObjDump.txt",      "C:\\fw\\app_Vrx.m51",      "C:\\fw\\app_CANape.db",      true},
    {"MixedSeparators",             "C:\\fw/sub\\app.Elf", "C:\\fw/sub\\", "app",      ".Elf",      "C:\\fw/sub\\app_ObjDump.txt",  "C:\\fw/sub\\app_Vrx.m51",  "C:\\fw/sub\\app_CANape.db",  true},
    {"UncPath",                     "\\\\srv\\share\\a.elf", "\\\\srv\\share\\", "a",  ".elf",      "\\\\srv\\share\\a_ObjDump.txt", "\\\\srv\\share\\a_Vrx.m51", "\\\\srv\\share\\a_CANape.db", true},
    {"Blanks",                      "my fw/my app.elf",    "my fw/",      "my app",    ".elf",      "my fw/my app_ObjDump.txt",     "my fw/my app_Vrx.m51",     "my fw/my app_CANape.db",     true},
    // A dot only in a directory name: the one split the path pattern allows.
    {"DotOnlyInDirectorySlash",     "proj/x.y/app",        "proj/",       "x",         ".y/app",    "proj/x_ObjDump.txt",           "proj/x_Vrx.m51",           "proj/x_CANape.db",           false},
    {"DotOnlyInDirectoryBackslash", "proj\\x.y\\app",      "proj\\",      "x",         ".y\\app",   "proj\\x_ObjDump.txt",          "proj\\x_Vrx.m51",          "proj\\x_CANape.db",          false},
    // A directory is not scanned: no dot, no split.
    {"DirectorySlash",              "proj/out",            "",            "",          "",          "_ObjDump.txt",                 "_Vrx.m51",                 "_CANape.db",                 false},
    {"DirectoryBackslash",          "proj\\out",           "",            "",          "",          "_ObjDump.txt",                 "_Vrx.m51",                 "_CANape.db",                 false},
    {"NoDot",                       "app",                 "",            "",          "",          "_ObjDump.txt",                 "_Vrx.m51",                 "_CANape.db",                 false},
    // The whole path is the extension.
    {"ExtensionOnly",               ".elf",                "",            "",          ".elf",      "_ObjDump.txt",                 "_Vrx.m51",                 "_CANape.db",                 true},
    // The path pattern needs a name before the dot, so the bare pattern splits.
    {"ExtensionAfterSeparator",     "fw/.elf",             "",            "fw/",       ".elf",      "fw/_ObjDump.txt",              "fw/_Vrx.m51",              "fw/_CANape.db",              true},
    {"TrailingSeparator",           "fw.d/",               "",            "fw",        ".d/",       "fw_ObjDump.txt",               "fw_Vrx.m51",               "fw_CANape.db",               false},
    // '.' of the patterns does not match a line end.
    {"LineFeedInDirectory",         "a\nb/app.elf",        "",            "",          "",          "_ObjDump.txt",                 "_Vrx.m51",                 "_CANape.db",                 false},
    {"LineFeedInName",              "dir/a\nb.elf",        "dir/",        "a\nb",      ".elf",      "dir/a\nb_ObjDump.txt",         "dir/a\nb_Vrx.m51",         "dir/a\nb_CANape.db",         true},
    {"CarriageReturnInName",        "dir/a.b\rc.elf",      "dir/",        "a.b\rc",    ".elf",      "dir/a.b\rc_ObjDump.txt",       "dir/a.b\rc_Vrx.m51",       "dir/a.b\rc_CANape.db",       true},
    {"LineFeedInExtension",         "dir/app.e\nf",        "",            "",          "",          "_ObjDump.txt",                 "_Vrx.m51",                 "_CANape.db",                 false},
};
// clang-format on

/// Gives each case its name in the test list.
void PrintTo(const NameCase &c, std::ostream *os) { *os << c.name; }

class NameDerivationTest : public testing::TestWithParam<NameCase> {};

TEST_P(NameDerivationTest, GivesTheThreeFileNames) {
  const NameCase &c = GetParam();
  const DerivedNames names = deriveNames(c.inputPath);
  EXPECT_EQ(names.directoryPart, c.directoryPart);
  EXPECT_EQ(names.baseName, c.baseName);
  EXPECT_EQ(names.extension, c.extension);
  EXPECT_EQ(names.dumpFileName, c.dumpFileName);
  EXPECT_EQ(names.mapFileName, c.mapFileName);
  EXPECT_EQ(names.canapeFileName, c.canapeFileName);
  EXPECT_EQ(names.isElf, c.isElf);
}

INSTANTIATE_TEST_SUITE_P(Paths, NameDerivationTest, testing::ValuesIn(kNameCases));

/// The three parts as the ECMAScript engine splits \p path.
DerivedNames splitByRegex(const std::string &path) {
  static const std::regex pathPattern(NamePatterns::kPath);
  static const std::regex barePattern(NamePatterns::kBare);
  static const std::regex elfPattern(NamePatterns::kElf);
  DerivedNames names;
  std::smatch match;
  if (std::regex_match(path, match, pathPattern)) {
    names.directoryPart = match[1];
    names.baseName = match[2];
    names.extension = match[3];
  } else if (std::regex_match(path, match, barePattern)) {
    names.baseName = match[1];
    names.extension = match[2];
  }
  names.isElf = std::regex_match(names.extension, elfPattern);
  return names;
}

// Every string of up to seven characters over the characters the patterns
// tell apart ('e' is both a name character and an ELF letter) splits exactly
// as the pattern texts say.
TEST(NamePatternTest, SplitsEveryShortPathAsTheRegexEngine) {
  const std::string alphabet = "e./\\\n";
  std::string path;
  std::size_t checked = 0;
  auto visit = [&](auto &&self, std::size_t length) -> void {
    const DerivedNames expected = splitByRegex(path);
    const DerivedNames actual = deriveNames(path);
    ASSERT_EQ(actual.directoryPart, expected.directoryPart) << testing::PrintToString(path);
    ASSERT_EQ(actual.baseName, expected.baseName) << testing::PrintToString(path);
    ASSERT_EQ(actual.extension, expected.extension) << testing::PrintToString(path);
    ASSERT_EQ(actual.isElf, expected.isElf) << testing::PrintToString(path);
    ++checked;
    if (length == 7) return;
    for (char c : alphabet) {
      path.push_back(c);
      self(self, length + 1);
      path.pop_back();
      if (testing::Test::HasFatalFailure()) return;
    }
  };
  visit(visit, 0);
  EXPECT_EQ(checked, 97656u); // (5^8 - 1) / 4 paths of length 0 to 7.
}

TEST(NamePatternTest, ElfPatternTakesOnlyElfLettersAfterOneDot) {
  for (const char *ext : {".e", ".elf", ".ELF", ".Elf", ".fle", ".eellff"})
    EXPECT_TRUE(matchElfPattern(ext)) << ext;
  for (const char *ext : {"", ".", "elf", "..elf", ".elf ", ".el f", ".axf", ".elf2", ".e.lf"})
    EXPECT_FALSE(matchElfPattern(ext)) << ext;
}

// A path as long as a command line may carry is split without running out of
// stack, which a backtracking regex engine does after some ten thousand
// characters.
TEST(NamePatternTest, SplitsVeryLongPaths) {
  const std::string directory(200000, 'd');
  const DerivedNames names = deriveNames(directory + "/" + std::string(200000, 'n') + ".elf");
  EXPECT_EQ(names.directoryPart, directory + "/");
  EXPECT_EQ(names.baseName.size(), 200000u);
  EXPECT_EQ(names.extension, ".elf");
  EXPECT_TRUE(names.isElf);

  const DerivedNames bare = deriveNames(std::string(400000, '.'));
  EXPECT_EQ(bare.baseName.size(), 399999u);
  EXPECT_EQ(bare.extension, ".");
}

} // namespace
