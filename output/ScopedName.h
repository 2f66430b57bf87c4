#pragma once

#include "output/NameTrace.h"

#include <string>
#include <string_view>

namespace Model {
class BasicObject;
}

/// The scope-qualified name of \p object followed by \p suffix, built from
/// the inside out by walking up the parents (and across specifications).
/// Each name it reads is read through \p trace.
std::string scopedName(const Model::BasicObject *object, std::string_view suffix,
                       const NameTrace &trace = {});
