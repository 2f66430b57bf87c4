#pragma once

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

/// The argument that names \p elfPath to objdump: a path that starts with
/// '-' or '@' would be read as an option or a file of options, so it gets
/// "./" (".\" on Windows) before it.
std::string objdumpFileArgument(const std::string &elfPath);

/// Runs "arm-none-eabi-objdump -WlLiaprmfFsoRt <elfPath>" with its standard
/// output in \p dump; returns as runProgram() does.
int runObjdump(const std::string &elfPath, ReplacementFile &dump);
