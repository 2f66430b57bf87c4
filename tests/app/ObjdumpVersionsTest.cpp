// Quillmap on real dumps that objdump releases 2.22 to 2.46 wrote of the
// example firmware (tests/data/objdump-versions, unpacked by the build).
// Releases that read every unit give the files of 2.40, whatever their
// layout. objdump 2.26 and older print the header of a DWARF 5 unit without
// its entries: the run says how many units it could not read, still writes
// the files from the rest, and exits with 1.
#include "ProgramRuns.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using TestFiles::readFile;

const fs::path kDumps = QUILLMAP_OBJDUMP_VERSIONS_DIR;

/// What a run on one dump left.
struct RunResult {
  int exitCode = -1;
  /// The console after the banner, the directory written as "<dir>/" and the
  /// seconds as "<s>".
  std::string console;
  std::string m51;
  std::string canape;
  std::string log;
  bool hasLog = false;
};

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

class ObjdumpVersionsTest : public testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    scratch_ =
        fs::temp_directory_path() /
        ("quillmap-versions-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
         "-" + std::to_string(random()));
    fs::create_directories(scratch_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
  }

  /// Runs quillmap on the dump that objdump \p version wrote of \p image.
  RunResult runOn(const std::string &image, const std::string &version) {
    const fs::path dump = kDumps / (image + ".objdump-" + version + ".txt");
    EXPECT_TRUE(fs::exists(dump)) << dump;
    const fs::path dir = scratch_ / (image + "-" + version);
    fs::create_directories(dir);
    fs::copy_file(dump, dir / "app_ObjDump.txt");
    RunResult run;
    const fs::path console = scratch_ / "console";
    run.exitCode = ProgramRuns::runWithOutputIn(QUILLMAP_EXE, {(dir / "app.txt").string()}, console.string());
    std::string text = readFile(console);
    text = text.substr(std::min(text.find("inputFile : "), text.size()));
    for (std::size_t at; (at = text.find(dir.string() + "/")) != std::string::npos;)
      text.replace(at, dir.string().size() + 1, "<dir>/");
    run.console =
        std::regex_replace(text, std::regex("Seconds Since Start: [0-9]+\n"), "Seconds Since Start: <s>\n");
    run.m51 = readFile(dir / "app_Vrx.m51");
    run.canape = readFile(dir / "app_CANape.db");
    run.hasLog = fs::exists(dir / "app_Vrx.m51_StyleWarnings.log");
    run.log = readFile(dir / "app_Vrx.m51_StyleWarnings.log");
    return run;
  }

  fs::path scratch_;
};

/// The console of a run on <dir>/app_ObjDump.txt, with \p messages before the
/// finish line of the parse.
std::string consoleWith(const std::string &messages) {
  return "inputFile : <dir>/app_ObjDump.txt\n"
         "outFileMap : <dir>/app_Vrx.m51\n" +
         messages +
         "Parsing Dwarf finished -> Seconds Since Start: <s>\n"
         "Vrx M51 + CANape finished <dir>/app_Vrx.m51 -> Seconds Since Start: <s>\n";
}

struct SameFilesCase {
  const char *image;
  const char *version;
  std::size_t mapLines;
};

void PrintTo(const SameFilesCase &c, std::ostream *os) { *os << c.image << " " << c.version; }

class SameFilesAs240 : public ObjdumpVersionsTest, public testing::WithParamInterface<SameFilesCase> {};

TEST_P(SameFilesAs240, AndACleanRun) {
  const SameFilesCase &c = GetParam();
  const RunResult reference = runOn(c.image, "2.40");
  const RunResult run = runOn(c.image, c.version);
  for (const RunResult *r : {&reference, &run}) {
    EXPECT_EQ(r->exitCode, 0) << r->console;
    EXPECT_EQ(r->console, consoleWith(""));
    EXPECT_TRUE(r->hasLog);
  }
  EXPECT_EQ(linesOf(reference.m51).size(), c.mapLines);
  EXPECT_EQ(run.m51, reference.m51);
  EXPECT_EQ(run.canape, reference.canape);
  EXPECT_EQ(run.log, reference.log);
}

