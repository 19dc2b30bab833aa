#!/usr/bin/env bash
# Extraction of 30 MB of text compressed with bzip2, LZMA and Deflate64 (by
# 7-Zip), against 7-Zip's own extraction: PAIRS alternating runs of each,
# page cache warm, the median of the per-pair ratios. bzip2 decodes on
# every core in both programs, so 7-Zip keeps its threads there; LZMA and
# Deflate64 decode one entry on one thread, and 7-Zip runs with -mmt=1.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
BIN="$(bench_binary unzip)"
PAIRS="${PAIRS:-5}"
command -v 7zz >/dev/null || { echo "7zz is not installed"; exit 1; }
mkdir -p "$BENCH_DIR/methods"
cd "$BENCH_DIR/methods"

# 30 MB of real text: C headers, repeated until the size is reached.
if [ ! -f text.txt ]; then
  python3 - <<'PY'
import os
out, want = open("text.txt", "wb"), 30 * 1000 * 1000
have = 0
while have < want:
    for folder, dirs, names in os.walk("/usr/include"):
        dirs.sort()
        for name in sorted(names):
            if have >= want: break
            try: data = open(os.path.join(folder, name), "rb").read()
            except OSError: continue
            data = data[: want - have]
            out.write(data); have += len(data)
PY
fi

# Wall seconds of one run of a command after PREP.
once() {
  local prep="$1"; shift
  eval "$prep"
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

rows=""
for method in BZip2 LZMA Deflate64; do
  case "$method" in
    BZip2) threads="-mmt=on"; goal=1.0 ;;
    *) threads="-mmt=1"; goal=1.0 ;;
  esac
  archive="text-$method.zip"
  [ -f "$archive" ] || 7zz a -tzip -mm="$method" -bd -bso0 -bsp0 "$archive" text.txt
  cat "$archive" >/dev/null
  ratios=""; kivo_times=""; seven_times=""
  for _ in $(seq "$PAIRS"); do
    k=$(once "rm -rf out-k" "$BIN" extract "$archive" out-k)
    s=$(once "rm -rf out-7" 7zz x "$threads" -bd -bso0 -bsp0 -y -oout-7 "$archive")
    cmp -s out-k/text.txt out-7/text.txt || { echo "$method: outputs differ"; exit 1; }
    ratios+="$(echo "$k / $s" | bc -l)"$'\n'
    kivo_times+="$k"$'\n'; seven_times+="$s"$'\n'
  done
  rm -rf out-k out-7
  r=$(printf '%s' "$ratios" | median)
  mk=$(printf '%s' "$kivo_times" | median)
  ms=$(printf '%s' "$seven_times" | median)
  printf '%s: kivo %.3fs, 7zz %s %.3fs, median ratio %.3f (goal <= %s)\n' "$method" "$mk" "$threads" "$ms" "$r" "$goal"
  rows+="| $method | $(printf '%.3f' "$mk") s | $threads | $(printf '%.3f' "$ms") s | $(printf '%.3f' "$r") | $goal |"$'\n'
done
load=$(cut -d' ' -f1 /proc/loadavg)

record "Extraction by method against 7-Zip (bench/methods.sh)" <<EOT
Input: 30 MB of C headers as one file, compressed by 7zz -tzip -mm=METHOD. $PAIRS alternating pairs of bench_unzip extract and 7zz x, page cache warm; medians of the times and of the per-pair ratios; $(nproc) usable processors, load average $load at the end.

| Method | Kivo | 7zz threads | 7zz | Median ratio | Goal (at most) |
|---|---|---|---|---|---|
${rows}
EOT
