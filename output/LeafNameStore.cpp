#include "output/LeafNameStore.h"

#include <algorithm>

void LeafNameStore::append(std::string_view name) {
  std::size_t shared = 0;
  if (count_ % kRestartInterval == 0) {
    restarts_.push_back(bytes_.size());
  } else {
    const std::size_t most = std::min(name.size(), previous_.size());
    shared = static_cast<std::size_t>(
        std::mismatch(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(most), previous_.begin())
            .first -
        name.begin());
  }
  appendVarint(shared);
  appendVarint(name.size() - shared);
  bytes_.append(name.data() + shared, name.size() - shared);
  // Only the differing tail is copied: previous_ already holds the prefix.
  previous_.resize(shared);
  previous_.append(name.substr(shared));
  ++count_;
}

void LeafNameStore::appendVarint(std::uint64_t value) {
  char coded[10];
  std::size_t length = 0;
  while (value >= 0x80) {
    coded[length++] = static_cast<char>(static_cast<unsigned char>(value | 0x80));
    value >>= 7;
  }
  coded[length++] = static_cast<char>(static_cast<unsigned char>(value));
  bytes_.append(coded, length);
}

std::uint64_t LeafNameStore::readVarint(std::uint64_t &offset) const {
  std::uint64_t value = 0;
  for (unsigned shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(bytes_[static_cast<std::size_t>(offset++)]);
    value |= std::uint64_t{byte & 0x7fu} << shift;
    if (byte < 0x80) return value;
  }
}

std::uint64_t LeafNameStore::decode(std::uint64_t offset, std::string &name) const {
  const auto shared = static_cast<std::size_t>(readVarint(offset));
  auto rest = static_cast<std::size_t>(readVarint(offset));
  name.resize(shared);
  while (rest > 0) {
    // A long name may run across the end of a block.
    std::size_t available = 0;
    const char *bytes = bytes_.piece(static_cast<std::size_t>(offset), available);
    const std::size_t take = std::min(rest, available);
    name.append(bytes, take);
    offset += take;
    rest -= take;
  }
  return offset;
}

void LeafNameStore::copyName(std::size_t index, std::string &out) const {
  const std::size_t restart = index / kRestartInterval;
  std::uint64_t offset = restarts_[restart];
  out.clear();
  for (std::size_t i = restart * kRestartInterval; i <= index; ++i)
    offset = decode(offset, out);
}

std::string_view LeafNameStore::Cursor::next() {
  offset_ = store_->decode(offset_, name_);
  ++next_;
  return name_;
}

void LeafNameStore::Cursor::seek(std::size_t index) {
  const std::size_t restart = index / kRestartInterval;
  if (index < next_ || restart * kRestartInterval > next_) {
    if (restart < store_->restarts_.size()) {
      offset_ = store_->restarts_[restart];
    } else {
      // The end, just before a name that will be stored whole.
      offset_ = store_->bytes_.size();
    }
    next_ = restart * kRestartInterval;
    name_.clear();
  }
  while (next_ < index)
    next();
}
