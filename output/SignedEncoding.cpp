// The signedness rule of base types.
//
// The rule was first written as the regular expression kSignedEncodingPattern,
// fully matched against "A" followed by the encoding text. It runs once per
// base-typed leaf, so it is spelt out here as plain code that accepts exactly
// the same texts; a test compares the two on many inputs.
#include "output/SymbolExpansion.h"

namespace {

/// The characters the pattern's '.' does not match.
constexpr std::string_view kLineTerminators = "\r\n";

} // namespace

bool isSignedEncoding(std::string_view text) {
  constexpr std::string_view kSigned = "signed";
  // "^.*" must cover everything before the character in front of "signed"
  // and ".*$" everything after it; '.' stops at a line terminator, while the
  // class [^n] takes one. The leading "A" stands in front of a "signed" that
  // opens the text.
  const std::size_t firstBreak = text.find_first_of(kLineTerminators);
  const std::size_t lastBreak = text.find_last_of(kLineTerminators);
  for (std::size_t at = text.find(kSigned); at != std::string_view::npos; at = text.find(kSigned, at + 1)) {
    if (at > 0 && text[at - 1] == 'n') continue;
    const std::size_t beforeEnd = at > 0 ? at - 1 : 0;
    if (firstBreak != std::string_view::npos && firstBreak < beforeEnd) continue;
    if (lastBreak == std::string_view::npos || lastBreak < at + kSigned.size()) return true;
  }
  return false;
}
