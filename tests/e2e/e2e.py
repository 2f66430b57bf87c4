#!/usr/bin/python3
"""End-to-end checks of quillmap on the example firmware.

  e2e.py paths  --quillmap Q --elf E --dump D --work DIR
      Runs `quillmap DIR/elf/<image>.elf` (objdump path) and
      `quillmap DIR/dump/<image>.txt` (dump path) and requires identical
      map, CANape and log files; the dump that the tool's own objdump run
      writes must equal the firmware build's dump.
  e2e.py truth  --elf E --work DIR
      Checks every line of the map of the objdump path against the ELF:
      names from the image's DWARF, addresses and sizes from gdb, bit
      numbers from the field's position in memory, addresses of the
      variables from arm-none-eabi-nm, and the CANape file line by line.
      Variables at address 0 (removed by the linker) must be absent from
      both, not in the image by nm, and listed in the log.
  e2e.py layout --work DIR_DWARF2 DIR_DWARF4 DIR_DWARF5
      The map, the CANape file and the log must be byte-identical for
      DWARF 2, 4 and 5.
  e2e.py older  --quillmap Q --dump D --work DIR
      Converts the dump to the older objdump layout, runs the tool on it and
      requires the same map, CANape and log files as the dump path.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import older_layout  # noqa: E402
import symbol_files  # noqa: E402
from expected_leaves import AT_ENCLOSING_OBJECT, expected_leaves  # noqa: E402

OUTPUT_SUFFIXES = ("_Vrx.m51", "_CANape.db", "_Vrx.m51_StyleWarnings.log")
MAX_REPORTED = 40


class Failures:
    def __init__(self):
        self.items = []

    def add(self, text):
        self.items.append(text)

    def report(self):
        for text in self.items[:MAX_REPORTED]:
            print("FAIL: " + text)
        if len(self.items) > MAX_REPORTED:
            print("... and %d more failures" % (len(self.items) - MAX_REPORTED))
        return 1 if self.items else 0


def image_name(path):
    return os.path.splitext(os.path.basename(path))[0]


def run_tool(quillmap, argument, cwd):
    result = subprocess.run([quillmap, argument], cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(
            "quillmap %s exited with %d\n%s%s" % (argument, result.returncode, result.stdout, result.stderr)
        )
    return result.stdout


def read_outputs(directory, name):
    """{suffix: bytes or None} of the three output files."""
    outputs = {}
    for suffix in OUTPUT_SUFFIXES:
        path = os.path.join(directory, name + suffix)
        outputs[suffix] = open(path, "rb").read() if os.path.exists(path) else None
    return outputs


def first_difference(a, b):
    lines_a = (a or b"").split(b"\r\n")
    lines_b = (b or b"").split(b"\r\n")
    for number, (x, y) in enumerate(zip(lines_a, lines_b), 1):
        if x != y:
            return "line %d: %r != %r" % (number, x, y)
    return "%d lines != %d lines" % (len(lines_a), len(lines_b))


def compare_outputs(failures, what, reference, other, suffixes=OUTPUT_SUFFIXES):
    for suffix in suffixes:
        a, b = reference[suffix], other[suffix]
        if a is None and b is None:
            continue
        if a is None or b is None:
            failures.add("%s: %s written by only one run" % (what, suffix))
        elif a != b:
            failures.add("%s: %s differs, %s" % (what, suffix, first_difference(a, b)))


# -- paths ---------------------------------------------------------------------


def command_paths(args):
    failures = Failures()
    name = image_name(args.elf)
    elf_dir = os.path.join(args.work, "elf")
    dump_dir = os.path.join(args.work, "dump")
    for directory in (elf_dir, dump_dir):
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
    shutil.copyfile(args.elf, os.path.join(elf_dir, name + ".elf"))
    run_tool(args.quillmap, name + ".elf", elf_dir)
    shutil.copyfile(args.dump, os.path.join(dump_dir, name + "_ObjDump.txt"))
    run_tool(args.quillmap, name + ".txt", dump_dir)

    by_elf = read_outputs(elf_dir, name)
    by_dump = read_outputs(dump_dir, name)
    if by_elf["_Vrx.m51"] is None or by_elf["_CANape.db"] is None:
        failures.add("the objdump path wrote no map or no CANape file")
    compare_outputs(failures, "objdump path vs dump path", by_elf, by_dump)

    # The tool's own objdump run must give the build's dump; only the file
    # name that objdump prints differs.
    own = open(os.path.join(elf_dir, name + "_ObjDump.txt"), "rb").read()
    build = open(args.dump, "rb").read()
    if own.replace((name + ".elf").encode(), b"") != build.replace(args.elf.encode(), b""):
        failures.add("the dump written by the tool's objdump run differs from the build's dump")
    print("%s: objdump path and dump path give the same files" % name)
    return failures.report()


# -- truth ---------------------------------------------------------------------


def alloc_ranges(image):
    ranges = []
    for section in image.elf.iter_sections():
        if section["sh_flags"] & 0x2 and section["sh_size"]:  # SHF_ALLOC
            ranges.append((section["sh_addr"], section["sh_addr"] + section["sh_size"], section.name))
    return ranges


def in_image(ranges, address, size):
    return any(start <= address and address + max(size, 1) <= end for start, end, _ in ranges)


def nm_symbols(elf):
    """address -> [(size, type letter, demangled name)] of the defined symbols."""
    output = subprocess.run(
        ["arm-none-eabi-nm", "-C", "-S", "--defined-only", elf], capture_output=True, text=True, check=True
    ).stdout
    symbols = {}
    for line in output.splitlines():
        parts = line.split(" ", 3)
        if len(parts) == 4:
            address, size, letter, name = parts
            symbols.setdefault(int(address, 16), []).append((int(size, 16), letter, name))
    return symbols


def nm_name_matches(symbol_name, variable_name):
    """nm's name for a variable: its qualified C++ name, or for a static local
    its name with a numbered suffix (steps.0)."""
    last = symbol_name.split("::")[-1]
    return last == variable_name or last.split(".")[0] == variable_name


def unit_pcs(image):
    """A few code addresses of every unit, for gdb's per-unit symbol blocks."""
    pcs = {}
    for cu in image.units:
        top = cu.get_top_DIE()
        found = []
        for die in cu.iter_DIEs():
            if die.tag == "DW_TAG_subprogram" and "DW_AT_low_pc" in die.attributes:
                found.append(die.attributes["DW_AT_low_pc"].value)
                if len(found) == 3:
                    break
        pcs[image.name_of(top)] = found
    return pcs


