#pragma once

#include <string>
#include <vector>

/// Quotes one argument so that the Microsoft C runtime's command-line split
/// gives it back unchanged: blanks, tabs and quotes are enclosed, a quote is
/// escaped with a backslash, and backslashes are doubled where they precede a
/// quote. Plain arguments stay as they are.
std::string quoteWindowsArgument(const std::string &argument);

/// The command line for CreateProcess: each argument quoted, joined by blanks.
std::string windowsCommandLine(const std::vector<std::string> &arguments);
