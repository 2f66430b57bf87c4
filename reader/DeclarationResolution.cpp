#include "reader/DeclarationResolution.h"

#include "model/Model.h"
#include "model/ModelCast.h"
#include "reader/DwarfDatabase.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace Model;

bool isAggregate(const BasicObject* object) {
  return is<TypeInfo_Structure>(object) || is<TypeInfo_Class>(object) || is<TypeInfo_Union>(object);
}

bool isDeclarationOnly(const BasicObject* object) {
  if (auto s = as<TypeInfo_Structure>(object)) return s->isDeclaration;
  if (auto c = as<TypeInfo_Class>(object)) return c->isDeclaration;
  if (auto u = as<TypeInfo_Union>(object)) return u->isDeclaration;
  return false;
}

/// The scope an aggregate's name is unique in: null for a type that any unit
/// may define (namespaces and classes up to the unit), else its own unit.
/// The key also holds the qualified name, scopes joined by "::".
using Key = std::pair<const BasicObject*, std::string>;

Key keyOf(const BasicObject* aggregate) {
  std::string qualified(aggregate->name.view());
  const BasicObject* unitScope = nullptr;
  bool local = false;
  for (const BasicObject* p = aggregate->parent; p != nullptr; p = p->parent) {
    if (is<CompileUnitInfo>(p)) {
      unitScope = p;
      break;
    }
    if (is<TypeInfo_Namespace>(p) || isAggregate(p)) {
      if (p->name.empty()) local = true; // an anonymous namespace or type
      qualified.insert(0, "::").insert(0, p->name.view());
    } else {
      local = true; // inside a function or a block
    }
  }
  return {local ? unitScope : nullptr, std::move(qualified)};
}

template <class List> void collectDeclared(const List& list, std::map<Key, BasicObject*>& wanted) {
  for (const auto* object : list)
    if (object->type != nullptr && isDeclarationOnly(object->type) && !object->type->name.empty())
      wanted.emplace(keyOf(object->type), nullptr);
}

template <class List> void redirect(const List& list, const std::map<Key, BasicObject*>& definitions) {
  for (auto* object : list) {
    if (object->type == nullptr || !isDeclarationOnly(object->type)) continue;
    const auto found = definitions.find(keyOf(object->type));
    if (found != definitions.end() && found->second != nullptr) object->type = found->second;
  }
}

template <class F> void forEachTypeList(DwarfDatabase& db, F&& f) {
  f(db.arrayTypes);
  f(db.constTypes);
  f(db.importedDeclarations);
  f(db.inheritances);
  f(db.members);
  f(db.subroutineTypes);
  f(db.typedefs);
  f(db.volatileTypes);
  f(db.variables);
}

} // namespace

namespace DeclarationResolution {

void resolveDeclaredAggregates(DwarfDatabase& database) {
  std::map<Key, BasicObject*> definitions;
  forEachTypeList(database, [&](const auto& list) { collectDeclared(list, definitions); });
  if (definitions.empty() || database.root == nullptr) return; // the usual C dump costs one pass over the lists

  // One walk over the tree (explicit stack: dumps nest deeply) finds the
  // first definition of every wanted name.
  std::vector<const BasicObject*> pending{database.root.get()};
  while (!pending.empty()) {
    const BasicObject* object = pending.back();
    pending.pop_back();
    if (isAggregate(object) && !isDeclarationOnly(object) && !object->name.empty()) {
      const auto wanted = definitions.find(keyOf(object));
      if (wanted != definitions.end() && wanted->second == nullptr)
        wanted->second = const_cast<BasicObject*>(object);
    }
    for (auto it = object->children.rbegin(); it != object->children.rend(); ++it)
      pending.push_back(it->get());
  }
  forEachTypeList(database, [&](const auto& list) { redirect(list, definitions); });
}

} // namespace DeclarationResolution
