#include "model/LargeBlocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using Model::LargeBlockAllocator;

TEST(LargeBlocks, VectorGrowsAcrossTheHugePageSizeKeepingItsElements) {
  // From the ordinary heap to aligned blocks and on through several
  // reallocations; each block must be freed the way it was taken (the
  // sanitizer build reports a mismatch).
  std::vector<std::uint64_t, LargeBlockAllocator<std::uint64_t>> values;
  for (std::uint64_t i = 0; i < 1000000; ++i) {
    values.push_back(i * 2654435761u);
    if (values.capacity() * sizeof(std::uint64_t) >= Model::kHugePageSize) {
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % Model::kHugePageSize, 0u);
    }
  }
  for (std::uint64_t i = 0; i < values.size(); ++i)
    ASSERT_EQ(values[i], i * 2654435761u);
  values.shrink_to_fit();
  values.resize(10);
  values.shrink_to_fit(); // back to a small block
  EXPECT_EQ(values[9], std::uint64_t{9} * 2654435761u);
}

TEST(LargeBlocks, StringOfNamesBeyondTheHugePageSize) {
  std::basic_string<char, std::char_traits<char>, LargeBlockAllocator<char>> names;
  std::string expected;
  for (int i = 0; names.size() < 3 * Model::kHugePageSize; ++i) {
    const std::string name = "module" + std::to_string(i) + ".state[" + std::to_string(i % 7) + "]";
    names.append(name);
    expected.append(name);
  }
  EXPECT_EQ(std::string_view(names), std::string_view(expected));
}

TEST(LargeBlocks, PopulatingKeepsWhatTheMemoryHolds) {
  // The request must back pages, never drop or clear them: the heap block
  // around it (and, for ranges that start or end inside a page, the bytes
  // of the neighbours) keeps its contents. Offsets and lengths that are not
  // whole pages are part of the test.
  struct Range {
    std::size_t offset;
    std::size_t size;
  };
  const Range ranges[] = {{0, 0}, {1, 100}, {3, 4096}, {4095, 8193}, {17, 256 * 1024 - 40}, {0, 256 * 1024}};
  std::vector<unsigned char> memory(256 * 1024 + 64);
  for (std::size_t i = 0; i < memory.size(); ++i)
    memory[i] = static_cast<unsigned char>(i * 31 + 7);
  for (const Range &range : ranges) {
    Model::populateNow(memory.data() + range.offset, range.size);
    for (std::size_t i = 0; i < memory.size(); ++i)
      ASSERT_EQ(memory[i], static_cast<unsigned char>(i * 31 + 7))
          << "offset " << range.offset << " size " << range.size << " byte " << i;
  }
}

TEST(LargeBlocks, ReleasingPagesKeepsTheBytesAroundThem) {
  // Only whole pages inside the range go back to the system: the bytes of
  // partial pages at either end, and everything outside, keep their values,
  // and the memory stays usable.
  constexpr std::size_t kSize = 256 * 1024;
  std::vector<unsigned char> memory(kSize + 64);
  const auto valueAt = [](std::size_t i) { return static_cast<unsigned char>(i * 13 + 5); };
  for (std::size_t i = 0; i < memory.size(); ++i)
    memory[i] = valueAt(i);
  const std::size_t from = 100;
  const std::size_t size = kSize - 300;
  Model::releasePages(memory.data() + from, size);
  const auto firstWhole = [&](std::size_t at) {
    const auto address = reinterpret_cast<std::uintptr_t>(memory.data() + at);
    return at + static_cast<std::size_t>((4096 - address % 4096) % 4096);
  };
  const std::size_t wholeBegin = firstWhole(from);
  std::size_t zeroed = 0;
  for (std::size_t i = 0; i < memory.size(); ++i) {
    if (memory[i] == valueAt(i)) continue;
    // A changed byte lies on a whole page inside the range, and reads 0.
    ASSERT_GE(i, wholeBegin) << i;
    ASSERT_LT(i, from + size) << i;
    ASSERT_EQ(memory[i], 0) << i;
    ++zeroed;
  }
#if defined(__linux__)
  EXPECT_GT(zeroed, 0u); // the request did take pages back
#endif
  for (std::size_t i = 0; i < memory.size(); ++i)
    memory[i] = valueAt(i);
  EXPECT_EQ(memory[kSize / 2], valueAt(kSize / 2));
}

TEST(LargeBlocks, ReservingWithReleaseKeepsEveryElement) {
  // The old copy's pages go back while the list moves: a page released
  // before it was copied would read as zeros in the new one.
  for (const std::size_t count :
       {std::size_t{0}, std::size_t{1000}, Model::kHugePageSize / 8 + 3, std::size_t{3} << 20}) {
    SCOPED_TRACE(count);
    std::vector<std::uint64_t, LargeBlockAllocator<std::uint64_t>> values;
    for (std::uint64_t i = 0; i < count; ++i)
      values.push_back(i * 2654435761u + 1);
    Model::reserveReleasing(values, 2 * count + 1);
    ASSERT_EQ(values.size(), count);
    EXPECT_GE(values.capacity(), 2 * count + 1);
    for (std::uint64_t i = 0; i < count; ++i)
      ASSERT_EQ(values[i], i * 2654435761u + 1) << i;
    const auto *before = values.data();
    Model::reserveReleasing(values, count); // room enough: nothing moves
    EXPECT_EQ(values.data(), before);
  }
}
