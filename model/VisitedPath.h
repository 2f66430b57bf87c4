#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <unordered_set>
#include <vector>

namespace Model {

class BasicObject;

/// The objects on the current chain of a walk that follows the references
/// between model objects (types, specifications, parents), outermost first:
/// the guard against the reference cycles of a malformed dump. The walk
/// pushes an object as it enters it, pops it as it leaves, and does not
/// enter an object that is already on the chain. A walk that never leaves
/// an object (a climb up the parents) keeps every object it passed.
///
/// Real chains are a handful of objects long, and a short list answers
/// fastest: the expansion asks at every step. A malformed dump can chain
/// 100 000 references, so the objects past the first few dozen are kept in
/// a hash set as well, and no question costs more than a few dozen
/// comparisons and one lookup.
class VisitedPath {
public:
  VisitedPath() = default;
  /// Refers into itself.
  VisitedPath(const VisitedPath &) = delete;
  VisitedPath &operator=(const VisitedPath &) = delete;

  bool contains(const BasicObject *object) const {
    const BasicObject *const *nearEnd = nearEnd_;
    if (std::find(std::begin(near_), nearEnd, object) != nearEnd) return true;
    return far_ != nullptr && far_->set.contains(object);
  }
  /// Puts \p object, which is not on the chain, at its end.
  void push(const BasicObject *object) {
    if (nearEnd_ != std::end(near_)) {
      *nearEnd_++ = object;
      return;
    }
    if (far_ == nullptr) far_ = std::make_unique<Far>();
    far_->order.push_back(object);
    far_->set.insert(object);
  }
  /// Takes the last object off the chain.
  void pop() {
    if (far_ == nullptr || far_->order.empty()) {
      --nearEnd_;
      return;
    }
    far_->set.erase(far_->order.back());
    far_->order.pop_back();
  }
  std::size_t size() const {
    return static_cast<std::size_t>(nearEnd_ - near_) + (far_ != nullptr ? far_->order.size() : 0);
  }

private:
  /// The objects past the first kNear, in order and as a set; made for the
  /// first chain that long. A walk that asks at every step pays for no more
  /// than the list as long as its chains stay short.
  struct Far {
    std::vector<const BasicObject *> order;
    std::unordered_set<const BasicObject *> set;
  };
  static constexpr std::size_t kNear = 32;
  /// The first kNear objects of the chain, up to nearEnd_.
  const BasicObject *near_[kNear];
  const BasicObject **nearEnd_ = near_;
  std::unique_ptr<Far> far_;
};

} // namespace Model