def probe_with_gdb(elf, groups, pcs):
    variables = []
    leaves = []
    for index, (variable, group) in enumerate(groups):
        variables.append(
            {
                "scope": list(variable.scope),
                "address": variable.address,
                "unit": variable.unit_name,
                "unit_pcs": pcs.get(variable.unit_name, []),
            }
        )
        for leaf in group:
            leaves.append({"variable": index, "steps": leaf.steps})
    with tempfile.TemporaryDirectory() as scratch:
        request_path = os.path.join(scratch, "request.json")
        answer_path = os.path.join(scratch, "answer.json")
        with open(request_path, "w") as stream:
            json.dump({"variables": variables, "leaves": leaves}, stream)
        env = dict(os.environ, QUILLMAP_PROBE_IN=request_path, QUILLMAP_PROBE_OUT=answer_path)
        probe = os.path.join(os.path.dirname(os.path.abspath(__file__)), "gdb_probe.py")
        result = subprocess.run(
            ["gdb-multiarch", "-nx", "-batch", "-x", probe, elf], env=env, capture_output=True, text=True
        )
        if not os.path.exists(answer_path):
            raise SystemExit("gdb gave no answer:\n" + result.stdout + result.stderr)
        answer = json.load(open(answer_path))
    return answer["roots"], answer["answers"]


def expected_start(answer, unit_address, unit_size, big_endian):
    """The bit offset, counted from the most significant bit of the storage
    unit at unit_address, of the field that gdb places at bit answer['bitpos']
    of the object at answer['container']."""
    position = 8 * (answer["container"] - unit_address) + answer["bitpos"]
    if big_endian:
        return position  # gdb and the unit both count from the most significant bit
    return 8 * unit_size - position - answer["bitsize"]


