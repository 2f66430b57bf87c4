#pragma once

#include "model/BasicObject.h"

#include <type_traits>

namespace Model {

/// The run-time type test by which later phases tell model kinds apart.
/// Every concrete model class is final and stores its kind in the object, so
/// "is a T" means "is exactly a T" and costs one comparison; the expansion
/// asks millions of times. A class without a kind of its own (BasicObject, or
/// a class derived from it elsewhere) falls back to dynamic_cast.
template <class T> bool is(const BasicObject *object) noexcept {
  if (object == nullptr) return false;
  if constexpr (requires { T::kKind; })
    return object->kind == T::kKind;
  else
    return dynamic_cast<const T *>(object) != nullptr;
}
template <class T> const T *as(const BasicObject *object) noexcept {
  return is<T>(object) ? static_cast<const T *>(object) : nullptr;
}
template <class T> T *as(BasicObject *object) noexcept {
  return is<T>(object) ? static_cast<T *>(object) : nullptr;
}

} // namespace Model
