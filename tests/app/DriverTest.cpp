// Runs the built quillmap executable as a user would, with a fake objdump
// first in PATH (the real one for the firmware the build makes), and checks
// its console, its exit code and the files it leaves.
#include "ProgramRuns.h"
#include "TestFiles.h"
#include "app/ObjdumpRunner.h"
#include "app/QuillmapVersion.h"
#include "app/VersionBanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char kPathListSeparator = ';';
constexpr const char *kBannerFileName = QUILLMAP_WINDOWS_FILE_NAME;
void setEnvironment(const char *name, const std::string &value) { _putenv_s(name, value.c_str()); }
void unsetEnvironment(const char *name) { _putenv_s(name, ""); }
#else
constexpr char kPathListSeparator = ':';
constexpr const char *kBannerFileName = QUILLMAP_OTHER_FILE_NAME;
void setEnvironment(const char *name, const std::string &value) { setenv(name, value.c_str(), 1); }
void unsetEnvironment(const char *name) { unsetenv(name); }
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
    unsetEnvironment("QUILLMAP_FAKE_RAISE");
    unsetEnvironment("QUILLMAP_FAKE_HOLD_FD");
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
    const int exitCode = ProgramRuns::runWithOutputIn(QUILLMAP_EXE, arguments, consoleFile());
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

#ifndef _WIN32
// The run holds an earlier dump open until its end; a FIFO at the dump's
// name must neither be opened for that (it would wait for a writer) nor
// become the dump.
TEST_F(DriverTest, FifoAtTheDumpNameIsRefusedWithoutWaiting) {
  writeFile("app.elf", "");
  ASSERT_EQ(mkfifo("app_ObjDump.txt", 0600), 0);

  EXPECT_EQ(runQuillmap({"app.elf"}), 1);
  EXPECT_EQ(console_, banner() + "inputFile : app_ObjDump.txt\n"
                                 "outFileMap : app_Vrx.m51\n"
                                 "elfFile : app.elf\n"
                                 "Can not create file: app_ObjDump.txt\n");
  EXPECT_FALSE(fs::exists(recordFile()));
}
#endif

// A dump of several writeback steps, over an earlier one that the run holds
// open until the end.
TEST_F(DriverTest, LargeDumpReplacesTheEarlierOneByteForByte) {
  std::string payload = awkwardPayload() + "\n";
  while (payload.size() < (std::size_t{20} << 20))
    payload += "  line of a large dump " + std::to_string(payload.size()) + "\n";
  setPayload(payload);
  writeFile("app.elf", "");
  writeFile("app_ObjDump.txt", std::string(std::size_t{3} << 20, 'e'));

  EXPECT_EQ(runQuillmap({"app.elf"}), 0) << console_;
  EXPECT_EQ(readFile("app_ObjDump.txt"), payload);
  for (const std::string &name : filesLeft())
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

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
  EXPECT_EQ(filesLeft(), (std::vector<std::string>{"app.elf"}));
}

INSTANTIATE_TEST_SUITE_P(ExitCodes, ObjdumpFailureTest, testing::Values(1, 2, 126, 255));

struct EarlierDumpCase {
  const char *name;
  const char *exitCode;
  /// The signal objdump kills itself with after writing, or null.
  const char *raise;
  bool objdumpMissing;
  int reportedExitCode;
  /// objdump writes the first half of a real dump, cut inside a line, which
  /// the run has parsed by the time objdump ends.
  bool halfARealDump;
};

const EarlierDumpCase kEarlierDumpCases[] = {
    {"FailsAfterWriting", "1", nullptr, false, 1, false},
    {"KilledAfterWriting", "0", "9", false, 128 + 9, false},
    {"FailsAfterHalfADump", "1", nullptr, false, 1, true},
    {"KilledAfterHalfADump", "0", "9", false, 128 + 9, true},
    {"Missing", "0", nullptr, true, 127, false},
};

void PrintTo(const EarlierDumpCase &c, std::ostream *os) { *os << c.name; }

class EarlierDumpTest : public DriverTest, public testing::WithParamInterface<EarlierDumpCase> {};

