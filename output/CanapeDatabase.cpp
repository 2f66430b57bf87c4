// The CANape text symbol database: three header lines, then one VARIABLE
// line per written leaf.
#include "output/CanapeDatabase.h"

#include "output/FileTexts.h"
#include "output/NumberText.h"

#include <cstring>
#include <string_view>

void appendCanapeHeader(std::string &out) {
  for (std::string_view line : FileTexts::kCanapeHeader)
    out.append(line).append(FileTexts::kLineEnd);
}

void appendCanapeLine(std::string &out, std::uint32_t address, const LeafClassification &leaf) {
  using namespace FileTexts;
  // The line is laid out in place: its length is known before the first
  // character, and a CANape file has millions of lines of about 240 bytes.
  const std::string_view name = leaf.outputName;
  const std::size_t fieldLength = kCanapeNameOpen.size() + name.size() + kCanapeNameClose.size();
  const std::size_t padding = fieldLength < kCanapeNameFieldWidth ? kCanapeNameFieldWidth - fieldLength : 0;
  const std::size_t lineLength = kCanapeVariable.size() + fieldLength + padding +
                                 kCanapeAddressPrefix.size() + 8 + leaf.typeRow.size() + kLineEnd.size();
  const std::size_t start = out.size();
  out.resize(start + lineLength);
  char *p = out.data() + start;
  const auto put = [&p](std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    p += text.size();
  };

  put(kCanapeVariable);
  put(kCanapeNameOpen);
  // CANape names may not hold "@" or ":"; every other character stays, so
  // "drive::Motor->limit" becomes "drive__Motor->limit". A field longer
  // than its width is written whole and shifts the rest of the line.
  for (const char c : name) {
    bool replaced = false;
    for (const char r : kCanapeReplacedChars)
      replaced = replaced || c == r;
    *p++ = replaced ? kCanapeReplacement : c;
  }
  put(kCanapeNameClose);
  std::memset(p, ' ', padding);
  p += padding;
  put(kCanapeAddressPrefix);
  NumberText::writeHex8(p, address);
  p += 8;
  put(leaf.typeRow);
  put(kLineEnd);
}
