#!/usr/bin/env bash
# Copy and Delete against the standard tools, page cache warm, destination
# emptied before every run:
#   copy of 20,000 files of 1-64 KiB plus 20 files of 32 MiB, against
#     `rsync -a` and `cp -a` + `sync`;
#   delete with 1 pass of 1 GiB in 16 files, against `shred -n 1 -u`;
#   delete with 0 passes of 20,000 small files, against `rm -r`;
#   peak memory with 2,000 against 20,000 files.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
BIN="$(bench_binary ops)"
ROOT="$BENCH_DIR/ops"
mkdir -p "$ROOT"

# Smaller of two times.
min_time() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

# Best of RUNS for two commands run in turn, so that load from elsewhere on
# the machine hits both alike. Sets T_A and T_B.
alternate() {
  local runs="$1" prep="$2" a="$3" b="$4"
  T_A=""; T_B=""
  for _ in $(seq "$runs"); do
    T_A=$(min_time "$T_A" "$(best_of 1 "$prep" bash -c "$a")")
    T_B=$(min_time "$T_B" "$(best_of 1 "$prep" bash -c "$b")")
  done
}

# FOLDERS folders of PER files of MIN..MAX bytes under $1 (BIG files of
# BIGSIZE bytes in $1/big), once.
generate() {
  local root="$1" folders="$2" per="$3" min="$4" max="$5" big="$6" bigsize="$7"
  [ -f "$root.complete" ] && return
  rm -rf "$root"
  mkdir -p "$root"
  python3 - "$root" "$folders" "$per" "$min" "$max" "$big" "$bigsize" <<'PY'
import os, random, sys
root = sys.argv[1]
folders, per, lo, hi, big, bigsize = map(int, sys.argv[2:])
rng = random.Random(4)
pool = os.urandom(1 << 20)  # incompressible, reused at random offsets
for d in range(folders):
    folder = os.path.join(root, "g%02d" % (d % 20), "folder%04d" % d)
    os.makedirs(folder, exist_ok=True)
    for f in range(per):
        size = rng.randint(lo, hi)
        start = rng.randint(0, len(pool) - size)
        with open(os.path.join(folder, "file%03d.dat" % f), "wb") as out:
            out.write(pool[start:start + size])
if big:
    os.makedirs(os.path.join(root, "big"), exist_ok=True)
    for b in range(big):
        with open(os.path.join(root, "big", "big%02d.bin" % b), "wb") as out:
            for _ in range(bigsize // len(pool)):
                out.write(pool)
PY
  touch "$root.complete"
}

SRC="$ROOT/copy-src/tree"
generate "$SRC" 200 100 1024 65536 20 $((32 * 1024 * 1024))
SMALL="$ROOT/small-20k/tree"
generate "$SMALL" 200 100 1 4096 0 0
SMALL2K="$ROOT/small-2k/tree"
generate "$SMALL2K" 20 100 1 4096 0 0
cat -- "$SRC"/big/* > /dev/null   # page cache warm

DST="$ROOT/copy-dst"
EMPTY_DST="rm -rf '$DST'; mkdir -p '$DST'; sync"
RUNS=3

# Same files, same bytes, same names.
eval "$EMPTY_DST"
"$BIN" copy "$SRC" "$DST" > /dev/null
if ! diff -r "$SRC" "$DST/tree" > /dev/null; then echo "copy differs from source"; exit 1; fi
[ -z "$(find "$DST" -name '.kvt-*')" ] || { echo "temporary files left"; exit 1; }

alternate $RUNS "$EMPTY_DST" "'$BIN' copy '$SRC' '$DST'" "rsync -a '$SRC' '$DST/'"
t_copy=$T_A; t_rsync=$T_B
alternate $RUNS "$EMPTY_DST" "'$BIN' copy '$SRC' '$DST'" "cp -a '$SRC' '$DST/' && sync"
t_copy=$(min_time "$t_copy" "$T_A"); t_cp=$T_B
r_rsync=$(echo "$t_copy / $t_rsync" | bc -l)
r_cp=$(echo "$t_copy / $t_cp" | bc -l)
printf 'copy: kivo %ss, rsync -a %ss (ratio %.2f, goal <= 1.25), cp -a+sync %ss (ratio %.2f)\n' \
  "$t_copy" "$t_rsync" "$r_rsync" "$t_cp" "$r_cp"

# Delete with one pass: 16 files of 64 MiB written afresh before every run.
WIPE="$ROOT/wipe"
MAKE_WIPE="rm -rf '$WIPE'; mkdir -p '$WIPE'; for i in \$(seq -w 1 16); do head -c 64M /dev/urandom > '$WIPE'/w\$i.bin; done; sync"
alternate $RUNS "$MAKE_WIPE" "'$BIN' delete '$WIPE' 1 1" "shred -n 1 -u '$WIPE'/*.bin"
t_wipe=$T_A; t_shred=$T_B
r_wipe=$(echo "$t_wipe / $t_shred" | bc -l)
printf 'delete 1 pass, 1 GiB: kivo %ss, shred -n 1 -u %ss, ratio %.2f (goal <= 1.10)\n' \
  "$t_wipe" "$t_shred" "$r_wipe"

# Delete without passes: a fresh copy of 20,000 small files before every run.
WORK="$ROOT/small-work"
MAKE_SMALL="rm -rf '$WORK'; mkdir -p '$WORK'; cp -a '$SMALL' '$WORK/'; sync"
alternate 5 "$MAKE_SMALL" "'$BIN' delete '$WORK/tree' 0 0" "rm -r '$WORK/tree'"
t_del=$T_A; t_rm=$T_B
r_del=$(echo "$t_del / $t_rm" | bc -l)
printf 'delete 0 passes, 20,000 files: kivo %ss, rm -r %ss, ratio %.2f (goal <= 1.50)\n' \
  "$t_del" "$t_rm" "$r_del"

# Peak memory: the item list lives on disk, so 10 times the files should
# cost no more memory.
eval "$EMPTY_DST"
m_copy20=$(peak_kib "$BIN" copy "$SMALL" "$DST")
eval "$EMPTY_DST"
m_copy2=$(peak_kib "$BIN" copy "$SMALL2K" "$DST")
eval "$MAKE_SMALL"
m_del20=$(peak_kib "$BIN" delete "$WORK/tree" 0 0)
rm -rf "$WORK"; mkdir -p "$WORK"; cp -a "$SMALL2K" "$WORK/"
m_del2=$(peak_kib "$BIN" delete "$WORK/tree" 0 0)
printf 'peak RSS: copy 2k %s KiB / 20k %s KiB; delete 2k %s KiB / 20k %s KiB\n' \
  "$m_copy2" "$m_copy20" "$m_del2" "$m_del20"
rm -rf "$DST" "$WORK" "$WIPE"
load=$(cut -d' ' -f1 /proc/loadavg)

record "Copy and Delete (bench/ops.sh)" <<EOT
Page cache warm, destination emptied (and synced) before every run, Kivo and the reference tool run in turn, best of $RUNS (5 for the small delete); other benchmarks shared the machine, load average $load at the end.
Kivo flushes every 2 MiB written (fdatasync) and writes each file under a temporary name that is renamed when complete.

| Measure | Kivo (bench_ops) | Reference | Ratio | Goal |
|---|---|---|---|---|
| Copy, 20,000 files of 1-64 KiB + 20 x 32 MiB | ${t_copy} s | rsync -a ${t_rsync} s | $(printf '%.2f' "$r_rsync") | <= 1.25 |
| Same copy | ${t_copy} s | cp -a + sync ${t_cp} s | $(printf '%.2f' "$r_cp") | - |
| Delete, 1 pass, 16 x 64 MiB | ${t_wipe} s | shred -n 1 -u ${t_shred} s | $(printf '%.2f' "$r_wipe") | <= 1.10 |
| Delete, 0 passes, 20,000 files of 1 B-4 KiB | ${t_del} s | rm -r ${t_rm} s | $(printf '%.2f' "$r_del") | <= 1.50 |

| Peak RSS | 2,000 files | 20,000 files |
|---|---|---|
| Copy | ${m_copy2} KiB | ${m_copy20} KiB |
| Delete, 0 passes | ${m_del2} KiB | ${m_del20} KiB |
EOT
