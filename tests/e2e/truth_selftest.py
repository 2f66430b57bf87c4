#!/usr/bin/python3
"""The truth check must fail when a map is wrong: it runs on the real files of
one image unchanged (must pass), then on copies with one fault each (each must
fail, naming the fault)."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def first(lines, pattern):
    for index, line in enumerate(lines):
        if re.search(pattern, line):
            return index
    raise SystemExit("no map line matches %r" % pattern)


def shift_address(lines, pattern, delta):
    index = first(lines, pattern)
    address = int(lines[index][:8], 16) + delta
    lines[index] = "%08x" % address + lines[index][8:]


def replace_in(lines, pattern, old, new):
    index = first(lines, pattern)
    lines[index] = lines[index].replace(old, new, 1)


def drop(lines, pattern):
    del lines[first(lines, pattern)]


def drop_with_place(lines, pattern):
    """Drops a log warning and the place line after it."""
    index = first(lines, pattern)
    del lines[index : index + 2]


# (what, file, change of its lines, text the failure report must contain)
FAULTS = [
    ("an array element one byte off", "_Vrx.m51", lambda l: shift_address(l, r"_01$", 1), "gdb's address"),
    ("a structure member at its neighbour's address", "_Vrx.m51", lambda l: shift_address(l, r"\.coolant$", -2),
     "gdb's address"),
    ("a bit field with the wrong bit", "_Vrx.m51", lambda l: replace_in(l, r"_Bit:7$", "_Bit:7", "_Bit:0"), "expected"),
    ("a bit field in the neighbouring byte", "_Vrx.m51", lambda l: shift_address(l, r"_Bits:345$", 1), "expected"),
    ("a signed leaf written unsigned", "_Vrx.m51", lambda l: replace_in(l, r"INT32    ", "INT32", "DWORD"),
     "signedness"),
    ("a two-byte leaf written as four bytes", "_Vrx.m51", lambda l: replace_in(l, r" WORD  ", "WORD ", "DWORD"),
     "size"),
    ("a missing line", "_Vrx.m51", lambda l: drop(l, r"_02$"), "map line"),
    ("an index without its leading zero", "_Vrx.m51", lambda l: replace_in(l, r"_00$", "_00", "_0"), "map line"),
    ("a CANape entry at another address", "_CANape.db", lambda l: replace_in(l, r"^VARIABLE .*'count'", "0x0000", "0x0001"),
     "CANape entry"),
    ("a line ending in LF alone", "_Vrx.m51", lambda l: l.__setitem__(3, l[3] + "\n" + l[4]) or l.__delitem__(4),
     "CR LF"),
    ("a CANape entry with the wrong row", "_CANape.db", lambda l: replace_in(l, r"UINT\(16\)", "65535", "65536"),
     "CANape entry"),
]

# The faults of an image with variables that the linker removed (trimmed).
REMOVED_FAULTS = [
    ("a removed variable written at address 0", "_Vrx.m51",
     lambda l: l.insert(len(l) - 1, "00000000H     SYMBOL  DATA  INT16    spare_filter.gain"), "map line"),
    ("a removed variable missing from the log", "_Vrx.m51_StyleWarnings.log",
     lambda l: drop_with_place(l, r"left out: spare_filter$"), "left out at address 0"),
    ("a removed variable listed with another line", "_Vrx.m51_StyleWarnings.log",
     lambda l: replace_in(l, r"main\.c\(16\)$", "(16)", "(17)"), "declared on line 16"),
]
FAULTS_BY_IMAGE = {"demo": FAULTS, "trimmed": REMOVED_FAULTS}


def run_truth(elf, work):
    result = subprocess.run(
        [sys.executable, os.path.join(HERE, "e2e.py"), "truth", "--elf", elf, "--work", work],
        capture_output=True,
        text=True,
    )
    return result.returncode, result.stdout + result.stderr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--elf", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    name = os.path.splitext(os.path.basename(args.elf))[0]
    faults = FAULTS_BY_IMAGE[name.split("-")[0]]
    problems = []
    with tempfile.TemporaryDirectory() as scratch:

        def copy(case):
            target = os.path.join(scratch, case, "elf")
            os.makedirs(target)
            for suffix in ("_Vrx.m51", "_CANape.db", "_Vrx.m51_StyleWarnings.log"):
                source = os.path.join(args.work, "elf", name + suffix)
                if os.path.exists(source):
                    shutil.copyfile(source, os.path.join(target, name + suffix))
            return os.path.join(scratch, case)

        code, output = run_truth(args.elf, copy("unchanged"))
        if code != 0:
            problems.append("the unchanged files fail:\n" + output)
        for number, (what, suffix, change, expected) in enumerate(faults):
            work = copy("fault%d" % number)
            path = os.path.join(work, "elf", name + suffix)
            lines = open(path, "rb").read().decode().split("\r\n")
            change(lines)
            open(path, "wb").write("\r\n".join(lines).encode())
            code, output = run_truth(args.elf, work)
            if code == 0 or expected not in output:
                problems.append("%s: exit code %d, report:\n%s" % (what, code, output))
            else:
                print("detected: %s" % what)
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
