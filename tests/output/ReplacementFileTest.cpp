// The temporary file beside a file being replaced: made only where nothing
// is, so nothing planted at its name is written through or over.
#include "output/ReplacementFile.h"
#include "tests/output/OutputTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

using namespace OutputTest;
namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

/// The unique parts a file tries, one after the other: the planted name first.
int uniquePartsTaken = 0;
std::string plantedThenFresh() { return uniquePartsTaken++ == 0 ? "planted" : "fresh"; }

enum class Planted { LinkToAFile, DanglingLink, File };

struct PlantedCase {
  const char *name;
  Planted planted;
};

const PlantedCase kPlantedCases[] = {
    {"LinkToAFile", Planted::LinkToAFile},
    {"DanglingLink", Planted::DanglingLink},
    {"File", Planted::File},
};

void PrintTo(const PlantedCase &c, std::ostream *os) { *os << c.name; }

class PlantedTemporaryNameTest : public testing::TestWithParam<PlantedCase> {};

TEST_P(PlantedTemporaryNameTest, IsPassedByAndLeftAsItWas) {
  const ScratchDirectory directory;
  const std::string target = directory.file("app_Vrx.m51");
  const fs::path planted = target + ".planted.tmp";
  const fs::path victim = directory.file("victim");
  switch (GetParam().planted) {
  case Planted::LinkToAFile:
    writeFile(victim, "victim\n");
    fs::create_symlink(victim, planted);
    break;
  case Planted::DanglingLink:
    fs::create_symlink(victim, planted);
    break;
  case Planted::File:
    writeFile(planted, "someone else's\n");
    break;
  }

  uniquePartsTaken = 0;
  ReplacementFile file(target, plantedThenFresh);
  ASSERT_TRUE(file.isOpen());
  EXPECT_EQ(file.temporaryName(), target + ".fresh.tmp");
  ASSERT_TRUE(file.write("new map\r\n"));
  ASSERT_TRUE(file.commit());

  EXPECT_EQ(readFile(target), "new map\r\n");
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_TRUE(fs::exists(fs::symlink_status(planted)));
  switch (GetParam().planted) {
  case Planted::LinkToAFile:
    EXPECT_EQ(readFile(victim), "victim\n");
    break;
  case Planted::DanglingLink:
    EXPECT_FALSE(fs::exists(victim));
    break;
  case Planted::File:
    EXPECT_EQ(readFile(planted), "someone else's\n");
    break;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlantedTemporaryNameTest, testing::ValuesIn(kPlantedCases));

TEST(ReplacementFileTest, TemporaryNamesAreRandomAndBesideTheFile) {
  const ScratchDirectory directory;
  const std::string target = directory.file("app_CANape.db");
  const ReplacementFile first(target);
  const ReplacementFile second(target);
  ASSERT_TRUE(first.isOpen());
  ASSERT_TRUE(second.isOpen());
  EXPECT_NE(first.temporaryName(), second.temporaryName());
  const std::regex shape(std::regex_replace(target, std::regex("[.]"), "[.]") + "[.][0-9a-f]{16}[.]tmp");
  EXPECT_TRUE(std::regex_match(first.temporaryName(), shape)) << first.temporaryName();
  EXPECT_TRUE(std::regex_match(second.temporaryName(), shape)) << second.temporaryName();
}

} // namespace
