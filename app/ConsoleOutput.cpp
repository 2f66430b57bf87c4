#include "app/ConsoleOutput.h"

#include <iostream>

#ifdef _WIN32
#include "reader/NativeFiles.h"

#include <windows.h>
#endif

#ifdef _WIN32

namespace {

/// Gathers UTF-16 text and hands it to the console a buffer at a time.
class ConsoleWriter {
public:
  explicit ConsoleWriter(HANDLE console) : console_(console) {}

  void add(char32_t point) {
    if (used_ + 2 > kUnits) flush();
    if (point < 0x10000) {
      buffer_[used_++] = static_cast<wchar_t>(point);
    } else {
      buffer_[used_++] = static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
      buffer_[used_++] = static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }

  void flush() {
    const wchar_t *next = buffer_;
    while (used_ > 0) {
      DWORD written = 0;
      if (!WriteConsoleW(console_, next, static_cast<DWORD>(used_), &written, nullptr) || written == 0) break;
      next += written;
      used_ -= written;
    }
    used_ = 0;
  }

private:
  static constexpr std::size_t kUnits = 512;
  HANDLE console_;
  wchar_t buffer_[kUnits];
  std::size_t used_ = 0;
};

/// Standard output when it is a console, else null.
HANDLE outputConsole() {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (output == nullptr || output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) return nullptr;
  return output;
}

} // namespace

#endif

void printConsoleLine(std::initializer_list<std::string_view> pieces) {
#ifdef _WIN32
  if (HANDLE console = outputConsole(); console != nullptr) {
    std::cout.flush();
    ConsoleWriter writer(console);
    for (const std::string_view piece : pieces)
      for (std::size_t at = 0; at < piece.size();)
        writer.add(NativeFiles::nextCodePoint(piece, at));
    writer.add(U'\r');
    writer.add(U'\n');
    writer.flush();
    return;
  }
#endif
  for (const std::string_view piece : pieces)
    std::cout << piece;
  std::cout << '\n' << std::flush;
}
