#!/usr/bin/env bash
# The benchmark in one command:
#
#   bench/run_benchmark.sh
#
# Builds Release with the bench programs, generates dumps of 100 MB, 1 GB and
# 4 GB from the example firmware (cached), times `quillmap <name>.txt` on each
# with the dump in the page cache, times the phases with phase_timer, runs the
# std::regex baseline on the same dump, compares objdump with quillmap on the
# largest example image and on a C++ image of users' size (built from
# bench/stdlib_image.cpp), times writeSymbolFiles on a million leaves,
# profiles a run on a small dump with callgrind, and writes bench/RESULTS.md.
#
# Settings (environment):
#   BENCH_DIR            scratch directory, outside the repository (/tmp/quillmap-bench)
#   BENCH_BUILD_DIR      build directory ($BENCH_DIR/build)
#   BENCH_SIZES          dump sizes ("100M 1G 4G")
#   BENCH_REPEAT         timed quillmap runs per size; the median counts (5)
#   BENCH_BASELINE_SIZE  the dump the baseline reads, one of BENCH_SIZES (1G)
#   BENCH_PROFILE_SIZE   the dump callgrind profiles, "" to skip (20M)
#   BENCH_RESULTS        the report (bench/RESULTS.md)
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BENCH_DIR=${BENCH_DIR:-/tmp/quillmap-bench}
BUILD_DIR=${BENCH_BUILD_DIR:-$BENCH_DIR/build}
SIZES=${BENCH_SIZES:-"100M 1G 4G"}
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

