// The CANape text symbol database: three header lines, then one VARIABLE
// line per written leaf.
#include "output/CanapeDatabase.h"

#include "output/FileTexts.h"
#include "output/NumberText.h"

void appendCanapeHeader(std::string &out) {
  for (std::string_view line : FileTexts::kCanapeHeader)
    out.append(line).append(FileTexts::kLineEnd);
}

void appendCanapeLine(std::string &out, std::uint32_t address, const LeafClassification &leaf) {
  using namespace FileTexts;
  out.append(kCanapeVariable);

  // CANape names may not hold "@" or ":"; every other character stays, so
  // "drive::Motor->limit" becomes "drive__Motor->limit". A field longer
  // than its width is written whole and shifts the rest of the line.
  const std::size_t fieldStart = out.size();
  out.append(kCanapeNameOpen);
  const std::size_t nameStart = out.size();
  out.append(leaf.outputName);
  for (char *c = out.data() + nameStart, *end = out.data() + out.size(); c != end; ++c)
    for (const char replaced : kCanapeReplacedChars)
      if (*c == replaced) *c = kCanapeReplacement;
  out.append(kCanapeNameClose);
  const std::size_t fieldLength = out.size() - fieldStart;
  if (fieldLength < kCanapeNameFieldWidth) out.append(kCanapeNameFieldWidth - fieldLength, ' ');

  out.append(kCanapeAddressPrefix);
  NumberText::appendHex8(out, address);
  out.append(leaf.typeRow);
  out.append(kLineEnd);
}
