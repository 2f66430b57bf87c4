#pragma once

#include "output/TypeClassification.h"

#include <cstdint>
#include <string>

/// Appends the three fixed lines that open every CANape database.
void appendCanapeHeader(std::string &out);

/// Appends the VARIABLE line of one leaf, line end included: the name field
/// (quoted, "@" and ":" turned into "_", padded to 100 characters), the
/// address and the type row.
void appendCanapeLine(std::string &out, std::uint32_t address, const LeafClassification &leaf);
