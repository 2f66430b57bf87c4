#include "app/ObjdumpRunner.h"

#include "app/ConsoleTexts.h"

#ifdef _WIN32
#include "app/WindowsCommandLine.h"

#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
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
               const std::string &stdoutFileName) {
  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  // CreateProcessA may write into the command line, so it gets its own buffer.
  std::string commandLine = windowsCommandLine(all);
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');

  SECURITY_ATTRIBUTES inherit{};
  inherit.nLength = sizeof(inherit);
  inherit.bInheritHandle = TRUE;
  HANDLE output = CreateFileA(stdoutFileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) return kCannotStartExitCode;
  HANDLE input = inheritableStdHandle(STD_INPUT_HANDLE);
  HANDLE error = inheritableStdHandle(STD_ERROR_HANDLE);

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  // No application name: CreateProcessA then searches PATH and appends ".exe".
  const BOOL started =
      CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  closeIfSet(input);
  closeIfSet(error);
  CloseHandle(output);
  if (!started) return kCannotStartExitCode;

  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = kCannotStartExitCode;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(exitCode);
}

#else

int runProgram(const std::string &program, const std::vector<std::string> &arguments,
               const std::string &stdoutFileName) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);

  // The child opens the file as its standard output, as "> file" would.
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return kCannotStartExitCode;
  if (posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutFileName.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0666) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return kCannotStartExitCode;
  }
  pid_t pid = 0;
  const int spawnError = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0) return kCannotStartExitCode;

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return kCannotStartExitCode;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kCannotStartExitCode;
}

#endif

int runObjdump(const std::string &elfPath, const std::string &dumpFileName) {
  return runProgram(ConsoleTexts::kObjDumpProgram, {ConsoleTexts::kObjDumpSwitches, elfPath}, dumpFileName);
}
