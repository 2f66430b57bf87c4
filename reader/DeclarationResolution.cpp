#include "reader/DeclarationResolution.h"

#include "model/Model.h"
#include "model/ModelCast.h"
#include "reader/DwarfDatabase.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace Model;

bool isAggregate(const BasicObject *object) {
  return is<TypeInfo_Structure>(object) || is<TypeInfo_Class>(object) || is<TypeInfo_Union>(object);
}

bool isDeclarationOnly(const BasicObject *object) {
  if (auto s = as<TypeInfo_Structure>(object)) return s->isDeclaration;
  if (auto c = as<TypeInfo_Class>(object)) return c->isDeclaration;
  if (auto u = as<TypeInfo_Union>(object)) return u->isDeclaration;
  return false;
}

/// The scope an aggregate's name is unique in: null for a type that any unit
/// may define (namespaces and classes up to the unit), else its own unit.
/// The key also holds the qualified name, scopes joined by "::".
using Key = std::pair<const BasicObject *, std::string>;

Key keyOf(const BasicObject *aggregate) {
  std::string qualified(aggregate->name.view());
  const BasicObject *unitScope = nullptr;
  bool local = false;
  for (const BasicObject *p = aggregate->parent; p != nullptr; p = p->parent) {
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

/// The definition each declaration-only aggregate is turned to. Asked once
/// per reference of a large dump, so an open-addressing table: one probe in
/// the common case, and no memory touched beyond the table and the object
/// that holds the reference.
class Replacements {
public:
  explicit Replacements(const std::vector<std::pair<const BasicObject *, BasicObject *>> &pairs) {
    std::size_t capacity = 16;
    while (capacity < 2 * pairs.size())
      capacity *= 2;
    slots_.resize(capacity);
    mask_ = capacity - 1;
    for (const auto &[declaration, definition] : pairs) {
      std::size_t at = slotOf(declaration);
      while (slots_[at].first != nullptr)
        at = (at + 1) & mask_;
      slots_[at] = {declaration, definition};
    }
  }

  /// The definition for \p type, or nullptr when \p type is no declaration
  /// with a known definition.
  BasicObject *definitionFor(const BasicObject *type) const {
    if (type == nullptr) return nullptr;
    for (std::size_t at = slotOf(type);; at = (at + 1) & mask_) {
      if (slots_[at].first == type) return slots_[at].second;
      if (slots_[at].first == nullptr) return nullptr;
    }
  }

private:
  std::size_t slotOf(const BasicObject *object) const {
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object));
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15u) >> 32) & mask_;
  }

  std::vector<std::pair<const BasicObject *, BasicObject *>> slots_;
  std::size_t mask_ = 0;
};

} // namespace

namespace DeclarationResolution {

void resolveDeclaredAggregates(DwarfDatabase &database) {
  // The qualified names of the declarations; a C dump has none and costs
  // one pass over the aggregates. Every unit declares the same few names
  // again, so each declaration refers to its name's one entry (map entries
  // stay where they are) instead of keeping a copy: the names would add to
  // the run's peak of memory, which lies here, after the link pass.
  using Definitions = std::map<Key, BasicObject *>;
  Definitions definitions;
  std::vector<std::pair<const BasicObject *, Definitions::iterator>> declared;
  for (const BasicObject *aggregate : database.aggregateTypes) {
    if (!isDeclarationOnly(aggregate) || aggregate->name.empty()) continue;
    declared.emplace_back(aggregate, definitions.emplace(keyOf(aggregate), nullptr).first);
  }
  if (declared.empty()) return;
  // The first definition of every declared name, in dump order.
  for (BasicObject *aggregate : database.aggregateTypes) {
    if (isDeclarationOnly(aggregate) || aggregate->name.empty()) continue;
    const auto wanted = definitions.find(keyOf(aggregate));
    if (wanted != definitions.end() && wanted->second == nullptr) wanted->second = aggregate;
  }
  std::vector<std::pair<const BasicObject *, BasicObject *>> pairs;
  for (const auto &[declaration, entry] : declared)
    if (BasicObject *definition = entry->second) pairs.emplace_back(declaration, definition);
  if (pairs.empty()) return;
  // One pass over the references.
  const Replacements replacements(pairs);
  database.forEachTypeList([&](const auto &list) {
    for (auto *object : list)
      if (BasicObject *definition = replacements.definitionFor(object->type)) object->type = definition;
  });
}

} // namespace DeclarationResolution
