#pragma once

#include "model/LargeBlocks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// The output names of the written leaves, in leaf order, front-coded: each
/// name is stored as the length of the prefix it shares with the name before
/// it and the length of the rest (both as varints), then the rest's bytes.
/// Neighbouring leaves share long prefixes ("g_sensor.address_",
/// "g_sensor.bus_", "table[11].x", "table[12].x"), so a million names take a
/// fraction of their full length. Every kRestartInterval-th name is stored
/// whole, and its byte offset is kept, so one name can be decoded without
/// reading from the first.
class LeafNameStore {
public:
  /// Names between two stored whole: a lookup by index decodes at most this
  /// many; more would save little, as the table costs 8 bytes per restart.
  static constexpr std::size_t kRestartInterval = 16;

  /// Stores \p name as the next one.
  void append(std::string_view name);

  /// The number of names stored.
  std::size_t size() const { return count_; }

  /// Replaces \p out with name number \p index (counted from 0), decoded from
  /// the nearest whole name before it.
  void copyName(std::size_t index, std::string &out) const;

  /// Reads the names in order, from any starting index; cheap per name while
  /// it goes forward.
  class Cursor {
  public:
    explicit Cursor(const LeafNameStore &store) : store_(&store) {}

    /// The index of the name that next() returns.
    std::size_t position() const { return next_; }
    /// The name at position(), which then moves on by one. Valid until the
    /// cursor is used again. Only while position() is below size().
    std::string_view next();
    /// Moves to \p index (below size()): from a whole name when it goes
    /// back or far ahead, else by reading on.
    void seek(std::size_t index);

  private:
    const LeafNameStore *store_;
    std::size_t next_ = 0;
    std::uint64_t offset_ = 0; ///< of the record of name next_
    std::string name_;         ///< the name before next_, once read
  };

private:
  /// Decodes the record at \p offset onto \p name, which holds the name before
  /// it; returns the offset of the next record.
  std::uint64_t decode(std::uint64_t offset, std::string &name) const;

  std::vector<char, Model::LargeBlockAllocator<char>> bytes_;
  /// The offset of every kRestartInterval-th record, from the first.
  std::vector<std::uint64_t, Model::LargeBlockAllocator<std::uint64_t>> restarts_;
  /// The last name appended, for the prefix of the next one.
  std::string previous_;
  std::size_t count_ = 0;
};
