#include "output/LeafNameStore.h"

#include <algorithm>
#include <cstring>

namespace {

/// The length of the common prefix of \p a and \p b, compared eight bytes
/// at a time: long scoped names share most of their bytes.
std::size_t sharedPrefix(std::string_view a, std::string_view b) {
  const std::size_t most = std::min(a.size(), b.size());
  std::size_t i = 0;
  while (i + 8 <= most && std::memcmp(a.data() + i, b.data() + i, 8) == 0)
    i += 8;
  while (i < most && a[i] == b[i])
    ++i;
  return i;
}

/// Writes \p value as a varint (seven bits a byte, low first) at \p out;
/// returns the end.
char *putVarint(char *out, std::uint64_t value) {
  while (value >= 0x80) {
    *out++ = static_cast<char>(static_cast<unsigned char>(value | 0x80));
    value >>= 7;
  }
  *out++ = static_cast<char>(static_cast<unsigned char>(value));
  return out;
}

/// Two varints of at most ten bytes each.
constexpr std::size_t kMaxHeader = 20;

} // namespace

void LeafNameStore::append(std::string_view name) {
  std::size_t shared = 0;
  if (count_ % kRestartInterval == 0)
    restarts_.push_back(bytes_.size());
  else
    shared = sharedPrefix(name, previous_);
  char header[kMaxHeader];
  char *headerEnd = putVarint(putVarint(header, shared), name.size() - shared);
  bytes_.append(header, static_cast<std::size_t>(headerEnd - header));
  bytes_.append(name.data() + shared, name.size() - shared);
  // Only the differing tail is copied: previous_ already holds the prefix.
  previous_.resize(shared);
  previous_.append(name.substr(shared));
  ++count_;
}

std::uint64_t LeafNameStore::decode(std::uint64_t offset, std::string &name) const {
  // A record mostly lies in one piece of the store; a long name, or one at
  // the end of a block, runs on into the next.
  std::size_t available = 0;
  const char *at = bytes_.blockRest(static_cast<std::size_t>(offset), available);
  const auto readVarint = [&] {
    std::uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
      if (available == 0) at = bytes_.blockRest(static_cast<std::size_t>(offset), available);
      const auto byte = static_cast<unsigned char>(*at++);
      --available;
      ++offset;
      value |= std::uint64_t{byte & 0x7fu} << shift;
      if (byte < 0x80) return value;
    }
  };
  const auto shared = static_cast<std::size_t>(readVarint());
  auto rest = static_cast<std::size_t>(readVarint());
  name.resize(shared + rest);
  for (char *to = name.data() + shared; rest > 0;) {
    if (available == 0) at = bytes_.blockRest(static_cast<std::size_t>(offset), available);
    const std::size_t take = std::min(rest, available);
    std::memcpy(to, at, take);
    to += take;
    at += take;
    available -= take;
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
