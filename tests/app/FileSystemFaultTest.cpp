// File-system faults around a run of the built quillmap: a dump that cannot be
// read, output paths that cannot be written, a disk that fills up. Each run
// must end with its message and exit code 1, and every output file must be
// either completely rewritten or left with its earlier bytes, never cut.
#include "ProgramRuns.h"
#include "TestFiles.h"
#include "app/ObjdumpRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
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

/// A dump of one unit with \p count int variables, laid out as objdump 2.40
/// prints them: 300 bytes a variable, whose files are 300 bytes more.
void writeManyVariablesDump(const fs::path &path, std::size_t count) {
  std::string text = "\napp.elf:     file format elf32-littlearm\n\n"
                     "Contents of the .debug_info section:\n\n"
                     "  Compilation Unit @ offset 0:\n"
                     "   Version:       4\n"
                     "   Abbrev Offset: 0\n"
                     "   Pointer Size:  4\n"
                     " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                     "    <c>   DW_AT_name        : many.c\n"
                     " <1><20>: Abbrev Number: 2 (DW_TAG_base_type)\n"
                     "    <21>   DW_AT_byte_size   : 4\n"
                     "    <22>   DW_AT_encoding    : 5\t(signed)\n"
                     "    <23>   DW_AT_name        : int\n";
  std::ofstream out(path, std::ios::binary);
  char entry[512];
  std::uint32_t offset = 0x30;
  for (std::size_t i = 0; i < count; ++i, offset += 0x14) {
    const std::uint32_t address = 0x20000000u + 4u * static_cast<std::uint32_t>(i);
    text.append(entry,
                static_cast<std::size_t>(std::snprintf(
                    entry, sizeof entry,
                    " <1><%x>: Abbrev Number: 3 (DW_TAG_variable)\n"
                    "    <%x>   DW_AT_name        : many_variable_%zu\n"
                    "    <%x>   DW_AT_decl_file   : 1\n"
                    "    <%x>   DW_AT_decl_line   : %zu\n"
                    "    <%x>   DW_AT_type        : <0x20>\n"
                    "    <%x>   DW_AT_location    : 5 byte block: 3 %x %x %x %x \t(DW_OP_addr: %x)\n",
                    offset, offset + 1, i, offset + 5, offset + 6, i % 50000 + 1, offset + 8, offset + 12,
                    address & 0xFF, (address >> 8) & 0xFF, (address >> 16) & 0xFF, address >> 24, address)));
    if (text.size() > (1u << 20)) {
      out << text;
      text.clear();
    }
  }
  out << text << " <1><" << std::hex << offset << ">: Abbrev Number: 0\n";
}

/// A dump whose file-format line is followed by \p bytes NULs and no line
/// feed (a sparse file), as a copy of /dev/zero would be.
void writeEndlessLineDump(const fs::path &path, std::uintmax_t bytes) {
  const std::string head = "\napp.elf:     file format elf32-littlearm\n\n";
  writeFile(path, head);
  fs::resize_file(path, head.size() + bytes);
}

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
    const int exitCode = ProgramRuns::runWithOutputIn(program, arguments, consoleFile);
    console_ = readFile(consoleFile);
    return exitCode;
  }

  /// The files a normal run on \p dump writes, made in a directory of their own.
  std::string referenceOutput(const fs::path &dump, const std::string &file) {
    if (!fs::exists(reference_ / "app_ObjDump.txt")) {
      fs::copy_file(dump, reference_ / "app_ObjDump.txt");
      const fs::path console = scratch_ / "reference-console";
      EXPECT_EQ(ProgramRuns::runWithOutputIn(QUILLMAP_EXE, {(reference_ / "app.txt").string()}, console), 0);
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
struct LinkedOutputCase {
  const char *name;
  bool targetExists;
  /// The link names its file relative to the link's own folder.
  bool relative;
};

const LinkedOutputCase kLinkedOutputCases[] = {
    {"ToAFile", true, false},
    {"Dangling", false, false},
    {"DanglingRelative", false, true},
};

void PrintTo(const LinkedOutputCase &c, std::ostream *os) { *os << c.name; }

class LinkedOutputTest : public FileSystemFaultTest, public testing::WithParamInterface<LinkedOutputCase> {};

TEST_P(LinkedOutputTest, WritesTheFileTheLinkPointsToAndTheLinkStays) {
  const LinkedOutputCase &c = GetParam();
  fs::copy_file(kStaticsDump, work() / "app_ObjDump.txt");
  fs::create_directory(scratch_ / "elsewhere");
  if (c.targetExists) writeFile(scratch_ / "elsewhere" / "map", "earlier map\r\n");
  const fs::path linkText = c.relative ? fs::path("../elsewhere/map") : scratch_ / "elsewhere" / "map";
  fs::create_symlink(linkText, work() / "app_Vrx.m51");

  // Run from another folder, so that only the link's own folder gives the
  // right file for a relative link.
  EXPECT_EQ(run((work() / "app.txt").string()), 0) << console_;
  EXPECT_TRUE(fs::is_symlink(work() / "app_Vrx.m51"));
  EXPECT_EQ(fs::read_symlink(work() / "app_Vrx.m51"), linkText);
  EXPECT_EQ(readFile(scratch_ / "elsewhere" / "map"), referenceOutput(kStaticsDump, "app_Vrx.m51"));
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_ / "elsewhere"), fs::directory_iterator()), 1);
  EXPECT_TRUE(strayFiles(work()).empty());
}

