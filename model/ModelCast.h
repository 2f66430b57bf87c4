#pragma once

#include "model/BasicObject.h"

#include <type_traits>

namespace Model {

/// The run-time type test by which later phases tell model kinds apart.
/// Every concrete model class is final and stores its kind in the object, so
/// "is a T" means "is exactly a T" and costs one comparison; the expansion
/// asks millions of times. Only a class that names its kind can be asked
/// for: every object is a BasicObject, which needs no test.
template <class T>
concept NamedKind = std::is_final_v<T> && std::is_base_of_v<BasicObject, T> && requires {
  T::kKind;
};

template <NamedKind T> bool is(const BasicObject *object) noexcept {
  return object != nullptr && object->kind == T::kKind;
}
template <NamedKind T> const T *as(const BasicObject *object) noexcept {
  return is<T>(object) ? static_cast<const T *>(object) : nullptr;
}
template <NamedKind T> T *as(BasicObject *object) noexcept {
  return is<T>(object) ? static_cast<T *>(object) : nullptr;
}

} // namespace Model
