// A fixed-size ring buffer used for frames and events; every instantiation
// counts its overflows in a static member of its own.
#ifndef RING_HPP
#define RING_HPP

#include <stddef.h>
#include <stdint.h>

namespace util {

template <typename T, size_t N> class RingBuffer {
public:
  bool push(const T &item) {
    size_t next = (head_ + 1u) % N;
    if (next == tail_) {
      ++overflows;
      return false;
    }
    items_[head_] = item;
    head_ = next;
    ++pushes;
    return true;
  }
  bool pop(T &item) {
    if (tail_ == head_)
      return false;
    item = items_[tail_];
    tail_ = (tail_ + 1u) % N;
    return true;
  }
  size_t size() const { return (head_ + N - tail_) % N; }

  static uint32_t overflows; // one per instantiation
  static uint32_t pushes;

private:
  T items_[N];
  size_t head_ = 0;
  size_t tail_ = 0;
};

template <typename T, size_t N> uint32_t RingBuffer<T, N>::overflows;
template <typename T, size_t N> uint32_t RingBuffer<T, N>::pushes;

// A small pair template with a static member of a class type.
template <typename A, typename B> struct Pair {
  A first;
  B second;
  static Pair last;
};
template <typename A, typename B> Pair<A, B> Pair<A, B>::last;

} // namespace util

#endif
