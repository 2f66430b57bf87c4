#pragma once

// Scanning eight characters at a time for the few runs that make up most of
// a dump's bytes: the blanks that pad attribute names, the names themselves
// and the attribute values. Each function gives exactly what a loop over
// single characters gives; a host that is not little-endian takes that loop.

#include <bit>
#include <cstdint>
#include <cstring>

namespace WordScan {

inline constexpr bool kWordwise = std::endian::native == std::endian::little;
inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

inline std::uint64_t load(const char *p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

inline std::uint64_t repeated(char c) { return kOnes * static_cast<unsigned char>(c); }

/// The high bit of every zero byte of \p word set. Bytes above the first zero
/// byte may be marked too (a borrow), so only the lowest mark is exact.
inline std::uint64_t zeroBytes(std::uint64_t word) { return (word - kOnes) & ~word & kHighs; }

/// The offset of the lowest marked byte of a non-zero mark word.
inline int firstMarked(std::uint64_t marks) { return std::countr_zero(marks) >> 3; }

/// The first position in [p, end) that does not hold \p c, or end.
inline const char *skipRun(const char *p, const char *end, char c) {
  if constexpr (kWordwise) {
    const std::uint64_t pattern = repeated(c);
    while (end - p >= 8) {
      const std::uint64_t differing = load(p) ^ pattern;
      if (differing != 0) return p + firstMarked(differing);
      p += 8;
    }
  }
  while (p != end && *p == c)
    ++p;
  return p;
}

/// The first position in [p, end) that holds \p a or \p b, or end.
inline const char *findEither(const char *p, const char *end, char a, char b) {
  if constexpr (kWordwise) {
    const std::uint64_t patternA = repeated(a);
    const std::uint64_t patternB = repeated(b);
    while (end - p >= 8) {
      const std::uint64_t word = load(p);
      const std::uint64_t marks = zeroBytes(word ^ patternA) | zeroBytes(word ^ patternB);
      if (marks != 0) return p + firstMarked(marks);
      p += 8;
    }
  }
  while (p != end && *p != a && *p != b)
    ++p;
  return p;
}

/// The first position in [p, end) whose byte is below \p limit (at most 128)
/// as an unsigned value, or end. Text is mostly printable, and a word without
/// a control character is passed in one step.
inline const char *findBelow(const char *p, const char *end, unsigned char limit) {
  if constexpr (kWordwise) {
    const std::uint64_t pattern = kOnes * limit;
    while (end - p >= 8) {
      const std::uint64_t word = load(p);
      const std::uint64_t marks = (word - pattern) & ~word & kHighs;
      if (marks != 0) return p + firstMarked(marks);
      p += 8;
    }
  }
  while (p != end && static_cast<unsigned char>(*p) >= limit)
    ++p;
  return p;
}

} // namespace WordScan
