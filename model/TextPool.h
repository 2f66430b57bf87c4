#pragma once

#include "model/ShortText.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace Model {

/// One copy of every distinct longer text, for the names of model objects
/// and the paths of the line tables.
///
/// A firmware dump repeats its names over and over: every compilation unit
/// describes the same header types with the same member names again. Each
/// name that does not fit inside a `ShortText` is kept here once, and the
/// objects refer to that copy. The pool must outlive every text it gave out;
/// the database declares it before the object tree.
class TextPool {
public:
  TextPool() = default;
  TextPool(const TextPool &) = delete;
  TextPool &operator=(const TextPool &) = delete;

  /// \p s as a ShortText: inline when it fits, else referring to the pool's
  /// copy, made on the first request for that text.
  ShortText text(std::string_view s);

  /// Keeps the copies of \p other alive as long as this pool; texts \p other
  /// gave out stay valid. A text held by both is then held twice, and later
  /// requests find this pool's copy only.
  void adopt(TextPool &other);

  /// The number of distinct texts held.
  std::size_t size() const { return count_; }

private:
  /// Where the next copy goes: a length, the characters, padding to 4.
  char *place(std::string_view s);
  void grow();

  static constexpr std::size_t kBlockSize = std::size_t{64} << 10;

  std::vector<std::unique_ptr<std::uint32_t[]>> blocks_;
  char *free_ = nullptr;
  std::size_t freeBytes_ = 0;
  /// Open addressing: the pooled copies (their length first), null for an
  /// empty slot; a power of two, at most half full.
  std::vector<const char *> slots_;
  std::size_t count_ = 0;
};

} // namespace Model
