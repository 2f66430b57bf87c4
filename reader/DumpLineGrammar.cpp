// Hand-written matchers for the patterns of DumpLineGrammar.h.
//
// Each matcher reproduces what std::regex_match (ECMAScript, classic locale)
// does with its pattern, including the parts that are easy to get wrong:
// '.' matches every character except '\n' and '\r'; [[:blank:]] is a space or
// a tab; [[:space:]] adds '\n', '\v', '\f' and '\r'; a greedy ".*" in front of
// a literal picks that literal's last occurrence.
#include "reader/DumpLineGrammar.h"

#include "reader/CharacterClasses.h"
#include "reader/WordScan.h"

#include <cstring>

namespace DumpLineGrammar {

namespace {

using Text = std::string_view;

// Character classes as function objects: each has a type of its own, so the
// scanner's loops inline them instead of calling through a pointer.
inline constexpr auto isDigit = [](char c) { return CharacterClasses::isDigit(c); };
inline constexpr auto isXdigit = [](char c) { return CharacterClasses::isXdigit(c); };
inline constexpr auto isSpaceChar = [](char c) { return c == ' '; };
inline constexpr auto isBlank = [](char c) { return CharacterClasses::isBlank(c); };
inline constexpr auto isSpace = [](char c) { return CharacterClasses::isSpace(c); };

/// True when \p text can be matched by ".*": no line terminator in it. Both
/// terminators are control characters, and a word without any is passed in
/// one step.
bool anyChars(Text text) {
  const char *p = text.data();
  const char *const end = p + text.size();
  while ((p = WordScan::findBelow(p, end, '\r' + 1)) != end) {
    if (*p == '\n' || *p == '\r') return false;
    ++p;
  }
  return true;
}

/// One pass over an attribute's value, the hot part of the parse: whether
/// ".*" can take it (no line terminator) and where its last tab is.
struct ValueScan {
  bool anyChars;
  std::size_t lastTab;
};

ValueScan scanValue(Text value) {
  std::size_t lastTab = Text::npos;
  const char *p = value.data();
  const char *const end = p + value.size();
  // Tab, line feed and carriage return are all below '\r' + 1.
  while ((p = WordScan::findBelow(p, end, '\r' + 1)) != end) {
    if (*p == '\t')
      lastTab = static_cast<std::size_t>(p - value.data());
    else if (*p == '\n' || *p == '\r')
      return {false, Text::npos};
    ++p;
  }
  return {true, lastTab};
}

/// A cursor over the text that consumes the pieces of a pattern from left to
/// right. Every piece used here is deterministic (a greedy run followed by a
/// character the run cannot contain), so no backtracking is needed.
class Scanner {
public:
  explicit Scanner(Text text) : begin_(text.data()), pos_(text.data()), end_(text.data() + text.size()) {}

  std::size_t position() const { return static_cast<std::size_t>(pos_ - begin_); }
  bool atEnd() const { return pos_ == end_; }
  Text rest() const { return Text(pos_, static_cast<std::size_t>(end_ - pos_)); }
  Text from(std::size_t start) const { return Text(begin_ + start, position() - start); }

