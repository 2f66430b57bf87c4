#include "tests/fuzz/FuzzPipeline.h"

#include "output/SymbolFiles.h"
#include "reader/ByteOrderFlag.h"
#include "reader/DwarfDatabase.h"

#include <algorithm>
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

} // namespace

void run(std::string_view dump) {
  const SymbolTexts texts = textsOf(dump);
  checkTexts(texts);

  // A carriage return before a line feed belongs to the line end: the same
  // dump with CR LF line ends must give the same texts.
  if (dump.find('\r') != std::string_view::npos || dump.find('\n') == std::string_view::npos) return;
  std::string crlf;
  crlf.reserve(dump.size() * 2);
  for (const char c : dump) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  const SymbolTexts crlfTexts = textsOf(crlf);
  if (crlfTexts.m51 != texts.m51 || crlfTexts.canape != texts.canape ||
      crlfTexts.styleWarnings != texts.styleWarnings || crlfTexts.hasStyleWarnings != texts.hasStyleWarnings)
    fail("CR LF line ends change the texts");
}

} // namespace FuzzPipeline
