#!/usr/bin/env bash
# The benchmark in one command:
#
#   bench/run_benchmark.sh
#
# Builds Release with the bench programs, generates dumps of 100 MB, 1 GB and
# 4 GB from the example firmware (cached) and an output-heavy dump of 1 GB
# from bench/table_firmware.c, times `quillmap <name>.txt` on each with the
# dump in the page cache, times the phases with phase_timer, runs the
# std::regex baseline on the 1 GB dumps, times the same runs and phases with
# the build of an earlier commit, compares objdump alone with quillmap on the
# dump and with the whole `quillmap <image>.elf` on the largest example image
# and on two C++ images of users' size (bench/stdlib_image.cpp,
# bench/large_image.cpp), times the rename of a new dump over an old one,
# times writeSymbolFiles on a million leaves, profiles a run on a small dump
# with callgrind, and writes bench/RESULTS.md.
#
# Settings (environment):
#   BENCH_DIR            scratch directory, outside the repository (/tmp/quillmap-bench)
#   BENCH_BUILD_DIR      build directory ($BENCH_DIR/build)
#   BENCH_SIZES          dump sizes ("100M 1G 4G")
#   BENCH_DENSE_SIZE     size of the output-heavy dump, "" to skip (1G)
#   BENCH_BEFORE         the earlier commit to compare with, "" to skip (3dee781)
#   BENCH_IMAGE_REPEAT   runs of each program per image in the objdump comparison (7)
#   BENCH_REPEAT         timed quillmap runs per size; the median counts (5)
#   BENCH_BASELINE_SIZE  the dump the baseline reads, one of BENCH_SIZES (1G)
#   BENCH_PROFILE_SIZE   the dump callgrind profiles, "" to skip (20M)
#   BENCH_RESULTS        the report (bench/RESULTS.md)
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BENCH_DIR=${BENCH_DIR:-/tmp/quillmap-bench}
BUILD_DIR=${BENCH_BUILD_DIR:-$BENCH_DIR/build}
SIZES=${BENCH_SIZES:-"100M 1G 4G"}
DENSE_SIZE=${BENCH_DENSE_SIZE-1G}
BEFORE=${BENCH_BEFORE-3dee781}
IMAGE_REPEAT=${BENCH_IMAGE_REPEAT:-7}
REPEAT=${BENCH_REPEAT:-5}
BASELINE_SIZE=${BENCH_BASELINE_SIZE:-1G}
PROFILE_SIZE=${BENCH_PROFILE_SIZE-20M}
RESULTS=${BENCH_RESULTS:-$REPO/bench/RESULTS.md}
# Debian's python3; the generator needs nothing beyond the standard library.
PYTHON=/usr/bin/python3
OBJDUMP=${OBJDUMP:-arm-none-eabi-objdump}
ARM_GXX=${ARM_GXX:-arm-none-eabi-g++}

