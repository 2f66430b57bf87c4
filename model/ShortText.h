#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace Model {

class TextPool;

/// A text in 8 bytes, for the `name` and `declLine` that every model object
/// carries (and the encoding of a base type). Up to seven characters stay
/// inside; a longer text goes to the heap, or refers to the copy a
/// `TextPool` holds. A dump has millions of objects: each byte of a field
/// counts millions of times.
///
/// The forms are told apart by one byte: the one that holds the least
/// significant byte of a pointer stored in the eight bytes. The inline form
/// sets it to 2 * length + 1 (odd). A heap block is aligned to 8, so the
/// heap form's byte is a multiple of 4; a pooled text is aligned to 4 and
/// its pointer is stored with 2 added. Heap blocks and pooled texts both
/// hold a 32-bit length, then the characters.
class ShortText {
public:
  ShortText() noexcept { setInline(0); }
  ShortText(std::string_view s) { assign(s); }                     // NOLINT: implicit by design
  ShortText(const char *s) { assign(std::string_view(s)); }        // NOLINT
  ShortText(const std::string &s) { assign(std::string_view(s)); } // NOLINT
  ShortText(const ShortText &other) { copyFrom(other); }
  ShortText(ShortText &&other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.setInline(0);
  }
  ShortText &operator=(const ShortText &other) {
    if (this != &other) {
      ShortText copy(other);
      swap(copy);
    }
    return *this;
  }
  ShortText &operator=(ShortText &&other) noexcept {
    if (this != &other) {
      release();
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
      other.setInline(0);
    }
    return *this;
  }
  ShortText &operator=(std::string_view s) {
    ShortText copy(s);
    swap(copy);
    return *this;
  }
  ShortText &operator=(const std::string &s) { return *this = std::string_view(s); }
  ShortText &operator=(const char *s) { return *this = std::string_view(s); }
  ~ShortText() { release(); }

  void swap(ShortText &other) noexcept {
    unsigned char held[sizeof bytes_];
    std::memcpy(held, bytes_, sizeof bytes_);
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    std::memcpy(other.bytes_, held, sizeof bytes_);
  }

  std::string_view view() const noexcept {
    if (!isInline()) return blockText(outsideBlock());
    return {reinterpret_cast<const char *>(bytes_ + kFirstChar), static_cast<std::size_t>(bytes_[kTag] >> 1)};
  }
  operator std::string_view() const noexcept { return view(); } // NOLINT
  std::string str() const { return std::string(view()); }
  std::size_t size() const noexcept { return view().size(); }
  bool empty() const noexcept { return size() == 0; }

  friend bool operator==(const ShortText &a, const ShortText &b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const ShortText &a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const ShortText &a, const char *b) noexcept { return a.view() == b; }

  static constexpr std::size_t kInlineCapacity = 7;

  /// Whether the text refers to a TextPool's copy rather than owning one.
  bool isPooled() const noexcept { return (bytes_[kTag] & 3U) == kPooledMark; }

private:
  friend class TextPool;
  static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big,
                "the tag byte is found by the byte order");
  /// The byte that holds a stored pointer's least significant byte.
  static constexpr std::size_t kTag = std::endian::native == std::endian::little ? 0 : 7;
  static constexpr std::size_t kFirstChar = kTag == 0 ? 1 : 0;
  /// The heap block: a 32-bit length, then the characters.
  static constexpr std::size_t kHeapHeader = sizeof(std::uint32_t);
  static constexpr std::size_t kHeapAlignment = 8;
  /// Added to the pointer of a pooled text.
  static constexpr unsigned kPooledMark = 2;

  bool isInline() const noexcept { return (bytes_[kTag] & 1U) != 0; }
  bool onHeap() const noexcept { return (bytes_[kTag] & 3U) == 0; }
  std::uint64_t word() const noexcept {
    std::uint64_t word;
    std::memcpy(&word, bytes_, sizeof word);
    return word;
  }
  /// The text of a heap block or pooled text.
  static std::string_view blockText(const char *block) noexcept {
    std::uint32_t length;
    std::memcpy(&length, block, sizeof length);
    return {block + kHeapHeader, length};
  }
  /// Writes \p s into \p block, which has room for kHeapHeader + s.size()
  /// bytes; \p s is shorter than 4 GiB.
  static void fillBlock(char *block, std::string_view s) noexcept {
    const auto length = static_cast<std::uint32_t>(s.size());
    std::memcpy(block, &length, sizeof length);
    std::memcpy(block + kHeapHeader, s.data(), s.size());
  }
  /// The heap block or the pooled text: a 32-bit length, then the characters.
  const char *outsideBlock() const noexcept {
    return reinterpret_cast<const char *>(static_cast<std::uintptr_t>(word() & ~std::uint64_t{3}));
  }
  /// Refers to \p pooled, a length and characters aligned to 4 that outlive
  /// this text.
  void referTo(const char *pooled) noexcept {
    const auto word = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pooled)) + kPooledMark;
    std::memcpy(bytes_, &word, sizeof word);
  }
  void copyFrom(const ShortText &other) {
    if (other.onHeap())
      assign(other.view());
    else
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
  }
  void setInline(std::size_t length) noexcept {
    std::memset(bytes_, 0, sizeof bytes_);
    bytes_[kTag] = static_cast<unsigned char>(2 * length + 1);
  }
  void release() noexcept;
  void assign(std::string_view s);

  unsigned char bytes_[8];
};

static_assert(sizeof(ShortText) == 8);

} // namespace Model
