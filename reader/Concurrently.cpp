#include "reader/Concurrently.h"

#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void runConcurrently(std::size_t count, const std::function<void(std::size_t job)> &job) {
  std::mutex failureMutex;
  std::exception_ptr failure;
  const auto run = [&](std::size_t index) {
    try {
      job(index);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureMutex);
      if (failure == nullptr) failure = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  std::size_t started = 1;
  try {
    threads.reserve(count > 0 ? count - 1 : 0);
    for (; started < count; ++started)
      threads.emplace_back(run, started);
  } catch (const std::system_error &) {
    // No more threads to be had: the rest run here, after job 0.
  } catch (const std::bad_alloc &) {
  }
  if (count > 0) run(0);
  for (std::thread &thread : threads)
    thread.join();
  for (; started < count; ++started)
    run(started);
  if (failure != nullptr) std::rethrow_exception(failure);
}