def check_leaf(failures, leaf, line, answer, big_endian, counts):
    where = "%s (map line %08x %s)" % (leaf.name, line.address, line.word.strip())
    if leaf.byte_size != line.size:
        failures.add("%s: size %d by the rules, the map says %d" % (where, leaf.byte_size, line.size))
    if leaf.kind != "function" and line.signed != (leaf.kind == "base" and leaf.signed):
        failures.add("%s: signedness differs from the base type's encoding" % where)
    if "error" in answer:
        failures.add("%s: gdb cannot follow it: %s" % (where, answer["error"]))
        return
    if leaf.no_c_reason in AT_ENCLOSING_OBJECT:
        # No C object: the line stands at the address of the object it was
        # reached through.
        if answer.get("address") != line.address:
            failures.add("%s: address %08x, the enclosing object is at %s" % (where, line.address, answer.get("address")))
        counts[leaf.no_c_reason] = counts.get(leaf.no_c_reason, 0) + 1
        return
    category = leaf.no_c_reason or ("bit field" if leaf.bit_size else "scalar")
    counts[category] = counts.get(category, 0) + 1
    if answer["size"] != line.size:
        failures.add("%s: gdb's sizeof is %d" % (where, answer["size"]))
    if answer["code"] in ("int", "char") and answer["signed"] != line.signed and leaf.kind == "base":
        failures.add("%s: gdb says the type is %ssigned" % (where, "" if answer["signed"] else "un"))
    if leaf.bit_size:
        if answer.get("bitsize") != leaf.bit_size:
            failures.add("%s: gdb's bit size is %s" % (where, answer.get("bitsize")))
            return
        start = expected_start(answer, line.address, line.size, big_endian)
        suffix = symbol_files.bit_suffix(start, leaf.bit_size)
        if line.name != leaf.name + suffix:
            failures.add("%s: expected %s (field at bit %d of the object at %08x)" % (
                where, leaf.name + suffix, answer["bitpos"], answer["container"]))
    elif answer["address"] != line.address:
        failures.add("%s: gdb's address is %08x" % (where, answer["address"]))


