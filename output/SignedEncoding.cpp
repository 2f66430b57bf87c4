// The signedness rule of base types.
//
// The rule was first written as the regular expression kSignedEncodingPattern,
// fully matched against "A" followed by the encoding text. It runs once per
// base-typed leaf, so it is spelt out here as plain code that accepts exactly
// the same texts; a test compares the two on many inputs.
#include "output/SignedEncoding.h"

namespace {

/// The characters the pattern's '.' does not match.
bool isLineTerminator(char c) { return c == '\n' || c == '\r'; }

} // namespace

bool isSignedEncoding(std::string_view text) {
  constexpr std::string_view kSigned = "signed";
  // "^.*" must cover everything before the character in front of "signed"
  // and ".*$" everything after it; '.' stops at a line terminator, while the
  // class [^n] takes one. The leading "A" stands in front of a "signed" that
  // opens the text. Plain loops: this runs once per base-typed leaf.
  const std::size_t size = text.size();
  std::size_t firstBreak = size;
  std::size_t lastBreak = size;
  for (std::size_t i = 0; i < size; ++i)
    if (isLineTerminator(text[i])) {
      if (firstBreak == size) firstBreak = i;
      lastBreak = i;
    }
  for (std::size_t at = 0; at + kSigned.size() <= size; ++at) {
    if (text[at] != 's' || text.compare(at, kSigned.size(), kSigned) != 0) continue;
    if (at > 0 && text[at - 1] == 'n') continue;
    const std::size_t before = at > 0 ? at - 1 : 0; // characters that '.*' must cover
    if (firstBreak < before) continue;
    if (lastBreak == size || lastBreak < at + kSigned.size()) return true;
  }
  return false;
}
