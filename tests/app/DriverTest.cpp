// Runs the built quillmap executable as a user would, with a fake objdump
// first in PATH, and checks its console, its exit code and the files it leaves.
#include "TestFiles.h"
#include "app/ObjdumpRunner.h"
#include "app/QuillmapVersion.h"
#include "app/VersionBanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char kPathListSeparator = ';';
constexpr const char *kBannerFileName = QUILLMAP_WINDOWS_FILE_NAME;
void setEnvironment(const char *name, const std::string &value) { _putenv_s(name, value.c_str()); }
#else
constexpr char kPathListSeparator = ':';
constexpr const char *kBannerFileName = QUILLMAP_OTHER_FILE_NAME;
void setEnvironment(const char *name, const std::string &value) { setenv(name, value.c_str(), 1); }
#endif

using TestFiles::readFile;
using TestFiles::writeFile;
using namespace std::string_literals;

/// A dump of nothing but its file-format line and awkward bytes: every kind
/// of line end, a NUL, bytes above 127 and no line end at the very end, more
/// than one pipe buffer long.
std::string awkwardPayload() {
  // A string literal, not a C string: the bytes after the NUL count too.
  std::string payload = "\napp.elf:     file format elf32-littlearm\n"
                        "first line\r\nlone CR\rtab\tNUL\0after\xff\xfe\x80 bytes\n"s;
  payload.push_back('\0');
  for (int i = 0; i < 5000; ++i)
    payload += "line " + std::to_string(i) + (i % 3 == 0 ? "\r\n" : "\n");
  payload += "no line end";
  return payload;
}

std::string banner() {
  return std::string(kBannerFileName) + " version " + std::to_string(QUILLMAP_VERSION_MAJOR) + "." +
         std::to_string(QUILLMAP_VERSION_MINOR) + " from " + buildDate() + "\n" + QUILLMAP_COPYRIGHT + "\n";
}

/// Replaces the whole seconds of each progress line by "<s>"; any other shape
/// of the number stays and so fails the comparison.
std::string withSecondsMasked(const std::string &console) {
  static const std::regex seconds(" -> Seconds Since Start: [0-9]+\n");
  return std::regex_replace(console, seconds, " -> Seconds Since Start: <s>\n");
}

/// A scratch directory as the working directory, a fake objdump first in PATH.
class DriverTest : public testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    scratch_ = fs::temp_directory_path() /
               ("quillmap-app-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "-" + std::to_string(random()));
    fs::create_directories(scratch_ / "work");
    fs::create_directories(scratch_ / "empty-bin");
    originalDirectory_ = fs::current_path();
    fs::current_path(scratch_ / "work");
    const char *path = std::getenv("PATH");
    originalPath_ = path != nullptr ? path : "";
    setEnvironment("PATH", std::string(QUILLMAP_FAKE_OBJDUMP_DIR) + kPathListSeparator + originalPath_);
    setEnvironment("QUILLMAP_FAKE_RECORD", recordFile().string());
    setEnvironment("QUILLMAP_FAKE_PAYLOAD", payloadFile().string());
    setEnvironment("QUILLMAP_FAKE_EXIT", "0");
    setPayload(awkwardPayload());
  }

  void TearDown() override {
    setEnvironment("PATH", originalPath_);
    fs::current_path(originalDirectory_);
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
  }

  fs::path recordFile() const { return scratch_ / "objdump-arguments"; }
  fs::path payloadFile() const { return scratch_ / "objdump-payload"; }
  fs::path consoleFile() const { return scratch_ / "console"; }

  void setPayload(const std::string &bytes) { writeFile(payloadFile(), bytes); }

  /// The arguments the fake objdump received, one entry per call and argument.
  std::vector<std::string> objdumpArguments() const {
    std::vector<std::string> arguments;
    const std::string record = readFile(recordFile());
    for (std::size_t begin = 0; begin < record.size();) {
      const std::size_t end = record.find('\0', begin);
      arguments.push_back(record.substr(begin, end - begin));
      begin = end + 1;
    }
    return arguments;
  }

  /// Runs quillmap with \p arguments; returns its exit code and keeps its console.
  int runQuillmap(const std::vector<std::string> &arguments) {
    const int exitCode = runProgram(QUILLMAP_EXE, arguments, consoleFile().string());
    console_ = readFile(consoleFile());
    return exitCode;
  }

  /// The files of the working directory (and below) other than \p except.
  std::vector<std::string> filesLeft(const std::vector<std::string> &except = {}) const {
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(scratch_ / "work")) {
      if (!entry.is_regular_file()) continue;
      const std::string name = fs::relative(entry.path(), scratch_ / "work").generic_string();
      if (std::find(except.begin(), except.end(), name) == except.end()) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path scratch_;
  fs::path originalDirectory_;
  std::string originalPath_;
  std::string console_;
};

