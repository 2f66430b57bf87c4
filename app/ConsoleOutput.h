#pragma once

#include <initializer_list>
#include <string_view>

/// Prints one console line: \p pieces (UTF-8) one after the other, then the
/// line end, and flushes. Written to a Windows console, the text appears as
/// the characters it stands for (WriteConsoleW), whatever the console's code
/// page; written to a file or a pipe, and on every other system, its bytes go
/// out as they are, ended as the C runtime ends a line (CR LF on Windows).
/// Makes no new string, so that it can report a lack of memory.
void printConsoleLine(std::initializer_list<std::string_view> pieces);
