#pragma once

#include <cstddef>

/// A dump read as the program that writes it goes on: objdump's standard
/// output, read through a pipe while objdump runs.
class DumpStream {
public:
  virtual ~DumpStream() = default;

  /// Reads at most \p size bytes into \p buffer, waiting for the writer when
  /// none are there yet. 0 once the stream has ended, or failed.
  virtual std::size_t read(char *buffer, std::size_t size) = 0;
  /// Called once, after read() gave 0: true when the dump is whole (its
  /// writer succeeded and nothing was lost on the way). A dump that is not
  /// whole is not linked: its run ends.
  virtual bool finish() = 0;
};