TEST_F(DriverTest, NoArgumentPrintsBannerAndUsage) {
  EXPECT_EQ(runQuillmap({}), 0);
  EXPECT_EQ(console_, banner() +
                          "ELF TO KEIL M51 MEMORY MAP FILE GENERATOR\n"
                          "BUILD: " +
                          buildDate() +
                          "\n"
                          "Call: program \"elf_file.elf\"\n"
                          "       -  generates map file from elf file\n"
                          "Call: program \"objDumpOutput.txt\"\n"
                          "       -  generates map file from objDumpFile\n"
                          "Call: Quillmap \"directory\"\n"
                          "       -  generate map file from elf files found in directory\n"
                          "\n"
                          "Generated files will have the same name as used input filename + _ObjDump.txt + "
                          "_Vrx.m51 + _CANape.db\n"
                          "Internal ObjDump Call will be \"arm-none-eabi-objdump -WlLiaprmfFsoRt  "
                          "inputFile.elf > inputFile.txt\"\n");
  EXPECT_TRUE(filesLeft().empty());
}

TEST_F(DriverTest, EmptyLastArgumentPrintsUsage) {
  EXPECT_EQ(runQuillmap({"app.elf", ""}), 0);
  EXPECT_EQ(console_.substr(0, banner().size()), banner());
  EXPECT_NE(console_.find("\nELF TO KEIL M51 MEMORY MAP FILE GENERATOR\n"), std::string::npos);
  EXPECT_EQ(console_.find("inputFile : "), std::string::npos);
  EXPECT_FALSE(fs::exists(recordFile()));
}

struct ElfPathCase {
  const char *name;
  const char *elfPath;
  const char *dumpFileName;
  const char *mapFileName;
};

const ElfPathCase kElfPathCases[] = {
    {"Plain", "app.elf", "app_ObjDump.txt", "app_Vrx.m51"},
    {"Blanks", "my fw/my app.ELF", "my fw/my app_ObjDump.txt", "my fw/my app_Vrx.m51"},
    {"ShellCharacters", "fw; rm -rf x & y | z/app $HOME `id` (1) %PATH% ^! .elf",
     "fw; rm -rf x & y | z/app $HOME `id` (1) %PATH% ^! _ObjDump.txt",
     "fw; rm -rf x & y | z/app $HOME `id` (1) %PATH% ^! _Vrx.m51"},
    {"CommandSubstitution", "$(touch pwned).elf", "$(touch pwned)_ObjDump.txt", "$(touch pwned)_Vrx.m51"},
    {"Wildcards", "[ab]*?.elf", "[ab]*?_ObjDump.txt", "[ab]*?_Vrx.m51"},
#ifndef _WIN32
    // Characters Windows does not allow in file names.
    {"Quotes", "it's \"quoted\" <in> >out|.elf", "it's \"quoted\" <in> >out|_ObjDump.txt",
     "it's \"quoted\" <in> >out|_Vrx.m51"},
    {"QuotesAndBackslashes", "dir \"a\"/x\\ y\\.Elf", "dir \"a\"/x\\ y\\_ObjDump.txt",
     "dir \"a\"/x\\ y\\_Vrx.m51"},
    {"TrailingBackslashes", "trailing backslash\\\\.elf", "trailing backslash\\\\_ObjDump.txt",
     "trailing backslash\\\\_Vrx.m51"},
#endif
};

