#include "tests/fuzz/FuzzPipeline.h"

#include "output/SymbolFiles.h"
#include "reader/ByteOrderFlag.h"
#include "reader/DwarfDatabase.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace FuzzPipeline {

namespace {

[[noreturn]] void fail(const char *rule) {
  std::fprintf(stderr, "fuzz pipeline: %s\n", rule);
  std::abort();
}

/// Parses \p dump into a fresh database and makes the texts. The byte-order
/// flag is process-wide and never cleared by the tool; each dump starts
/// with it false, as in a run of its own.
SymbolTexts textsOf(std::string_view dump) {
  ByteOrderFlag::clear();
  SymbolTexts texts;
  {
    DwarfDatabase database;
    database.parseDumpText(dump);
    makeSymbolTexts(database, texts, kLeafCap);
  }
  ByteOrderFlag::clear();
  return texts;
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
  const SymbolTexts texts = textsOf(dump);
  checkTexts(texts);

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
