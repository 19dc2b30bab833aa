#!/usr/bin/env bash
# Delete with 3 passes, every pass synced to the disk, against
# `shred -n 3 -u` (which syncs after each pass too):
#   1,000 files of 64 KiB, and one file of 1 GiB.
# Files are written afresh (and synced) before every run; Kivo and shred run
# in turn, PAIRS pairs, and the median of the pair ratios is recorded.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
BIN="$(bench_binary ops)"
ROOT="$BENCH_DIR/delete-passes"
PAIRS="${PAIRS:-5}"
mkdir -p "$ROOT"

# Wall seconds of one run of a command after PREP.
one_run() {
  local prep="$1"; shift
  eval "$prep"
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null
  t1=$(date +%s.%N)
  printf '%.3f' "$(echo "$t1 - $t0" | bc -l)"
}

median() { sort -g | awk '{v[NR]=$1} END {if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

# PAIRS alternating pairs; prints "kivo-median shred-median ratio-median".
pairs() {
  local prep="$1" kivo="$2" shred="$3" ratios="" ks="" ss="" tk ts
  for _ in $(seq "$PAIRS"); do
    tk=$(one_run "$prep" bash -c "$kivo")
    ts=$(one_run "$prep" bash -c "$shred")
    ks+="$tk"$'\n'; ss+="$ts"$'\n'
    ratios+="$(echo "$tk / $ts" | bc -l)"$'\n'
  done
  echo "$(printf '%s' "$ks" | median) $(printf '%s' "$ss" | median) $(printf '%s' "$ratios" | median)"
}

SMALL="$ROOT/small"
MAKE_SMALL="rm -rf '$SMALL'; mkdir -p '$SMALL'; for i in \$(seq -w 1 1000); do head -c 64K /dev/urandom > '$SMALL'/f\$i.bin; done; sync"
read -r k_small s_small r_small < <(pairs "$MAKE_SMALL" "'$BIN' delete '$SMALL' 3 1" "shred -n 3 -u '$SMALL'/*.bin")
printf 'delete 3 passes, 1,000 x 64 KiB: kivo %ss, shred %ss, median ratio %.2f (goal <= 1.10)\n' \
  "$k_small" "$s_small" "$r_small"

BIG="$ROOT/big"
MAKE_BIG="rm -rf '$BIG'; mkdir -p '$BIG'; head -c 1G /dev/urandom > '$BIG'/one.bin; sync"
read -r k_big s_big r_big < <(pairs "$MAKE_BIG" "'$BIN' delete '$BIG' 3 1" "shred -n 3 -u '$BIG'/one.bin")
printf 'delete 3 passes, 1 x 1 GiB: kivo %ss, shred %ss, median ratio %.2f (goal <= 1.10)\n' \
  "$k_big" "$s_big" "$r_big"
rm -rf "$SMALL" "$BIG"
load=$(cut -d' ' -f1 /proc/loadavg)

record "Delete with passes against shred (bench/delete_passes.sh)" <<EOT
Files written afresh and synced before every run; Kivo and shred run in turn, $PAIRS pairs, medians; load average $load at the end.
Kivo syncs every pass (fdatasync) as shred does, besides its flush every 2 MiB within a pass.

| Measure | Kivo (bench_ops) | shred -n 3 -u | Median ratio | Goal |
|---|---|---|---|---|
| Delete, 3 passes, 1,000 x 64 KiB | ${k_small} s | ${s_small} s | $(printf '%.2f' "$r_small") | <= 1.10 |
| Delete, 3 passes, 1 x 1 GiB | ${k_big} s | ${s_big} s | $(printf '%.2f' "$r_big") | <= 1.10 |
EOT