/// Gives each case its name in the test list.
void PrintTo(const ElfPathCase &c, std::ostream *os) { *os << c.name; }

class ElfPathTest : public DriverTest, public testing::WithParamInterface<ElfPathCase> {};

TEST_P(ElfPathTest, ReachesObjdumpAsOneArgumentAndItsOutputLandsInTheDump) {
  const ElfPathCase &c = GetParam();
  const fs::path elf = fs::path(c.elfPath);
  if (elf.has_parent_path()) fs::create_directories(elf.parent_path());
  writeFile(elf, "not read by the fake objdump");

  EXPECT_EQ(runQuillmap({c.elfPath}), 0);
  EXPECT_EQ(objdumpArguments(), (std::vector<std::string>{"-WlLiaprmfFsoRt", c.elfPath}));
  EXPECT_EQ(readFile(c.dumpFileName), awkwardPayload());
  EXPECT_EQ(withSecondsMasked(console_),
            banner() + "inputFile : " + c.dumpFileName + "\n" + "outFileMap : " + c.mapFileName + "\n" +
                "elfFile : " + c.elfPath + "\n" + "ObjDump finished " + c.dumpFileName +
                " -> Seconds Since Start: <s>\n"
                "Parsing Dwarf finished -> Seconds Since Start: <s>\n"
                "Vrx M51 + CANape finished " +
                c.mapFileName + " -> Seconds Since Start: <s>\n");
  // Nothing interpreted the path: no command ran.
  EXPECT_FALSE(fs::exists("pwned"));
}

INSTANTIATE_TEST_SUITE_P(Paths, ElfPathTest, testing::ValuesIn(kElfPathCases));

TEST_F(DriverTest, RealDumpPassesThroughUnchangedAndIsParsed) {
  const fs::path realDump = fs::path(QUILLMAP_FIRMWARE_DIR) / "demo-dwarf5-O0.txt";
  if (!fs::exists(realDump)) GTEST_SKIP() << "no example firmware built: " << realDump;
  const std::string dump = readFile(realDump);
  setPayload(dump);
  writeFile("demo.elf", "");

  EXPECT_EQ(runQuillmap({"demo.elf"}), 0) << console_;
  EXPECT_EQ(readFile("demo_ObjDump.txt"), dump);
  EXPECT_TRUE(fs::exists("demo_Vrx.m51"));
  EXPECT_NE(console_.find("\nVrx M51 + CANape finished demo_Vrx.m51 -> Seconds Since Start: "),
            std::string::npos);
}

/// Output files from an earlier run that a failed run must leave alone.
void writeEarlierOutputs() {
  writeFile("app_Vrx.m51", "earlier map\r\n");
  writeFile("app_CANape.db", "earlier CANape\r\n");
  writeFile("app_Vrx.m51_StyleWarnings.log", "earlier log\r\n");
}

void expectEarlierOutputsKept() {
  EXPECT_EQ(readFile("app_Vrx.m51"), "earlier map\r\n");
  EXPECT_EQ(readFile("app_CANape.db"), "earlier CANape\r\n");
  EXPECT_EQ(readFile("app_Vrx.m51_StyleWarnings.log"), "earlier log\r\n");
}

class ObjdumpFailureTest : public DriverTest, public testing::WithParamInterface<int> {};