case "$BENCH_DIR/" in
"$REPO"/*) echo "BENCH_DIR must lie outside the repository" >&2; exit 2 ;;
esac
mkdir -p "$BENCH_DIR"
LOAD_AT_START=$(cut -d' ' -f1-3 /proc/loadavg)
KV="$BENCH_DIR/results"
rm -rf "$KV"
mkdir -p "$KV"

log() { printf '== %s\n' "$*" >&2; }
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
# The middle value of the numbers given (the lower middle for an even count).
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# --- Build ------------------------------------------------------------------
log "building Release in $BUILD_DIR"
cmake -S "$REPO" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUILLMAP_BUILD_BENCH=ON \
  -DQUILLMAP_BUILD_TESTS=OFF >"$BENCH_DIR/cmake.log"
cmake --build "$BUILD_DIR" -j "$(nproc)" >"$BENCH_DIR/build.log" 2>&1 || {
  tail -30 "$BENCH_DIR/build.log" >&2
  exit 1
}
QUILLMAP="$BUILD_DIR/app/quillmap"
RUN_TIMED="$BUILD_DIR/bench/run_timed"
FIRMWARE="$BUILD_DIR/firmware"

# Today's toolchain writes DWARF 5: replicate the DWARF 5 images of the
# little-endian example programs, -O0 and -Os (one dump has one byte order).
# The list is fixed, so that a new example does not change the dumps that
# earlier results were measured on.
SOURCES=()
for program in bms demo ecu gateway; do
  for opt in O0 Os; do SOURCES+=("$FIRMWARE/$program-dwarf5-$opt.txt"); done
done
for f in "${SOURCES[@]}"; do [ -f "$f" ] || { echo "no firmware dump $f" >&2; exit 1; }; done

# The examples' flags for Cortex-M4; images the benchmark builds itself.
ARM_FLAGS=(-mcpu=cortex-m4 -mthumb -mfloat-abi=soft --specs=nosys.specs -Wl,--gc-sections -gdwarf-5)
# build_image <source> <elf> <optimisation> [compiler]: builds when the source is newer.
build_image() {
  local source=$1 elf=$2 opt=$3 compiler=${4:-$ARM_GXX}
  if [ "$source" -nt "$elf" ]; then
    log "building $(basename "$elf")"
    "$compiler" "${ARM_FLAGS[@]}" "$opt" "$source" -o "$elf"
  fi
}
dump_image() { # <elf> <dump>: objdump's dump, when the image is newer
  if [ "$1" -nt "$2" ]; then "$OBJDUMP" -WlLiaprmfFsoRt "$1" >"$2" 2>/dev/null; fi
}

# The output-heavy dump: calibration tables, about five map lines per KB of
# dump where the examples give about one.
DENSE_SOURCES=()
if [ -n "$DENSE_SIZE" ]; then
  for opt in O0 Os; do
    build_image "$REPO/bench/table_firmware.c" "$BENCH_DIR/tables-$opt.elf" "-$opt" "${ARM_GXX%g++}gcc"
    dump_image "$BENCH_DIR/tables-$opt.elf" "$BENCH_DIR/tables-$opt.txt"
    DENSE_SOURCES+=("$BENCH_DIR/tables-$opt.txt")
  done
fi

# --- Dumps --------------------------------------------------------------------
# bench<size>_ObjDump.txt is what `quillmap bench<size>.txt` reads.
# dense<size>_ObjDump.txt is the output-heavy dump.
dump_of() { echo "$BENCH_DIR/bench$1_ObjDump.txt"; }
dense_dump() { echo "$BENCH_DIR/dense$DENSE_SIZE"; }
# generate <size> <dump> <sources...>
generate_from() {
  local size=$1 dump=$2
  shift 2
  local stale=0 f
  [ -f "$dump" ] || stale=1
  # Regenerate when the generator or a source dump changed since.
  for f in "$REPO/bench/generate_dump.py" "$@"; do
    if [ "$f" -nt "$dump" ]; then stale=1; fi
  done
  if [ "$stale" = 1 ]; then
    log "generating $dump"
    "$PYTHON" "$REPO/bench/generate_dump.py" --size "$size" --output "$dump" "$@"
  fi
}
generate() { generate_from "$1" "$(dump_of "$1")" "${SOURCES[@]}"; }
for size in $SIZES; do generate "$size"; done
if [ -n "$DENSE_SIZE" ]; then generate_from "$DENSE_SIZE" "$(dense_dump)_ObjDump.txt" "${DENSE_SOURCES[@]}"; fi

warm() { cat "$1" >/dev/null; }

# Before each timed run the files of the run before are put on disk (sync,
# not timed), as they are when a user reruns the tool after a build: a rename
# over a file whose pages are still being written waits for the disk. Back to
# back, a 4 GB run would wait for the 1.4 GB its predecessor wrote (measured:
# 6.9-9.9 s against 5.7-6.4 s after a sync).
settle() { sync; }

# Runs a command through run_timed; sets SECONDS_TAKEN (wall clock),
# CPU_TAKEN (user + system seconds, which other load on the machine does not
# inflate) and PEAK_KB (peak resident memory), each to the microsecond or
# kilobyte. The command's standard output goes to the file given with
# --stdout, else to $BENCH_DIR/run.out.
timed() {
  local out="$BENCH_DIR/run.out"
  if [ "$1" = --stdout ]; then
    out=$2
    shift 2
  fi
  if ! "$RUN_TIMED" --stdout "$out" -- "$@" 2>"$BENCH_DIR/time.out"; then
    cat "$out" "$BENCH_DIR/time.out" >&2
    echo "failed: $*" >&2
    exit 1
  fi
  local line
  line=$(tail -1 "$BENCH_DIR/time.out")
  SECONDS_TAKEN=$(sed -E 's/.*wall_s=([0-9.]+).*/\1/' <<<"$line" | xargs printf '%.4f')
  CPU_TAKEN=$(sed -E 's/.*cpu_s=([0-9.]+).*/\1/' <<<"$line" | xargs printf '%.4f')
  PEAK_KB=$(sed -E 's/.*peak_rss_kb=([0-9]+).*/\1/' <<<"$line")
}

