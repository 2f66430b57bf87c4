#pragma once

#include "model/BasicObject.h"

#include <type_traits>
#include <typeinfo>

namespace Model {

/// The run-time type test by which later phases tell model kinds apart.
/// Every concrete model class is final, so "is a T" means "is exactly a T",
/// and comparing the dynamic type answers it without the class-hierarchy
/// search of a dynamic_cast (the expansion asks millions of times).
template <class T> bool is(const BasicObject *object) noexcept {
  if (object == nullptr) return false;
  if constexpr (std::is_final_v<T>)
    return typeid(*object) == typeid(T);
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
