// File-system faults around a run of the built quillmap: a dump that cannot be
// read, output paths that cannot be written, a disk that fills up. Each run
// must end with its message and exit code 1, and every output file must be
// either completely rewritten or left with its earlier bytes, never cut.
#include "TestFiles.h"
#include "app/ObjdumpRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using TestFiles::readFile;
using TestFiles::writeFile;

/// A real dump (chunks.c, objdump 2.40): 12 KB that give a map of about
/// 950 KB and a CANape database of about 3.6 MB.
const fs::path kBigOutputDump = fs::path(QUILLMAP_SOURCE_DIR) / "tests/data/output/chunks-dwarf4.txt";
/// A real dump whose two `count` statics give a style warnings log.
const fs::path kStaticsDump = fs::path(QUILLMAP_SOURCE_DIR) / "tests/data/output/statics-dwarf4.txt";

const std::vector<std::string> kOutputs = {"app_Vrx.m51", "app_CANape.db", "app_Vrx.m51_StyleWarnings.log"};

/// The texts an earlier run left, one per output file.
std::string earlierText(const std::string &file) { return "earlier " + file + "\r\n"; }

class FileSystemFaultTest : public testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    scratch_ = fs::temp_directory_path() /
               ("quillmap-fs-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "-" + std::to_string(random()));
    fs::create_directories(scratch_ / "work");
    reference_ = scratch_ / "reference";
    fs::create_directories(reference_);
  }

  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
  }

  fs::path work() const { return scratch_ / "work"; }

  /// Runs quillmap on \p inputPath; keeps the console and returns the exit code.
  int run(const std::string &inputPath) { return runArguments(QUILLMAP_EXE, {inputPath}); }

  int runArguments(const std::string &program, const std::vector<std::string> &arguments) {
    const fs::path consoleFile = scratch_ / "console";
    const int exitCode = runProgram(program, arguments, consoleFile.string());
    console_ = readFile(consoleFile);
    return exitCode;
  }

  /// The files a normal run on \p dump writes, made in a directory of their own.
  std::string referenceOutput(const fs::path &dump, const std::string &file) {
    if (!fs::exists(reference_ / "app_ObjDump.txt")) {
      fs::copy_file(dump, reference_ / "app_ObjDump.txt");
      const fs::path console = scratch_ / "reference-console";
      EXPECT_EQ(runProgram(QUILLMAP_EXE, {(reference_ / "app.txt").string()}, console.string()), 0);
    }
    return readFile(reference_ / file);
  }

  void writeEarlierOutputs(const fs::path &directory) {
    for (const std::string &file : kOutputs)
      writeFile(directory / file, earlierText(file));
  }

  /// Each output file holds either its earlier text or the whole text of a
  /// normal run on \p dump; returns which ones were rewritten.
  std::vector<std::string> rewrittenOutputs(const fs::path &directory, const fs::path &dump) {
    std::vector<std::string> rewritten;
    for (const std::string &file : kOutputs) {
      const std::string now = readFile(directory / file);
      if (now == earlierText(file)) continue;
      EXPECT_EQ(now, referenceOutput(dump, file))
          << file << " is neither the earlier file nor a whole new one";
      rewritten.push_back(file);
    }
    return rewritten;
  }

  /// The files of \p directory other than the dump and the outputs:
  /// temporary files that were not cleaned away.
  static std::vector<std::string> strayFiles(const fs::path &directory) {
    std::vector<std::string> stray;
    for (const fs::directory_entry &entry : fs::directory_iterator(directory)) {
      const std::string name = entry.path().filename().string();
      if (name != "app_ObjDump.txt" && std::find(kOutputs.begin(), kOutputs.end(), name) == kOutputs.end())
        stray.push_back(name);
    }
    return stray;
  }

  std::string consoleHead(const std::string &directory) const {
    return "inputFile : " + directory + "app_ObjDump.txt\noutFileMap : " + directory + "app_Vrx.m51\n";
  }

  /// The console lines after the banner.
  std::string consoleAfterBanner() const {
    const std::size_t start = console_.find("inputFile : ");
    return start == std::string::npos ? console_ : console_.substr(start);
  }

  /// Runs on work()/app_ObjDump.txt, prepared by the caller as a dump that
  /// cannot be had or is none: \p message with the dump's name, exit 1, the
  /// earlier files kept and nothing else left.
  void expectDumpRefusedAndOutputsKept(const std::string &message = "Can not open file: ") {
    writeEarlierOutputs(work());
    EXPECT_EQ(run((work() / "app.txt").string()), 1);
    const std::string directory = work().string() + "/";
    EXPECT_EQ(consoleAfterBanner(), consoleHead(directory) + message + directory + "app_ObjDump.txt\n");
    EXPECT_TRUE(rewrittenOutputs(work(), kStaticsDump).empty());
    EXPECT_TRUE(strayFiles(work()).empty());
  }

  fs::path scratch_;
  fs::path reference_;
  std::string console_;
};