# --- quillmap on each dump ------------------------------------------------
# measure <label> <quillmap> : times `quillmap <label>.txt` in $BENCH_DIR,
# writes $KV/quillmap-<label>.kv and the phases to $KV/phases-<label>.kv.
measure() {
  local label=$1 program=$2
  local dump="$BENCH_DIR/${label}_ObjDump.txt" input="$BENCH_DIR/$label.txt"
  local bytes lines times=() cpus=() rss=0 warmup i
  bytes=$(stat -c %s "$dump")
  lines=$(wc -l <"$dump")
  # One run first that is not counted: it leaves earlier files to replace,
  # as a rerun after a build finds them, and it makes the system back the
  # memory a run of this size needs. On a virtual machine whose host backs
  # guest memory page by page on first use, a first run of a new size pays
  # that too (4 GB: up to 60 % more wall time), which no rerun does.
  settle
  warm "$dump"
  timed "$program" "$input"
  warmup=$SECONDS_TAKEN
  log "quillmap $label.txt, warm-up (not counted): $SECONDS_TAKEN s (CPU $CPU_TAKEN s)"
  for ((i = 0; i < REPEAT; i++)); do
    settle
    warm "$dump"
    timed "$program" "$input"
    log "quillmap $label.txt: $SECONDS_TAKEN s (CPU $CPU_TAKEN s), peak RSS $((PEAK_KB / 1024)) MB"
    times+=("$SECONDS_TAKEN")
    cpus+=("$CPU_TAKEN")
    if [ "$PEAK_KB" -gt "$rss" ]; then rss=$PEAK_KB; fi
  done
  cp "$BENCH_DIR/run.out" "$KV/console-$label.txt"
  local map="$BENCH_DIR/${label}_Vrx.m51" canape="$BENCH_DIR/${label}_CANape.db"
  {
    echo "size=$label"
    echo "bytes=$bytes"
    echo "lines=$lines"
    echo "times=${times[*]}"
    echo "warmup_s=$warmup"
    echo "median_s=$(median "${times[@]}")"
    echo "cpu_times=${cpus[*]}"
    echo "median_cpu_s=$(median "${cpus[@]}")"
    echo "peak_rss_kb=$rss"
    echo "map_lines=$(wc -l <"$map")"
    echo "output_bytes=$(($(stat -c %s "$map") + $(stat -c %s "$canape")))"
  } >"$KV/quillmap-$label.kv"

  settle
  warm "$dump"
  log "phase_timer $label"
  # A directory per dump: each write replaces the files of the same dump's
  # last run, as in the runs above, not the larger files of another size
  # (deleting 1.4 GB of files made the 100 MB write phase take 0.8 s).
  mkdir -p "$BENCH_DIR/phase-$label"
  "$BUILD_DIR/bench/phase_timer" "$dump" "$BENCH_DIR/phase-$label" >"$KV/phases-$label.kv"
}
for size in $SIZES; do measure "bench$size" "$QUILLMAP"; done
DENSE=""
if [ -n "$DENSE_SIZE" ]; then
  DENSE=$(basename "$(dense_dump)")
  measure "$DENSE" "$QUILLMAP"
fi

# --- The same dump, the files not there yet ------------------------------------
# Each run above replaces the three files of the run before. On ext4 a rename
# over an existing file first starts writing the new file's data out
# (auto_da_alloc), and the old file is deleted: a rerun pays for both. A
# first run, as in a clean build directory, does not; it is timed here too.
size=$BASELINE_SIZE
dump=$(dump_of "$size")
fresh="$BENCH_DIR/fresh"
times=()
cpus=()
for ((i = 0; i < REPEAT; i++)); do
  rm -rf "$fresh"
  mkdir -p "$fresh"
  ln -s "$dump" "$fresh/bench${size}_ObjDump.txt"
  settle
  warm "$dump"
  timed "$QUILLMAP" "$fresh/bench$size.txt"
  log "quillmap bench$size.txt, no files yet: $SECONDS_TAKEN s (CPU $CPU_TAKEN s)"
  times+=("$SECONDS_TAKEN")
  cpus+=("$CPU_TAKEN")
done
rm -rf "$fresh"
{
  echo "size=$size"
  echo "times=${times[*]}"
  echo "median_s=$(median "${times[@]}")"
  echo "median_cpu_s=$(median "${cpus[@]}")"
} >"$KV/fresh.kv"

