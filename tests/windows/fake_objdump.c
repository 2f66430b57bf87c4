/* A stand-in for arm-none-eabi-objdump.exe in the Wine tests.
 *
 * It reads nothing of the ELF file. Next to its own executable it
 *   - appends its arguments to objdump-args.txt: a line "argc=N", then one
 *     line "<argument>" for each argument as the C runtime split the wide
 *     command line, in UTF-8, so a test sees whether a path with blanks
 *     arrived as one argument and a name outside the ANSI code page whole;
 *   - copies objdump-fixture.txt byte for byte to standard output, which the
 *     caller has redirected into the dump file;
 *   - when objdump-hold.txt exists, holds instead after the first half of
 *     the fixture: it ignores Ctrl-C and Ctrl-Break, writes its process id
 *     to objdump-holding.txt and sleeps for a minute (a test interrupts the
 *     run meanwhile, and the run must end it);
 *   - exits with the number in objdump-exit-code.txt when that file exists
 *     (to imitate a failing objdump), else 0.
 *
 * Built with -municode: the entry point is wmain.
 */
#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

static wchar_t ownDir[MAX_PATH];

static void besideMe(wchar_t *path, size_t size, const wchar_t *name) {
  _snwprintf(path, size, L"%ls%ls", ownDir, name);
  path[size - 1] = L'\0';
}

static FILE *openBeside(const wchar_t *name, const wchar_t *mode) {
  wchar_t path[MAX_PATH + 64];
  besideMe(path, sizeof path / sizeof path[0], name);
  return _wfopen(path, mode);
}

static int exists(const wchar_t *name) {
  wchar_t path[MAX_PATH + 64];
  besideMe(path, sizeof path / sizeof path[0], name);
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

static BOOL WINAPI ignoreEvent(DWORD event) {
  (void)event;
  return TRUE;
}

/* Writes the process id to objdump-holding.txt in one step (through a file
 * beside it), so a test never reads half of it. */
static int announceHolding(void) {
  FILE *file = openBeside(L"objdump-holding.part", L"wb");
  if (file == NULL)
    return 0;
  fprintf(file, "%lu\n", (unsigned long)GetCurrentProcessId());
  fclose(file);
  wchar_t from[MAX_PATH + 64], to[MAX_PATH + 64];
  besideMe(from, sizeof from / sizeof from[0], L"objdump-holding.part");
  besideMe(to, sizeof to / sizeof to[0], L"objdump-holding.txt");
  return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

int wmain(int argc, wchar_t **argv) {
  DWORD len = GetModuleFileNameW(NULL, ownDir, MAX_PATH);
  if (len == 0 || len >= MAX_PATH)
    return 90;
  wchar_t *slash = wcsrchr(ownDir, L'\\');
  if (slash == NULL)
    return 91;
  slash[1] = L'\0';

  FILE *args = openBeside(L"objdump-args.txt", L"ab");
  if (args == NULL)
    return 92;
  fprintf(args, "argc=%d\n", argc);
  for (int i = 1; i < argc; ++i) {
    int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, NULL, 0, NULL, NULL);
    char *utf8 = size > 0 ? malloc((size_t)size) : NULL;
    if (utf8 == NULL || WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8, size, NULL, NULL) != size)
      return 97;
    fprintf(args, "<%s>\n", utf8);
    free(utf8);
  }
  fclose(args);

  /* Binary mode: the dump must equal the fixture, without CR added before LF. */
  _setmode(_fileno(stdout), _O_BINARY);
  FILE *fixture = openBeside(L"objdump-fixture.txt", L"rb");
  if (fixture == NULL) {
    fputs("fake objdump: no objdump-fixture.txt beside the executable\n", stderr);
    return 93;
  }
  const int hold = exists(L"objdump-hold.txt");
  long limit = LONG_MAX;
  if (hold && fseek(fixture, 0, SEEK_END) == 0) {
    limit = ftell(fixture) / 2;
    rewind(fixture);
  }
  char buffer[65536];
  long copied = 0;
  while (copied < limit) {
    size_t want = sizeof buffer;
    if (limit - copied < (long)want)
      want = (size_t)(limit - copied);
    size_t n = fread(buffer, 1, want, fixture);
    if (n == 0)
      break;
    if (fwrite(buffer, 1, n, stdout) != n)
      return 94;
    copied += (long)n;
  }
  fclose(fixture);
  if (fflush(stdout) != 0)
    return 95;

  if (hold) {
    SetConsoleCtrlHandler(ignoreEvent, TRUE);
    if (!announceHolding())
      return 98;
    Sleep(60000);
    return 99;
  }

  int exitCode = 0;
  FILE *code = openBeside(L"objdump-exit-code.txt", L"rb");
  if (code != NULL) {
    if (fscanf(code, "%d", &exitCode) != 1)
      exitCode = 96;
    fclose(code);
  }
  return exitCode;
}
