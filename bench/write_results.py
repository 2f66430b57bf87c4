#!/usr/bin/env python3
"""Turns the measurements of bench/run_benchmark.sh into bench/RESULTS.md.

Usage: write_results.py <results-directory> <RESULTS.md>
MB are 10^6 bytes throughout. A "## Notes" section at the end of an existing
RESULTS.md is kept.
"""

import os
import sys


def read_kv(path):
    values = {}
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                key, sep, value = line.rstrip("\n").partition("=")
                if sep:
                    values[key] = value
    return values


def read_text(path):
    if not os.path.exists(path):
        return ""
    with open(path, errors="replace") as f:
        return f.read().rstrip("\n")


def mb(n):
    return float(n) / 1e6


def verdict(ok):
    return "met" if ok else "**not met**"


def main(kv_dir, out_path):
    machine = read_kv(os.path.join(kv_dir, "machine.kv"))
    sizes = machine.get("sizes", "").split()
    dense = machine.get("dense", "")
    before_commit = machine.get("before", "")
    runs = {s: read_kv(os.path.join(kv_dir, "quillmap-bench%s.kv" % s)) for s in sizes}
    phases = {s: read_kv(os.path.join(kv_dir, "phases-bench%s.kv" % s)) for s in sizes}
    dense_run = read_kv(os.path.join(kv_dir, "quillmap-%s.kv" % dense)) if dense else {}
    dense_phases = read_kv(os.path.join(kv_dir, "phases-%s.kv" % dense)) if dense else {}
    dense_regex = read_kv(os.path.join(kv_dir, "baseline-regex-dense.kv"))
    large = read_kv(os.path.join(kv_dir, "objdump-large.kv"))
    rename = read_kv(os.path.join(kv_dir, "rename.kv"))
    regex = read_kv(os.path.join(kv_dir, "baseline-regex.kv"))
    matcher = read_kv(os.path.join(kv_dir, "baseline-matcher.kv"))
    objdump = read_kv(os.path.join(kv_dir, "objdump.kv"))
    stdlib = read_kv(os.path.join(kv_dir, "objdump-stdlib.kv"))
    fresh = read_kv(os.path.join(kv_dir, "fresh.kv"))
    profile = read_kv(os.path.join(kv_dir, "profile.kv"))

    speed = {s: mb(r["bytes"]) / float(r["median_s"]) for s, r in runs.items()}
    cpu_speed = {s: mb(r["bytes"]) / float(r["median_cpu_s"]) for s, r in runs.items()}
    out = []
    w = out.append
    w("# Benchmark results")
    w("")
    w("Written by `bench/run_benchmark.sh` on %s at commit %s." % (machine.get("date"), machine.get("commit")))
    w("")
    w("## Machine")
    w("")
    w("| | |")
    w("|---|---|")
    w("| CPU | %s, %s cores (nproc) |" % (machine.get("cpu"), machine.get("nproc")))
    w("| memory | %.1f GB |" % (int(machine.get("mem_kb", "0")) / 1e6))
    w("| system | %s |" % machine.get("kernel"))
    w("| compiler | %s |" % machine.get("compiler"))
    w("| objdump | %s |" % machine.get("objdump"))
    w("| load average (1, 5, 15 min) | %s at the start, %s at the end |" % (
        machine.get("load_at_start"), machine.get("load_at_end")))
    w("")
    w("## Commands")
    w("")
    w("```")
    w("bench/run_benchmark.sh          # all of the below; settings in its header")
    w("generate_dump.py --size <S> --output $BENCH_DIR/bench<S>_ObjDump.txt %s" % machine.get("sources", ""))
    w("run_timed -- quillmap $BENCH_DIR/bench<S>.txt   # dump path: parses bench<S>_ObjDump.txt, no objdump")
    w("phase_timer $BENCH_DIR/bench<S>_ObjDump.txt <dir>")
    w("regex_baseline --engine regex|matcher $BENCH_DIR/bench%s_ObjDump.txt" % regex.get("size", "?"))
    w("arm-none-eabi-gcc -mcpu=cortex-m4 -mthumb -mfloat-abi=soft --specs=nosys.specs -Wl,--gc-sections"
      " -gdwarf-5 -O0|-Os bench/table_firmware.c -o tables-O0|Os.elf   # output-heavy dump: generate_dump.py"
      " --size <S> on their dumps")
    w("arm-none-eabi-g++ -mcpu=cortex-m4 -mthumb -mfloat-abi=soft --specs=nosys.specs -Wl,--gc-sections"
      " -gdwarf-5 -Os bench/stdlib_image.cpp|bench/large_image.cpp -o <image>.elf")
    w("run_timed --stdout <image>_ObjDump.txt -- arm-none-eabi-objdump -WlLiaprmfFsoRt <image>.elf")
    w("run_timed -- quillmap <image>.txt   # dump path")
    w("run_timed -- quillmap <image>.elf   # ELF run")
    w("```")
    w("")
    w("Each dump is read once with `cat` before every timed run, so it is in the page cache, and `sync`"
      " puts the files of the run before on disk first, as they are when the tool is rerun after a build.")
    w("quillmap times are the median of %s runs after a warm-up run that is not counted (its time is"
      " shown): wall clock, and CPU (user + system) time, which other"
      " load on the machine does not inflate, both taken by run_timed to the microsecond. Peak RSS is the"
      " largest resident set size the kernel reports for the run."
      " MB = 10^6 bytes." % machine.get("repeat"))
    w("")
    w("## Whole run, dump path")
    w("")
    w("| dump | lines | wall (median) | MB/s wall | CPU (median) | MB/s CPU | wall, all runs (s) | warm-up run"
      " | peak RSS | RSS / dump | map lines |")
    w("|---|---|---|---|---|---|---|---|---|---|---|")
    for s in sizes:
        r = runs[s]
        rss = int(r["peak_rss_kb"]) * 1024
        w("| %s (%.0f MB) | %s | %s s | %.0f | %s s | %.0f | %s | %s s | %.0f MB | %.3f | %s |" % (
            s, mb(r["bytes"]), r["lines"], r["median_s"], speed[s], r["median_cpu_s"], cpu_speed[s],
            r["times"], r.get("warmup_s", "-"), mb(rss), rss / float(r["bytes"]), r["map_lines"]))
    dense_speed = None
    if dense_run:
        r = dense_run
        rss = int(r["peak_rss_kb"]) * 1024
        dense_speed = mb(r["bytes"]) / float(r["median_s"])
        w("| %s, output-heavy (%.0f MB) | %s | %s s | %.0f | %s s | %.0f | %s | %s s | %.0f MB | %.3f | %s |" % (
            dense, mb(r["bytes"]), r["lines"], r["median_s"], dense_speed, r["median_cpu_s"],
            mb(r["bytes"]) / float(r["median_cpu_s"]), r["times"], r.get("warmup_s", "-"), mb(rss),
            rss / float(r["bytes"]), r["map_lines"]))
    fresh_speed = None
    if fresh and fresh.get("size") in runs:
        r = runs[fresh["size"]]
        fresh_speed = mb(r["bytes"]) / float(fresh["median_s"])
        w("")
        w("Each run above replaces the files of the run before, as a rerun after every build does; on ext4"
          " the rename over an existing file first starts writing the new file out, and the old file is"
          " deleted. Into a directory without the files (a first run, a clean build directory):")
        w("")
        w("| dump | wall (median) | MB/s wall | CPU (median) | MB/s CPU | wall, all runs (s) |")
        w("|---|---|---|---|---|---|")
        w("| %s, no files yet | %s s | %.0f | %s s | %.0f | %s |" % (
            fresh["size"], fresh["median_s"], fresh_speed, fresh["median_cpu_s"],
            mb(r["bytes"]) / float(fresh["median_cpu_s"]), fresh["times"]))
    w("")
    w("## Phases (phase_timer, one run)")
    w("")
    w("`read` is a separate pass that only splits the dump into lines; `load+parse`, `link` (with the"
      " layout of DWARF 4/5 bit fields) and `teardown` are the database's steps taken one by one;"
      " `write` is writeSymbolFiles.")
    w("")
    w("| dump | read | load+parse | link | write | teardown | peak RSS after parse | located objects |")
    w("|---|---|---|---|---|---|---|---|")
    def phase_row(label, p):
        w("| %s | %s s (%.0f MB/s) | %s s (%.0f MB/s) | %s s | %s s | %s s | %s MB | %s |" % (
            label, p["read_s"], mb(p["bytes"]) / max(float(p["read_s"]), 1e-9), p["parse_s"],
            mb(p["bytes"]) / max(float(p["parse_s"]), 1e-9), p["link_s"], p["write_s"], p["teardown_s"],
            p["peak_rss_after_parse_mb"], p["located_objects"]))

    for s in sizes:
        if phases[s]:
            phase_row(s, phases[s])
    if dense_phases:
        phase_row(dense + ", output-heavy", dense_phases)
    if dense_run:
        r = dense_run
        per_kb = float(r["map_lines"]) / (float(r["bytes"]) / 1024)
        w("")
        w("## Output-heavy dump")
        w("")
        w("%s is bench/table_firmware.c (calibration tables: curves, maps, arrays of messages), built at -O0 and"
          " -Os and replicated by generate_dump.py: %.1f map lines per KB of dump, where the example firmware"
          " gives about one. Its run writes %.0f MB of map and CANape text for %.0f MB of dump." % (
              dense, per_kb, mb(r["output_bytes"]), mb(r["bytes"])))
        if dense_regex:
            w("")
            w("| on %s | wall | MB/s | CPU | MB/s of CPU |" % dense)
            w("|---|---|---|---|---|")
            w("| std::regex | %s s | %s | %s s | %s |" % (
                dense_regex["seconds"], dense_regex["mb_per_s"], dense_regex["cpu_seconds"],
                dense_regex["cpu_mb_per_s"]))
            w("| quillmap, whole run | %s s | %.0f | %s s | %.0f |" % (
                r["median_s"], dense_speed, r["median_cpu_s"], mb(r["bytes"]) / float(r["median_cpu_s"])))
            w("")
            w("quillmap / std::regex on the output-heavy dump: %.1f x (wall)." % (
                dense_speed / float(dense_regex["mb_per_s"])))
    befores = []
    if before_commit:
        for label in ["bench" + regex.get("size", "1G")] + ([dense] if dense else []):
            b = read_kv(os.path.join(kv_dir, "before-%s.kv" % label))
            if b:
                befores.append((label, b, read_kv(os.path.join(kv_dir, "phases-before-%s.kv" % label)),
                                read_kv(os.path.join(kv_dir, "phases-after-%s.kv" % label))))
    if befores:
        w("")
        w("## Before and after: commit %s against this commit" % before_commit)
        w("")
        w("Both builds on the same dumps, taking turns run by run (%s runs each after one that is not"
          " counted), each replacing the files of its own run before; phases are the median of three"
          " phase_timer runs of each build." % machine.get("repeat"))
        w("")
        w("| dump | build | whole run (median) | read | load+parse | link | write | teardown | peak RSS after parse"
          " | files |")
        w("|---|---|---|---|---|---|---|---|---|---|")
        for label, b, pb, pa in befores:
            for name, median_s, ph in ((before_commit, b["before_median_s"], pb), ("this commit", b["after_median_s"], pa)):
                w("| %s | %s | %s s | %s s | %s s | %s s | %s s | %s s | %s MB | %s |" % (
                    label, name, median_s, ph.get("read_s", "-"), ph.get("parse_s", "-"), ph.get("link_s", "-"),
                    ph.get("write_s", "-"), ph.get("teardown_s", "-"), ph.get("peak_rss_after_parse_mb", "-"),
                    "the same bytes" if b.get("same_files") == "yes" else "**differ**"))
    w("")
    w("## std::regex baseline (same order of tests, line by line)")
    w("")
    base_size = regex.get("size")
    ratio = None
    if regex and base_size in speed:
        ratio = speed[base_size] / float(regex["mb_per_s"])
        cpu_ratio = cpu_speed[base_size] / float(regex["cpu_mb_per_s"])
        w("| on bench%s | wall | MB/s | CPU | MB/s of CPU | lines skipped as too long |" % base_size)
        w("|---|---|---|---|---|---|")
        w("| std::regex | %s s | %s | %s s | %s | %s |" % (
            regex["seconds"], regex["mb_per_s"], regex["cpu_seconds"], regex["cpu_mb_per_s"],
            regex["skipped_long_lines"]))
        if matcher:
            w("| hand-written matchers, same tests | %s s | %s | %s s | %s | 0 |" % (
                matcher["seconds"], matcher["mb_per_s"], matcher["cpu_seconds"], matcher["cpu_mb_per_s"]))
        r = runs[base_size]
        w("| quillmap, whole run | %s s | %.0f | %s s | %.0f | 0 |" % (
            r["median_s"], speed[base_size], r["median_cpu_s"], cpu_speed[base_size]))
        w("")
        w("quillmap / std::regex: **%.1f x** (wall), %.1f x (CPU)." % (ratio, cpu_ratio))
        w("")
        w("The baseline classifies each line only (the tests of the parse, in its order, with the state that"
          " picks them); it builds no model. The matcher row runs the same tests with the hand-written"
          " matchers.")
    w("")
    w("## objdump against quillmap")
    w("")
    rows = [(k, r) for k, r in (("largest example image (shown, not judged)", objdump),
                                ("C++ image with the standard library", stdlib),
                                ("large C++ image", large)) if r]
    if rows:
        w("| image | dump | | objdump alone writing the dump | quillmap on the dump (dump path) | dump path / objdump"
          " | `quillmap <image>.elf` (ELF run) | ELF run / objdump | files |")
        w("|---|---|---|---|---|---|---|---|---|")
        for kind, row in rows:
            o, q, e = float(row["objdump_median_s"]), float(row["quillmap_median_s"]), float(row.get("elf_median_s", "nan"))
            oc, qc = float(row["objdump_median_cpu_s"]), float(row["quillmap_median_cpu_s"])
            ec = float(row.get("elf_median_cpu_s", "nan"))
            w("| %s: %s | %.2f MB | wall | %s s | %s s | %.1f %% | %s s | %.3f | %s |" % (
                kind, row["image"], mb(row["dump_bytes"]), row["objdump_median_s"], row["quillmap_median_s"],
                100 * q / o, row.get("elf_median_s", "-"), e / o,
                "ELF run = dump path" if row.get("same_files") == "yes" else "**differ**"))
            w("| | | CPU | %s s | %s s | %.1f %% | %s s | %.3f | |" % (
                row["objdump_median_cpu_s"], row["quillmap_median_cpu_s"], 100 * qc / max(oc, 1e-9),
                row.get("elf_median_cpu_s", "-"), ec / max(oc, 1e-9)))
        w("")
        w("Medians of %s runs each after a round that is not counted, the three programs taking turns, each"
          " writing into a folder that holds the files of the run before; timed by run_timed from the start"
          " of each program to its end (no shell). The ELF run is what the user waits for after a build:"
          " objdump and quillmap together, its files compared byte for byte with objdump's own dump and"
          " with the dump path's files. bench/stdlib_image.cpp formats with the standard library's streams;"
          " bench/large_image.cpp adds a hundred record types in containers, <regex> and wide streams."
          % (stdlib or objdump).get("runs", "10"))
    if rename:
        w("")
        w("Renaming a freshly written file of %.0f MB (a dump of the large image) on %s: over an old file on"
          " disk %s s, to a free name %s s (medians of 5; all: %s and %s)." % (
              mb(rename["bytes"]), rename["filesystem"], rename["over_median_s"], rename["free_median_s"],
              rename["over_times"], rename["free_times"]))
    w("")
    w("## Targets")
    w("")
    w("| target | measured | |")
    w("|---|---|---|")
    if "1G" in speed:
        first_run = ""
        if fresh_speed is not None and fresh.get("size") == "1G":
            first_run = "; %.0f MB/s when the files are not there yet" % fresh_speed
        w("| >= 500 MB/s on 1 GB (stretch 1 GB/s) | %.0f MB/s (%.0f MB/s of CPU time%s) | %s |" % (
            speed["1G"], cpu_speed["1G"], first_run, verdict(speed["1G"] >= 500)))
    if ratio is not None:
        w("| >= 40 x the std::regex baseline | %.1f x | %s |" % (ratio, verdict(ratio >= 40)))
    if "1G" in runs:
        r = runs["1G"]
        frac = int(r["peak_rss_kb"]) * 1024 / float(r["bytes"])
        w("| peak RSS <= 1/4 of a 1 GB dump | %.0f MB (%.3f of the dump) | %s |" % (
            int(r["peak_rss_kb"]) * 1024 / 1e6, frac, verdict(frac <= 0.25)))
    if len(speed) > 1:
        spread = max(speed.values()) / min(speed.values()) - 1
        cpu_spread = max(cpu_speed.values()) / min(cpu_speed.values()) - 1
        w("| same MB/s within 15 %% over %s | %s (spread %.1f %%; of CPU time %s, spread %.1f %%) | %s |" % (
            ", ".join(sizes), ", ".join("%.0f" % speed[s] for s in sizes), 100 * spread,
            ", ".join("%.0f" % cpu_speed[s] for s in sizes), 100 * cpu_spread, verdict(spread <= 0.15)))
    judged = [r for r in (stdlib, large) if r]
    if judged:
        shares = [float(r["quillmap_median_s"]) / float(r["objdump_median_s"]) for r in judged]
        example = ""
        if objdump:
            example = "; the largest example image, not judged: %.1f %%" % (
                100 * float(objdump["quillmap_median_s"]) / float(objdump["objdump_median_s"]))
        w("| dump path: quillmap <= 25 %% of objdump's time on images of users' size (stretch 10 %%) | %s%s | %s |" % (
            ", ".join("%s %.1f %%" % (r["image"], 100 * x) for r, x in zip(judged, shares)), example,
            verdict(all(x <= 0.25 for x in shares))))
        ratios = [float(r["elf_median_s"]) / float(r["objdump_median_s"]) for r in judged if "elf_median_s" in r]
        if ratios:
            w("| ELF run <= 1.05 x objdump alone on both images (stretch 1.02) | %s | %s |" % (
                ", ".join("%s %.3f" % (r["image"], x) for r, x in zip(judged, ratios)),
                verdict(len(ratios) == 2 and all(x <= 1.05 for x in ratios))))
        same = all(r.get("same_files") == "yes" for r in judged + ([objdump] if objdump else []))
        w("| ELF run's files = dump path's, dump = objdump's own output | %s | %s |" % (
            "byte-identical" if same else "differ", verdict(same)))
    for label, b, _, _ in befores:
        if label == dense:
            old_s, new_s = float(b["before_median_s"]), float(b["after_median_s"])
            w("| output-heavy dump no slower than at %s (2 %% allowed for noise) | %.3f s against %.3f s (%+.1f %%) | %s |" % (
                before_commit, new_s, old_s, 100 * (new_s / old_s - 1), verdict(new_s <= old_s * 1.02)))
    w("")
    leaves = read_text(os.path.join(kv_dir, "write_leaves.txt"))
    if leaves:
        w("## writeSymbolFiles on 1 000 000 leaves (write_leaves_bench)")
        w("")
        w("```")
        w(leaves)
        w("```")
        w("")
    if profile:
        w("## Profile (callgrind, quillmap on bench%s, instructions by function)" % profile.get("size"))
        w("")
        w("Self cost:")
        w("")
        w("```")
        w(read_text(os.path.join(kv_dir, "profile-self.txt")))
        w("```")
        w("")
        w("Inclusive cost:")
        w("")
        w("```")
        w(read_text(os.path.join(kv_dir, "profile-inclusive.txt")))
        w("```")
        w("")
    # Notes written by hand below the measurements survive a rerun.
    notes = ""
    old = read_text(out_path)
    if "\n## Notes" in old:
        notes = old[old.index("\n## Notes") + 1 :]
    with open(out_path, "w") as f:
        f.write("\n".join(out) + "\n")
        if notes:
            f.write(notes + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
