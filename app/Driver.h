#pragma once

/// One whole run of the tool for the command line \p argc / \p argv: banner,
/// then the usage text when no path is given, else name derivation, the
/// objdump run for an ELF path, the database, and the symbol files. Returns
/// the process exit code: 0, or 1 when objdump failed, the dump could not be
/// made, opened or read whole or is no objdump dump, objdump could not read
/// some compilation units, a symbol file could not be written, the symbol
/// list was cut or the run ran out of memory. An interrupt ends the process
/// with 128 + the signal number.
int runQuillmap(int argc, char **argv);
