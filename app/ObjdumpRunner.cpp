#include "app/ObjdumpRunner.h"

#include "app/ConsoleTexts.h"
#include "output/InterruptCleanup.h"
#include "output/ReplacementFile.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include "app/WindowsCommandLine.h"
#include "reader/NativeFiles.h"

#include <algorithm>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

#ifdef _WIN32

namespace {

/// What a program's file name ends with on Windows.
constexpr const char *kProgramSuffix = ".exe";
/// How long a run waits for its own interrupt handler when the program it
/// started was ended by Ctrl-C or Ctrl-Break.
constexpr DWORD kInterruptGraceMilliseconds = 5000;

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

/// The path of \p program: as given when it names a folder, else the file
/// "<program>.exe" in the first folder of PATH that holds it. Only PATH is
/// searched, never the working folder or the folder of this executable (as
/// CreateProcess would search first). Empty when none is found.
std::string programPath(const std::string &program) {
  if (program.find_first_of("\\/:") != std::string::npos) return program;
  const DWORD needed = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (needed == 0) return {};
  std::wstring path(needed, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"PATH", path.data(), needed);
  if (length == 0 || length >= needed) return {};
  path.resize(length);
  for (std::string candidate : windowsPathFolders(NativeFiles::utf8FromWide(path))) {
    if (candidate.back() != '\\' && candidate.back() != '/') candidate += '\\';
    candidate += program + kProgramSuffix;
    if (NativeFiles::kindOf(candidate) == NativeFiles::Kind::Regular) return candidate;
  }
  return {};
}

/// A job whose processes end when its last handle is closed: when this
/// process ends, however it ends (killed from the task manager, too). Null
/// when it cannot be had.
HANDLE makeKillOnCloseJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

/// A program started in a job of its own, suspended until it is in the job.
struct Child {
  HANDLE process = nullptr;
  HANDLE job = nullptr;
};

/// Starts \p program with (an inheritable copy of) \p output as its
/// standard output and registers it for the interrupt handler; false when
/// it could not be started.
bool startChild(const std::string &program, const std::vector<std::string> &arguments, HANDLE output,
                Child &child) {
  const std::string path = programPath(program);
  if (path.empty()) return false;
  const std::wstring application = NativeFiles::nativeName(path);
  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  // CreateProcessW may write into the command line, so it gets its own buffer.
  std::wstring commandLine = NativeFiles::wideFromUtf8(windowsCommandLine(all));
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');

  // The child writes through an inheritable copy of the handle.
  HANDLE outputCopy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), output, GetCurrentProcess(), &outputCopy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS))
    return false;
  HANDLE input = inheritableStdHandle(STD_INPUT_HANDLE);
  HANDLE error = inheritableStdHandle(STD_ERROR_HANDLE);
  HANDLE job = makeKillOnCloseJob();

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outputCopy;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  bool started = false;
  {
    const InterruptCleanup::Change change;
    // The application name is the full path found above: CreateProcessW
    // searches no folder itself. Suspended until it is in the job.
    started = change && CreateProcessW(application.c_str(), buffer.data(), nullptr, nullptr, TRUE,
                                       CREATE_SUSPENDED, nullptr, nullptr, &startup, &process) != 0;
    if (started) InterruptCleanup::setChild(change, process.hProcess);
  }
  closeIfSet(input);
  closeIfSet(error);
  CloseHandle(outputCopy);
  if (!started) {
    closeIfSet(job);
    return false;
  }
  // Without the job (a Windows that cannot nest jobs), an interrupt still
  // ends the program; only a run killed from outside leaves it running.
  if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  if (ResumeThread(process.hThread) == static_cast<DWORD>(-1))
    TerminateProcess(process.hProcess, kCannotStartExitCode);
  CloseHandle(process.hThread);
  child.process = process.hProcess;
  child.job = job;
  return true;
}

/// Waits for \p child to end and forgets it; returns as runProgram() does.
int waitForChild(const Child &child) {
  WaitForSingleObject(child.process, INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(child.process, &exitCode)) exitCode = kCannotStartExitCode;
  // The Ctrl-C or Ctrl-Break that ended the program reached this process too:
  // its handler, on a thread of its own, ends the run with the interrupt's
  // exit code. It gets the moment it needs before the run goes on.
  if (exitCode == STATUS_CONTROL_C_EXIT) Sleep(kInterruptGraceMilliseconds);
  {
    const InterruptCleanup::Change change;
    // When the process is ending, the handler still needs the handle.
    if (!InterruptCleanup::clearChild(change)) return kCannotStartExitCode;
    CloseHandle(child.process);
  }
  closeIfSet(child.job);
  return static_cast<int>(exitCode);
}

/// A pipe buffer this large lets objdump write on while the parse is busy
/// for a moment.
constexpr DWORD kPipeBytes = 1 << 20;

} // namespace

int runProgram(const std::string &program, const std::vector<std::string> &arguments,
               ReplacementFile &output) {
  if (!output.isOpen()) return kCannotStartExitCode;
  Child child;
  if (!startChild(program, arguments, static_cast<HANDLE>(output.nativeFile()), child))
    return kCannotStartExitCode;
  return waitForChild(child);
}

PipedProgram::PipedProgram(const std::string &program, const std::vector<std::string> &arguments)
    : output_(NativeFiles::noHandle()) {
  // Neither end is inheritable: the child gets a copy of the writing end.
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, nullptr, kPipeBytes)) return;
  Child child;
  running_ = startChild(program, arguments, writeEnd, child);
  // The output ends when the child's copy of the writing end closes.
  CloseHandle(writeEnd);
  if (!running_) {
    CloseHandle(readEnd);
    return;
  }
  output_ = readEnd;
  child_ = child.process;
  job_ = child.job;
}

