"""Rewrites a dump of objdump 2.40 into the layout of the older objdump that
Quillmap's users ran first:

- every attribute line ends in a tab (objdump 2.40 prints a tab only before
  a decoded extra such as "(DW_OP_addr: 9d9c)");
- a directory table starts with " The Directory Table:" instead of
  " The Directory Table (offset 0x90):";
- its lines carry no number ("  1\t/src" becomes "  /src");
- the first line table's offset reads "0x0" instead of "0".

DWARF 5 line tables ("The Directory Table (offset 0x22, lines 2, columns 1):"
with "Entry\tName" and "Entry\tDir\tName" columns) stay as they are: the older
objdump could not print DWARF 5 line tables at all, so it has no layout of
its own for them. In the example firmware they belong to the assembler
start-up files of newlib and libgcc, which declare no variables.
"""

import re

ATTRIBUTE_LINE = re.compile(rb"^ +<[0-9a-f]+> +DW_AT_[^ :]+[ :]+ ")
DIRECTORY_HEADER = re.compile(rb"^( +The Directory Table) \(offset 0x[0-9a-f]+\):$")
NUMBERED_DIRECTORY = re.compile(rb"^( +)[0-9]+\t(.*)$")
FIRST_OFFSET = re.compile(rb"^( +Offset: +)0$")


def convert_lines(lines):
    """Yields the converted lines (bytes without line ends) and counts the
    changed ones in the generator's return value."""
    in_directories = False
    changed = 0
    for line in lines:
        new = line
        if in_directories:
            if not line:
                in_directories = False
            else:
                match = NUMBERED_DIRECTORY.match(line)
                if match:
                    new = match.group(1) + match.group(2)
        else:
            match = DIRECTORY_HEADER.match(line)
            if match:
                new = match.group(1) + b":"
                in_directories = True
            elif b"\t" not in line and ATTRIBUTE_LINE.match(line):
                new = line + b"\t"
            else:
                match = FIRST_OFFSET.match(line)
                if match:
                    new = match.group(1) + b"0x0"
        if new != line:
            changed += 1
        yield new
    return changed


def convert(source, target):
    """Converts the dump read from the binary stream source into target;
    returns the number of changed lines."""
    lines = (raw.rstrip(b"\n").rstrip(b"\r") for raw in source)
    generator = convert_lines(lines)
    while True:
        try:
            target.write(next(generator) + b"\n")
        except StopIteration as stop:
            return stop.value