  /// One or more characters of \p isIn; false when there is none.
  template <class Pred> bool some(Pred isIn) {
    const char *start = pos_;
    while (pos_ != end_ && isIn(*pos_))
      ++pos_;
    return pos_ != start;
  }
  /// One or more characters \p c, passed a word at a time.
  bool someOf(char c) {
    const char *start = pos_;
    pos_ = WordScan::skipRun(pos_, end_, c);
    return pos_ != start;
  }
  /// One or more characters other than \p a and \p b, passed a word at a
  /// time.
  bool someExcept(char a, char b) {
    const char *start = pos_;
    pos_ = WordScan::findEither(pos_, end_, a, b);
    return pos_ != start;
  }
  /// Zero or more characters of \p isIn.
  template <class Pred> void any(Pred isIn) {
    while (pos_ != end_ && isIn(*pos_))
      ++pos_;
  }
  /// One or more characters of \p isIn, taken as a group.
  template <class Pred> bool someGroup(Pred isIn, Text &group) {
    const char *start = pos_;
    if (!some(isIn)) return false;
    group = Text(start, static_cast<std::size_t>(pos_ - start));
    return true;
  }
  /// The fixed text \p word; compared inline, the words are short.
  bool literal(Text word) {
    if (static_cast<std::size_t>(end_ - pos_) < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
      if (pos_[i] != word[i]) return false;
    pos_ += word.size();
    return true;
  }
  bool literal(char c) {
    if (pos_ == end_ || *pos_ != c) return false;
    ++pos_;
    return true;
  }

private:
  const char *begin_;
  const char *pos_;
  const char *end_;
};

/// The common end of line patterns with a fixed text: "^[[:blank:]]+<word>$".
bool blanksThenExactly(Text text, Text word) {
  Scanner s(text);
  return s.some(isBlank) && s.literal(word) && s.atEnd();
}

/// The start of both attribute patterns,
/// "^[ ]+[<]([[:xdigit:]]+)[>][ ]+(DW_AT_[^ :]+)[ :]+[ ]". Returns the
/// position where the value text starts, or Text::npos.
///
/// "[ :]+[ ]" is greedy: the value starts after the last blank of the run of
/// blanks and colons behind the name, provided at least one character of the
/// run stands before that blank. The rest of each pattern only needs what
/// follows that point, and an earlier split would only add blanks and colons
/// to its front, which cannot turn a failure into a match.
std::size_t matchAttributeStart(Text text, Match &match) {
  Scanner s(text);
  if (!s.someOf(' ') || !s.literal('<') || !s.someGroup(isXdigit, match.group[1]) || !s.literal('>') ||
      !s.someOf(' '))
    return Text::npos;
  const std::size_t nameStart = s.position();
  if (!s.literal("DW_AT_") || !s.someExcept(' ', ':')) return Text::npos;
  match.group[2] = s.from(nameStart);
  const std::size_t runStart = s.position();
  // Mostly the blanks that pad the name to its column, then ": ".
  while (s.someOf(' ') || s.literal(':')) {
  }
  for (std::size_t split = s.position(); split-- > runStart + 1;)
    if (text[split] == ' ') return split + 1;
  return Text::npos;
}

/// "^.*<marker>(.*)$" on \p text: the group after the last \p marker.
bool afterLastMarker(Text text, Text marker, Text &group) {
  if (!anyChars(text)) return false;
  const std::size_t at = text.rfind(marker);
  if (at == Text::npos) return false;
  group = text.substr(at + marker.size());
  return true;
}

/// The last position k at which "[:][ ]+file[ ]format[ ]" ends with "file
/// format " starting at k and ending no later than \p limit, or npos.
std::size_t lastFileFormatWord(Text text, std::size_t limit) {
  constexpr Text kWord = "file format ";
  std::size_t k = text.size();
  while (k > 0) {
    k = text.rfind(kWord, k - 1);
    if (k == Text::npos) return Text::npos;
    if (k + kWord.size() > limit) continue;
    std::size_t i = k;
    while (i > 0 && text[i - 1] == ' ')
      --i;
    if (i < k && i > 0 && text[i - 1] == ':') return k;
  }
  return Text::npos;
}

} // namespace

bool matchEntryHeader(Text text, Match &m) {
  Scanner s(text);
  if (!s.someOf(' ') || !s.literal('<') || !s.someGroup(isXdigit, m.group[1]) || !s.literal('>') ||
      !s.literal('<') || !s.someGroup(isXdigit, m.group[2]) || !s.literal('>') || !s.literal(':') ||
      !s.someOf(' ') || !s.literal("Abbrev") || !s.someOf(' ') || !s.literal("Number") || !s.literal(':') ||
      !s.someOf(' ') || !s.someGroup(isDigit, m.group[3]) || !s.someOf(' ') || !s.literal('('))
    return false;
  // "(DW_TAG_.*)[)]$": the tag runs up to the closing parenthesis that ends
  // the line.
  const Text tag = s.rest();
  if (tag.size() < 8 || tag.back() != ')' || tag.substr(0, 7) != "DW_TAG_") return false;
  m.group[4] = tag.substr(0, tag.size() - 1);
  if (!anyChars(m.group[4])) return false;
  m.group[0] = text;
  return true;
}

bool matchAttribute(Text text, Match &m) {
  const std::size_t valueStart = matchAttributeStart(text, m);
  if (valueStart == Text::npos) return false;
  // "(.*)\t(.*)$": cut at the last tab.
  const Text value = text.substr(valueStart);
  const ValueScan scan = scanValue(value);
  if (!scan.anyChars || scan.lastTab == Text::npos) return false;
  m.group[3] = value.substr(0, scan.lastTab);
  m.group[4] = value.substr(scan.lastTab + 1);
  m.group[0] = text;
  return true;
}

bool matchAttributeNoTab(Text text, Match &m) {
  const std::size_t valueStart = matchAttributeStart(text, m);
  if (valueStart == Text::npos) return false;
  const Text value = text.substr(valueStart);
  if (!scanValue(value).anyChars) return false;
  m.group[3] = value;
  m.group[0] = text;
  return true;
}

bool matchAttributeLine(Text text, Match &m) {
  const std::size_t valueStart = matchAttributeStart(text, m);
  if (valueStart == Text::npos) return false;
  const Text value = text.substr(valueStart);
  const ValueScan scan = scanValue(value);
  if (!scan.anyChars) return false;
  if (scan.lastTab == Text::npos) {
    // Before the value only the name can hold a tab; a line with a tab there
    // is judged by the tab form, which finds no tab after the name.
    if (m.group[2].find('\t') != Text::npos) return false;
    m.group[3] = value;
    m.group[4] = Text();
  } else {
    m.group[3] = value.substr(0, scan.lastTab);
    m.group[4] = value.substr(scan.lastTab + 1);
  }
  m.group[0] = text;
  return true;
}

bool matchLineTableOffset(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isBlank) || !s.literal("Offset:")) return false;
  s.any(isBlank);
  if (!s.literal("0x") || !s.someGroup(isXdigit, m.group[1]) || !s.atEnd()) return false;
  m.group[0] = text;
  return true;
}