INSTANTIATE_TEST_SUITE_P(Links, LinkedOutputTest, testing::ValuesIn(kLinkedOutputCases));

TEST_F(FileSystemFaultTest, LinksPlantedAtGuessableTemporaryNamesChangeNothing) {
  // The shell plants links at the names "<file>.<its process id>.tmp", then
  // becomes quillmap under the same process id.
  fs::copy_file(kStaticsDump, work() / "app_ObjDump.txt");
  const fs::path victim = scratch_ / "victim";
  writeFile(victim, "victim\n");
  const std::string script = "for f in app_Vrx.m51 app_CANape.db app_Vrx.m51_StyleWarnings.log; do\n"
                             "  ln -s \"$3\" \"$2/$f.$$.tmp\" || exit 201\n"
                             "done\n"
                             "exec \"$1\" \"$2/app.txt\"\n";
  EXPECT_EQ(runArguments("sh", {"-c", script, "sh", QUILLMAP_EXE, work().string(), victim.string()}), 0)
      << console_;
  EXPECT_EQ(readFile(victim), "victim\n");
  for (const std::string &file : kOutputs) {
    EXPECT_FALSE(fs::is_symlink(work() / file)) << file;
    EXPECT_EQ(readFile(work() / file), referenceOutput(kStaticsDump, file)) << file;
  }
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

// ---- Out of memory ----------------------------------------------------------------

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

/// Small dumps run within it (4 MiB are enough for them); these do not.
constexpr const char *kAddressSpaceLimit = "--as=33554432";

struct NoMemoryCase {
  const char *name;
  void (*writeDump)(const fs::path &);
};

const NoMemoryCase kNoMemoryCases[] = {
    // 60 MB of dump whose model does not fit.
    {"ManyVariables", [](const fs::path &path) { writeManyVariablesDump(path, 200000); }},
    // A line reader that doubles its buffer for ever.
    {"LineWithoutEnd", [](const fs::path &path) { writeEndlessLineDump(path, std::uintmax_t{64} << 20); }},
};

void PrintTo(const NoMemoryCase &c, std::ostream *os) { *os << c.name; }

class NoMemoryTest : public FileSystemFaultTest, public testing::WithParamInterface<NoMemoryCase> {};

TEST_P(NoMemoryTest, IsReportedWithExitCodeOneAndTouchesNoFile) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers' runtime needs more address space than the limit";
  GetParam().writeDump(work() / "app_ObjDump.txt");
  writeEarlierOutputs(work());
  const int exitCode =
      runArguments("prlimit", {kAddressSpaceLimit, "--", QUILLMAP_EXE, (work() / "app.txt").string()});
  if (exitCode == kCannotStartExitCode) GTEST_SKIP() << "no prlimit here: " << console_;
  EXPECT_EQ(exitCode, 1) << console_;
  const std::string directory = work().string() + "/";
  EXPECT_EQ(consoleAfterBanner(),
            consoleHead(directory) + "Not enough memory for " + directory + "app_ObjDump.txt\n");
  for (const std::string &file : kOutputs)
    EXPECT_EQ(readFile(work() / file), earlierText(file)) << file;
  EXPECT_TRUE(strayFiles(work()).empty());
}

INSTANTIATE_TEST_SUITE_P(Dumps, NoMemoryTest, testing::ValuesIn(kNoMemoryCases));

// ---- Signals ---------------------------------------------------------------------

struct SignalCase {
  const char *name;
  int signal;
};

const SignalCase kSignalCases[] = {{"Interrupt", SIGINT}, {"Terminate", SIGTERM}, {"HangUp", SIGHUP}};

void PrintTo(const SignalCase &c, std::ostream *os) { *os << c.name; }

class SignalWhileWritingTest : public FileSystemFaultTest, public testing::WithParamInterface<SignalCase> {};

/// The temporary files in \p directory.
std::vector<std::string> temporaryFiles(const fs::path &directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
    if (it->path().extension() == ".tmp") names.push_back(it->path().filename().string());
  return names;
}

TEST_P(SignalWhileWritingTest, RemovesTheTemporaryFilesAndKeepsTheEarlierOnes) {
  const int signal = GetParam().signal;
  const fs::path dump = scratch_ / "many-variables.txt";
  writeManyVariablesDump(dump, 200000);
  fs::copy_file(dump, work() / "app_ObjDump.txt");
  bool caught = false;
  // The run is stopped while its temporary files are there, and signalled.
  // A run that ends before they are seen is tried again.
  for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
    writeEarlierOutputs(work());
    ProgramRuns::StartedProgram quillmap(QUILLMAP_EXE, {(work() / "app.txt").string()}, scratch_ / "console");
    while (!caught && !quillmap.hasEnded()) {
      if (temporaryFiles(work()).empty()) continue;
      quillmap.stop();
      caught = !temporaryFiles(work()).empty();
      if (!caught) quillmap.resume();
    }
    if (!caught) continue;
    kill(quillmap.pid(), signal);
    quillmap.resume();
    EXPECT_EQ(ProgramRuns::exitCodeOf(quillmap.wait()), 128 + signal);
  }
  ASSERT_TRUE(caught) << "every run ended before its temporary files were seen";
  rewrittenOutputs(work(), dump);
  EXPECT_TRUE(strayFiles(work()).empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalWhileWritingTest, testing::ValuesIn(kSignalCases));
#endif

} // namespace