# --- The std::regex baseline on the same dump ------------------------------
dump=$(dump_of "$BASELINE_SIZE")
for engine in regex matcher; do
  warm "$dump"
  log "baseline ($engine) on bench$BASELINE_SIZE"
  "$BUILD_DIR/bench/regex_baseline" --engine "$engine" "$dump" >"$KV/baseline-$engine.kv"
done
echo "size=$BASELINE_SIZE" >>"$KV/baseline-regex.kv"
if [ -n "$DENSE" ]; then
  warm "$BENCH_DIR/${DENSE}_ObjDump.txt"
  log "baseline (regex) on $DENSE"
  "$BUILD_DIR/bench/regex_baseline" --engine regex "$BENCH_DIR/${DENSE}_ObjDump.txt" >"$KV/baseline-regex-dense.kv"
fi

# --- The earlier commit on the same dumps --------------------------------------
# The build of $BEFORE, timed on the 1 GB dump and the output-heavy dump in
# directories of its own, taking turns with today's build run by run, and its
# phases, so that the two sets of figures are taken under the same load.
if [ -n "$BEFORE" ]; then
  before_src="$BENCH_DIR/before-$BEFORE"
  before_build="$BENCH_DIR/before-$BEFORE-build"
  if [ ! -f "$before_build/app/quillmap" ]; then
    log "building $BEFORE in $before_build"
    rm -rf "$before_src"
    mkdir -p "$before_src"
    git -C "$REPO" archive "$BEFORE" | tar -x -C "$before_src"
    cmake -S "$before_src" -B "$before_build" -DCMAKE_BUILD_TYPE=Release -DQUILLMAP_BUILD_BENCH=ON \
      -DQUILLMAP_BUILD_TESTS=OFF >"$BENCH_DIR/cmake-before.log"
    cmake --build "$before_build" -j "$(nproc)" --target quillmap phase_timer >"$BENCH_DIR/build-before.log" 2>&1 || {
      tail -30 "$BENCH_DIR/build-before.log" >&2
      exit 1
    }
  fi
  for label in "bench$BASELINE_SIZE" $DENSE; do
    dump="$BENCH_DIR/${label}_ObjDump.txt"
    old_times=()
    new_times=()
    for which in before after; do
      mkdir -p "$BENCH_DIR/$which"
      ln -sf "$dump" "$BENCH_DIR/$which/${label}_ObjDump.txt"
    done
    for ((i = 0; i <= REPEAT; i++)); do
      for which in before after; do
        program=$QUILLMAP
        [ "$which" = before ] && program=$before_build/app/quillmap
        settle
        warm "$dump"
        timed "$program" "$BENCH_DIR/$which/$label.txt"
        # The first round only leaves files to replace.
        if [ "$i" -gt 0 ]; then
          if [ "$which" = before ]; then old_times+=("$SECONDS_TAKEN"); else new_times+=("$SECONDS_TAKEN"); fi
        fi
      done
    done
    log "$label: $BEFORE $(median "${old_times[@]}") s, today $(median "${new_times[@]}") s"
    cmp -s "$BENCH_DIR/before/${label}_Vrx.m51" "$BENCH_DIR/after/${label}_Vrx.m51" &&
      cmp -s "$BENCH_DIR/before/${label}_CANape.db" "$BENCH_DIR/after/${label}_CANape.db" && same=yes || same=no
    {
      echo "commit=$BEFORE"
      echo "before_times=${old_times[*]}"
      echo "after_times=${new_times[*]}"
      echo "before_median_s=$(median "${old_times[@]}")"
      echo "after_median_s=$(median "${new_times[@]}")"
      echo "same_files=$same"
    } >"$KV/before-$label.kv"
    # Phases: three runs of each build, the median of each phase.
    for which in before after; do
      program=$BUILD_DIR/bench/phase_timer
      [ "$which" = before ] && program=$before_build/bench/phase_timer
      mkdir -p "$BENCH_DIR/phase-$which-$label"
      for round in 1 2 3; do
        settle
        warm "$dump"
        "$program" "$dump" "$BENCH_DIR/phase-$which-$label" >"$BENCH_DIR/phase-$round.kv"
      done
      "$PYTHON" - "$BENCH_DIR"/phase-[123].kv >"$KV/phases-$which-$label.kv" <<'EOF'
