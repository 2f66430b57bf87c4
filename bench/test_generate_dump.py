#!/usr/bin/env python3
"""Checks that generate_dump.py writes dumps whose copies hold together.

Run by CTest with the firmware directory of the build and the tool:
    /usr/bin/python3 bench/test_generate_dump.py <build>/firmware [<quillmap>]
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate_dump  # noqa: E402

FIRMWARE_DIR = None
QUILLMAP = None

ENTRY = re.compile(r"^ <\d+><([0-9a-f]+)>: Abbrev Number: \d+ \((DW_TAG_[a-z_]+)\)")
ATTRIBUTE = re.compile(r"^ +<([0-9a-f]+)> +(DW_AT_[^ :]+)[ :]+ (.*)$")
REFERENCE = re.compile(r"^<0x([0-9a-f]+)>$")
LINE_TABLE = re.compile(r"^  Offset: +(0x[0-9a-f]+|0)$")
ADDR = re.compile(r"(\d+) byte block: 3 ([0-9a-f]+) ([0-9a-f]+) ([0-9a-f]+) ([0-9a-f]+) \t\(DW_OP_addr: ([0-9a-f]+)\)")


def summarize(path):
    """Entry offsets, references, stmt_list values, line-table offsets and
    located addresses (with their block bytes) of a dump, in dump order."""
    s = {"entries": [], "refs": [], "stmt": [], "tables": [], "addrs": [], "names": [], "attributes": 0}
    tag = None
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.rstrip("\n")
            m = ENTRY.match(line)
            if m:
                s["entries"].append(int(m.group(1), 16))
                tag = m.group(2)
                continue
            m = ATTRIBUTE.match(line)
            if m:
                s["attributes"] += 1
                name, value = m.group(2), m.group(3)
                r = REFERENCE.match(value)
                if r:
                    s["refs"].append(int(r.group(1), 16))
                if name == "DW_AT_name" and tag == "DW_TAG_variable":
                    s["names"].append(value.rsplit("): ", 1)[-1])
                if name == "DW_AT_stmt_list":
                    s["stmt"].append(int(value, 16))
                a = ADDR.search(value)
                if a:
                    s["addrs"].append((int(a.group(6), 16), tuple(int(a.group(i), 16) for i in range(2, 6))))
                continue
            m = LINE_TABLE.match(line)
            if m:
                s["tables"].append(int(m.group(1), 16))
    return s


def firmware(name):
    path = os.path.join(FIRMWARE_DIR, name)
    if not os.path.exists(path):
        raise unittest.SkipTest("firmware dump %s not built" % path)
    return path


class GeneratedDumpTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quillmap-gen-test-")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def generate(self, sources, size):
        out = os.path.join(self.dir, "out.txt")
        generate_dump.main(["--size", str(size), "--output", out] + sources)
        return out

    def test_one_copy_is_the_source_byte_for_byte(self):
        for variant in ("dwarf2-O0", "dwarf4-Os", "dwarf5-O0", "dwarf5-Os"):
            with self.subTest(variant=variant):
                src = firmware("demo-%s.txt" % variant)
                out = self.generate([src], 1000)
                with open(src, "rb") as a, open(out, "rb") as b:
                    self.assertEqual(a.read(), b.read())

    def test_copies_shift_offsets_references_line_tables_and_addresses(self):
        for variant in ("dwarf2-Os", "dwarf5-O0"):
            with self.subTest(variant=variant):
                src_path = firmware("demo-%s.txt" % variant)
                source = generate_dump.SourceDump(src_path)
                copies = 4
                out = self.generate([src_path], int(os.path.getsize(src_path) * (copies + 0.2)))
                src, gen = summarize(src_path), summarize(out)

                self.assertEqual(len(gen["entries"]), copies * len(src["entries"]))
                self.assertEqual(gen["attributes"], copies * src["attributes"])
                # Copy c is the source shifted by c times the .debug_info size.
                n = len(src["entries"])
                for c in range(copies):
                    expected = [e + c * source.info_size for e in src["entries"]]
                    self.assertEqual(gen["entries"][c * n : (c + 1) * n], expected)
                self.assertEqual(len(set(gen["entries"])), len(gen["entries"]))

                # Every reference that resolves in the source resolves in each
                # copy, to the shifted entry of that copy.
                entries = set(gen["entries"])
                src_entries = set(src["entries"])
                r = len(src["refs"])
                self.assertEqual(len(gen["refs"]), copies * r)
                for c in range(copies):
                    for ref, shifted in zip(src["refs"], gen["refs"][c * r : (c + 1) * r]):
                        self.assertEqual(shifted, ref + c * source.info_size)
                        if ref in src_entries:
                            self.assertIn(shifted, entries)

                # Each unit's stmt_list names a line table of its own copy.
                tables = gen["tables"]
                self.assertEqual(len(set(tables)), len(tables))
                self.assertEqual(len(tables), copies * len(src["tables"]))
                for c in range(copies):
                    s = len(src["stmt"])
                    for stmt, shifted in zip(src["stmt"], gen["stmt"][c * s : (c + 1) * s]):
                        self.assertEqual(shifted, stmt + c * source.line_size)
                        self.assertIn(shifted, tables)

                # Addresses move by the stride; the block bytes spell the address.
                a = len(src["addrs"])
                self.assertGreater(a, 0)
                for c in range(copies):
                    for (addr, _), (shifted, block) in zip(src["addrs"], gen["addrs"][c * a : (c + 1) * a]):
                        self.assertEqual(shifted, (addr + c * source.addr_stride) & 0xFFFFFFFF)
                        self.assertEqual(block, tuple((shifted >> s) & 0xFF for s in (0, 8, 16, 24)))
                # Each copy's variables have names of their own.
                v = len(src["names"])
                self.assertGreater(v, 0)
                self.assertEqual(gen["names"][:v], src["names"])
                for c in range(1, copies):
                    self.assertEqual(gen["names"][c * v : (c + 1) * v], [x + "_%d" % c for x in src["names"]])
                addresses = [x for x, _ in gen["addrs"]]
                self.assertEqual(len(set(addresses)), len(set(x for x, _ in src["addrs"])) * copies)

    def test_mixed_sources_keep_offsets_unique(self):
        sources = [firmware("demo-dwarf5-O0.txt"), firmware("demo-dwarf2-Os.txt")]
        out = self.generate(sources, 3_000_000)
        gen = summarize(out)
        self.assertEqual(len(set(gen["entries"])), len(gen["entries"]))
        self.assertEqual(len(set(gen["tables"])), len(gen["tables"]))
        entries = set(gen["entries"])
        self.assertTrue(all(ref in entries for ref in gen["refs"]))
        self.assertTrue(all(stmt in set(gen["tables"]) for stmt in gen["stmt"]))

    def test_size_is_reached_within_one_copy(self):
        src = firmware("demo-dwarf5-Os.txt")
        one = os.path.getsize(src)
        for size in (5_000_000, 12_345_678):
            with self.subTest(size=size):
                out = self.generate([src], size)
                self.assertLess(abs(os.path.getsize(out) - size), one)

    def test_big_endian_address_blocks(self):
        gcc = shutil.which("arm-none-eabi-gcc")
        objdump = shutil.which("arm-none-eabi-objdump")
        if not gcc or not objdump:
            self.skipTest("ARM toolchain not installed")
        c_file = os.path.join(self.dir, "be.c")
        with open(c_file, "w") as f:
            f.write("int counter = 1;\nshort table[4];\n")
        obj = os.path.join(self.dir, "be.o")
        subprocess.run([gcc, "-mbig-endian", "-g", "-c", c_file, "-o", obj], check=True)
        dump = os.path.join(self.dir, "be.txt")
        with open(dump, "wb") as f:
            subprocess.run([objdump, "-WlLiaprmfFsoRt", obj], stdout=f, check=True)
        source = generate_dump.SourceDump(dump)
        self.assertTrue(source.big_endian)
        out = self.generate([dump], os.path.getsize(dump) * 3)
        gen = summarize(out)
        with open(out, encoding="latin-1") as f:
            blocks = ADDR.findall(f.read())
        self.assertGreater(len(blocks), 2)
        for _, b0, b1, b2, b3, addr in blocks:
            value = int(addr, 16)
            self.assertEqual([int(b, 16) for b in (b0, b1, b2, b3)],
                             [(value >> s) & 0xFF for s in (24, 16, 8, 0)])
        self.assertEqual(len(set(gen["entries"])), len(gen["entries"]))

        # One dump has one file-format line: copies of the other byte order
        # would have their bit fields laid out wrongly.
        with self.assertRaises(SystemExit):
            generate_dump.main(["--size", "1M", "--output", os.path.join(self.dir, "mixed.txt"),
                                firmware("demo-dwarf5-O0.txt"), dump])
        self.assertFalse(os.path.exists(os.path.join(self.dir, "mixed.txt")))


class GeneratedDumpMapTest(unittest.TestCase):
    """The tool reads a generated dump as one image holding every copy."""

    def setUp(self):
        if not QUILLMAP:
            self.skipTest("no quillmap executable given")
        self.dir = tempfile.mkdtemp(prefix="quillmap-gen-map-")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def map_lines(self, dump, name):
        shutil.move(dump, os.path.join(self.dir, name + "_ObjDump.txt"))
        subprocess.run([QUILLMAP, os.path.join(self.dir, name + ".txt")], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(self.dir, name + "_Vrx.m51"), "rb") as f:
            return f.read().decode("latin-1").split("\r\n")[:-1]

    def test_each_copy_maps_the_source_at_shifted_addresses(self):
        for variant in ("dwarf2-O0", "dwarf5-Os"):
            with self.subTest(variant=variant):
                src_path = firmware("demo-%s.txt" % variant)
                stride = generate_dump.SourceDump(src_path).addr_stride
                copies = 3
                single = os.path.join(self.dir, "single.txt")
                many = os.path.join(self.dir, "many.txt")
                generate_dump.main(["--size", "1", "--output", single, src_path])
                size = int(os.path.getsize(src_path) * (copies + 0.2))
                generate_dump.main(["--size", str(size), "--output", many, src_path])
                src = self.map_lines(single, "single")
                gen = self.map_lines(many, "many")

                self.assertGreater(len(src), 0)
                self.assertEqual(len(gen), copies * len(src))
                self.assertEqual(gen[: len(src)], src)
                n = len(src)
                for c in range(1, copies):
                    suffix = "_%d" % c
                    for before, after in zip(src, gen[c * n : (c + 1) * n]):
                        # "0002004cH     SYMBOL  DATA  BYTE     counter"
                        address = (int(before[:8], 16) + c * stride) & 0xFFFFFFFF
                        self.assertEqual(after[:8], "%08x" % address)
                        head, name = before[8:].rsplit(" ", 1)
                        new_head, new_name = after[8:].rsplit(" ", 1)
                        self.assertEqual(new_head, head)
                        # The copy's variable carries the suffix somewhere in the name.
                        self.assertTrue(
                            any(new_name == name[:k] + suffix + name[k:] for k in range(len(name) + 1)),
                            (name, new_name),
                        )


if __name__ == "__main__":
    FIRMWARE_DIR = sys.argv.pop(1) if len(sys.argv) > 1 else os.environ.get("QUILLMAP_FIRMWARE_DIR", "")
    QUILLMAP = sys.argv.pop(1) if len(sys.argv) > 1 else None
    unittest.main()
