# Sourced by the benchmark scripts: locations, timing and result helpers.
# shellcheck shell=bash

BENCH_HOME="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
BUILD_DIR="${BUILD_DIR:-$BENCH_HOME/../build/release}"
BENCH_DIR="${BENCH_DIR:-/tmp/kivo-bench}"
RESULTS="${RESULTS:-$BENCH_HOME/RESULTS.md}"

# Path of the driver bench_NAME of the Release build; stops the script when
# it has not been built.
bench_binary() {
  local bin="$BUILD_DIR/bench/bench_$1"
  if [ ! -x "$bin" ]; then
    echo "missing $bin (build with -DKIVO_BENCH=ON)" >&2
    return 1
  fi
  echo "$bin"
}

# Wall seconds of the best of N runs of a command; PREP (a shell snippet) runs
# before every run and is not timed.
best_of() {
  local runs="$1" prep="$2"; shift 2
  local best="" t0 t1 dt
  for _ in $(seq "$runs"); do
    eval "$prep"
    t0=$(date +%s.%N)
    "$@" >/dev/null
    t1=$(date +%s.%N)
    dt=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$dt < $best" | bc -l)" = 1 ]; then best="$dt"; fi
  done
  printf '%.3f' "$best"
}

# Peak resident set size in KiB of one run of a command.
peak_kib() {
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1
}

machine_line() {
  echo "$(date -u +%Y-%m-%d), $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
}

# Appends a section to RESULTS.md: title, then lines from stdin.
record() {
  { echo; echo "## $1"; echo; echo "Machine: $(machine_line)"; echo; cat; } >> "$RESULTS"
}