// objdump writes into a temporary file, which replaces the dump only when
// objdump succeeded.
TEST_P(EarlierDumpTest, IsKeptWhenObjdumpDoesNotSucceed) {
  const EarlierDumpCase &c = GetParam();
  setEnvironment("QUILLMAP_FAKE_EXIT", c.exitCode);
  if (c.raise != nullptr) setEnvironment("QUILLMAP_FAKE_RAISE", c.raise);
  if (c.objdumpMissing) setEnvironment("PATH", (scratch_ / "empty-bin").string());
  if (c.halfARealDump) {
    const std::string dump = readFile(QUILLMAP_REAL_DUMP);
    ASSERT_GT(dump.size(), 100000u);
    setPayload(dump.substr(0, dump.size() / 2 + 17));
  }
  writeFile("app.elf", "");
  writeFile("app_ObjDump.txt", "earlier dump\n");
  writeEarlierOutputs();

  EXPECT_EQ(runQuillmap({"app.elf"}), 1);
  EXPECT_EQ(console_, banner() +
                          "inputFile : app_ObjDump.txt\n"
                          "outFileMap : app_Vrx.m51\n"
                          "elfFile : app.elf\n"
                          "ObjDump failed (exit code " +
                          std::to_string(c.reportedExitCode) + "): app_ObjDump.txt\n");
  EXPECT_EQ(readFile("app_ObjDump.txt"), "earlier dump\n");
  expectEarlierOutputsKept();
  EXPECT_EQ(filesLeft(), (std::vector<std::string>{"app.elf", "app_CANape.db", "app_ObjDump.txt",
                                                   "app_Vrx.m51", "app_Vrx.m51_StyleWarnings.log"}));
}

INSTANTIATE_TEST_SUITE_P(Objdumps, EarlierDumpTest, testing::ValuesIn(kEarlierDumpCases));

struct UncreatableDumpCase {
  const char *name;
  const char *elfPath;
  const char *dumpFileName;
  bool dumpNameIsAFolder;
};

const UncreatableDumpCase kUncreatableDumpCases[] = {
    {"MissingFolder", "missing/app.elf", "missing/app_ObjDump.txt", false},
    {"DumpNameIsAFolder", "app.elf", "app_ObjDump.txt", true},
};

void PrintTo(const UncreatableDumpCase &c, std::ostream *os) { *os << c.name; }

class UncreatableDumpTest : public DriverTest, public testing::WithParamInterface<UncreatableDumpCase> {};

TEST_P(UncreatableDumpTest, IsReportedAndObjdumpDoesNotRun) {
  const UncreatableDumpCase &c = GetParam();
  if (c.dumpNameIsAFolder) fs::create_directory(c.dumpFileName);
  const std::string stem = std::string(c.elfPath).substr(0, std::string(c.elfPath).size() - 4);

  EXPECT_EQ(runQuillmap({c.elfPath}), 1);
  EXPECT_EQ(console_, banner() + "inputFile : " + c.dumpFileName + "\noutFileMap : " + stem +
                          "_Vrx.m51\nelfFile : " + c.elfPath + "\nCan not create file: " + c.dumpFileName +
                          "\n");
  EXPECT_FALSE(fs::exists(recordFile()));
  EXPECT_TRUE(filesLeft().empty());
}

INSTANTIATE_TEST_SUITE_P(Dumps, UncreatableDumpTest, testing::ValuesIn(kUncreatableDumpCases));

struct OptionLikeNameCase {
  const char *name;
  const char *elfPath;
  /// A file put beside the image: what objdump would read as its options.
  const char *besideName;
  const char *besideText;
};

const OptionLikeNameCase kOptionLikeNameCases[] = {
    {"Dash", "-H.elf", nullptr, nullptr},
    {"ResponseFile", "@fw.elf", "fw.elf", "-H\n"},
};

void PrintTo(const OptionLikeNameCase &c, std::ostream *os) { *os << c.name; }

class OptionLikeNameTest : public DriverTest, public testing::WithParamInterface<OptionLikeNameCase> {};

// objdump reads a word that starts with '-' as an option and one that
// starts with '@' as a file of options; the image must reach it as a file.
TEST_P(OptionLikeNameTest, ReachesTheRealObjdumpAsAFile) {
  const OptionLikeNameCase &c = GetParam();
  const fs::path image = fs::path(QUILLMAP_FIRMWARE_DIR) / "demo-dwarf4-O0.elf";
  if (!fs::exists(image)) GTEST_SKIP() << "no example firmware built: " << image;
  setEnvironment("PATH", originalPath_);
  fs::create_directory("plain");
  fs::copy_file(image, "plain/fw.elf");
  ASSERT_EQ(runQuillmap({"plain/fw.elf"}), 0) << console_;
  fs::copy_file(image, c.elfPath);
  if (c.besideName != nullptr) writeFile(c.besideName, c.besideText);

  EXPECT_EQ(runQuillmap({c.elfPath}), 0) << console_;
  EXPECT_NE(console_.find(std::string("\nelfFile : ") + c.elfPath + "\n"), std::string::npos) << console_;
  const std::string stem = std::string(c.elfPath).substr(0, std::string(c.elfPath).size() - 4);
  ASSERT_GT(readFile("plain/fw_Vrx.m51").size(), 1000u);
  for (const char *suffix : {"_Vrx.m51", "_CANape.db", "_Vrx.m51_StyleWarnings.log"}) {
    EXPECT_EQ(fs::exists(stem + suffix), fs::exists(std::string("plain/fw") + suffix)) << suffix;
    EXPECT_EQ(readFile(stem + suffix), readFile(std::string("plain/fw") + suffix)) << suffix;
  }
}