bool matchLineTableOffsetZero(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isBlank) || !s.literal("Offset:") || !s.some(isBlank) || !s.literal('0') || !s.atEnd())
    return false;
  m.group[0] = text;
  return true;
}

bool matchDirectoryTableHeader(Text text, Match &m) {
  if (!blanksThenExactly(text, "The Directory Table:")) return false;
  m.group[0] = text;
  return true;
}

bool matchDirectoryTableOffsetHeader(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isBlank) || !s.literal("The Directory Table (offset ")) return false;
  // "(?:0x)?[[:xdigit:]]+": without hex digits after "0x" the prefix cannot
  // help, since the digit run would then stop at the 'x'.
  s.literal("0x");
  if (!s.some(isXdigit)) return false;
  if (s.literal(", lines ")) {
    if (!s.some(isDigit) || !s.literal(", columns ") || !s.some(isDigit)) return false;
  }
  if (!s.literal("):") || !s.atEnd()) return false;
  m.group[0] = text;
  return true;
}

bool matchDirectoryTableColumns(Text text, Match &m) {
  if (!blanksThenExactly(text, "Entry\tName")) return false;
  m.group[0] = text;
  return true;
}

bool matchFileTableHeader(Text text, Match &m) {
  if (!blanksThenExactly(text, "Entry\tDir\tTime\tSize\tName")) return false;
  m.group[0] = text;
  return true;
}

bool matchFileTableDwarf5Header(Text text, Match &m) {
  if (!blanksThenExactly(text, "Entry\tDir\tName")) return false;
  m.group[0] = text;
  return true;
}

bool matchDirectoryEntry(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isBlank) || !anyChars(s.rest())) return false;
  m.group[1] = s.rest();
  m.group[0] = text;
  return true;
}

bool matchNumberedDirectoryEntry(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isBlank) || !s.someGroup(isDigit, m.group[1]) || !s.literal('\t') || !anyChars(s.rest()))
    return false;
  m.group[2] = s.rest();
  m.group[0] = text;
  return true;
}

bool matchFileEntry(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isBlank) || !s.someGroup(isDigit, m.group[1]) || !s.literal('\t') ||
      !s.someGroup(isDigit, m.group[2]) || !s.literal('\t') || !s.some(isDigit) || !s.literal('\t') ||
      !s.some(isDigit) || !s.literal('\t') || !anyChars(s.rest()))
    return false;
  m.group[3] = s.rest();
  m.group[0] = text;
  return true;
}

bool matchFileEntryDwarf5(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isBlank) || !s.someGroup(isDigit, m.group[1]) || !s.literal('\t') ||
      !s.someGroup(isDigit, m.group[2]) || !s.literal('\t') || !anyChars(s.rest()))
    return false;
  m.group[3] = s.rest();
  m.group[0] = text;
  return true;
}