TEST_P(ObjdumpFailureTest, StopsWithExitCodeOneAndWritesNothing) {
  setEnvironment("QUILLMAP_FAKE_EXIT", std::to_string(GetParam()));
  writeFile("app.elf", "");

  EXPECT_EQ(runQuillmap({"app.elf"}), 1);
  EXPECT_EQ(console_, banner() +
                          "inputFile : app_ObjDump.txt\n"
                          "outFileMap : app_Vrx.m51\n"
                          "elfFile : app.elf\n"
                          "ObjDump failed (exit code " +
                          std::to_string(GetParam()) + "): app_ObjDump.txt\n");
  EXPECT_EQ(filesLeft(), (std::vector<std::string>{"app.elf", "app_ObjDump.txt"}));
}

INSTANTIATE_TEST_SUITE_P(ExitCodes, ObjdumpFailureTest, testing::Values(1, 2, 126, 255));

TEST_F(DriverTest, FailingObjdumpKeepsEarlierOutputs) {
  setEnvironment("QUILLMAP_FAKE_EXIT", "1");
  writeEarlierOutputs();
  EXPECT_EQ(runQuillmap({"app.elf"}), 1);
  expectEarlierOutputsKept();
}

TEST_F(DriverTest, MissingObjdumpIsExitCode127) {
  setEnvironment("PATH", (scratch_ / "empty-bin").string());
  writeFile("app.elf", "");

  EXPECT_EQ(runQuillmap({"app.elf"}), 1);
  EXPECT_EQ(console_, banner() + "inputFile : app_ObjDump.txt\n"
                                 "outFileMap : app_Vrx.m51\n"
                                 "elfFile : app.elf\n"
                                 "ObjDump failed (exit code 127): app_ObjDump.txt\n");
  EXPECT_TRUE(filesLeft({"app.elf", "app_ObjDump.txt"}).empty());
}

TEST_F(DriverTest, MissingDumpStopsBeforeParsingAndKeepsOutputs) {
  writeFile("app.txt", "the given file itself is never read");
  writeEarlierOutputs();

  EXPECT_EQ(runQuillmap({"app.txt"}), 1);
  EXPECT_EQ(console_, banner() + "inputFile : app_ObjDump.txt\n"
                                 "outFileMap : app_Vrx.m51\n"
                                 "Can not open file: app_ObjDump.txt\n");
  expectEarlierOutputsKept();
  EXPECT_FALSE(fs::exists(recordFile()));
}

struct TwoArgumentCase {
  const char *name;
  const char *first;
  const char *second;
  const char *dumpFileName;
  bool runsObjdump;
};

const TwoArgumentCase kTwoArgumentCases[] = {
    {"DumpAfterElf", "first.elf", "build/second.txt", "build/second_ObjDump.txt", false},
    {"ElfAfterDump", "first.txt", "second.elf", "second_ObjDump.txt", true},
};

/// Gives each case its name in the test list.
void PrintTo(const TwoArgumentCase &c, std::ostream *os) { *os << c.name; }

class TwoArgumentTest : public DriverTest, public testing::WithParamInterface<TwoArgumentCase> {};

TEST_P(TwoArgumentTest, OnlyTheSecondIsProcessed) {
  const TwoArgumentCase &c = GetParam();
  fs::create_directories("build");
  writeFile(c.dumpFileName, "\nsecond.elf:     file format elf32-littlearm\n");

  EXPECT_EQ(runQuillmap({c.first, c.second}), 0);
  EXPECT_NE(console_.find(std::string("\ninputFile : ") + c.dumpFileName + "\n"), std::string::npos)
      << console_;
  EXPECT_EQ(console_.find("first"), std::string::npos) << console_;
  EXPECT_NE(console_.find("\nParsing Dwarf finished -> Seconds Since Start: "), std::string::npos);
  if (c.runsObjdump) {
    EXPECT_EQ(objdumpArguments(), (std::vector<std::string>{"-WlLiaprmfFsoRt", c.second}));
  } else {
    EXPECT_FALSE(fs::exists(recordFile()));
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, TwoArgumentTest, testing::ValuesIn(kTwoArgumentCases));

} // namespace