import statistics, sys
runs = [dict(l.rstrip("\n").split("=", 1) for l in open(p) if "=" in l) for p in sys.argv[1:]]
for key in runs[0]:
    try:
        value = statistics.median(float(r[key]) for r in runs)
        print("%s=%s" % (key, int(value) if value == int(value) and "." not in runs[0][key] else "%.4g" % value))
    except ValueError:
        print("%s=%s" % (key, runs[0][key]))
EOF
    done
  done
fi

# --- objdump against quillmap ------------------------------------------------
# Times, on image $1, in turn: objdump alone writing the dump, quillmap on
# that dump (dump path), and the whole `quillmap <image>.elf` (objdump and
# quillmap as the user runs them after a build). Each writes into a folder
# that holds the files of the run before. The medians go to $KV/$2.kv.
compare_with_objdump() {
  local image=$1 name=$2
  local work="$BENCH_DIR/$name"
  mkdir -p "$work"
  cp "$image" "$work/image.elf"
  local objdump_times=() objdump_cpus=() dump_times=() dump_cpus=() elf_times=() elf_cpus=() i
  log "objdump against quillmap on $(basename "$image")"
  # A first round that is not counted leaves the files of a run before.
  for ((i = 0; i <= IMAGE_REPEAT; i++)); do
    # objdump as the tool starts it: directly, its output going to the dump.
    settle
    timed --stdout "$work/image_ObjDump.txt" "$OBJDUMP" -WlLiaprmfFsoRt "$work/image.elf"
    [ "$i" -gt 0 ] && objdump_times+=("$SECONDS_TAKEN") && objdump_cpus+=("$CPU_TAKEN")
    settle
    timed "$QUILLMAP" "$work/image.txt"
    [ "$i" -gt 0 ] && dump_times+=("$SECONDS_TAKEN") && dump_cpus+=("$CPU_TAKEN")
    if [ "$i" -eq "$IMAGE_REPEAT" ]; then
      cp "$work/image_ObjDump.txt" "$work/objdump-dump.txt"
      cp "$work/image_Vrx.m51" "$work/dump-path.m51"
      cp "$work/image_CANape.db" "$work/dump-path.db"
    fi
    settle
    timed "$QUILLMAP" "$work/image.elf"
    [ "$i" -gt 0 ] && elf_times+=("$SECONDS_TAKEN") && elf_cpus+=("$CPU_TAKEN")
  done
  local same=yes
  cmp -s "$work/objdump-dump.txt" "$work/image_ObjDump.txt" || same=no
  cmp -s "$work/dump-path.m51" "$work/image_Vrx.m51" || same=no
  cmp -s "$work/dump-path.db" "$work/image_CANape.db" || same=no
  rm -f "$work/objdump-dump.txt" "$work/dump-path.m51" "$work/dump-path.db"
  log "$name: objdump $(median "${objdump_times[@]}") s, dump path $(median "${dump_times[@]}") s, ELF run $(median "${elf_times[@]}") s, same files: $same"
  {
    echo "image=$(basename "$image")"
    echo "dump_bytes=$(stat -c %s "$work/image_ObjDump.txt")"
    echo "runs=$IMAGE_REPEAT"
    echo "objdump_times=${objdump_times[*]}"
    echo "elf_times=${elf_times[*]}"
    echo "objdump_median_s=$(median "${objdump_times[@]}")"
    echo "quillmap_median_s=$(median "${dump_times[@]}")"
    echo "elf_median_s=$(median "${elf_times[@]}")"
    echo "objdump_median_cpu_s=$(median "${objdump_cpus[@]}")"
    echo "quillmap_median_cpu_s=$(median "${dump_cpus[@]}")"
    echo "elf_median_cpu_s=$(median "${elf_cpus[@]}")"
    echo "same_files=$same"
  } >"$KV/$name.kv"
}

