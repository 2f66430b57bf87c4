#include "reader/DeclarationResolution.h"

#include "model/Model.h"
#include "model/ModelCast.h"
#include "reader/DwarfDatabase.h"

#include <algorithm>
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

/// Sorted, for a binary search per reference: far cheaper than a type test
/// on every referenced object of a large dump.
using DeclarationSet = std::vector<const BasicObject*>;

bool contains(const DeclarationSet& set, const BasicObject* object) {
  return std::binary_search(set.begin(), set.end(), object);
}

template <class List>
void collectWanted(const List& list, const DeclarationSet& declared, std::map<Key, BasicObject*>& wanted) {
  for (const auto* object : list)
    if (contains(declared, object->type)) wanted.emplace(keyOf(object->type), nullptr);
}

template <class List>
void redirect(const List& list, const DeclarationSet& declared, const std::map<Key, BasicObject*>& definitions) {
  for (auto* object : list) {
    if (!contains(declared, object->type)) continue;
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
  DeclarationSet declared;
  for (const BasicObject* aggregate : database.aggregateTypes)
    if (isDeclarationOnly(aggregate) && !aggregate->name.empty()) declared.push_back(aggregate);
  if (declared.empty()) return; // a C dump costs one pass over the aggregates
  std::sort(declared.begin(), declared.end());

  std::map<Key, BasicObject*> definitions;
  forEachTypeList(database, [&](const auto& list) { collectWanted(list, declared, definitions); });
  if (definitions.empty()) return;
  // The first definition of every wanted name, in dump order.
  for (BasicObject* aggregate : database.aggregateTypes) {
    if (isDeclarationOnly(aggregate) || aggregate->name.empty()) continue;
    const auto wanted = definitions.find(keyOf(aggregate));
    if (wanted != definitions.end() && wanted->second == nullptr) wanted->second = aggregate;
  }
  forEachTypeList(database, [&](const auto& list) { redirect(list, declared, definitions); });
}

} // namespace DeclarationResolution
