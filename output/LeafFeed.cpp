#include "output/LeafFeed.h"

void LeafFeed::publish(std::size_t count) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    count_ = count;
  }
  changed_.notify_all();
}

void LeafFeed::finish(std::size_t count) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    count_ = count;
    finished_ = true;
  }
  changed_.notify_all();
}

void LeafFeed::abort() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
  }
  changed_.notify_all();
}

std::size_t LeafFeed::waitFor(std::size_t index) const {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return count_ > index || finished_ || aborted_; });
  if (aborted_) throw Aborted{};
  return count_;
}

void LeafFeed::waitForEnd() const {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return finished_ || aborted_; });
  if (aborted_) throw Aborted{};
}
