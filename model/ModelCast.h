#pragma once

#include "model/BasicObject.h"

namespace Model {

/// The run-time type test by which later phases tell model kinds apart.
/// Every concrete model class is final, so "is a T" means "is exactly a T".
template <class T> const T* as(const BasicObject* object) noexcept {
  return dynamic_cast<const T*>(object);
}
template <class T> T* as(BasicObject* object) noexcept { return dynamic_cast<T*>(object); }
template <class T> bool is(const BasicObject* object) noexcept { return as<T>(object) != nullptr; }

} // namespace Model
