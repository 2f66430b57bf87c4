// The hand-over of the recorded leaves from the expansion to the files'
// makers on other threads. Run under ThreadSanitizer too: a reader reads
// the blocks of a BlockVector while the writer appends to it.
#include "output/LeafFeed.h"
#include "output/BlockVector.h"
#include "output/LeafNameStore.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace {

TEST(LeafFeed, SaysHowManyLeavesThereAreAndWhenThereAreNoMore) {
  LeafFeed feed;
  feed.publish(LeafFeed::kBatch);
  EXPECT_EQ(feed.waitFor(0), LeafFeed::kBatch);
  EXPECT_EQ(feed.waitFor(LeafFeed::kBatch - 1), LeafFeed::kBatch);
  feed.finish(LeafFeed::kBatch + 5);
  EXPECT_EQ(feed.waitFor(LeafFeed::kBatch), LeafFeed::kBatch + 5);
  // At the end: no more than that, without waiting.
  EXPECT_EQ(feed.waitFor(LeafFeed::kBatch + 5), LeafFeed::kBatch + 5);
  feed.waitForEnd();
}

TEST(LeafFeed, AnEmptyPassEndsAtOnce) {
  LeafFeed feed;
  feed.finish(0);
  EXPECT_EQ(feed.waitFor(0), 0u);
}

TEST(LeafFeed, AbortWakesAWaitingReader) {
  LeafFeed feed;
  feed.publish(3);
  bool aborted = false;
  bool endAborted = false;
  std::thread reader([&] {
    try {
      feed.waitFor(3);
    } catch (const LeafFeed::Aborted &) {
      aborted = true;
    }
    try {
      feed.waitForEnd();
    } catch (const LeafFeed::Aborted &) {
      endAborted = true;
    }
  });
  feed.abort();
  reader.join();
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(endAborted);
}

TEST(LeafFeed, AReaderGetsEveryLeafAndNameWhileTheWriterAppends) {
  // As the output pass does: names and leaves are appended, and every
  // kBatch leaves handed on; the reader reads each leaf and name once it is
  // handed on, across many new blocks.
  constexpr std::size_t kLeaves = 20 * LeafFeed::kBatch + 17;
  const auto nameOf = [](std::size_t i) { return "g_table[" + std::to_string(i) + "].value"; };
  BlockVector<std::uint32_t> leaves;
  LeafNameStore names;
  LeafFeed feed;
  std::size_t mismatches = 0;
  std::size_t read = 0;
  std::thread reader([&] {
    LeafNameStore::Cursor cursor(names);
    for (std::size_t known = 0;;) {
      if (read == known) {
        known = feed.waitFor(read);
        if (read == known) break;
      }
      if (leaves[read] != read * 5 + 3 || cursor.next() != nameOf(read)) ++mismatches;
      ++read;
    }
  });
  for (std::size_t i = 0; i < kLeaves; ++i) {
    names.append(nameOf(i));
    leaves.push_back(static_cast<std::uint32_t>(i * 5 + 3));
    if (leaves.size() % LeafFeed::kBatch == 0) feed.publish(leaves.size());
  }
  feed.finish(leaves.size());
  reader.join();
  EXPECT_EQ(read, kLeaves);
  EXPECT_EQ(mismatches, 0u);
}

} // namespace