// ---- The dump ---------------------------------------------------------------

TEST_F(FileSystemFaultTest, DumpThatIsADirectoryIsNotOpenedAndNoOutputIsTouched) {
  fs::create_directory(work() / "app_ObjDump.txt");
  expectDumpRefusedAndOutputsKept();
}

#ifdef __linux__
TEST_F(FileSystemFaultTest, DumpWithAReadErrorIsNotParsedAndNoOutputIsTouched) {
  // Reading a process's own memory file from offset 0 fails with an I/O
  // error, for root too: a dump on a failing disk.
  fs::create_symlink("/proc/self/mem", work() / "app_ObjDump.txt");
  expectDumpRefusedAndOutputsKept("Can not read file: ");
}

TEST_F(FileSystemFaultTest, DumpShorterThanItsSizeIsNotParsedAndNoOutputIsTouched) {
  // A sysfs file says it is 4096 bytes long and holds a few: what a dump
  // that another process cut short after it was opened gives the reader.
  const fs::path shorter = "/sys/devices/system/cpu/online";
  std::error_code noSize;
  if (fs::file_size(shorter, noSize) <= readFile(shorter).size()) GTEST_SKIP() << "no such sysfs file here";
  fs::create_symlink(shorter, work() / "app_ObjDump.txt");
  expectDumpRefusedAndOutputsKept("Can not read file: ");
}
#endif

/// Every objdump dump holds a file-format line ("app.elf:     file format
/// elf32-littlearm"); these hold none.
struct NotADumpCase {
  const char *name;
  std::string (*content)();
};

const NotADumpCase kNotADumpCases[] = {
    {"Empty", [] { return std::string(); }},
    {"Text",
     [] { return std::string("Release notes\r\n\r\n- objdump now reads every file format of ARM\r\n"); }},
    // A line ends at a line feed only: a dump whose lines end in carriage
    // returns alone is one line, and it matches nothing.
    {"CarriageReturnsAlone",
     [] {
       std::string crOnly = readFile(kStaticsDump);
       std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
       return crOnly;
     }},
    // objdump's help, when an option reached it in place of a file.
    {"ObjdumpHelp",
     [] {
       return std::string("Usage: arm-none-eabi-objdump <option(s)> <file(s)>\n"
                          " Display information from object <file(s)>.\n"
                          " At least one of the following switches must be given:\n"
                          "  -a, --archive-headers    Display archive header information\n");
     }},
};

void PrintTo(const NotADumpCase &c, std::ostream *os) { *os << c.name; }

class NotADumpTest : public FileSystemFaultTest, public testing::WithParamInterface<NotADumpCase> {};

TEST_P(NotADumpTest, IsSaidToBeNoneAndNoOutputIsTouched) {
  writeFile(work() / "app_ObjDump.txt", GetParam().content());
  expectDumpRefusedAndOutputsKept("Not an objdump dump: ");
}

INSTANTIATE_TEST_SUITE_P(Dumps, NotADumpTest, testing::ValuesIn(kNotADumpCases),
                         [](const testing::TestParamInfo<NotADumpCase> &info) { return info.param.name; });

