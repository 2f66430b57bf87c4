#include "app/ObjdumpRunner.h"

#include "app/ConsoleTexts.h"
#include "output/InterruptCleanup.h"
#include "output/ReplacementFile.h"

#ifdef _WIN32
#include "app/WindowsCommandLine.h"

#include <windows.h>
#else
#include <cerrno>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

#ifdef _WIN32

namespace {

/// An inheritable copy of one of our standard handles, or null when we have none.
HANDLE inheritableStdHandle(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS))
    return nullptr;
  return copy;
}

void closeIfSet(HANDLE handle) {
  if (handle != nullptr) CloseHandle(handle);
}

} // namespace

int runProgram(const std::string &program, const std::vector<std::string> &arguments,
               ReplacementFile &output) {
  if (!output.isOpen()) return kCannotStartExitCode;
  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  // CreateProcessA may write into the command line, so it gets its own buffer.
  std::string commandLine = windowsCommandLine(all);
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');

  // The child writes through an inheritable copy of the handle.
  HANDLE outputCopy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(output.nativeFile()), GetCurrentProcess(),
                       &outputCopy, 0, TRUE, DUPLICATE_SAME_ACCESS))
    return kCannotStartExitCode;
  HANDLE input = inheritableStdHandle(STD_INPUT_HANDLE);
  HANDLE error = inheritableStdHandle(STD_ERROR_HANDLE);

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outputCopy;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  bool started = false;
  {
    const InterruptCleanup::Change change;
    // No application name: CreateProcessA then searches PATH and appends ".exe".
    started = change && CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                       &startup, &process) != 0;
    if (started) InterruptCleanup::setChild(change, process.hProcess);
  }
  closeIfSet(input);
  closeIfSet(error);
  CloseHandle(outputCopy);
  if (!started) return kCannotStartExitCode;

  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = kCannotStartExitCode;
  CloseHandle(process.hThread);
  {
    const InterruptCleanup::Change change;
    // When the process is ending, the handler still needs the handle.
    if (!InterruptCleanup::clearChild(change)) return kCannotStartExitCode;
    CloseHandle(process.hProcess);
  }
  return static_cast<int>(exitCode);
}

#else

namespace {

/// The file actions and attributes of one posix_spawn call.
class SpawnSetup {
public:
  SpawnSetup() {
    ready_ = posix_spawn_file_actions_init(&actions) == 0;
    if (ready_ && posix_spawnattr_init(&attributes) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      ready_ = false;
    }
  }
  ~SpawnSetup() {
    if (!ready_) return;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  SpawnSetup(const SpawnSetup &) = delete;
  SpawnSetup &operator=(const SpawnSetup &) = delete;

  bool ready() const { return ready_; }

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;

private:
  bool ready_ = false;
};

} // namespace

int runProgram(const std::string &program, const std::vector<std::string> &arguments,
               ReplacementFile &output) {
  if (!output.isOpen()) return kCannotStartExitCode;
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);

  // The child writes into the file already made, as its standard output; it
  // opens no path of its own.
  SpawnSetup setup;
  if (!setup.ready() ||
      posix_spawn_file_actions_adddup2(&setup.actions, output.nativeFile(), STDOUT_FILENO) != 0)
    return kCannotStartExitCode;
  pid_t pid = 0;
  {
    const InterruptCleanup::Change change;
    if (!change) return kCannotStartExitCode;
    // The child starts with the signals this thread had before the change.
    if (posix_spawnattr_setsigmask(&setup.attributes, &change.previousMask()) != 0 ||
        posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK) != 0)
      return kCannotStartExitCode;
    if (posix_spawnp(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ) != 0)
      return kCannotStartExitCode;
    InterruptCleanup::setChild(change, pid);
  }

  // Waits without reaping: until the child is forgotten, its process id
  // names no other process.
  siginfo_t info{};
  while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  {
    const InterruptCleanup::Change change;
    // When the process is ending, the handler still needs the process id.
    if (!InterruptCleanup::clearChild(change)) return kCannotStartExitCode;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return kCannotStartExitCode;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kCannotStartExitCode;
}

#endif

std::string objdumpFileArgument(const std::string &elfPath) {
  if (elfPath.empty() || (elfPath[0] != '-' && elfPath[0] != '@')) return elfPath;
#ifdef _WIN32
  return ".\\" + elfPath;
#else
  return "./" + elfPath;
#endif
}

int runObjdump(const std::string &elfPath, ReplacementFile &dump) {
  return runProgram(ConsoleTexts::kObjDumpProgram,
                    {ConsoleTexts::kObjDumpSwitches, objdumpFileArgument(elfPath)}, dump);
}