bool matchIndirectLineString(Text text, Match &m) {
  Scanner s(text);
  if (!s.literal("(indirect ")) return false;
  s.literal("line ");
  if (!s.literal("string, offset: ") || !afterLastMarker(s.rest(), "): ", m.group[1])) return false;
  m.group[0] = text;
  return true;
}

bool matchPointerSize(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isSpaceChar) || !s.literal("Pointer Size:") || !s.some(isSpaceChar) ||
      !s.someGroup(isDigit, m.group[1]) || !s.atEnd())
    return false;
  m.group[0] = text;
  return true;
}

bool matchUnitHeader(Text text, Match &m) {
  Scanner s(text);
  if (!s.some(isSpaceChar) || !s.literal("Compilation Unit @ offset ")) return false;
  // "(?:0x)?[[:xdigit:]]+": after "0x" without a hex digit, the digit run
  // without the prefix would stop at the 'x' as well.
  s.literal("0x");
  if (!s.some(isXdigit) || !s.literal(':') || !s.atEnd()) return false;
  m.group[0] = text;
  return true;
}

bool matchFileFormat(Text text, Match &m) {
  constexpr Text kLittle = "little";
  if (text.size() < kLittle.size() || text.substr(text.size() - kLittle.size()) != kLittle ||
      !anyChars(text) || lastFileFormatWord(text, text.size() - kLittle.size()) == Text::npos)
    return false;
  m.group[0] = text;
  return true;
}

bool matchFileFormatName(Text text, Match &m) {
  if (!anyChars(text)) return false;
  const std::size_t k = lastFileFormatWord(text, text.size());
  if (k == Text::npos) return false;
  m.group[1] = text.substr(k + std::strlen("file format "));
  m.group[0] = text;
  return true;
}

bool matchNameIndirect(Text text, Match &m) {
  if (!afterLastMarker(text, "): ", m.group[1])) return false;
  m.group[0] = text;
  return true;
}

bool matchLocationAddress(Text text, Match &m) {
  Scanner s(text);
  if (!s.literal("(DW_OP_addr:") || !s.some(isSpaceChar) || !s.someGroup(isXdigit, m.group[1]) ||
      !s.literal(')') || !s.atEnd())
    return false;
  m.group[0] = text;
  return true;
}

bool matchLocationAddressPlus(Text text, Match &m) {
  Scanner s(text);
  if (!s.literal("(DW_OP_addr:") || !s.some(isSpaceChar) || !s.someGroup(isXdigit, m.group[1]) ||
      !s.literal(';') || !s.some(isSpaceChar) || !s.literal("DW_OP_plus_uconst:") || !s.some(isSpaceChar) ||
      !s.someGroup(isDigit, m.group[2]) || !s.literal(')') || !s.atEnd())
    return false;
  m.group[0] = text;
  return true;
}

bool matchMemberLocationBlock(Text text, Match &m) {
  Scanner s(text);
  if (!s.literal("(DW_OP_plus_uconst:") || !s.some(isSpaceChar) || !s.someGroup(isDigit, m.group[1]) ||
      !s.literal(')') || !s.atEnd())
    return false;
  m.group[0] = text;
  return true;
}

bool matchMemberLocationConstant(Text text, Match &m) {
  Scanner s(text);
  s.any(isSpace);
  if (!s.someGroup(isDigit, m.group[1])) return false;
  s.any(isSpace);
  if (!s.atEnd()) return false;
  m.group[0] = text;
  return true;
}

bool matchReference(Text text, Match &m) {
  if (!anyChars(text)) return false;
  for (std::size_t k = text.size(); k > 0;) {
    k = text.rfind("0x", k - 1);
    if (k == Text::npos) return false;
    if (k + 2 < text.size() && isXdigit(text[k + 2])) {
      Scanner s(text.substr(k + 2));
      s.some(isXdigit);
      m.group[1] = text.substr(k + 2, s.position());
      m.group[0] = text;
      return true;
    }
  }
  return false;
}

bool matchEncoding(Text text, Match &m) {
  if (text.size() < 2 || text.back() != ')' || !anyChars(text)) return false;
  const std::size_t open = text.rfind('(', text.size() - 2);
  if (open == Text::npos) return false;
  m.group[1] = text.substr(open + 1, text.size() - 2 - open);
  m.group[0] = text;
  return true;
}

} // namespace DumpLineGrammar
