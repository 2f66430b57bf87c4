#pragma once

#include <string_view>

/// Every text that goes into the three output files, byte-exact, in one place.
/// Measurement set-ups are keyed on these texts; change none of them lightly.
namespace FileTexts {

/// Every line of every output file ends like this, on every platform.
inline constexpr std::string_view kLineEnd = "\r\n";

// ---- Symbol expansion ------------------------------------------------------

/// The type texts of the leaf kinds that are no base type.
inline constexpr std::string_view kTypeEnumeration = "enumeration";
inline constexpr std::string_view kTypePointer = "pointer";
inline constexpr std::string_view kTypeFunction = "function";
inline constexpr std::string_view kTypeUnion = "union";
/// The file text of a declaration whose file number names no entry of its
/// unit's line table.
inline constexpr std::string_view kUnknownFile = "unknown";

// ---- M51 map ---------------------------------------------------------------

/// Between the eight address digits and the type word.
inline constexpr std::string_view kM51AfterAddress = "H     SYMBOL  DATA  ";
/// Between the type word and the name.
inline constexpr std::string_view kM51AfterTypeWord = "    ";

/// The type words, five characters each.
inline constexpr std::string_view kWordByte = "BYTE ";
inline constexpr std::string_view kWordWord = "WORD ";
inline constexpr std::string_view kWordDword = "DWORD";
inline constexpr std::string_view kWordQword = "QWORD";
inline constexpr std::string_view kWordInt8 = "INT8 ";
inline constexpr std::string_view kWordInt16 = "INT16";
inline constexpr std::string_view kWordInt32 = "INT32";
inline constexpr std::string_view kWordInt64 = "INT64";
/// Followed by the byte size in decimal.
inline constexpr std::string_view kWordSizeNotSupported = "SIZE_NOT_SUPPORTED_";

/// Bit-field name suffixes, followed by the bit numbers.
inline constexpr std::string_view kBitSuffix = "_Bit:";
inline constexpr std::string_view kBitsSuffix = "_Bits:";

// ---- CANape database -------------------------------------------------------

inline constexpr std::string_view kCanapeHeader[] = {
    "VERSION 104 COMMENT \"CANAPE DB\"",
    "GROUP 'QX_Signals' : \"\"",
    "['QX_Signals']",
};

/// Opens every entry line.
inline constexpr std::string_view kCanapeVariable = "VARIABLE 0x0 ";
/// The name field: quote, name, quote, two blanks, padded to this width.
inline constexpr std::string_view kCanapeNameOpen = "'";
inline constexpr std::string_view kCanapeNameClose = "'  ";
inline constexpr std::size_t kCanapeNameFieldWidth = 100;
/// Characters of a name that CANape does not accept, and their stand-in.
inline constexpr char kCanapeReplacedChars[] = {'@', ':'};
inline constexpr char kCanapeReplacement = '_';
/// Before the eight address digits.
inline constexpr std::string_view kCanapeAddressPrefix = "0x";

/// The type rows of the ordinary leaves. 8-byte leaves carry the 32-bit
/// limits: CANape set-ups in the field were made with exactly these rows.
inline constexpr std::string_view kRowUint8 =
    "    \"\" UINT(8)    \"\" 0 0                   255                 CHARACTERISTIC       WEAK_LIMITS "
    "0                    255";
inline constexpr std::string_view kRowUint16 =
    "    \"\" UINT(16)   \"\" 0 0                   65535               CHARACTERISTIC       WEAK_LIMITS "
    "0                    65535";
inline constexpr std::string_view kRowUint32 =
    "    \"\" UINT(32)   \"\" 0 0                   4294967295          CHARACTERISTIC       WEAK_LIMITS "
    "0                    4294967295";
inline constexpr std::string_view kRowUint64 =
    "    \"\" UINT(64)   \"\" 0 0                   4294967295          CHARACTERISTIC       WEAK_LIMITS "
    "0                    4294967295";
inline constexpr std::string_view kRowInt8 =
    "    \"\" INT(8)     \"\" 0 -128                127                 CHARACTERISTIC       WEAK_LIMITS "
    "-128                 127";
inline constexpr std::string_view kRowInt16 =
    "    \"\" INT(16)    \"\" 0 -32768              32767               CHARACTERISTIC       WEAK_LIMITS "
    "-32768               32767";
inline constexpr std::string_view kRowInt32 =
    "    \"\" INT(32)    \"\" 0 -2147483648         2147483647          CHARACTERISTIC       WEAK_LIMITS "
    "-2147483648          2147483647";
inline constexpr std::string_view kRowInt64 =
    "    \"\" INT(64)    \"\" 0 -2147483648         2147483647          CHARACTERISTIC       WEAK_LIMITS "
    "-2147483648          2147483647";

/// The pieces of a bit-field row, in the order they are joined:
/// open, bit size, comma, start bit, limits open, lower, blanks, upper, paren,
/// lower, two blanks, upper, characteristic, lower, blanks, upper.
inline constexpr std::string_view kBitRowOpen = "    \"\" UINT(";
inline constexpr std::string_view kBitRowComma = ",";
inline constexpr std::string_view kBitRowLimitsOpen = ") \"\" 0 ";
inline constexpr std::string_view kBitRowAfterFirstLower = "           ";
inline constexpr std::string_view kBitRowParenOpen = " (";
inline constexpr std::string_view kBitRowInParen = "  ";
inline constexpr std::string_view kBitRowCharacteristic = ")            CHARACTERISTIC  WEAK_LIMITS ";
inline constexpr std::string_view kBitRowAfterLastLower = "                   ";

// ---- Style warnings log ----------------------------------------------------

/// Appended to the M51 file name to name the log.
inline constexpr std::string_view kStyleWarningsSuffix = "_StyleWarnings.log";
inline constexpr std::string_view kDuplicateWarning = "Warning - Duplicate Static VariableName: ";
inline constexpr std::string_view kLocationFile = "  Location File: ";
/// After the duplicate-name warnings, one per variable left out at address 0.
inline constexpr std::string_view kAddressZeroWarning = "Warning - Variable at address 0 left out: ";

} // namespace FileTexts
