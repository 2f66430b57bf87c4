#include "app/WindowsCommandLine.h"

std::string quoteWindowsArgument(const std::string &argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;

  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Backslashes before a quote are halved by the split; the quote itself
      // needs one more.
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // The closing quote follows: double the trailing backslashes too.
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string windowsCommandLine(const std::vector<std::string> &arguments) {
  std::string line;
  for (const std::string &argument : arguments) {
    if (!line.empty()) line += ' ';
    line += quoteWindowsArgument(argument);
  }
  return line;
}

std::vector<std::string> windowsPathFolders(std::string_view path) {
  std::vector<std::string> folders;
  std::string folder;
  bool quoted = false;
  for (const char c : path) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ';' && !quoted) {
      if (!folder.empty()) folders.push_back(std::move(folder));
      folder.clear();
    } else {
      folder += c;
    }
  }
  if (!folder.empty()) folders.push_back(std::move(folder));
  return folders;
}