/// \p utf8 (ASCII) in UTF-16 with its byte-order mark: little endian with CR
/// LF line ends as Windows PowerShell 5's `>` writes it, or big endian.
std::string inUtf16(const std::string &utf8, bool bigEndian) {
  std::string bytes = bigEndian ? "\xfe\xff" : "\xff\xfe";
  const auto unit = [&](char c) {
    bytes += bigEndian ? '\0' : c;
    bytes += bigEndian ? c : '\0';
  };
  for (const char c : utf8) {
    if (!bigEndian && c == '\n') unit('\r');
    unit(c);
  }
  return bytes;
}

TEST_F(FileSystemFaultTest, DumpInUtf16GivesTheFilesOfTheSameTextInUtf8) {
  // The example firmware's dump as objdump 2.40 wrote it; its duplicate
  // statics give a log too.
  const fs::path dump = fs::path(QUILLMAP_OBJDUMP_VERSIONS_DIR) / "demo-dwarf4-O0.objdump-2.40.txt";
  for (const bool bigEndian : {false, true}) {
    writeFile(work() / "app_ObjDump.txt", inUtf16(readFile(dump), bigEndian));
    writeEarlierOutputs(work());
    EXPECT_EQ(run((work() / "app.txt").string()), 0) << console_;
    EXPECT_EQ(rewrittenOutputs(work(), dump), kOutputs) << (bigEndian ? "big endian" : "little endian");
    EXPECT_NE(referenceOutput(dump, "app_Vrx.m51").find("g_engine.speed"), std::string::npos);
  }
}

// ---- Output paths -------------------------------------------------------------

struct DirectoryInTheWayCase {
  const char *name;
  const char *directoryName;
  /// The outputs written whole; the others keep their earlier bytes.
  std::vector<std::string> rewritten;
};

const DirectoryInTheWayCase kDirectoryInTheWayCases[] = {
    {"Map", "app_Vrx.m51", {"app_CANape.db", "app_Vrx.m51_StyleWarnings.log"}},
    {"Log", "app_Vrx.m51_StyleWarnings.log", {"app_Vrx.m51", "app_CANape.db"}},
    {"Canape", "app_CANape.db", {"app_Vrx.m51", "app_Vrx.m51_StyleWarnings.log"}},
};

void PrintTo(const DirectoryInTheWayCase &c, std::ostream *os) { *os << c.name; }

class DirectoryInTheWayTest : public FileSystemFaultTest,
                              public testing::WithParamInterface<DirectoryInTheWayCase> {};

TEST_P(DirectoryInTheWayTest, IsReportedLeftAsItIsAndTheOtherFilesAreWritten) {
  const DirectoryInTheWayCase &c = GetParam();
  fs::copy_file(kStaticsDump, work() / "app_ObjDump.txt");
  writeEarlierOutputs(work());
  fs::remove(work() / c.directoryName);
  fs::create_directory(work() / c.directoryName);
  writeFile(work() / c.directoryName / "inside", "kept");

  EXPECT_EQ(run((work() / "app.txt").string()), 1);
  EXPECT_NE(consoleAfterBanner().find("\nCan not create file: " + (work() / c.directoryName).string() + "\n"),
            std::string::npos)
      << console_;
  EXPECT_TRUE(fs::is_directory(work() / c.directoryName));
  EXPECT_EQ(readFile(work() / c.directoryName / "inside"), "kept");
  for (const std::string &file : c.rewritten)
    EXPECT_EQ(readFile(work() / file), referenceOutput(kStaticsDump, file)) << file;
  EXPECT_TRUE(strayFiles(work()).empty());
}

INSTANTIATE_TEST_SUITE_P(Outputs, DirectoryInTheWayTest, testing::ValuesIn(kDirectoryInTheWayCases));

