#!/usr/bin/env bash
# Extraction and directory loading against Info-ZIP unzip, page cache warm:
# extracting the corpus archive of bench/zip.sh (about 300 MB; made here with
# zip -r -6 when that script has not run) against unzip -q -o, and loading an
# archive of 65,535 small entries against unzip -l.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
BIN="$(bench_binary unzip)"
RUNS="${RUNS:-3}"
command -v unzip >/dev/null || { echo "Info-ZIP unzip is not installed"; exit 1; }
mkdir -p "$BENCH_DIR"
cd "$BENCH_DIR"

ARCHIVE="$BENCH_DIR/corpus.zip"
made_here=""
if [ ! -f "$ARCHIVE" ]; then
  # A corpus of the same kinds of files as bench/zip.sh uses, about 300 MB.
  ARCHIVE="$BENCH_DIR/unzip-corpus.zip"
  if [ ! -f "$ARCHIVE" ]; then
    rm -rf unzip-corpus && mkdir -p unzip-corpus
    python3 - unzip-corpus <<'PY'
import os, shutil, sys
root, MB = sys.argv[1], 1 << 20
def fill(kind, top, budget):
    used = 0
    for folder, dirs, names in os.walk(top):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            if used >= budget: return
            if not os.path.isfile(path) or os.path.islink(path): continue
            dest = os.path.join(root, kind, os.path.relpath(path, "/"))
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            try: shutil.copyfile(path, dest)
            except OSError: continue
            used += os.path.getsize(dest)
fill("source", "/usr/include", 80 * MB)
fill("text", "/usr/share", 70 * MB)
fill("binary", "/usr/lib/x86_64-linux-gnu", 150 * MB)
PY
    zip -r -q -6 "$ARCHIVE" unzip-corpus
    rm -rf unzip-corpus
  fi
  made_here=" (made here with zip -r -6)"
fi

MANY="$BENCH_DIR/many-entries.zip"
if [ ! -f "$MANY" ]; then
  python3 - "$MANY" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(65535):
        z.writestr("d%03d/file%05d.txt" % (i % 500, i), "small entry %d\n" % i)
PY
fi

entries=$(unzip -Z1 "$ARCHIVE" | wc -l)
size=$(unzip -l "$ARCHIVE" | tail -1 | awk '{print $1}')
mb=$(echo "$size / 1048576" | bc -l)
cat "$ARCHIVE" "$MANY" >/dev/null   # page cache warm

K="$BENCH_DIR/out-kivo"; U="$BENCH_DIR/out-unzip"
t_k=$(best_of "$RUNS" "rm -rf '$K'" "$BIN" extract "$ARCHIVE" "$K")
t_u=$(best_of "$RUNS" "rm -rf '$U'" unzip -q -o "$ARCHIVE" -d "$U")
diff -r "$K" "$U" >/dev/null || { echo "extracted trees differ"; exit 1; }
rm -rf "$K" "$U"
l_k=$(best_of "$RUNS" "" "$BIN" list "$MANY")
l_u=$(best_of "$RUNS" "" unzip -l "$MANY")
load=$(cut -d' ' -f1 /proc/loadavg)
r_x=$(echo "$t_k / $t_u" | bc -l)
r_l=$(echo "$l_k / $l_u" | bc -l)

printf 'extract: kivo %ss, unzip %ss, ratio %.3f (goal <= 1.1)\n' "$t_k" "$t_u" "$r_x"
printf 'list:    kivo %ss, unzip %ss, ratio %.3f (goal <= 1.0)\n' "$l_k" "$l_u" "$r_l"

record "Extraction and directory loading (bench/unzip.sh)" <<EOT
Archive: $(basename "$ARCHIVE")$made_here, $entries entries, $(printf '%.1f' "$mb") MB uncompressed; 65,535-entry archive made with Python's zipfile (deflated, 500 folders). Page cache warm, best of $RUNS; load average $load at the end. Kivo: bench_unzip (ZipDirectory::Load, then the extraction run over every entry, flushing every 2 MiB); Info-ZIP: unzip -q -o and unzip -l.

| Measure | Kivo | unzip | Ratio | Goal |
|---|---|---|---|---|
| Extract the corpus archive | ${t_k} s | ${t_u} s | $(printf '%.3f' "$r_x") | <= 1.1 |
| Load / list 65,535 entries | ${l_k} s | ${l_u} s | $(printf '%.3f' "$r_l") | <= 1.0 |
EOT
