#include "reader/ByteOrderFlag.h"

namespace ByteOrderFlag {

namespace {
bool littleEndian = false;
} // namespace

bool isLittleEndian() { return littleEndian; }
void setLittleEndian() { littleEndian = true; }
void clear() { littleEndian = false; }

} // namespace ByteOrderFlag
