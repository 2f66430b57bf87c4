#pragma once

/// Every text the tool prints on the console, byte-exact, in one place.
/// Each console line ends with '\n' and a flush.
namespace ConsoleTexts {

// Name lines and progress lines of a run.
inline constexpr const char *kInputFile = "inputFile : ";
inline constexpr const char *kOutFileMap = "outFileMap : ";
inline constexpr const char *kElfFile = "elfFile : ";
inline constexpr const char *kObjDumpFinished = "ObjDump finished ";
inline constexpr const char *kObjDumpFailed =
    "ObjDump failed (exit code "; // + N + kObjDumpFailedTail + dump name
inline constexpr const char *kObjDumpFailedTail = "): ";
inline constexpr const char *kParsingFinished = "Parsing Dwarf finished";
inline constexpr const char *kOutputFinished = "Vrx M51 + CANape finished ";
inline constexpr const char *kSecondsSinceStart = " -> Seconds Since Start: ";
inline constexpr const char *kCanNotOpenFile = "Can not open file: ";
inline constexpr const char *kCanNotReadFile = "Can not read file: ";
inline constexpr const char *kNotAnObjdumpDump = "Not an objdump dump: ";
inline constexpr const char *kUnreadUnits =
    "Compilation units that objdump could not read: "; // + N + kUnreadUnitsTail
inline constexpr const char *kUnreadUnitsTail = " (DWARF 5 needs objdump 2.29 or newer)";
inline constexpr const char *kCanNotCreateFile = "Can not create file: ";
inline constexpr const char *kNotEnoughMemory = "Not enough memory for ";                   // + dump name
inline constexpr const char *kTooManySymbols = "Too many symbols, list cut at ";            // + the cap
inline constexpr const char *kVariablesAtAddressZero = "Variables at address 0 left out: "; // + their number

// The objdump command: program, switches, and the text form shown in usage.
inline constexpr const char *kObjDumpProgram = "arm-none-eabi-objdump";
inline constexpr const char *kObjDumpSwitches = "-WlLiaprmfFsoRt";

// Derived file names.
inline constexpr const char *kDumpSuffix = "_ObjDump.txt";
inline constexpr const char *kMapSuffix = "_Vrx.m51";
inline constexpr const char *kCanapeSuffix = "_CANape.db";

// Banner.
inline constexpr const char *kBannerVersion = " version ";
inline constexpr const char *kBannerFrom = " from ";

// Usage text, printed line by line after the banner when no path is given.
// The second line is kUsageBuild followed by the build date.
inline constexpr const char *kUsageTitle = "ELF TO KEIL M51 MEMORY MAP FILE GENERATOR";
inline constexpr const char *kUsageBuild = "BUILD: ";
inline constexpr const char *kUsageLines[] = {
    "Call: program \"elf_file.elf\"",
    "       -  generates map file from elf file",
    "Call: program \"objDumpOutput.txt\"",
    "       -  generates map file from objDumpFile",
    "Call: Quillmap \"directory\"",
    "       -  generate map file from elf files found in directory",
    "",
    "Generated files will have the same name as used input filename + _ObjDump.txt + _Vrx.m51 + _CANape.db",
    "Internal ObjDump Call will be \"arm-none-eabi-objdump -WlLiaprmfFsoRt  inputFile.elf > inputFile.txt\"",
};

// The two lines of each traced name that output generation reads
// (output/NameTrace.h): + the name, + the number of the object's children.
inline constexpr const char *kGetNameTrace = "getName: ";
inline constexpr const char *kChildrenSizeTrace = "children.size(): ";

} // namespace ConsoleTexts
