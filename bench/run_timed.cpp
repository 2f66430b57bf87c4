/// Runs one command and reports what it cost, for the benchmark script:
///
///   run_timed [--stdout FILE] -- COMMAND [ARGS...]
///
/// prints "wall_s=<s> cpu_s=<s> peak_rss_kb=<kB>" on one line to stderr;
/// the command's own output goes to FILE (or /dev/null). The command is
/// started directly, without a shell, and timed from just before its start
/// to its end: a run of a few milliseconds is measured to the microsecond,
/// where GNU time reports CPU time in steps of 10 ms and a shell adds its
/// own start to the wall clock.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

double seconds(const timeval &t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

int usage() {
  std::fprintf(stderr, "usage: run_timed [--stdout FILE] -- COMMAND [ARGS...]\n");
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  const char *stdoutFile = "/dev/null";
  int at = 1;
  if (at + 1 < argc && std::strcmp(argv[at], "--stdout") == 0) {
    stdoutFile = argv[at + 1];
    at += 2;
  }
  if (at >= argc || std::strcmp(argv[at], "--") != 0 || at + 1 >= argc) return usage();
  ++at;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[at], &actions, nullptr, argv + at, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    std::fprintf(stderr, "run_timed: cannot start %s: %s\n", argv[at], std::strerror(spawned));
    return 127;
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("run_timed: wait4");
    return 127;
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;

  std::fprintf(stderr, "wall_s=%.6f cpu_s=%.6f peak_rss_kb=%ld\n", wall.count(),
               seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
