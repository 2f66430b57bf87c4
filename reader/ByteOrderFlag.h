#pragma once

/// The process-wide byte-order flag: false when the process starts, set by the
/// first dump whose file-format line names a format ending in "little", and
/// never cleared. Output generation reads it for the bit positions of bit
/// fields (through DwarfDatabase::isLittleEndian()).
namespace ByteOrderFlag {

bool isLittleEndian();
void setLittleEndian();
/// Back to false. The tool never calls it; a program that parses many
/// unrelated dumps in one process (the fuzz target) does, between dumps.
void clear();

} // namespace ByteOrderFlag
