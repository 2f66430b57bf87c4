#include "app/Driver.h"

#ifdef _WIN32
#include "reader/NativeFiles.h"

#include <string>
#include <vector>

// Linked with -municode: the C runtime splits the wide command line as it
// splits the narrow one, and every argument arrives whole, whatever the ANSI
// code page. The run takes them in UTF-8.
extern "C" int wmain(int argc, wchar_t **argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(NativeFiles::utf8FromWide(argv[i]));
  std::vector<char *> pointers;
  for (std::string &argument : arguments)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return runQuillmap(argc, pointers.data());
}
#else
int main(int argc, char **argv) { return runQuillmap(argc, argv); }
#endif
