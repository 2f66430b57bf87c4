#pragma once

#include "output/TypeClassification.h"

#include <cstdint>
#include <string>

/// Appends the Keil M51 symbol line of one leaf, line end included:
/// "0002004cH     SYMBOL  DATA  BYTE     counter". The name is written as it
/// is; "@", "::" and "->" stay.
void appendM51Line(std::string &out, std::uint32_t address, const LeafClassification &leaf);