PipedProgram::~PipedProgram() {
  if (!running_) return;
  // Stopped reading early: what objdump writes on is not wanted.
  TerminateProcess(static_cast<HANDLE>(child_), kCannotStartExitCode);
  wait();
}

std::size_t PipedProgram::read(char *buffer, std::size_t size) {
  if (output_ == NativeFiles::noHandle()) return 0;
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (ReadFile(static_cast<HANDLE>(output_), buffer, wanted, &got, nullptr)) return got;
  // The writer's end closed: the end of the output.
  if (GetLastError() != ERROR_BROKEN_PIPE) readFailed_ = true;
  return 0;
}

int PipedProgram::wait() {
  if (output_ != NativeFiles::noHandle()) {
    CloseHandle(static_cast<HANDLE>(output_));
    output_ = NativeFiles::noHandle();
  }
  if (!running_) return kCannotStartExitCode;
  running_ = false;
  return waitForChild(Child{static_cast<HANDLE>(child_), static_cast<HANDLE>(job_)});
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

/// Starts \p program with \p output as its standard output and registers
/// it for the interrupt handler; false when it could not be started.
bool startChild(const std::string &program, const std::vector<std::string> &arguments, int output,
                pid_t &pid) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);

  // The child writes into what this process made for it, as its standard
  // output; it opens no path of its own.
  SpawnSetup setup;
  if (!setup.ready() || posix_spawn_file_actions_adddup2(&setup.actions, output, STDOUT_FILENO) != 0)
    return false;
  const InterruptCleanup::Change change;
  if (!change) return false;
  // The child starts with the signals this thread had before the change.
  if (posix_spawnattr_setsigmask(&setup.attributes, &change.previousMask()) != 0 ||
      posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK) != 0)
    return false;
  if (posix_spawnp(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ) != 0)
    return false;
  InterruptCleanup::setChild(change, pid);
  return true;
}

/// Waits for the child \p pid to end, forgets it and reaps it; returns as
/// runProgram() does.
int waitForChild(pid_t pid) {
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

/// A pipe buffer this large lets objdump write on while the parse is busy
/// for a moment (the system may give the parse's core to another process);
/// Linux gives unprivileged processes up to 1 MiB.
constexpr int kPipeBytes = 1 << 20;

} // namespace

int runProgram(const std::string &program, const std::vector<std::string> &arguments,
               ReplacementFile &output) {
  if (!output.isOpen()) return kCannotStartExitCode;
  pid_t pid = 0;
  if (!startChild(program, arguments, output.nativeFile(), pid)) return kCannotStartExitCode;
  return waitForChild(pid);
}

PipedProgram::PipedProgram(const std::string &program, const std::vector<std::string> &arguments)
    : output_(NativeFiles::noHandle()) {
  int ends[2];
  // Neither end is inherited as it is: the child gets the writing end as its
  // standard output only.
  if (pipe2(ends, O_CLOEXEC) != 0) return;
#ifdef F_SETPIPE_SZ
  roomyPipe_ = fcntl(ends[0], F_SETPIPE_SZ, kPipeBytes) >= kPipeBytes;
#endif
  running_ = startChild(program, arguments, ends[1], child_);
  // The output ends when the child's copy of the writing end closes.
  ::close(ends[1]);
  if (running_)
    output_ = ends[0];
  else
    ::close(ends[0]);
}

PipedProgram::~PipedProgram() {
  if (!running_) return;
  // Stopped reading early: what objdump writes on is not wanted.
  kill(child_, SIGKILL);
  wait();
}

std::size_t PipedProgram::read(char *buffer, std::size_t size) {
  if (output_ == NativeFiles::noHandle()) return 0;
  for (;;) {
    const ssize_t got = ::read(output_, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno == EINTR) continue;
    readFailed_ = true;
    return 0;
  }
}

int PipedProgram::wait() {
  if (output_ != NativeFiles::noHandle()) {
    ::close(output_);
    output_ = NativeFiles::noHandle();
  }
  if (!running_) return kCannotStartExitCode;
  running_ = false;
  return waitForChild(child_);
}

#endif

namespace {
/// How long the reading waits after a short read from a roomy pipe.
constexpr std::chrono::milliseconds kShortReadPause{1};
} // namespace

std::size_t PipedProgram::readBlock(char *buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const std::size_t more = read(buffer + got, size - got);
    if (more == 0) break;
    got += more;
    // A millisecond is 160 KB of objdump's output at most: a sixth of a
    // roomy pipe, so objdump never waits for the reading.
    if (got < size && roomyPipe_) std::this_thread::sleep_for(kShortReadPause);
  }
  return got;
}

std::string objdumpFileArgument(const std::string &elfPath) {
  if (elfPath.empty() || (elfPath[0] != '-' && elfPath[0] != '@')) return elfPath;
#ifdef _WIN32
  return ".\\" + elfPath;
#else
  return "./" + elfPath;
#endif
}

std::unique_ptr<PipedProgram> startObjdump(const std::string &elfPath) {
  return std::make_unique<PipedProgram>(
      ConsoleTexts::kObjDumpProgram,
      std::vector<std::string>{ConsoleTexts::kObjDumpSwitches, objdumpFileArgument(elfPath)});
}
