#!/usr/bin/python3
"""The older-layout converter, line by line: dump lines as objdump 2.40
prints them in, the lines of the older objdump out."""

import io
import os
import sys
import unittest

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import older_layout  # noqa: E402

CASES = [
    # (what, objdump 2.40 lines, older layout lines)
    (
        "attribute lines without a decoded extra get their tab",
        ["    <131>   DW_AT_name        : (indirect string, offset: 0x1f4): ready",
         "    <138>   DW_AT_type        : <0x89>",
         "    <13d>   DW_AT_bit_size    : 1"],
        ["    <131>   DW_AT_name        : (indirect string, offset: 0x1f4): ready\t",
         "    <138>   DW_AT_type        : <0x89>\t",
         "    <13d>   DW_AT_bit_size    : 1\t"],
    ),
    (
        "attribute lines with a decoded extra keep their only tab",
        ["    <266>   DW_AT_location    : 5 byte block: 3 9c 9d 0 0 \t(DW_OP_addr: 9d9c)",
         "    <27>   DW_AT_encoding    : 6\t(signed char)"],
        ["    <266>   DW_AT_location    : 5 byte block: 3 9c 9d 0 0 \t(DW_OP_addr: 9d9c)",
         "    <27>   DW_AT_encoding    : 6\t(signed char)"],
    ),
    (
        "entry headers and abbreviation lines stay",
        [" <1><25e>: Abbrev Number: 15 (DW_TAG_variable)",
         "    DW_AT_producer     DW_FORM_strp",
         " <2><13c>: Abbrev Number: 0"],
        [" <1><25e>: Abbrev Number: 15 (DW_TAG_variable)",
         "    DW_AT_producer     DW_FORM_strp",
         " <2><13c>: Abbrev Number: 0"],
    ),
    (
        "a directory table of DWARF 2 to 4: header without offset, entries without numbers",
        [" The Directory Table (offset 0x90):",
         "  1\t/work/main/examples/demo",
         "  2\t/usr/lib/gcc/arm-none-eabi/12.2.1/include",
         "",
         " The File Name Table (offset 0xd4):",
         "  Entry\tDir\tTime\tSize\tName",
         "  1\t1\t0\t0\tmain.c"],
        [" The Directory Table:",
         "  /work/main/examples/demo",
         "  /usr/lib/gcc/arm-none-eabi/12.2.1/include",
         "",
         " The File Name Table (offset 0xd4):",
         "  Entry\tDir\tTime\tSize\tName",
         "  1\t1\t0\t0\tmain.c"],
    ),
    (
        "a DWARF 5 line table, which the older objdump could not print, stays",
        [" The Directory Table (offset 0x22, lines 2, columns 1):",
         "  Entry\tName",
         "  0\t(indirect line string, offset: 0): /build/libgloss/arm",
         "",
         " The File Name Table (offset 0x30, lines 2, columns 2):",
         "  Entry\tDir\tName",
         "  0\t1\t(indirect line string, offset: 0x7c): crt0.S"],
        [" The Directory Table (offset 0x22, lines 2, columns 1):",
         "  Entry\tName",
         "  0\t(indirect line string, offset: 0): /build/libgloss/arm",
         "",
         " The File Name Table (offset 0x30, lines 2, columns 2):",
         "  Entry\tDir\tName",
         "  0\t1\t(indirect line string, offset: 0x7c): crt0.S"],
    ),
    (
        "the first line table's offset is written in hexadecimal, the others already are",
        ["  Offset:                      0",
         "  Offset:                      0x75",
         "  Offset into .debug_info:  0x0"],
        ["  Offset:                      0x0",
         "  Offset:                      0x75",
         "  Offset into .debug_info:  0x0"],
    ),
]


class OlderLayoutTest(unittest.TestCase):
    def test_cases(self):
        for what, lines, expected in CASES:
            with self.subTest(what):
                source = io.BytesIO(("\n".join(lines) + "\n").encode())
                target = io.BytesIO()
                changed = older_layout.convert(source, target)
                self.assertEqual(target.getvalue().decode().split("\n")[:-1], expected)
                self.assertEqual(changed, sum(1 for a, b in zip(lines, expected) if a != b))

    def test_crlf_dump_lines_lose_their_carriage_return(self):
        target = io.BytesIO()
        older_layout.convert(io.BytesIO(b"    <138>   DW_AT_type        : <0x89>\r\n"), target)
        self.assertEqual(target.getvalue(), b"    <138>   DW_AT_type        : <0x89>\t\n")


if __name__ == "__main__":
    unittest.main()
