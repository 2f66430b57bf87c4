#!/usr/bin/env python3
"""Writes a large objdump dump (binutils 2.40 layout) for the benchmark.

The dump is built from real dumps of the example firmware: every section of
every source dump is repeated, copy after copy, until the output reaches the
requested size. Within each copy the values that tie the debug information
together are shifted so that the result parses into one consistent model:

  * .debug_info: unit offsets, entry offsets, attribute offsets and every
    reference <0x..> move by the size of the .debug_info of the copies before;
    DW_AT_stmt_list moves with the line tables;
  * DW_OP_addr addresses (and the bytes of their location block) move by the
    span of the image's located data, so every copy has addresses of its own;
  * raw .debug_line: table offsets, the offsets of the directory and file
    tables and the offsets of the line-number statements move by the size of
    the .debug_line of the copies before;
  * .debug_aranges: the unit offsets move with .debug_info;
  * the names of variables get the suffix "_<copy>", so that each copy's
    symbols have names of their own, as in one real image (a repeated name is
    the exception there: a file-local static of the same name in two files).

Everything else (abbreviations, strings, frames, decoded lines, ...) is
repeated as it is, which keeps the mix of line kinds of a real dump. Code
addresses (DW_AT_low_pc, line programs) are left as they are: the tool never
reads them.

The first copy of the first source dump is written byte for byte. The output
is streamed one copy at a time; memory stays at a few times the size of the
source dumps whatever the output size.

Usage: generate_dump.py --size 1G --output big.txt demo-dwarf5-O0.txt [...]
Sizes take the suffixes K, M, G (powers of 1000) or Ki, Mi, Gi.
"""

import argparse
import os
import re
import sys
import time

# Kinds of shifted values; COPY is the number of the copy itself.
INFO, LINE, ADDR, COPY = 0, 1, 2, 3

SECTION_HEADING = re.compile(rb"^(?:Contents of the |Raw dump of debug contents of section )")
INFO_HEADING = b"Contents of the .debug_info section:"
RAW_LINE_HEADING = b"Raw dump of debug contents of section .debug_line:"
ARANGES_HEADING = b"Contents of the .debug_aranges section:"

# objdump prints most section offsets as "0x%x", but a zero as a bare "0".
HEX_OR_ZERO = rb"(0x[0-9a-f]+|0)"

UNIT_HEADER = re.compile(rb"^(  Compilation Unit @ offset )" + HEX_OR_ZERO + rb"(:)$")
UNIT_LENGTH = re.compile(rb"^   Length:\s+(0x[0-9a-f]+|\d+) \((32|64)-bit\)$")
ENTRY_HEADER = re.compile(rb"^( <\d+><)([0-9a-f]+)(>: .*)$")
ATTRIBUTE = re.compile(rb"^(\s+<)([0-9a-f]+)(>\s+(DW_AT_[^ :]+)[ :]+ )(.*)$")
WHOLE_REFERENCE = re.compile(rb"^<0x([0-9a-f]+)>$")
REFERENCE = re.compile(rb"<0x([0-9a-f]+)>")
STMT_LIST = re.compile(rb"^" + HEX_OR_ZERO + rb"$")
ADDR_BLOCK = re.compile(rb"(\d+ byte block: 3 )([0-9a-f]+) ([0-9a-f]+) ([0-9a-f]+) ([0-9a-f]+)( )")
ADDR_VALUE = re.compile(rb"(DW_OP_addr: )([0-9a-f]+)")
ARANGES_UNIT = re.compile(rb"^(  Offset into \.debug_info:\s+)" + HEX_OR_ZERO + rb"$")
LINE_TABLE = re.compile(rb"^(  Offset:\s+)" + HEX_OR_ZERO + rb"$")
LINE_LENGTH = re.compile(rb"^  Length:\s+(\d+)$")
LINE_SUBTABLE = re.compile(rb"^( The (?:Directory|File Name) Table \(offset )" + HEX_OR_ZERO + rb"(.*)$")
LINE_STATEMENT = re.compile(rb"^(  \[0x)([0-9a-f]{8})(\].*)$")
FILE_FORMAT = re.compile(rb"file format (\S+)")


class Template:
    """One section body of one source dump: a bytes format string whose holes
    are the shifted values, plus (kind, base, shift, mask) for every hole."""

    def __init__(self):
        self.parts = []
        self.holes = []

    def text(self, data):
        self.parts.append(data.replace(b"%", b"%%"))

    def hole(self, kind, base, fmt, shift=0, mask=0xFFFFFFFF):
        self.parts.append(fmt)
        self.holes.append((kind, base, shift, mask))

    def hex_or_zero(self, kind, text):
        # A shifted copy never lands on zero, so it always carries the prefix.
        self.hole(kind, int(text, 16), b"0x%x")

    def finish(self, original):
        self.original = original
        self.format = b"".join(self.parts)
        del self.parts
        kinds = [h[0] for h in self.holes]
        self.bases = [h[1] for h in self.holes]
        self.shifts = [h[2] for h in self.holes]
        self.masks = [h[3] for h in self.holes]
        self.kinds = kinds
        return self

    def render(self, deltas):
        if not any(deltas):
            return self.original
        values = tuple(
            ((base + deltas[kind]) >> shift) & mask
            for kind, base, shift, mask in zip(self.kinds, self.bases, self.shifts, self.masks)
        )
        return self.format % values