# The largest example image: its share is shown, not judged. On a 2 MB dump
# starting a program is a tenth of objdump's time.
largest=$(ls -S "$FIRMWARE"/*.txt | head -1)
compare_with_objdump "${largest%.txt}.elf" objdump

# Images of the size of users' firmware, built with the examples' flags,
# -Os: the judged rows.
build_image "$REPO/bench/stdlib_image.cpp" "$BENCH_DIR/stdlib_image.elf" -Os
compare_with_objdump "$BENCH_DIR/stdlib_image.elf" objdump-stdlib
build_image "$REPO/bench/large_image.cpp" "$BENCH_DIR/large_image.elf" -Os
compare_with_objdump "$BENCH_DIR/large_image.elf" objdump-large

# --- Renaming a new dump over an old one -------------------------------------
# On ext4 a rename over an existing file starts writing the new file's data
# out first (auto_da_alloc). Timed for a dump of the large image's size: a
# freshly written file renamed over an old one on disk, and renamed to a
# name that is free.
rename_dir="$BENCH_DIR/rename"
mkdir -p "$rename_dir"
over=()
free=()
for ((i = 0; i < 5; i++)); do
  cp "$BENCH_DIR/objdump-large/image_ObjDump.txt" "$rename_dir/old.txt"
  sync
  cat "$BENCH_DIR/objdump-large/image_ObjDump.txt" >"$rename_dir/new.txt"
  timed mv -f "$rename_dir/new.txt" "$rename_dir/old.txt"
  over+=("$SECONDS_TAKEN")
  sync
  cat "$BENCH_DIR/objdump-large/image_ObjDump.txt" >"$rename_dir/new.txt"
  timed mv -f "$rename_dir/new.txt" "$rename_dir/free.txt"
  free+=("$SECONDS_TAKEN")
  rm -f "$rename_dir/free.txt"
done
rm -rf "$rename_dir"
{
  echo "bytes=$(stat -c %s "$BENCH_DIR/objdump-large/image_ObjDump.txt")"
  echo "filesystem=$(findmnt -n -o FSTYPE --target "$BENCH_DIR" 2>/dev/null || stat -f -c %T "$BENCH_DIR")"
  echo "over_times=${over[*]}"
  echo "free_times=${free[*]}"
  echo "over_median_s=$(median "${over[@]}")"
  echo "free_median_s=$(median "${free[@]}")"
} >"$KV/rename.kv"

# --- writeSymbolFiles on a million leaves ---------------------------------
log "write_leaves_bench"
"$BUILD_DIR/bench/write_leaves_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  >"$KV/write_leaves.txt" 2>&1 || true

# --- Where the time goes -----------------------------------------------------
if [ -n "$PROFILE_SIZE" ] && command -v valgrind >/dev/null; then
  generate "$PROFILE_SIZE"
  log "callgrind on bench$PROFILE_SIZE"
  rm -f "$BENCH_DIR"/callgrind.out*
  valgrind --tool=callgrind --callgrind-out-file="$BENCH_DIR/callgrind.out" \
    "$QUILLMAP" "$BENCH_DIR/bench$PROFILE_SIZE.txt" >/dev/null 2>"$BENCH_DIR/callgrind.log"
  # The function lines only: "<instructions> (<share>)  <file>:<function> [<object>]".
  top() {
    callgrind_annotate --inclusive="$1" "$BENCH_DIR/callgrind.out" >"$BENCH_DIR/annotate.txt" 2>/dev/null
    # Recursion cycles ('2) and the start-up frames say nothing about the tool.
    grep -E '^ *[0-9,]+ \( *[0-9.]+%\) ' "$BENCH_DIR/annotate.txt" |
      grep -v -E "'[0-9]|below main|__libc_start_main|:0x[0-9a-f]+ \[" | awk -v n="$2" 'NR <= n' |
      sed -E 's/ \[[^]]*\]$//; s/(%\) +)[^ :]*:/\1/' | cut -c1-160
  }
  top no 20 >"$KV/profile-self.txt"
  top yes 25 >"$KV/profile-inclusive.txt"
  echo "size=$PROFILE_SIZE" >"$KV/profile.kv"
fi

# --- Report ---------------------------------------------------------------------
{
  echo "nproc=$(nproc)"
  echo "cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
  echo "mem_kb=$(awk '/^MemTotal/ { print $2 }' /proc/meminfo)"
  echo "kernel=$(uname -sr)"
  echo "compiler=$(c++ --version | head -1)"
  echo "objdump=$("$OBJDUMP" --version | head -1)"
  echo "commit=$(git -C "$REPO" rev-parse --short HEAD)$(git -C "$REPO" diff --quiet HEAD -- . 2>/dev/null || echo ' (with uncommitted changes)')"
  echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "load_at_start=$LOAD_AT_START"
  echo "load_at_end=$(cut -d' ' -f1-3 /proc/loadavg)"
  echo "sources=$(for s in "${SOURCES[@]}"; do basename "$s"; done | tr '\n' ' ')"
  echo "sizes=$SIZES"
  echo "dense=$DENSE"
  echo "before=$BEFORE"
  echo "repeat=$REPEAT"
} >"$KV/machine.kv"
"$PYTHON" "$REPO/bench/write_results.py" "$KV" "$RESULTS"
log "wrote $RESULTS"
