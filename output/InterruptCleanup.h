#pragma once

#include "reader/NativeFiles.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/types.h>
#endif

/// What an interrupt must clear away before the process ends: the temporary
/// files of the run and the program it waits for. SIGINT, SIGTERM and SIGHUP
/// (on Windows Ctrl-C, Ctrl-Break and the closing of the console) remove
/// every temporary file registered here, end the registered child and end
/// the process with exit code 128 + the signal number. An old file is never
/// touched: it is only ever replaced by a rename.
///
/// The handler may run on any thread, at any moment. It only reads this
/// registry, which lives in fixed memory, and calls nothing but unlink()
/// (NativeFiles::removeNative()), kill() and _exit(). Every change to the
/// registry is made inside a Change: the handler waits until none is under
/// way, and once the handler has begun, no Change can be had any more.
namespace InterruptCleanup {

#ifdef _WIN32
/// The process handle (a HANDLE).
using ChildProcess = void *;
#else
using ChildProcess = pid_t;
#endif

/// Sets up the handlers. A signal that the process was started with
/// ignored (nohup, a background job) stays ignored.
void installHandlers();

/// One change to the registry. While it lives, the handler waits, and the
/// signals are blocked on this thread (so the handler cannot run on it and
/// wait for it). Keep it to a few system calls.
class Change {
public:
  Change();
  ~Change();
  Change(const Change &) = delete;
  Change &operator=(const Change &) = delete;

  /// False when the process is already ending: nothing may be changed, and
  /// the caller should give up what it was going to do. (On Windows, where
  /// the handler runs on a thread of its own, a Change is then never had: the
  /// thread waits there for the end.)
  explicit operator bool() const { return valid_; }

#ifndef _WIN32
  /// The signal mask of this thread before the change, for a child to start with.
  const sigset_t &previousMask() const { return previousMask_; }
#endif

private:
  bool valid_ = false;
#ifndef _WIN32
  sigset_t previousMask_;
#endif
};

/// No slot: the name was not registered.
inline constexpr int kNoSlot = -1;

/// Registers the temporary file \p name, in the system's form
/// (NativeFiles::nativeName()), before it is created; returns its slot, or
/// kNoSlot when \p change is not valid, the name is too long or every slot
/// is taken.
int addTemporaryFile(const Change &change, const NativeFiles::NativeChar *name);
/// Forgets the temporary file in \p slot once it is renamed or removed;
/// nothing for kNoSlot.
void removeTemporaryFile(int slot);

/// Registers the child the run waits for; false when \p change is not valid.
bool setChild(const Change &change, ChildProcess child);
/// Forgets the child, before it is reaped (so that its process id or handle
/// cannot name another process by then); false when \p change is not valid.
bool clearChild(const Change &change);

} // namespace InterruptCleanup
