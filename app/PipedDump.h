#pragma once

#include "reader/DumpStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>

class PipedProgram;
class ReplacementFile;

/// objdump's output as the parse reads it: each block read from the pipe
/// goes into the dump's temporary file as well, so that the dump file ends
/// up byte for byte what objdump wrote. The temporary file replaces the
/// dump only when objdump exits with 0 and all of it was written.
class PipedDump : public DumpStream {
public:
  /// How the dump ended.
  enum class Outcome {
    Running,
    /// objdump succeeded and its dump is in place.
    Finished,
    /// objdump failed, was killed, or could not be started: exitCode().
    ObjdumpFailed,
    /// The pipe could not be read.
    ReadFailed,
    /// The dump file could not be written or put in place.
    WriteFailed,
  };

  /// Reads \p objdump's output into \p dump; \p finished is called once the
  /// dump is in place, before the parse goes on to link it.
  PipedDump(PipedProgram &objdump, ReplacementFile &dump, std::function<void()> finished);

  std::size_t read(char *buffer, std::size_t size) override;
  /// Waits for objdump and, when it succeeded, puts the dump in place.
  bool finish() override;

  Outcome outcome() const { return outcome_; }
  /// objdump's exit code, once it has ended.
  int exitCode() const { return exitCode_; }

private:
  /// Starts writing out what came since the last start.
  void startWriteback();

  PipedProgram &objdump_;
  ReplacementFile &dump_;
  std::function<void()> finished_;
  Outcome outcome_ = Outcome::Running;
  int exitCode_ = 0;
  bool writeFailed_ = false;
  std::uint64_t written_ = 0;
  std::uint64_t writebackStart_ = 0;
};