INSTANTIATE_TEST_SUITE_P(Names, OptionLikeNameTest, testing::ValuesIn(kOptionLikeNameCases));

#ifndef _WIN32
struct SignalCase {
  const char *name;
  int signal;
};

const SignalCase kSignalCases[] = {{"Interrupt", SIGINT}, {"Terminate", SIGTERM}, {"HangUp", SIGHUP}};

void PrintTo(const SignalCase &c, std::ostream *os) { *os << c.name; }

class SignalWhileObjdumpRunsTest : public DriverTest, public testing::WithParamInterface<SignalCase> {};

TEST_P(SignalWhileObjdumpRunsTest, EndsObjdumpRemovesItsOutputAndKeepsTheEarlierDump) {
  const int signal = GetParam().signal;
  writeFile("app.elf", "");
  writeFile("app_ObjDump.txt", "earlier dump\n");
  // The fake objdump, once it has written its output, says "R" through the
  // pipe, sleeps, and then says "S"; the pipe closes when it ends.
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  setEnvironment("QUILLMAP_FAKE_HOLD_FD", std::to_string(pipeEnds[1]));
  ProgramRuns::StartedProgram quillmap(QUILLMAP_EXE, {"app.elf"}, consoleFile());
  close(pipeEnds[1]);
  char said = 0;
  ASSERT_EQ(read(pipeEnds[0], &said, 1), 1);
  ASSERT_EQ(said, 'R');
  ASSERT_EQ(filesLeft().size(), 3u) << "no temporary dump beside the earlier one";

  kill(quillmap.pid(), signal);
  EXPECT_EQ(ProgramRuns::exitCodeOf(quillmap.wait()), 128 + signal);
  EXPECT_EQ(read(pipeEnds[0], &said, 1), 0) << "objdump went on running";
  close(pipeEnds[0]);
  EXPECT_EQ(readFile("app_ObjDump.txt"), "earlier dump\n");
  EXPECT_EQ(filesLeft(), (std::vector<std::string>{"app.elf", "app_ObjDump.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalWhileObjdumpRunsTest, testing::ValuesIn(kSignalCases));
#endif

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

TEST_F(DriverTest, ExactlyTheLeafCapIsCompleteAndOneLeafMoreIsCut) {
  // cap.c: first, a const table, after. With the table's bound at 16777213
  // the list has exactly 16777216 leaves; at 16777214 `after` would be leaf
  // 16777217, and the list is cut before it. A folder in the CANape
  // database's place shows where the message stands among the others.
  const std::string dump = readFile(std::string(QUILLMAP_TEST_DATA_DIR) + "/output/cap-dwarf4.txt");
  const std::string bound = "DW_AT_upper_bound : 16777216";
  ASSERT_NE(dump.find(bound), std::string::npos);
  const std::string first = "20000000H     SYMBOL  DATA  BYTE     first\r\n";
  const std::string after = "20000001H     SYMBOL  DATA  BYTE     after\r\n";
  struct Case {
    const char *upperBound;
    bool canapeBlocked;
    int exitCode;
    std::string messages;
    std::string map;
  };
  const Case cases[] = {
      {"16777213", false, 0, "", first + after},
      {"16777214", false, 1, "Too many symbols, list cut at 16777216\n", first},
      {"16777214", true, 1, "Too many symbols, list cut at 16777216\nCan not create file: cap_CANape.db\n",
       first},
  };
  for (const Case &c : cases) {
    std::string bounded = dump;
    bounded.replace(bounded.find(bound), bound.size(), std::string("DW_AT_upper_bound : ") + c.upperBound);
    writeFile("cap_ObjDump.txt", bounded);
    fs::remove_all("cap_CANape.db");
    if (c.canapeBlocked) fs::create_directory("cap_CANape.db");

    EXPECT_EQ(runQuillmap({"cap.txt"}), c.exitCode) << c.upperBound;
    EXPECT_EQ(withSecondsMasked(console_),
              banner() +
                  "inputFile : cap_ObjDump.txt\n"
                  "outFileMap : cap_Vrx.m51\n"
                  "Parsing Dwarf finished -> Seconds Since Start: <s>\n" +
                  c.messages + "Vrx M51 + CANape finished cap_Vrx.m51 -> Seconds Since Start: <s>\n");
    EXPECT_EQ(readFile("cap_Vrx.m51"), c.map) << c.upperBound;
  }
}

TEST_F(DriverTest, ReadsOfRtePortSrNamesAreTracedAsTheSymbolNamesAreMade) {
  // traced.cpp: a namespace, a member, a static data member and a function
  // whose names hold RtePortSR. Each read of such a name while the symbol
  // names are made prints the name and the number of children of its entry,
  // at the moment of the read: between the progress lines of parsing and
  // output, in the order the leaves come.
  writeFile("traced_ObjDump.txt",
            readFile(std::string(QUILLMAP_TEST_DATA_DIR) + "/output/traced-dwarf4.txt"));

  EXPECT_EQ(runQuillmap({"traced.txt"}), 0);
  EXPECT_EQ(withSecondsMasked(console_),
            banner() + "inputFile : traced_ObjDump.txt\n"
                       "outFileMap : traced_Vrx.m51\n"
                       "Parsing Dwarf finished -> Seconds Since Start: <s>\n"
                       "getName: Rte_RtePortSR_Ports\n"
                       "children.size(): 2\n"
                       "getName: Rte_RtePortSR_Value\n"
                       "children.size(): 0\n"
                       "getName: Rte_RtePortSR_Count\n"
                       "children.size(): 0\n"
                       "getName: Rte_RtePortSR_Ports\n"
                       "children.size(): 2\n"
                       "getName: Rte_RtePortSR_Task\n"
                       "children.size(): 1\n"
                       "Vrx M51 + CANape finished traced_Vrx.m51 -> Seconds Since Start: <s>\n");
  EXPECT_EQ(readFile("traced_Vrx.m51"),
            "20000000H     SYMBOL  DATA  WORD     Rte_RtePortSR_Ports::port.Rte_RtePortSR_Value_00.speed\r\n"
            "20000002H     SYMBOL  DATA  BYTE     Rte_RtePortSR_Ports::port.Rte_RtePortSR_Value_00.valid\r\n"
            "20000004H     SYMBOL  DATA  WORD     Rte_RtePortSR_Ports::port.Rte_RtePortSR_Value_01.speed\r\n"
            "20000006H     SYMBOL  DATA  BYTE     Rte_RtePortSR_Ports::port.Rte_RtePortSR_Value_01.valid\r\n"
            "20000100H     SYMBOL  DATA  DWORD    Rte_RtePortSR_Ports::Rte_RtePortSR_Count\r\n"
            "20000008H     SYMBOL  DATA  DWORD    Rte_RtePortSR_Task@calls\r\n");
}

/// The names arm-none-eabi-nm gives for the symbols of \p elf, with their
/// addresses; a static local is named after the variable, a dot and a number.
std::multimap<std::string, std::uint32_t> nmSymbols(const fs::path &elf, const fs::path &output) {
  std::multimap<std::string, std::uint32_t> symbols;
  EXPECT_EQ(ProgramRuns::runWithOutputIn("arm-none-eabi-nm", {elf.string()}, output.string()), 0);
  std::istringstream lines(readFile(output));
  std::string address;
  std::string kind;
  std::string name;
  while (lines >> address >> kind >> name)
    symbols.emplace(name.substr(0, name.find('.')),
                    static_cast<std::uint32_t>(std::stoul(address, nullptr, 16)));
  return symbols;
}

/// The decoded locations, such as "DW_OP_addr: 0", of the entries named
/// \p name in \p dump.
std::vector<std::string> locationsIn(const std::string &dump, const std::string &name) {
  std::vector<std::string> locations;
  std::istringstream lines(dump);
  bool named = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(">: Abbrev Number: ") != std::string::npos) named = false;
    if (line.find("DW_AT_name") != std::string::npos && line.ends_with(": " + name)) named = true;
    const std::size_t open = line.rfind('(');
    if (named && line.find("DW_AT_location") != std::string::npos && open != std::string::npos)
      locations.push_back(line.substr(open + 1, line.size() - open - 2));
  }
  return locations;
}

std::string hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

class TrimmedFirmwareTest : public DriverTest, public testing::WithParamInterface<const char *> {};

TEST_P(TrimmedFirmwareTest, VariablesTheLinkerRemovedAreLeftOutAndListedInTheLog) {
  // examples/trimmed, linked with --gc-sections: calibrate_filter, which
  // nothing calls, is removed, and with it the data only it uses:
  // spare_filter, its static calls and the const filter_taps. The debug
  // information keeps them, at address 0.
  const fs::path built = fs::path(QUILLMAP_FIRMWARE_DIR) / ("trimmed-" + std::string(GetParam()) + ".elf");
  if (!fs::exists(built)) GTEST_SKIP() << "no example firmware built: " << built;
  setEnvironment("PATH", originalPath_); // the real objdump
  fs::copy_file(built, "trimmed.elf");

  const auto symbols = nmSymbols("trimmed.elf", scratch_ / "nm");
  for (const char *removed : {"calibrate_filter", "spare_filter", "calls", "filter_taps"})
    EXPECT_EQ(symbols.count(removed), 0u) << removed;
  ASSERT_EQ(symbols.count("tick_count"), 1u);
  ASSERT_EQ(symbols.count("samples"), 2u);

  EXPECT_EQ(runQuillmap({"trimmed.elf"}), 0);
  EXPECT_EQ(withSecondsMasked(console_),
            banner() + "inputFile : trimmed_ObjDump.txt\n"
                       "outFileMap : trimmed_Vrx.m51\n"
                       "elfFile : trimmed.elf\n"
                       "ObjDump finished trimmed_ObjDump.txt -> Seconds Since Start: <s>\n"
                       "Parsing Dwarf finished -> Seconds Since Start: <s>\n"
                       "Variables at address 0 left out: 2\n"
                       "Vrx M51 + CANape finished trimmed_Vrx.m51 -> Seconds Since Start: <s>\n");
  const std::string dump = readFile("trimmed_ObjDump.txt");
  for (const char *removed : {"spare_filter", "calls", "filter_taps"})
    EXPECT_EQ(locationsIn(dump, removed), std::vector<std::string>{"DW_OP_addr: 0"}) << removed;

  // The kept variables at the addresses nm gives; nothing of the removed
  // ones, and nothing at all at address 0.
  const std::string map = "\n" + readFile("trimmed_Vrx.m51"); // each line after a line feed
  const std::string canape = readFile("trimmed_CANape.db");
  for (const auto &[name, address] : symbols) {
    if (name != "tick_count" && name != "samples") continue;
    EXPECT_NE(map.find("\n" + hex8(address) + "H     SYMBOL  DATA  DWORD    " + name + "\r\n"),
              std::string::npos)
        << name;
    std::string field = "'" + name + "'";
    field.resize(100, ' ');
    EXPECT_NE(canape.find("\nVARIABLE 0x0 " + field + "0x" + hex8(address) + "    \"\" UINT(32)"),
              std::string::npos)
        << name;
  }
  for (const char *removed : {"spare_filter", "calls", "filter_taps"}) {
    EXPECT_EQ(map.find(removed), std::string::npos) << removed;
    EXPECT_EQ(canape.find(removed), std::string::npos) << removed;
  }
  EXPECT_EQ(map.find("00000000H"), std::string::npos);
  EXPECT_EQ(canape.find("0x00000000 "), std::string::npos);

  const std::string sources = std::string(QUILLMAP_SOURCE_DIR) + "/examples/trimmed/";
  EXPECT_EQ(readFile("trimmed_Vrx.m51_StyleWarnings.log"),
            "Warning - Duplicate Static VariableName: samples\r\n"
            "  Location File: " +
                sources + "input.c(3)\r\n  Location File: " + sources +
                "main.c(8)\r\n"
                "Warning - Variable at address 0 left out: spare_filter\r\n"
                "  Location File: " +
                sources +
                "main.c(11)\r\n"
                "Warning - Variable at address 0 left out: calibrate_filter@calls\r\n"
                "  Location File: " +
                sources + "main.c(16)\r\n");
}

INSTANTIATE_TEST_SUITE_P(Variants, TrimmedFirmwareTest,
                         testing::Values("dwarf4-O0", "dwarf5-O0", "dwarf4-Os", "dwarf5-Os"));

} // namespace