# Today's toolchain writes DWARF 5: replicate the DWARF 5 images of every
# little-endian example program, -O0 and -Os (one dump has one byte order).
mapfile -t SOURCES < <(grep -l -m1 'file format elf32-littlearm$' \
  "$FIRMWARE"/*-dwarf5-O0.txt "$FIRMWARE"/*-dwarf5-Os.txt | sort)
[ ${#SOURCES[@]} -gt 0 ] || { echo "no firmware dumps in $FIRMWARE" >&2; exit 1; }

# --- Dumps --------------------------------------------------------------------
# bench<size>_ObjDump.txt is what `quillmap bench<size>.txt` reads.
dump_of() { echo "$BENCH_DIR/bench$1_ObjDump.txt"; }
generate() {
  local size=$1 dump
  dump=$(dump_of "$size")
  local stale=0 f
  [ -f "$dump" ] || stale=1
  # Regenerate when the generator or a firmware dump changed since.
  for f in "$REPO/bench/generate_dump.py" "${SOURCES[@]}"; do
    if [ "$f" -nt "$dump" ]; then stale=1; fi
  done
  if [ "$stale" = 1 ]; then
    log "generating $dump"
    "$PYTHON" "$REPO/bench/generate_dump.py" --size "$size" --output "$dump" "${SOURCES[@]}"
  fi
}
for size in $SIZES; do generate "$size"; done

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
for size in $SIZES; do
  dump=$(dump_of "$size")
  input="$BENCH_DIR/bench$size.txt"
  bytes=$(stat -c %s "$dump")
  lines=$(wc -l <"$dump")
  times=()
  cpus=()
  rss=0
  # One run first that is not counted: it leaves earlier files to replace,
  # as a rerun after a build finds them, and it makes the system back the
  # memory a run of this size needs. On a virtual machine whose host backs
  # guest memory page by page on first use, a first run of a new size pays
  # that too (4 GB: up to 60 % more wall time), which no rerun does.
  settle
  warm "$dump"
  timed "$QUILLMAP" "$input"
  warmup=$SECONDS_TAKEN
  log "quillmap bench$size.txt, warm-up (not counted): $SECONDS_TAKEN s (CPU $CPU_TAKEN s)"
  for ((i = 0; i < REPEAT; i++)); do
    settle
    warm "$dump"
    timed "$QUILLMAP" "$input"
    log "quillmap bench$size.txt: $SECONDS_TAKEN s (CPU $CPU_TAKEN s), peak RSS $((PEAK_KB / 1024)) MB"
    times+=("$SECONDS_TAKEN")
    cpus+=("$CPU_TAKEN")
    if [ "$PEAK_KB" -gt "$rss" ]; then rss=$PEAK_KB; fi
  done
  cp "$BENCH_DIR/run.out" "$KV/console-$size.txt"
  map="$BENCH_DIR/bench${size}_Vrx.m51"
  {
    echo "size=$size"
    echo "bytes=$bytes"
    echo "lines=$lines"
    echo "times=${times[*]}"
    echo "warmup_s=$warmup"
    echo "median_s=$(median "${times[@]}")"
    echo "cpu_times=${cpus[*]}"
    echo "median_cpu_s=$(median "${cpus[@]}")"
    echo "peak_rss_kb=$rss"
    echo "map_lines=$(wc -l <"$map")"
  } >"$KV/quillmap-$size.kv"

  settle
  warm "$dump"
  log "phase_timer bench$size"
  # A directory per size: each write replaces the files of the same size's
  # last run, as in the runs above, not the larger files of another size
  # (deleting 1.4 GB of files made the 100 MB write phase take 0.8 s).
  mkdir -p "$BENCH_DIR/phase-$size"
  "$BUILD_DIR/bench/phase_timer" "$dump" "$BENCH_DIR/phase-$size" >"$KV/phases-$size.kv"
done

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

# --- objdump against quillmap ------------------------------------------------
# Times objdump writing the dump of image $1 and quillmap reading that dump,
# 10 runs each, taking turns; the medians go to $KV/$2.kv.
compare_with_objdump() {
  local image=$1 name=$2
  local work="$BENCH_DIR/$name"
  mkdir -p "$work"
  cp "$image" "$work/image.elf"
  local objdump_times=() objdump_cpus=() quillmap_times=() quillmap_cpus=() i
  log "objdump against quillmap on $(basename "$image")"
  for ((i = 0; i < 10; i++)); do
    # objdump as the tool starts it: directly, its output going to the dump.
    settle
    timed --stdout "$work/image_ObjDump.txt" "$OBJDUMP" -WlLiaprmfFsoRt "$work/image.elf"
    objdump_times+=("$SECONDS_TAKEN")
    objdump_cpus+=("$CPU_TAKEN")
    settle
    timed "$QUILLMAP" "$work/image.txt"
    quillmap_times+=("$SECONDS_TAKEN")
    quillmap_cpus+=("$CPU_TAKEN")
  done
  {
    echo "image=$(basename "$image")"
    echo "dump_bytes=$(stat -c %s "$work/image_ObjDump.txt")"
    echo "objdump_median_s=$(median "${objdump_times[@]}")"
    echo "quillmap_median_s=$(median "${quillmap_times[@]}")"
    echo "objdump_median_cpu_s=$(median "${objdump_cpus[@]}")"
    echo "quillmap_median_cpu_s=$(median "${quillmap_cpus[@]}")"
  } >"$KV/$name.kv"
}

# The largest example image: the target is measured on it.
largest=$(ls -S "$FIRMWARE"/*.txt | head -1)
compare_with_objdump "${largest%.txt}.elf" objdump

# An image of the size of users' firmware: the examples' dumps are 2 MB at
# most, and on them starting a program is a tenth of objdump's time. Built
# with the examples' flags for Cortex-M4, DWARF 5, -Os.
stdlib_image="$BENCH_DIR/stdlib_image.elf"
if [ "$REPO/bench/stdlib_image.cpp" -nt "$stdlib_image" ]; then
  log "building $(basename "$stdlib_image")"
  "$ARM_GXX" -mcpu=cortex-m4 -mthumb -mfloat-abi=soft --specs=nosys.specs -Wl,--gc-sections -gdwarf-5 -Os \
    "$REPO/bench/stdlib_image.cpp" -o "$stdlib_image"
fi
compare_with_objdump "$stdlib_image" objdump-stdlib

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
  echo "repeat=$REPEAT"
} >"$KV/machine.kv"
"$PYTHON" "$REPO/bench/write_results.py" "$KV" "$RESULTS"
log "wrote $RESULTS"
