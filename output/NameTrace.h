#pragma once

#include "model/BasicObject.h"

#include <cstddef>
#include <functional>
#include <string_view>

/// Told of every read of a name that holds kTracedNameMarker while the
/// leaves are found: the name and the number of children of the object that
/// carries it. Called at the moment of the read, on the thread that finds
/// the leaves, once per read (an array's elements read a member's name once
/// each); an empty trace hears nothing.
using NameTrace = std::function<void(std::string_view name, std::size_t childCount)>;

/// The text that marks a name whose reads are traced.
inline constexpr std::string_view kTracedNameMarker = "RtePortSR";

/// The name of \p object, read for a symbol name: a name that holds
/// kTracedNameMarker is reported to \p trace first.
inline std::string_view tracedName(const Model::BasicObject &object, const NameTrace &trace) {
  const std::string_view name = object.name.view();
  if (trace && name.find(kTracedNameMarker) != std::string_view::npos) trace(name, object.children.size());
  return name;
}