#ifndef _WIN32
TEST_F(FileSystemFaultTest, OutputThroughASymbolicLinkReplacesTheFileItPointsTo) {
  fs::copy_file(kStaticsDump, work() / "app_ObjDump.txt");
  fs::create_directory(scratch_ / "elsewhere");
  writeFile(scratch_ / "elsewhere" / "map", "earlier map\r\n");
  fs::create_symlink(scratch_ / "elsewhere" / "map", work() / "app_Vrx.m51");

  EXPECT_EQ(run((work() / "app.txt").string()), 0) << console_;
  EXPECT_TRUE(fs::is_symlink(work() / "app_Vrx.m51"));
  EXPECT_EQ(readFile(scratch_ / "elsewhere" / "map"), referenceOutput(kStaticsDump, "app_Vrx.m51"));
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_ / "elsewhere"), fs::directory_iterator()), 1);
}

TEST_F(FileSystemFaultTest, RewrittenFileKeepsItsPermissions) {
  fs::copy_file(kStaticsDump, work() / "app_ObjDump.txt");
  writeEarlierOutputs(work());
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(work() / "app_CANape.db", mode);

  EXPECT_EQ(run((work() / "app.txt").string()), 0) << console_;
  EXPECT_EQ(readFile(work() / "app_CANape.db"), referenceOutput(kStaticsDump, "app_CANape.db"));
  EXPECT_EQ(fs::status(work() / "app_CANape.db").permissions(), mode);
}
#endif

// ---- Full disks and read-only directories --------------------------------------

#ifdef __linux__
/// Runs \p script with sh in a mount namespace of its own, so that what it
/// mounts disappears with it. $1 is the quillmap executable, $2 the work
/// directory, $3 the dump to copy in. Exit code 200 means the namespace or a
/// mount could not be made (no privileges for it here).
constexpr int kNoMountNamespace = 200;

class FullDiskTest : public FileSystemFaultTest {
protected:
  int runInMountNamespace(const std::string &script, const fs::path &dump) {
    std::vector<std::string> arguments;
    if (geteuid() != 0) arguments.push_back("--map-root-user");
    for (const char *argument :
         {"--mount", "--propagation", "private", "sh", "-c", "", "sh", QUILLMAP_EXE, "", ""})
      arguments.push_back(argument);
    arguments[arguments.size() - 5] = script;
    arguments[arguments.size() - 2] = work().string();
    arguments[arguments.size() - 1] = dump.string();
    return runArguments("unshare", arguments);
  }
};

/// Mounts a tmpfs of the given size on the work directory, copies the dump
/// in, puts earlier outputs beside it and runs quillmap. SIGXFSZ stays at
/// its default; ENOSPC is what the writes see.
std::string tmpfsScript(const std::string &size) {
  return "mount -t tmpfs -o size=" + size +
         " tmpfs \"$2\" || exit 200\n"
         "cp \"$3\" \"$2/app_ObjDump.txt\" || exit 201\n"
         "for f in app_Vrx.m51 app_CANape.db app_Vrx.m51_StyleWarnings.log; do\n"
         "  printf 'earlier %s\\r\\n' \"$f\" > \"$2/$f\" || exit 202\n"
         "done\n"
         "\"$1\" \"$2/app.txt\"; code=$?\n"
         // Keep a copy of what the tmpfs holds before it goes away.
         "mkdir -p \"$2.after\" && cp -a \"$2/.\" \"$2.after/\"\n"
         "exit $code\n";
}

struct FullDiskCase {
  const char *name;
  const char *tmpfsSize;
  std::vector<std::string> rewritten;
  std::vector<std::string> failed;
};

const FullDiskCase kFullDiskCases[] = {
    // The map (950 KB) fits, the CANape database (3.6 MB) does not.
    {"MapFitsCanapeDoesNot", "1200k", {"app_Vrx.m51"}, {"app_CANape.db"}},
    // Neither fits.
    {"NothingFits", "400k", {}, {"app_Vrx.m51", "app_CANape.db"}},
};

void PrintTo(const FullDiskCase &c, std::ostream *os) { *os << c.name; }

class TmpfsFullTest : public FullDiskTest, public testing::WithParamInterface<FullDiskCase> {};

