// Scope-qualified names: "tick@count", "drive::Motor->limit".
//
// The name grows from the inside out while the walk climbs the parents. A
// class, function or variable that has a specification gives the name of its
// declaration and the walk goes on at the declaration's parent, so a
// malformed dump can close the climb into a loop; the walk is iterative and
// stops at an object it has already passed.
#include "output/ScopedName.h"

#include "model/Model.h"
#include "model/ModelCast.h"
#include "model/VisitedPath.h"

#include <vector>

using Model::BasicObject;

namespace {

/// How one object takes part in a scoped name.
struct Scope {
  std::string_view separator;   ///< empty: the object contributes nothing
  const BasicObject *nameGiver; ///< the walk goes on at its parent
};

Scope scopeOf(const BasicObject &object) {
  using namespace Model;
  if (auto c = as<TypeInfo_Class>(&object)) return {"->", c->specification != nullptr ? c->specification : c};
  if (auto f = as<FunctionInfo>(&object)) return {"@", f->specification != nullptr ? f->specification : f};
  if (auto v = as<VariableInfo>(&object)) return {".", v->specification != nullptr ? v->specification : v};
  if (is<TypeInfo_Member>(&object) || is<TypeInfo_Enumeration>(&object) || is<TypeInfo_Enumerator>(&object))
    return {".", &object};
  if (is<TypeInfo_Namespace>(&object)) return {"::", &object};
  return {{}, &object};
}

} // namespace

std::string scopedName(const BasicObject *object, std::string_view suffix, const NameTrace &trace) {
  struct Piece {
    std::string name;
    std::string_view separator;
  };
  std::vector<Piece> pieces; // innermost first
  bool builtEmpty = suffix.empty();
  // The climb never leaves an object: its chain holds every object passed.
  Model::VisitedPath passed;
  while (object != nullptr && !passed.contains(object)) {
    passed.push(object);
    const Scope scope = scopeOf(*object);
    if (!scope.separator.empty()) {
      // The separator belongs to the scope being prepended and is only
      // written when something already follows it.
      std::string name(tracedName(*scope.nameGiver, trace));
      const std::string_view separator = builtEmpty ? std::string_view() : scope.separator;
      builtEmpty = builtEmpty && name.empty();
      pieces.push_back({std::move(name), separator});
    }
    object = scope.nameGiver->parent;
  }

  std::size_t length = suffix.size();
  for (const Piece &piece : pieces)
    length += piece.name.size() + piece.separator.size();
  std::string result;
  result.reserve(length);
  for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece)
    result.append(piece->name).append(piece->separator);
  result.append(suffix);
  return result;
}
