#include "tests/fuzz/FuzzPipeline.h"

#include "reader/DwarfDatabase.h"
#include "tests/output/SymbolTexts.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace FuzzPipeline {

namespace {

[[noreturn]] void fail(const char *rule) {
  std::fprintf(stderr, "fuzz pipeline: %s\n", rule);
  std::abort();
}

/// The texts of a dump, and what its database says of the dump as a whole.
struct Outcome {
  SymbolTexts texts;
  bool fileFormatSeen = false;
  bool littleEndian = false;
  std::size_t unreadUnits = 0;
};

/// Parses \p dump into a fresh database, by \p parse(database), and makes
/// the texts.
template <class Parse> Outcome outcomeOf(Parse parse) {
  Outcome outcome;
  DwarfDatabase database;
  parse(database);
  makeSymbolTexts(database, outcome.texts, kLeafCap);
  outcome.fileFormatSeen = database.fileFormatSeen();
  outcome.littleEndian = database.isLittleEndian();
  outcome.unreadUnits = database.unreadUnits();
  return outcome;
}

SymbolTexts textsOf(std::string_view dump) {
  return outcomeOf([dump](DwarfDatabase &database) { database.parseDumpText(dump); }).texts;
}

/// Where a part is made to start in \p dump: at each unit and section line,
/// where a large dump's parts start, and at every few lines besides, where
/// a part's lines depend on what came before; at most about 48 parts.
std::vector<std::size_t> forcedParts(std::string_view dump) {
  const auto lines = static_cast<std::size_t>(std::count(dump.begin(), dump.end(), '\n'));
  const std::size_t every = std::max<std::size_t>(3, lines / 48);
  std::vector<std::size_t> starts;
  std::size_t line = 0;
  for (std::size_t at = dump.find('\n'); at != std::string_view::npos && at + 1 < dump.size();
       at = dump.find('\n', at + 1)) {
    const std::string_view rest = dump.substr(at + 1);
    if (++line % every == 0 || rest.starts_with("  Compilation Unit @ offset ") ||
        rest.starts_with("Contents of the "))
      starts.push_back(at + 1);
  }
  return starts;
}

/// The number of lines of \p text, which must be whole CR LF lines.
std::size_t crlfLineCount(std::string_view text, const char *rule) {
  if (!text.empty() && !text.ends_with("\r\n")) fail(rule);
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void checkTexts(const SymbolTexts &texts) {
  constexpr std::string_view kCanapeHeader =
      "VERSION 104 COMMENT \"CANAPE DB\"\r\nGROUP 'QX_Signals' : \"\"\r\n['QX_Signals']\r\n";
  if (!std::string_view(texts.canape).starts_with(kCanapeHeader)) fail("CANape text without its header");
  const std::size_t mapLines = crlfLineCount(texts.m51, "map text not made of CR LF lines");
  const std::size_t canapeLines = crlfLineCount(texts.canape, "CANape text not made of CR LF lines");
  // No name holds a line feed: the dump is split at them.
  if (canapeLines != mapLines + 3) fail("CANape lines do not match map lines");
  if (texts.hasStyleWarnings != !texts.styleWarnings.empty())
    fail("log made without lines, or lines without log");
  crlfLineCount(texts.styleWarnings, "log text not made of CR LF lines");
}

bool sameTexts(const SymbolTexts &a, const SymbolTexts &b) {
  return a.m51 == b.m51 && a.canape == b.canape && a.styleWarnings == b.styleWarnings &&
         a.hasStyleWarnings == b.hasStyleWarnings;
}

/// \p text in UTF-16 little endian with a byte-order mark, as PowerShell 5
/// writes it; false when \p text is no valid UTF-8. Written here on its own,
/// not with the reader's decoder.
bool toUtf16(std::string_view text, std::string &utf16) {
  utf16 = "\xff\xfe";
  const auto unit = [&](std::uint32_t u) {
    utf16.push_back(static_cast<char>(u & 0xff));
    utf16.push_back(static_cast<char>(u >> 8));
  };
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size()) return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[at + k]);
      if ((next >> 6) != 2) return false;
      code = (code << 6) | (next & 0x3f);
    }
    constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
    if (code < 0x10000) {
      unit(code);
    } else {
      unit(0xd800 + ((code - 0x10000) >> 10));
      unit(0xdc00 + ((code - 0x10000) & 0x3ff));
    }
    at += length;
  }
  return true;
}

} // namespace

void run(std::string_view dump) {
  const Outcome whole =
      outcomeOf([dump](DwarfDatabase &database) { database.parseDumpTextInParts(dump, {}); });
  const SymbolTexts &texts = whole.texts;
  checkTexts(texts);

  // Parts, joined or read again, give what one pass gives, on two threads
  // and on one. (A dump in UTF-16 is decoded before it is cut.)
  if (!dump.starts_with("\xff\xfe") && !dump.starts_with("\xfe\xff")) {
    const std::vector<std::size_t> starts = forcedParts(dump);
    for (const unsigned threads : {2u, 1u}) {
      const Outcome inParts =
          outcomeOf([&](DwarfDatabase &database) { database.parseDumpTextInParts(dump, starts, threads); });
      if (!sameTexts(inParts.texts, texts) || inParts.fileFormatSeen != whole.fileFormatSeen ||
          inParts.littleEndian != whole.littleEndian || inParts.unreadUnits != whole.unreadUnits)
        fail("a parse in parts differs from one pass");
    }
  }

  // A dump in UTF-16 gives the texts of the same text in UTF-8.
  std::string utf16;
  if (toUtf16(dump, utf16) && !sameTexts(textsOf(utf16), texts)) fail("UTF-16 changes the texts");

  // A carriage return before a line feed belongs to the line end: the same
  // dump with CR LF line ends must give the same texts. (A line feed byte of
  // UTF-16 is half a code unit.)
  if (dump.find('\r') != std::string_view::npos || dump.find('\n') == std::string_view::npos ||
      dump.starts_with("\xff\xfe") || dump.starts_with("\xfe\xff"))
    return;
  std::string crlf;
  crlf.reserve(dump.size() * 2);
  for (const char c : dump) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  if (!sameTexts(textsOf(crlf), texts)) fail("CR LF line ends change the texts");
}

} // namespace FuzzPipeline
