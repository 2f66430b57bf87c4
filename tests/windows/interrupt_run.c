/* Interrupts a run of Quillmap.exe while objdump runs, the way a Windows user
 * does, for the Wine tests.
 *
 *   interrupt_run.exe ctrl-c|kill <holding file> <Quillmap.exe> <argument>
 *
 * It starts Quillmap.exe on its own console, with standard output on the
 * console: under Wine, run it on a terminal (script(1)) at least 300 columns
 * wide, so that the console can be read back; without one it makes a console
 * of its own, which Ctrl-C reaches but which cannot be read. Once the fake objdump
 * (in its hold mode) has written its process id to <holding file>, it
 *   ctrl-c: sends Ctrl-C to the console (GenerateConsoleCtrlEvent), as a key
 *           press does; it ignores the event itself;
 *   kill:   ends Quillmap.exe with TerminateProcess, as the task manager does.
 * Then it prints, each on a line of its own (standard output stays where the
 * caller sent it):
 *   "exit code N"               Quillmap.exe's exit code;
 *   "objdump ended" or "objdump still running" (ten seconds after that);
 *   "console: <row>"            each row the console shows, trailing blanks
 *                               cut, in UTF-8 (ctrl-c only).
 * Exits with 0 when all of that could be found out, else 2.
 */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

static BOOL WINAPI ignoreEvent(DWORD event) {
  (void)event;
  return TRUE;
}

/* Appends argument as the C runtime's split gives it back. */
static void appendQuoted(wchar_t *line, size_t size, const wchar_t *argument) {
  size_t at = wcslen(line);
  if (at > 0 && at + 1 < size)
    line[at++] = L' ';
  if (at + 1 < size)
    line[at++] = L'"';
  size_t backslashes = 0;
  for (const wchar_t *c = argument; *c != L'\0'; ++c) {
    if (*c == L'\\') {
      ++backslashes;
      continue;
    }
    size_t copies = *c == L'"' ? backslashes * 2 + 1 : backslashes;
    for (; copies > 0 && at + 1 < size; --copies)
      line[at++] = L'\\';
    backslashes = 0;
    if (at + 1 < size)
      line[at++] = *c;
  }
  for (size_t i = 0; i < backslashes * 2 && at + 1 < size; ++i)
    line[at++] = L'\\';
  if (at + 1 < size)
    line[at++] = L'"';
  line[at] = L'\0';
}

static HANDLE openConsole(const wchar_t *name) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                     OPEN_EXISTING, 0, NULL);
}

static void printUtf8(const wchar_t *text, DWORD length) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, NULL, 0, NULL, NULL);
  char *utf8 = malloc((size_t)size + 1);
  if (utf8 == NULL)
    return;
  WideCharToMultiByte(CP_UTF8, 0, text, (int)length, utf8, size, NULL, NULL);
  utf8[size] = '\0';
  fputs(utf8, stdout);
  free(utf8);
}

/* Prints the console's rows down to the first blank one; false when the
 * console cannot be read. */
static int printConsole(HANDLE output) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(output, &info)) {
    printf("cannot read the console: error %lu\n", GetLastError());
    return 0;
  }
  wchar_t row[1024];
  const DWORD width = info.dwSize.X < 1024 ? (DWORD)info.dwSize.X : 1024;
  for (SHORT y = 0; y < info.dwSize.Y; ++y) {
    COORD from = {0, y};
    DWORD got = 0;
    if (!ReadConsoleOutputCharacterW(output, row, width, from, &got))
      break;
    while (got > 0 && row[got - 1] == L' ')
      --got;
    if (got == 0)
      break;
    fputs("console: ", stdout);
    printUtf8(row, got);
    fputs("\n", stdout);
  }
  return 1;
}

int wmain(int argc, wchar_t **argv) {
  if (argc != 5 || (wcscmp(argv[1], L"ctrl-c") != 0 && wcscmp(argv[1], L"kill") != 0)) {
    fputs("usage: interrupt_run.exe ctrl-c|kill <holding file> <Quillmap.exe> <argument>\n", stderr);
    return 2;
  }
  const int ctrlC = wcscmp(argv[1], L"ctrl-c") == 0;
  _setmode(_fileno(stdout), _O_BINARY);

  /* The console this runs on, when it can be read back (under Wine, a
   * console on a terminal); else a console of its own, for the Ctrl-C. */
  HANDLE output = openConsole(L"CONOUT$");
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (output == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(output, &info)) {
    FreeConsole();
    if (!AllocConsole()) {
      printf("no console: error %lu\n", GetLastError());
      return 2;
    }
    output = openConsole(L"CONOUT$");
  }
  HANDLE input = openConsole(L"CONIN$");

  wchar_t line[4096] = L"";
  appendQuoted(line, sizeof line / sizeof line[0], argv[3]);
  appendQuoted(line, sizeof line / sizeof line[0], argv[4]);
  STARTUPINFOW startup = {0};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION run;
  DeleteFileW(argv[2]);
  if (!CreateProcessW(argv[3], line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &run)) {
    printf("cannot start Quillmap.exe: error %lu\n", GetLastError());
    return 2;
  }

  /* Until objdump holds, or the run ended without it. */
  unsigned long objdumpId = 0;
  for (int tries = 0; tries < 600 && objdumpId == 0; ++tries) {
    FILE *holding = _wfopen(argv[2], L"rb");
    if (holding != NULL) {
      if (fscanf(holding, "%lu", &objdumpId) != 1)
        objdumpId = 0;
      fclose(holding);
    }
    if (objdumpId == 0 && WaitForSingleObject(run.hProcess, 50) == WAIT_OBJECT_0)
      break;
  }
  if (objdumpId == 0) {
    DWORD code = 0;
    GetExitCodeProcess(run.hProcess, &code);
    printf("objdump never held; exit code %lu\n", code);
    TerminateProcess(run.hProcess, 1);
    printConsole(output);
    return 2;
  }
  HANDLE objdump = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, objdumpId);
  if (objdump == NULL) {
    printf("cannot open objdump's process: error %lu\n", GetLastError());
    TerminateProcess(run.hProcess, 1);
    return 2;
  }

  if (ctrlC) {
    SetConsoleCtrlHandler(ignoreEvent, TRUE);
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
      printf("cannot send Ctrl-C: error %lu\n", GetLastError());
      TerminateProcess(run.hProcess, 1);
      TerminateProcess(objdump, 1);
      return 2;
    }
  } else {
    TerminateProcess(run.hProcess, 137);
  }

  if (WaitForSingleObject(run.hProcess, 30000) != WAIT_OBJECT_0) {
    puts("Quillmap.exe still running");
    TerminateProcess(run.hProcess, 1);
  }
  DWORD code = 0;
  GetExitCodeProcess(run.hProcess, &code);
  printf("exit code %lu\n", code);
  if (WaitForSingleObject(objdump, 10000) == WAIT_OBJECT_0) {
    puts("objdump ended");
  } else {
    puts("objdump still running");
    TerminateProcess(objdump, 1);
    WaitForSingleObject(objdump, 10000);
  }

  if (ctrlC && !printConsole(output))
    return 2;
  return 0;
}
