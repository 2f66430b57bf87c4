// A dump whose file-format line ends in "little" sets its database's
// byte-order flag, and bit numbers then count from the least significant bit
// of the storage unit.
#include "output/SymbolFiles.h"
#include "tests/output/OutputTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace OutputTest;

namespace {

TEST(ByteOrder, LittleFormatNumbersBitsFromTheLeastSignificantEnd) {
  // golden.c's dump under the generic format name objdump gives to ELF
  // files of machines it does not know.
  std::string dump = readFile(std::string(QUILLMAP_TEST_DATA_DIR) + "/output/golden-dwarf4.txt");
  const std::string armFormat = "file format elf32-littlearm";
  const std::size_t at = dump.find(armFormat);
  ASSERT_NE(at, std::string::npos);
  dump.replace(at, armFormat.size(), "file format elf32-little");

  ScratchDirectory directory;
  const std::unique_ptr<DwarfDatabase> database = parseDump(dump);
  ASSERT_TRUE(database->isLittleEndian());
  ASSERT_TRUE(writeSymbolFiles(directory.file("app_Vrx.m51"), directory.file("app_CANape.db"), *database, {})
                  .complete());
  EXPECT_EQ(
      readFile(directory.file("app_Vrx.m51")),
      crlfLines({
          "0002004cH     SYMBOL  DATA  BYTE     counter",
          "20000000H     SYMBOL  DATA  DWORD    flags.pad_Bits:012345678910111213141516171819202122232425",
          "20000000H     SYMBOL  DATA  DWORD    flags.ready_Bit:26",
          "20000000H     SYMBOL  DATA  DWORD    flags.mode_Bits:272829",
          "20000000H     SYMBOL  DATA  INT32    flags.level_Bits:3031",
          "20000004H     SYMBOL  DATA  INT32    tick@count",
      }));
  const std::string db = readFile(directory.file("app_CANape.db"));
  EXPECT_NE(db.find("'flags.mode_Bits_272829'"), std::string::npos);
  EXPECT_NE(
      db.find("    \"\" UINT(3,27) \"\" 0 0           7 (0  7)            CHARACTERISTIC  WEAK_LIMITS 0   "
              "                7\r\n"),
      std::string::npos);
}

} // namespace
