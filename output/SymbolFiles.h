#pragma once

#include <string>

class DwarfDatabase;

/// Writes the M51 map, the style warnings log (only when a name repeats) and
/// the CANape database (unless \p canapeFileName is empty), each in one piece
/// at the end of a single pass over the leaves. Returns false when a file could
/// not be created or fully written, or when the leaf list had to be cut; the
/// console has then said why.
bool writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                      const DwarfDatabase &database);
