/* A stand-in for arm-none-eabi-objdump.exe in the Wine tests.
 *
 * It reads nothing of the ELF file. Next to its own executable it
 *   - appends its arguments to objdump-args.txt: a line "argc=N", then one
 *     line "<argument>" for each argument as the C runtime split the command
 *     line, so a test sees whether a path with blanks arrived as one argument;
 *   - copies objdump-fixture.txt byte for byte to standard output, which the
 *     caller has redirected into the dump file;
 *   - exits with the number in objdump-exit-code.txt when that file exists
 *     (to imitate a failing objdump), else 0.
 */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

static char ownDir[MAX_PATH];

static FILE *openBeside(const char *name, const char *mode) {
  char path[MAX_PATH + 64];
  snprintf(path, sizeof path, "%s%s", ownDir, name);
  return fopen(path, mode);
}

int main(int argc, char **argv) {
  DWORD len = GetModuleFileNameA(NULL, ownDir, MAX_PATH);
  if (len == 0 || len >= MAX_PATH)
    return 90;
  char *slash = strrchr(ownDir, '\\');
  if (slash == NULL)
    return 91;
  slash[1] = '\0';

  FILE *args = openBeside("objdump-args.txt", "ab");
  if (args == NULL)
    return 92;
  fprintf(args, "argc=%d\n", argc);
  for (int i = 1; i < argc; ++i)
    fprintf(args, "<%s>\n", argv[i]);
  fclose(args);

  /* Binary mode: the dump must equal the fixture, without CR added before LF. */
  _setmode(_fileno(stdout), _O_BINARY);
  FILE *fixture = openBeside("objdump-fixture.txt", "rb");
  if (fixture == NULL) {
    fputs("fake objdump: no objdump-fixture.txt beside the executable\n", stderr);
    return 93;
  }
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, fixture)) > 0)
    if (fwrite(buffer, 1, n, stdout) != n)
      return 94;
  fclose(fixture);
  if (fflush(stdout) != 0)
    return 95;

  int exitCode = 0;
  FILE *code = openBeside("objdump-exit-code.txt", "rb");
  if (code != NULL) {
    if (fscanf(code, "%d", &exitCode) != 1)
      exitCode = 96;
    fclose(code);
  }
  return exitCode;
}
