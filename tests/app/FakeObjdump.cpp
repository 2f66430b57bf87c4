// A stand-in for arm-none-eabi-objdump in the driver tests, found first in
// PATH. Controlled by the environment the test hands down through quillmap:
//   QUILLMAP_FAKE_RECORD   file to which each argument is appended, ended by '\0'
//   QUILLMAP_FAKE_PAYLOAD  file copied byte for byte to standard output
//   QUILLMAP_FAKE_HOLD_FD  after the payload: writes "R" (running) to this
//                          inherited descriptor, sleeps 20 seconds, writes
//                          "S" (survived) and goes on
//   QUILLMAP_FAKE_RAISE    after that: a signal number it kills itself with
//   QUILLMAP_FAKE_EXIT     exit code (default 0)
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

int main(int argc, char **argv) {
#ifdef _WIN32
  // The dump must hold the payload's bytes, with no CR added before LF.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (const char *recordName = std::getenv("QUILLMAP_FAKE_RECORD")) {
    std::FILE *record = std::fopen(recordName, "ab");
    if (record == nullptr) return 90;
    for (int i = 1; i < argc; ++i)
      std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, record);
    std::fclose(record);
  }
  if (const char *payloadName = std::getenv("QUILLMAP_FAKE_PAYLOAD")) {
    std::FILE *payload = std::fopen(payloadName, "rb");
    if (payload == nullptr) return 91;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, payload)) > 0)
      if (std::fwrite(buffer, 1, n, stdout) != n) return 92;
    std::fclose(payload);
  }
  if (std::fflush(stdout) != 0) return 93;
#ifndef _WIN32
  if (const char *hold = std::getenv("QUILLMAP_FAKE_HOLD_FD")) {
    const int descriptor = std::atoi(hold);
    if (write(descriptor, "R", 1) != 1) return 94;
    std::this_thread::sleep_for(std::chrono::seconds(20));
    if (write(descriptor, "S", 1) != 1) return 95;
  }
#endif
  if (const char *signal = std::getenv("QUILLMAP_FAKE_RAISE")) std::raise(std::atoi(signal));
  const char *exitCode = std::getenv("QUILLMAP_FAKE_EXIT");
  return exitCode != nullptr ? std::atoi(exitCode) : 0;
}
