#pragma once

#include <string>
#include <string_view>
#include <vector>

/// Quotes one argument so that the Microsoft C runtime's command-line split
/// gives it back unchanged: blanks, tabs and quotes are enclosed, a quote is
/// escaped with a backslash, and backslashes are doubled where they precede a
/// quote. Plain arguments stay as they are.
std::string quoteWindowsArgument(const std::string &argument);

/// The command line for CreateProcess: each argument quoted, joined by blanks.
std::string windowsCommandLine(const std::vector<std::string> &arguments);

/// The folders of the PATH value \p path in their order, as Windows finds
/// programs through it: entries are separated by ';' except inside double
/// quotes, the quotes themselves are dropped, and empty entries name no
/// folder (not even the working folder).
std::vector<std::string> windowsPathFolders(std::string_view path);
