#include "output/InterruptCleanup.h"

#include "reader/NativeFiles.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace InterruptCleanup {

namespace {

/// A run has few temporary files at a time: the dump's, or those of the map,
/// the log and the CANape database.
constexpr std::size_t kSlots = 8;
#ifdef _WIN32
/// Longer names cannot be opened (the "\\?\" form of a path has at most
/// 32 767 characters).
constexpr std::size_t kLongestName = 32768;
#else
/// Longer names cannot be opened (PATH_MAX on Linux).
constexpr std::size_t kLongestName = 4096;
#endif

enum SlotState : int { kFree, kFilling, kLive };

struct Slot {
  std::atomic<int> state{kFree};
  NativeFiles::NativeChar name[kLongestName];
};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<ChildProcess>::is_always_lock_free,
              "the handler reads the registry with lock-free atomics only");

// The registry: the one piece of process-wide state, read by the handler.
Slot slots[kSlots];
std::atomic<int> changesUnderway{0};
std::atomic<bool> ending{false};
std::atomic<ChildProcess> child{ChildProcess{}};

#ifdef _WIN32
/// Windows has no SIGHUP; the closing of the console stands for it.
constexpr int kHangUp = 1;

void endChild(ChildProcess process, int exitCode) {
  TerminateProcess(static_cast<HANDLE>(process), static_cast<UINT>(exitCode));
}
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void endChild(ChildProcess process, int) { kill(process, SIGTERM); }
#endif

/// Removes every registered temporary file and ends the child, once no
/// change is under way; no change can start after this.
void clearAway(int exitCode) {
  ending.store(true);
  while (changesUnderway.load() != 0) {
    // A change takes a few system calls, on another thread.
  }
  for (Slot &slot : slots)
    if (slot.state.load() == kLive) NativeFiles::removeNative(slot.name);
  if (const ChildProcess process = child.load(); process != ChildProcess{}) endChild(process, exitCode);
}

#ifdef _WIN32
BOOL WINAPI onConsoleEvent(DWORD event) {
  const int number = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : kHangUp;
  clearAway(128 + number);
  // Ends every thread at once, without running the runtime's exit handlers.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(128 + number));
  return TRUE;
}
#else
void onSignal(int number) {
  clearAway(128 + number);
  _exit(128 + number);
}
#endif

} // namespace

#ifdef _WIN32

void installHandlers() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

Change::Change() {
  changesUnderway.fetch_add(1);
  if (ending.load()) {
    changesUnderway.fetch_sub(1);
    // The handler runs on a thread of its own and is about to end the
    // process: this thread waits for that end, so that no other way out (an
    // exit code of its own) can come first.
    for (;;)
      Sleep(INFINITE);
  }
  valid_ = true;
}

Change::~Change() {
  if (valid_) changesUnderway.fetch_sub(1);
}

#else

void installHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : kSignals)
    sigaddset(&action.sa_mask, signal);
  for (const int signal : kSignals) {
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

Change::Change() {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int signal : kSignals)
    sigaddset(&blocked, signal);
  pthread_sigmask(SIG_BLOCK, &blocked, &previousMask_);
  // Seen by the handler, or the handler's start seen here: never neither.
  changesUnderway.fetch_add(1);
  if (ending.load()) {
    changesUnderway.fetch_sub(1);
    return;
  }
  valid_ = true;
}

Change::~Change() {
  if (valid_) changesUnderway.fetch_sub(1);
  // A signal that came meanwhile is handled here.
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

#endif

int addTemporaryFile(const Change &change, const NativeFiles::NativeChar *name) {
  if (!change) return kNoSlot;
  const std::size_t length = std::char_traits<NativeFiles::NativeChar>::length(name);
  if (length >= kLongestName) return kNoSlot;
  for (std::size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::char_traits<NativeFiles::NativeChar>::copy(slots[i].name, name, length + 1);
    slots[i].state.store(kLive);
    return static_cast<int>(i);
  }
  return kNoSlot;
}

void removeTemporaryFile(int slot) {
  // The name stays as it is until the slot is filled again, inside a change.
  if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) slots[slot].state.store(kFree);
}

bool setChild(const Change &change, ChildProcess process) {
  if (!change) return false;
  child.store(process);
  return true;
}

bool clearChild(const Change &change) {
  if (!change) return false;
  child.store(ChildProcess{});
  return true;
}

} // namespace InterruptCleanup
