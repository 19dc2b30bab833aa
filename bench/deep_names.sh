#!/usr/bin/env bash
# Extraction of deep names: archives of one file below N levels of folders
# (each level an entry of its own, as the directory implies them), N from
# 250 to 2,000, extracted by kivo-cli unzip against Info-ZIP unzip. The
# folders are reached by handles one level at a time, so the time should
# grow with the number of levels, not with its square.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
CLI="${CLI:-$BUILD_DIR/src/cli/kivo-cli}"
RUNS="${RUNS:-5}"
[ -x "$CLI" ] || { echo "missing $CLI (build kivo-cli in $BUILD_DIR)" >&2; exit 1; }
command -v unzip >/dev/null || { echo "Info-ZIP unzip is not installed"; exit 1; }
mkdir -p "$BENCH_DIR"
cd "$BENCH_DIR"

echo "| Levels | kivo-cli unzip | unzip -q | Ratio |"
echo "|---|---|---|---|"
for levels in 250 500 1000 2000; do
  archive="deep-$levels.zip"
  python3 - "$archive" "$levels" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("d/" * int(sys.argv[2]) + "leaf.txt", "deep")
PY
  # Alternating runs, the median of each side.
  kivo=(); info=()
  for _ in $(seq "$RUNS"); do
    kivo+=("$(best_of 1 'rm -rf out-kivo' "$CLI" -q unzip "$archive" out-kivo)")
    info+=("$(best_of 1 'rm -rf out-unzip' unzip -q -o "$archive" -d out-unzip)")
  done
  k=$(printf '%s\n' "${kivo[@]}" | sort -n | sed -n "$(( (RUNS + 1) / 2 ))p")
  u=$(printf '%s\n' "${info[@]}" | sort -n | sed -n "$(( (RUNS + 1) / 2 ))p")
  echo "| $levels | ${k} s | ${u} s | $(echo "$k / $u" | bc -l | xargs printf '%.2f') |"
  rm -rf out-kivo out-unzip "$archive"
done
echo
echo "Load average: $(cut -d' ' -f1-3 /proc/loadavg)"
