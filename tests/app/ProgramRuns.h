#pragma once

#include "app/ObjdumpRunner.h"
#include "output/ReplacementFile.h"

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

/// Runs of programs for the tests that run the built quillmap as a user would.
namespace ProgramRuns {

/// Runs \p program with \p arguments, its standard output written to
/// \p outputFile; returns as runProgram() does.
inline int runWithOutputIn(const std::string &program, const std::vector<std::string> &arguments,
                           const std::filesystem::path &outputFile) {
  ReplacementFile output(outputFile.string());
  const int exitCode = runProgram(program, arguments, output);
  output.commit();
  return exitCode;
}

#ifndef _WIN32
/// A program started and not waited for, for a test that signals it while it
/// runs: its standard output goes to a file, and SIGINT, SIGTERM and SIGHUP
/// start at their default actions and unblocked (a test runner may have
/// started the tests with some of them ignored). Killed if still running at
/// the end of the test.
class StartedProgram {
public:
  StartedProgram(const std::string &program, const std::vector<std::string> &arguments,
                 const std::filesystem::path &outputFile) {
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &argument : arguments)
      argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
      sigaddset(&signals, signal);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(output);
  }
  ~StartedProgram() {
    if (running()) {
      kill(pid_, SIGKILL);
      wait();
    }
  }
  StartedProgram(const StartedProgram &) = delete;
  StartedProgram &operator=(const StartedProgram &) = delete;

  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0 && !ended_; }

  /// Whether it has ended, without waiting.
  bool hasEnded() {
    if (running() && waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
    return !running();
  }
  /// Stops it and waits until it is stopped.
  void stop() {
    kill(pid_, SIGSTOP);
    int status = 0;
    waitpid(pid_, &status, WUNTRACED);
  }
  void resume() { kill(pid_, SIGCONT); }
  /// Waits for its end; the wait status.
  int wait() {
    while (running() && waitpid(pid_, &status_, 0) != pid_ && errno == EINTR) {
    }
    ended_ = true;
    return status_;
  }

private:
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
};

/// The exit code of a program that ended by itself with \p status, or -1 for
/// one that a signal killed.
inline int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
#endif

} // namespace ProgramRuns
