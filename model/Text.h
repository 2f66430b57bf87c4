#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace Model {

/// A compact, owned, immutable-after-assignment text for the fields of model
/// objects that few objects carry (the encoding of a base type). The fields
/// every object carries are 8-byte `ShortText`s.
///
/// `Text` keeps up to 15 characters inside its 16 bytes and only goes to the
/// heap for longer ones, half of what a `std::string` costs.
class Text {
public:
  Text() noexcept { clear(); }
  Text(std::string_view s) { assign(s); }                     // NOLINT: implicit by design
  Text(const char *s) { assign(std::string_view(s)); }        // NOLINT
  Text(const std::string &s) { assign(std::string_view(s)); } // NOLINT
  Text(const Text &other) { assign(other.view()); }
  Text(Text &&other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.clear();
  }
  Text &operator=(const Text &other) {
    if (this != &other) {
      Text copy(other);
      swap(copy);
    }
    return *this;
  }
  Text &operator=(Text &&other) noexcept {
    if (this != &other) {
      release();
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
      other.clear();
    }
    return *this;
  }
  Text &operator=(std::string_view s) {
    Text copy(s);
    swap(copy);
    return *this;
  }
  Text &operator=(const std::string &s) { return *this = std::string_view(s); }
  Text &operator=(const char *s) { return *this = std::string_view(s); }
  ~Text() { release(); }

  void swap(Text &other) noexcept {
    unsigned char tmp[sizeof bytes_];
    std::memcpy(tmp, bytes_, sizeof bytes_);
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    std::memcpy(other.bytes_, tmp, sizeof bytes_);
  }

  std::string_view view() const noexcept {
    if (onHeap()) return {heapPointer(), heapLength()};
    return {reinterpret_cast<const char *>(bytes_), inlineLength()};
  }
  operator std::string_view() const noexcept { return view(); } // NOLINT
  std::string str() const { return std::string(view()); }
  std::size_t size() const noexcept { return view().size(); }
  bool empty() const noexcept { return size() == 0; }

  friend bool operator==(const Text &a, const Text &b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const Text &a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const Text &a, const char *b) noexcept { return a.view() == b; }

private:
  static constexpr std::size_t kInlineCapacity = 15;
  static constexpr unsigned char kHeapTag = 0xFF;

  // Inline: characters in bytes_[0..15), bytes_[15] = 15 - length (so a full
  // 15-character text ends in a zero byte). Heap: pointer in bytes_[0..8),
  // 32-bit length in bytes_[8..12), bytes_[15] = kHeapTag.
  bool onHeap() const noexcept { return bytes_[15] == kHeapTag; }
  std::size_t inlineLength() const noexcept { return kInlineCapacity - bytes_[15]; }
  const char *heapPointer() const noexcept {
    const char *p;
    std::memcpy(&p, bytes_, sizeof p);
    return p;
  }
  std::size_t heapLength() const noexcept {
    std::uint32_t n;
    std::memcpy(&n, bytes_ + sizeof(char *), sizeof n);
    return n;
  }
  void clear() noexcept {
    std::memset(bytes_, 0, sizeof bytes_);
    bytes_[15] = static_cast<unsigned char>(kInlineCapacity);
  }
  void release() noexcept {
    if (onHeap()) delete[] heapPointer();
  }
  void assign(std::string_view s);

  static_assert(sizeof(char *) + sizeof(std::uint32_t) < 16, "heap form must fit");
  unsigned char bytes_[16];
};

inline std::string operator+(const std::string &a, const Text &b) {
  std::string r(a);
  r.append(b.view());
  return r;
}
inline std::string operator+(const Text &a, const std::string &b) {
  std::string r(a.view());
  r.append(b);
  return r;
}

} // namespace Model