def command_truth(args):
    failures = Failures()
    name = image_name(args.elf)
    elf_dir = os.path.join(args.work, "elf")
    map_lines = symbol_files.read_map(os.path.join(elf_dir, name + "_Vrx.m51"))
    canape = symbol_files.split_lines(open(os.path.join(elf_dir, name + "_CANape.db"), "rb").read(), "CANape")

    image, groups = expected_leaves(args.elf)
    ranges = alloc_ranges(image)
    roots, answers = probe_with_gdb(args.elf, groups, unit_pcs(image))

    # No variable lives at address 0: --gc-sections leaves the debug
    # information of what it removed there. Such a variable has no lines;
    # the log lists it when it would have had some.
    left_out = [
        variable for variable, group in groups if variable.address == 0 and any(not leaf.const for leaf in group)
    ]

    # The expected lines: every leaf that is not reached through const, of
    # every variable not at address 0.
    expected = []
    answer_index = 0
    for index, (variable, group) in enumerate(groups):
        for leaf in group:
            if not leaf.const and variable.address != 0:
                expected.append((leaf, answers[answer_index], index))
            answer_index += 1

    # Names, in order: the map must hold exactly the expected lines.
    for position in range(max(len(expected), len(map_lines))):
        leaf = expected[position][0] if position < len(expected) else None
        line = map_lines[position] if position < len(map_lines) else None
        if leaf is None or line is None or not (
            line.name == leaf.name or (leaf.bit_size and line.name.startswith(leaf.name + "_Bit"))
        ):
            failures.add(
                "map line %d is %r, expected %r" % (position + 1, line and line.name, leaf and leaf.name)
            )
            failures.report()
            print("map has %d lines, the image's DWARF gives %d leaves" % (len(map_lines), len(expected)))
            return 1

    counts = {}
    for (leaf, answer, _), line in zip(expected, map_lines):
        check_leaf(failures, leaf, line, answer, image.big_endian, counts)
        if not in_image(ranges, line.address, line.size):
            failures.add("%s: address %08x lies in no section of the image" % (leaf.name, line.address))

    # The CANape file: header, then one line per map line, same name, address and type.
    if canape[:3] != symbol_files.CANAPE_HEADER:
        failures.add("CANape header is %r" % canape[:3])
    if len(canape) - 3 != len(map_lines):
        failures.add("CANape has %d entries, the map %d lines" % (len(canape) - 3, len(map_lines)))
    for (leaf, answer, _), line, entry in zip(expected, map_lines, canape[3:]):
        if leaf.bit_size:
            start = expected_start(answer, line.address, line.size, image.big_endian) if "bitpos" in answer else 0
            signed = leaf.kind == "base" and leaf.signed
            row = symbol_files.bit_field_row(leaf.bit_size, start, signed)
        else:
            row = symbol_files.type_row(line.size, line.signed)
        wanted = symbol_files.canape_line(line.name, line.address, row)
        if entry != wanted:
            failures.add("CANape entry for %s is\n  %r\nexpected\n  %r" % (line.name, entry, wanted))

    # Every located variable that is not const has lines, at the address nm
    # gives for it, all inside the object's extent.
    symbols = nm_symbols(args.elf)
    lines_by_variable = {}
    for (leaf, _, index), line in zip(expected, map_lines):
        lines_by_variable.setdefault(index, []).append(line)
    checked_variables = 0
    for index, (variable, group) in enumerate(groups):
        if variable.const_top or variable.address == 0:
            continue
        own = lines_by_variable.get(index)
        if not own:
            reason = ""
            declared = image.declaration_only(variable.type_die)
            if declared is not None:
                reason = " (its type %s is only declared in %s, entry <0x%x>; the definition is in another unit)" % (
                    image.name_of(declared), variable.unit_name, declared.offset)
            failures.add("variable %s at %08x has no line in the map%s" % (variable.name, variable.address, reason))
            continue
        checked_variables += 1
        short = image.name_of(variable.name_die)
        at_address = [s for s in symbols.get(variable.address, []) if nm_name_matches(s[2], short)]
        if not at_address:
            failures.add("variable %s: nm has no symbol %s at %08x" % (variable.name, short, variable.address))
            continue
        size = max(s[0] for s in at_address)
        if roots[index] != variable.address:
            failures.add("variable %s: gdb puts it at %s, nm at %08x" % (variable.name, roots[index], variable.address))
        for line in own:
            if not (variable.address <= line.address and line.address + line.size <= variable.address + max(size, 1)):
                failures.add("%s: %08x+%d lies outside %s (%08x, %d bytes by nm)" % (
                    line.name, line.address, line.size, variable.name, variable.address, size))

    # And the other way round: every data symbol of the image that the debug
    # information describes as a variable has a line inside its extent.
    variable_names = set()
    for cu in image.units:
        for die in cu.iter_DIEs():
            if die.tag in ("DW_TAG_variable", "DW_TAG_member") and "DW_AT_name" in die.attributes:
                variable_names.add(image.name_of(die))
    covered = sorted((line.address, line.address + line.size) for line in map_lines)
    # Located variables are reported above; this finds the ones the walk missed.
    located_addresses = {v.address for v, _ in groups}
    undescribed = []
    for address, entries in sorted(symbols.items()):
        for size, letter, symbol_name in entries:
            if letter not in "bBdD" or size == 0 or address in located_addresses:
                continue
            if any(start < address + size and address < end for start, end in covered):
                continue
            short = symbol_name.split("::")[-1].split(".")[0]
            if short in variable_names:
                failures.add("data symbol %s at %08x (%d bytes) has no line in the map" % (symbol_name, address, size))
            else:
                undescribed.append(symbol_name)

    # The variables left out at address 0: really not in the image, and in
    # the log after the duplicate-name warnings, in their order, each with
    # its declaration line.
    for variable in left_out:
        short = image.name_of(variable.name_die)
        if any(nm_name_matches(s[2], short) for s in symbols.get(0, [])):
            failures.add("variable %s was left out, but nm has %s at address 0" % (variable.name, short))
    log_path = os.path.join(elf_dir, name + "_Vrx.m51_StyleWarnings.log")
    log = symbol_files.split_lines(open(log_path, "rb").read(), "log") if os.path.exists(log_path) else []
    listed = symbol_files.address_zero_warnings(log)
    wanted = [(v.name, image.int_attribute(v.name_die, "DW_AT_decl_line")) for v in left_out]
    if [n for n, _ in listed] != [n for n, _ in wanted]:
        failures.add("the log lists %s as left out at address 0, the image's DWARF gives %s" % (
            [n for n, _ in listed], [n for n, _ in wanted]))
    else:
        for (listed_name, place), (_, line) in zip(listed, wanted):
            if not place.endswith("(%d)" % line):
                failures.add("log: %s left out at address 0 with place %r, declared on line %d" % (
                    listed_name, place, line))

    no_c = ", ".join("%d %s" % (v, k) for k, v in sorted(counts.items()) if k not in ("scalar", "bit field"))
    print(
        "%s: %d map lines checked against gdb: %d scalars and %d bit fields of C expressions; lines the rules "
        "make without a C expression: %s. %d variables checked against nm; data symbols without debug "
        "information: %s; variables removed by the linker, left out at address 0: %s"
        % (name, len(map_lines), counts.get("scalar", 0), counts.get("bit field", 0), no_c or "none",
           checked_variables, ", ".join(undescribed) or "none", ", ".join(v.name for v in left_out) or "none")
    )
    image.close()
    return failures.report()


