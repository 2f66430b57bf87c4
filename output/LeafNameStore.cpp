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
  if (count_ % kRestartInterval == 0) {
    Model::makeRoomReleasing(restarts_, 1);
    restarts_.push_back(bytes_.size());
  } else {
    shared = sharedPrefix(name, previous_);
  }
  char header[kMaxHeader];
  char *headerEnd = putVarint(putVarint(header, shared), name.size() - shared);
  const auto headerSize = static_cast<std::size_t>(headerEnd - header);
  Model::makeRoomReleasing(bytes_, headerSize + name.size() - shared);
  bytes_.insert(bytes_.end(), header, headerEnd);
  bytes_.insert(bytes_.end(), name.begin() + static_cast<std::ptrdiff_t>(shared), name.end());
  // Only the differing tail is copied: previous_ already holds the prefix.
  previous_.resize(shared);
  previous_.append(name.substr(shared));
  ++count_;
}

std::uint64_t LeafNameStore::decode(std::uint64_t offset, std::string &name) const {
  const char *at = bytes_.data() + offset;
  const auto readVarint = [&at] {
    std::uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
      const auto byte = static_cast<unsigned char>(*at++);
      value |= std::uint64_t{byte & 0x7fu} << shift;
      if (byte < 0x80) return value;
    }
  };
  const auto shared = static_cast<std::size_t>(readVarint());
  const auto rest = static_cast<std::size_t>(readVarint());
  name.resize(shared + rest);
  std::memcpy(name.data() + shared, at, rest);
  return static_cast<std::uint64_t>(at + rest - bytes_.data());
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
    offset_ = store_->restarts_[restart];
    next_ = restart * kRestartInterval;
    name_.clear();
  }
  while (next_ < index)
    next();
}