TEST_P(TmpfsFullTest, EachFileIsWholeOrAsBeforeAndTheFailuresAreReported) {
  const FullDiskCase &c = GetParam();
  const int exitCode = runInMountNamespace(tmpfsScript(c.tmpfsSize), kBigOutputDump);
  if (exitCode == kNoMountNamespace || exitCode == kCannotStartExitCode)
    GTEST_SKIP() << "no mount namespace with a tmpfs here: " << console_;
  EXPECT_EQ(exitCode, 1) << console_;
  const fs::path after = work().string() + ".after";
  const std::string directory = work().string() + "/";
  std::string expected = consoleHead(directory) + "Parsing Dwarf finished -> Seconds Since Start: ";
  EXPECT_EQ(consoleAfterBanner().substr(0, expected.size()), expected);
  for (const std::string &file : c.failed)
    EXPECT_NE(console_.find("\nCan not create file: " + directory + file + "\n"), std::string::npos)
        << console_;
  EXPECT_EQ(rewrittenOutputs(after, kBigOutputDump), c.rewritten);
  EXPECT_TRUE(strayFiles(after).empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, TmpfsFullTest, testing::ValuesIn(kFullDiskCases));

TEST_F(FullDiskTest, ReadOnlyDirectoryIsReportedForEveryFileAndNothingChanges) {
  // A read-only bind mount stops root as well.
  const std::string script = "cp \"$3\" \"$2/app_ObjDump.txt\" || exit 201\n"
                             "for f in app_Vrx.m51 app_CANape.db app_Vrx.m51_StyleWarnings.log; do\n"
                             "  printf 'earlier %s\\r\\n' \"$f\" > \"$2/$f\" || exit 202\n"
                             "done\n"
                             "mount --bind \"$2\" \"$2\" && mount -o remount,bind,ro \"$2\" || exit 200\n"
                             "exec \"$1\" \"$2/app.txt\"\n";
  const int exitCode = runInMountNamespace(script, kStaticsDump);
  if (exitCode == kNoMountNamespace || exitCode == kCannotStartExitCode)
    GTEST_SKIP() << "no mount namespace with a bind mount here: " << console_;
  EXPECT_EQ(exitCode, 1) << console_;
  const std::string directory = work().string() + "/";
  EXPECT_NE(consoleAfterBanner().find("\nCan not create file: " + directory +
                                      "app_Vrx.m51\n"
                                      "Can not create file: " +
                                      directory +
                                      "app_Vrx.m51_StyleWarnings.log\n"
                                      "Can not create file: " +
                                      directory + "app_CANape.db\n"),
            std::string::npos)
      << console_;
  EXPECT_TRUE(rewrittenOutputs(work(), kStaticsDump).empty());
  EXPECT_TRUE(strayFiles(work()).empty());
}

TEST_F(FullDiskTest, FileSizeLimitHitPartWayKeepsTheEarlierFiles) {
  // The same fault as a full disk, without privileges: writes beyond the
  // limit fail with EFBIG once SIGXFSZ is ignored.
  fs::copy_file(kBigOutputDump, work() / "app_ObjDump.txt");
  writeEarlierOutputs(work());
  const int exitCode = runArguments("sh", {"-c", "trap '' XFSZ; exec prlimit --fsize=500000 -- \"$1\" \"$2\"",
                                           "sh", QUILLMAP_EXE, (work() / "app.txt").string()});
  if (exitCode == kCannotStartExitCode) GTEST_SKIP() << "no prlimit here: " << console_;
  EXPECT_EQ(exitCode, 1) << console_;
  const std::string directory = work().string() + "/";
  EXPECT_NE(consoleAfterBanner().find("\nCan not create file: " + directory +
                                      "app_Vrx.m51\n"
                                      "Can not create file: " +
                                      directory + "app_CANape.db\n"),
            std::string::npos)
      << console_;
  EXPECT_TRUE(rewrittenOutputs(work(), kBigOutputDump).empty());
  EXPECT_TRUE(strayFiles(work()).empty());
}
#endif

} // namespace
