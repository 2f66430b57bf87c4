// The M51 map: no header, no trailer, one symbol line per written leaf.
#include "output/M51Map.h"

#include "output/FileTexts.h"
#include "output/NumberText.h"

void appendM51Line(std::string &out, std::uint32_t address, const LeafClassification &leaf) {
  NumberText::appendHex8(out, address);
  out.append(FileTexts::kM51AfterAddress);
  out.append(leaf.typeWord);
  out.append(FileTexts::kM51AfterTypeWord);
  out.append(leaf.outputName);
  out.append(FileTexts::kLineEnd);
}