# -- layout and older layout ---------------------------------------------------


def command_layout(args):
    failures = Failures()
    reference_dir = args.work[0]
    reference_name = os.path.basename(os.path.normpath(reference_dir))
    reference = read_outputs(os.path.join(reference_dir, "elf"), reference_name)
    for other_dir in args.work[1:]:
        other_name = os.path.basename(os.path.normpath(other_dir))
        other = read_outputs(os.path.join(other_dir, "elf"), other_name)
        compare_outputs(failures, "%s vs %s" % (reference_name, other_name), reference, other)
    if not failures.items:
        print("%s: map, CANape and log files identical" % " = ".join(os.path.basename(os.path.normpath(d)) for d in args.work))
    return failures.report()


def command_older(args):
    failures = Failures()
    name = image_name(args.dump)
    older_dir = os.path.join(args.work, "older")
    shutil.rmtree(older_dir, ignore_errors=True)
    os.makedirs(older_dir)
    with open(args.dump, "rb") as source, open(os.path.join(older_dir, name + "_ObjDump.txt"), "wb") as target:
        changed = older_layout.convert(source, target)
    run_tool(args.quillmap, name + ".txt", older_dir)
    compare_outputs(
        failures, "older layout vs objdump 2.40 layout", read_outputs(os.path.join(args.work, "dump"), name),
        read_outputs(older_dir, name)
    )
    print("%s: %d lines of the dump rewritten to the older layout; same files" % (name, changed))
    return failures.report()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    paths = commands.add_parser("paths")
    paths.add_argument("--quillmap", required=True)
    paths.add_argument("--elf", required=True)
    paths.add_argument("--dump", required=True)
    paths.add_argument("--work", required=True)
    truth = commands.add_parser("truth")
    truth.add_argument("--elf", required=True)
    truth.add_argument("--work", required=True)
    layout = commands.add_parser("layout")
    layout.add_argument("--work", required=True, nargs="+")
    older = commands.add_parser("older")
    older.add_argument("--quillmap", required=True)
    older.add_argument("--dump", required=True)
    older.add_argument("--work", required=True)
    args = parser.parse_args()
    for option in ("quillmap", "elf", "dump"):
        if getattr(args, option, None):
            setattr(args, option, os.path.abspath(getattr(args, option)))
    if isinstance(args.work, list):
        args.work = [os.path.abspath(work) for work in args.work]
    else:
        args.work = os.path.abspath(args.work)
    handler = {"paths": command_paths, "truth": command_truth, "layout": command_layout, "older": command_older}
    return handler[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