INSTANTIATE_TEST_SUITE_P(Releases, SameFilesAs240,
                         testing::Values(
                             // The older layout (a tab after every attribute, unnumbered
                             // directories, "0x0"), complete because no library is linked.
                             SameFilesCase{"ecu_be-dwarf4-O0", "2.22", 2279},
                             SameFilesCase{"ecu_be-dwarf2-Os", "2.22", 2279},
                             SameFilesCase{"gateway-dwarf5-Os", "2.46", 1787}),
                         [](const testing::TestParamInfo<SameFilesCase> &info) {
                           std::string name = std::string(info.param.image) + "_" + info.param.version;
                           for (char &ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

constexpr const char *kUnreadMessage = "Compilation units that objdump could not read: ";
constexpr const char *kUnreadTail = " (DWARF 5 needs objdump 2.29 or newer)\n";
constexpr const char *kCanapeHeader =
    "VERSION 104 COMMENT \"CANAPE DB\"\r\nGROUP 'QX_Signals' : \"\"\r\n['QX_Signals']\r\n";

TEST_F(ObjdumpVersionsTest, Dwarf5ImageByObjdump224IsSaidToBeUnreadAndExitsWithOne) {
  // Every unit header comes without entries, and no line table is printed.
  const RunResult run = runOn("demo-dwarf5-O0", "2.24");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.console, consoleWith(std::string(kUnreadMessage) + "15" + kUnreadTail));
  // The files are still written, from what could be read: nothing.
  EXPECT_EQ(run.m51, "");
  EXPECT_EQ(run.canape, kCanapeHeader);
  EXPECT_FALSE(run.hasLog);
  const RunResult reference = runOn("demo-dwarf5-O0", "2.40");
  EXPECT_EQ(reference.exitCode, 0);
  EXPECT_EQ(reference.console, consoleWith(""));
  EXPECT_EQ(linesOf(reference.m51).size(), 466u);
}

/// The variable a map line's scoped name starts in: "g_engine.speed" and
/// "tasks_01.run" give g_engine and tasks.
std::string variableOf(const std::string &mapLine) {
  std::istringstream fields(mapLine);
  std::string address, symbol, data, type, name;
  fields >> address >> symbol >> data >> type >> name;
  name = name.substr(0, name.find('.'));
  const std::size_t element = name.find_last_of('_');
  if (element != std::string::npos && element + 1 < name.size() &&
      name.find_first_not_of("0123456789", element + 1) == std::string::npos)
    name.erase(element);
  return name;
}

TEST_F(ObjdumpVersionsTest, Dwarf4ImageWithNewlibByObjdump224KeepsEveryUserVariable) {
  // The user's units (examples/demo/main.c and sensors.c) are DWARF 4 and
  // read; newlib's 13 are DWARF 5 and come as headers without entries.
  const std::set<std::string> userVariables = {"g_engine",     "g_tick_ms",        "tasks",
                                               "count",        "coolant_ring",     "adc_raw",
                                               "sample_total", "engine_step@steps"};
  const RunResult run = runOn("demo-dwarf4-O0", "2.24");
  const RunResult reference = runOn("demo-dwarf4-O0", "2.40");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.console, consoleWith(std::string(kUnreadMessage) + "13" + kUnreadTail));
  EXPECT_EQ(reference.exitCode, 0);
  EXPECT_EQ(reference.console, consoleWith(""));
  std::vector<std::string> userLines;
  for (const std::string &line : linesOf(reference.m51))
    if (userVariables.count(variableOf(line)) != 0) userLines.push_back(line);
  EXPECT_EQ(userLines.size(), 30u);
  // Exactly the user's lines of 2.40, in the same order.
  EXPECT_EQ(linesOf(run.m51), userLines);
  EXPECT_GT(linesOf(reference.m51).size(), userLines.size()); // newlib's are lost
  EXPECT_TRUE(run.hasLog);
}

} // namespace