class SourceDump:
    """A real dump, split into its header and its sections, with the strides
    by which each copy shifts offsets and addresses."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        self.path = path
        lines = data.split(b"\n")
        if lines and lines[-1] == b"":
            lines.pop()
        self.header = []
        self.sections = []  # (heading, [lines])
        for line in lines:
            bare = line[:-1] if line.endswith(b"\r") else line
            if SECTION_HEADING.match(bare):
                self.sections.append((line, []))
            elif self.sections:
                self.sections[-1][1].append(line)
            else:
                self.header.append(line)
        fmt = FILE_FORMAT.search(b"\n".join(self.header))
        self.big_endian = bool(fmt and b"big" in fmt.group(1))
        self.info_size = 0
        self.line_size = 0
        self.addr_min = None
        self.addr_max = None
        self.templates = {}
        for heading, body in self.sections:
            key = heading.rstrip(b"\r")
            if key in self.templates:
                key = key + b"#%d" % len(self.templates)
            self.templates[key] = self._template(heading.rstrip(b"\r"), body)
        self.keys = list(self.templates)
        span = 0 if self.addr_min is None else self.addr_max - self.addr_min
        # Leave room for the object at the highest address, page aligned.
        self.addr_stride = (span + 0x1000 + 0xFFF) & ~0xFFF
        if self.info_size == 0 or self.line_size == 0:
            raise SystemExit("%s: no .debug_info or no raw .debug_line found" % path)

    def _template(self, heading, body):
        t = Template()
        original = b"".join(line + b"\n" for line in body)
        if heading == INFO_HEADING:
            self._info(t, body)
        elif heading == RAW_LINE_HEADING:
            self._raw_lines(t, body)
        elif heading == ARANGES_HEADING:
            for line in body:
                m = ARANGES_UNIT.match(line)
                if m:
                    t.text(m.group(1))
                    t.hex_or_zero(INFO, m.group(2))
                    t.text(b"\n")
                else:
                    t.text(line + b"\n")
        else:
            t.text(original)
        return t.finish(original)

    def _info(self, t, body):
        unit_offset = None
        variable = False
        for line in body:
            m = ENTRY_HEADER.match(line)
            if m:
                variable = m.group(3).endswith(b"(DW_TAG_variable)")
                t.text(m.group(1))
                t.hole(INFO, int(m.group(2), 16), b"%x")
                t.text(m.group(3) + b"\n")
                continue
            m = ATTRIBUTE.match(line)
            if m:
                t.text(m.group(1))
                t.hole(INFO, int(m.group(2), 16), b"%x")
                t.text(m.group(3))
                self._value(t, m.group(4), m.group(5))
                if variable and m.group(4) == b"DW_AT_name":
                    t.hole(COPY, 0, b"_%d")
                t.text(b"\n")
                continue
            m = UNIT_HEADER.match(line)
            if m:
                unit_offset = int(m.group(2), 16)
                t.text(m.group(1))
                t.hex_or_zero(INFO, m.group(2))
                t.text(m.group(3) + b"\n")
                continue
            m = UNIT_LENGTH.match(line)
            if m and unit_offset is not None:
                length = int(m.group(1), 0)
                end = unit_offset + length + (4 if m.group(2) == b"32" else 12)
                self.info_size = max(self.info_size, end)
            t.text(line + b"\n")

    def _value(self, t, name, value):
        if name == b"DW_AT_stmt_list":
            m = STMT_LIST.match(value)
            if m:
                t.hex_or_zero(LINE, m.group(1))
                return
        m = WHOLE_REFERENCE.match(value)
        if m:
            t.text(b"<")
            t.hole(INFO, int(m.group(1), 16), b"0x%x")
            t.text(b">")
            return
        if b"(DW_OP_" not in value:
            t.text(value)
            return
        # A location expression: references, the address and its block bytes.
        spans = []  # (start, end, kind, base, format, shift, mask)
        for m in REFERENCE.finditer(value):
            spans.append((m.start(1), m.end(1), INFO, int(m.group(1), 16), b"%x", 0, 0xFFFFFFFF))
        addr = ADDR_VALUE.search(value)
        if addr:
            address = int(addr.group(2), 16)
            self.addr_min = address if self.addr_min is None else min(self.addr_min, address)
            self.addr_max = address if self.addr_max is None else max(self.addr_max, address)
            spans.append((addr.start(2), addr.end(2), ADDR, address, b"%x", 0, 0xFFFFFFFF))
            block = ADDR_BLOCK.match(value)
            if block:
                shifts = (24, 16, 8, 0) if self.big_endian else (0, 8, 16, 24)
                for group, shift in zip((2, 3, 4, 5), shifts):
                    spans.append((block.start(group), block.end(group), ADDR, address, b"%x", shift, 0xFF))
        pos = 0
        for start, end, kind, base, fmt, shift, mask in sorted(spans):
            t.text(value[pos:start])
            t.hole(kind, base, fmt, shift, mask)
            pos = end
        t.text(value[pos:])

    def _raw_lines(self, t, body):
        table = None
        for line in body:
            m = LINE_STATEMENT.match(line)
            if m:
                t.text(m.group(1))
                t.hole(LINE, int(m.group(2), 16), b"%08x")
                t.text(m.group(3) + b"\n")
                continue
            m = LINE_TABLE.match(line)
            if m:
                table = int(m.group(2), 16)
                t.text(m.group(1))
                t.hex_or_zero(LINE, m.group(2))
                t.text(b"\n")
                continue
            m = LINE_SUBTABLE.match(line)
            if m:
                t.text(m.group(1))
                t.hex_or_zero(LINE, m.group(2))
                t.text(m.group(3) + b"\n")
                continue
            m = LINE_LENGTH.match(line)
            if m and table is not None:
                self.line_size = max(self.line_size, table + int(m.group(1)) + 4)
            t.text(line + b"\n")


def parse_size(text):
    units = {"": 1, "K": 10**3, "M": 10**6, "G": 10**9, "KI": 2**10, "MI": 2**20, "GI": 2**30}
    m = re.fullmatch(r"(\d+(?:\.\d+)?)\s*([KMG]I?)?B?", text.strip().upper())
    if not m:
        raise argparse.ArgumentTypeError("not a size: %s" % text)
    return int(float(m.group(1)) * units[m.group(2) or ""])


class Copies:
    """The sequence of copies: copy c replicates source c % len(sources), with
    offsets and addresses shifted past all copies before it."""

    def __init__(self, sources, count):
        self.sources = sources
        self.count = count
        self.deltas = []
        info = line = addr = 0
        for c in range(count):
            src = sources[c % len(sources)]
            self.deltas.append((info, line, addr & 0xFFFFFFFF, c))
            info += src.info_size
            line += src.line_size
            addr += src.addr_stride

    def __iter__(self):
        for c in range(self.count):
            yield self.sources[c % len(self.sources)], self.deltas[c]


def copy_size(src, deltas):
    return sum(len(src.templates[k].render(deltas)) for k in src.keys)


def plan_count(sources, target):
    """The number of copies whose total size comes closest to target."""
    header = sum(len(line) + 1 for line in sources[0].header)
    first = sum(len(t.original) for t in sources[0].templates.values())
    estimate = max(1, round((target - header) / max(first, 1)))
    # Sample the copy size half-way, where the shifted numbers have their
    # typical width, and settle the count from that average.
    middle = Copies(sources, estimate).deltas[estimate // 2]
    cycle = sum(copy_size(src, middle) for src in sources) / len(sources)
    return max(1, round((target - header) / cycle))


def section_order(sources):
    order = []
    for src in sources:
        for key in src.keys:
            if key not in order:
                order.append(key)
    return order


def generate(sources, count, out):
    copies = Copies(sources, count)
    out.write(b"".join(line + b"\n" for line in sources[0].header))
    for key in section_order(sources):
        out.write(key.split(b"#")[0] + b"\n")
        for src, deltas in copies:
            template = src.templates.get(key)
            if template is not None:
                out.write(template.render(deltas))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--size", type=parse_size, required=True, help="target size, e.g. 100M, 1G, 4G")
    parser.add_argument("--output", required=True, help="dump file to write ('-' for stdout)")
    parser.add_argument("sources", nargs="+", help="real objdump dumps to replicate")
    args = parser.parse_args(argv)

    started = time.monotonic()
    sources = [SourceDump(p) for p in args.sources]
    # The dump has one file-format line, the first source's; the byte order
    # of every copy's bit fields and address blocks must agree with it.
    mixed = [s.path for s in sources if s.big_endian != sources[0].big_endian]
    if mixed:
        parser.error("byte order differs from %s's: %s" % (sources[0].path, " ".join(mixed)))
    count = plan_count(sources, args.size)
    if args.output == "-":
        generate(sources, count, sys.stdout.buffer)
        written = None
    else:
        tmp = args.output + ".partial"
        with open(tmp, "wb", buffering=1 << 20) as out:
            generate(sources, count, out)
        os.replace(tmp, args.output)
        written = os.path.getsize(args.output)
    seconds = time.monotonic() - started
    if written is not None:
        print(
            "%s: %d bytes, %d copies of %d source dump(s), %.1f s (%.0f MB/s)"
            % (args.output, written, count, len(sources), seconds, written / 1e6 / max(seconds, 1e-9)),
            file=sys.stderr,
        )


if __name__ == "__main__":
    main(sys.argv[1:])
