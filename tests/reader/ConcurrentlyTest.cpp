// runConcurrently: every job runs once, job 0 on the calling thread, the
// others beside it, and a job's exception comes out only after all ended.
#include "reader/Concurrently.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(Concurrently, EveryJobRunsOnceAndJobZeroOnTheCallingThread) {
  for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{8}}) {
    const auto runs = std::make_unique<std::atomic<int>[]>(count + 1);
    std::vector<std::thread::id> threadOf(count);
    runConcurrently(count, [&](std::size_t job) {
      runs[job].fetch_add(1);
      threadOf[job] = std::this_thread::get_id(); // one element per job: no race
    });
    for (std::size_t job = 0; job < count; ++job)
      EXPECT_EQ(runs[job].load(), 1) << count << " jobs, job " << job;
    if (count > 0) {
      EXPECT_EQ(threadOf[0], std::this_thread::get_id()) << count;
    }
    for (std::size_t job = 1; job < count; ++job)
      EXPECT_NE(threadOf[job], std::this_thread::get_id()) << count << " jobs, job " << job;
  }
}

TEST(Concurrently, AJobsExceptionComesOutAfterEveryJobEnded) {
  for (const std::size_t failing : {std::size_t{0}, std::size_t{3}}) {
    std::atomic<int> ended{0};
    EXPECT_THROW(runConcurrently(4,
                                 [&](std::size_t job) {
                                   if (job == failing) throw std::runtime_error("job failed");
                                   // The others are still at work when it throws.
                                   std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                   ended.fetch_add(1);
                                 }),
                 std::runtime_error)
        << failing;
    EXPECT_EQ(ended.load(), 3) << failing;
  }
}

} // namespace
