#pragma once

#include "output/InterruptCleanup.h"
#include "reader/NativeFiles.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class ReplacementFile;

/// The exit code reported for a program that could not be started.
inline constexpr int kCannotStartExitCode = 127;

/// Starts \p program with \p arguments (the program name itself is not among
/// them), its standard output written into the open \p output, standard
/// input and error shared with this process, and waits for it. No command
/// processor is involved, so the arguments reach the program exactly as
/// given. A program name without a directory is searched for in PATH (on
/// Windows as "<program>.exe", in the folders of PATH only: never in the
/// working folder or beside this executable). While it runs, an interrupt
/// ends it (InterruptCleanup); on Windows it is in a job that ends it when
/// this process ends, however that comes. Returns the program's
/// exit code, 128 + signal number when a signal ended it, or
/// kCannotStartExitCode when it could not be started.
int runProgram(const std::string &program, const std::vector<std::string> &arguments,
               ReplacementFile &output);

/// A program started as runProgram() starts one, with its standard output
/// in a pipe that this process reads while the program writes. While it
/// runs, an interrupt ends it as it ends runProgram()'s.
class PipedProgram {
public:
  /// Starts \p program with \p arguments; started() tells whether it runs.
  PipedProgram(const std::string &program, const std::vector<std::string> &arguments);
  /// Ends the program if wait() was not called (a run that stops reading
  /// early, by an exception) and waits for it.
  ~PipedProgram();
  PipedProgram(const PipedProgram &) = delete;
  PipedProgram &operator=(const PipedProgram &) = delete;

  bool started() const { return running_; }
  /// Reads at most \p size bytes of the program's output into \p buffer,
  /// waiting until there are some; 0 at the end of the output, or on a read
  /// error (readFailed()).
  std::size_t read(char *buffer, std::size_t size);
  bool readFailed() const { return readFailed_; }
  /// Reads into all of \p buffer, as read() reads, until it is full or the
  /// output ends; returns the bytes read. objdump writes 4 KiB at a time:
  /// where the pipe holds a few milliseconds of its output, the reading
  /// waits that long after a short read rather than waking for every
  /// write, which costs more than the parse of those bytes.
  std::size_t readBlock(char *buffer, std::size_t size);
  /// Stops reading and waits for the program to end (a program still
  /// writing then gets a broken pipe); returns as runProgram() does. Once.
  int wait();

private:
  NativeFiles::Handle output_;
  InterruptCleanup::ChildProcess child_{};
#ifdef _WIN32
  /// The job that ends the program when this process ends; may be null.
  void *job_ = nullptr;
#endif
  bool running_ = false;
  bool readFailed_ = false;
  /// The pipe got kPipeBytes.
  bool roomyPipe_ = false;
};

/// The argument that names \p elfPath to objdump: a path that starts with
/// '-' or '@' would be read as an option or a file of options, so it gets
/// "./" (".\" on Windows) before it.
std::string objdumpFileArgument(const std::string &elfPath);

/// Starts "arm-none-eabi-objdump -WlLiaprmfFsoRt <elfPath>" with its
/// standard output in a pipe.
std::unique_ptr<PipedProgram> startObjdump(const std::string &elfPath);
