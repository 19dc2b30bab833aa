#!/usr/bin/env bash
# Zip creation against Info-ZIP zip on a corpus of about 300 MB (source
# code, text, binaries, already-compressed files), page cache warm, with
# and without a password. The archives stay in $BENCH_DIR (corpus.zip and
# corpus-pw.zip, password "kivo-bench") for the extraction benchmark.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
BIN="$(bench_binary zip)"
RUNS="${RUNS:-3}"
PASSWORD="kivo-bench"
command -v zip >/dev/null || { echo "Info-ZIP zip is not installed"; exit 1; }

CORPUS="$BENCH_DIR/zip-corpus"

# Copies files from the system into four folders, each up to its budget in
# bytes, in a fixed order so the corpus is the same from run to run.
generate() {
  [ -f "$CORPUS.complete" ] && return
  rm -rf "$CORPUS"
  mkdir -p "$CORPUS"
  python3 - "$CORPUS" <<'PY'
import gzip, os, shutil, sys
root = sys.argv[1]

def files(top, accept):
    for folder, dirs, names in os.walk(top):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path) and accept(name):
                yield path

def fill(kind, sources, budget, convert=None):
    used = 0
    for top, accept in sources:
        for path in files(top, accept):
            if used >= budget:
                return used
            rel = os.path.relpath(path, "/")
            if convert:
                rel = rel[:-3]
            dest = os.path.join(root, kind, rel)
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            try:
                if convert:
                    with gzip.open(path, "rb") as src, open(dest, "wb") as out:
                        shutil.copyfileobj(src, out)
                else:
                    shutil.copyfile(path, dest)
            except OSError:
                continue
            used += os.path.getsize(dest)
    return used

MB = 1 << 20
sizes = {
    "source": fill("source", [("/usr/include", lambda n: True)], 80 * MB),
    "text": fill("text", [("/usr/share/man", lambda n: n.endswith(".gz")),
                          ("/usr/share/doc", lambda n: n.endswith(".gz"))], 70 * MB, convert=True),
    "binary": fill("binary", [("/usr/lib/x86_64-linux-gnu", lambda n: ".so" in n or n.endswith(".a")),
                              ("/usr/bin", lambda n: True)], 100 * MB),
    "compressed": fill("compressed", [("/usr/share/doc", lambda n: n.endswith((".gz", ".xz", ".bz2"))),
                                      ("/usr/share", lambda n: n.endswith((".gz", ".png", ".jpg", ".xz")))],
                       50 * MB),
}
for kind, size in sizes.items():
    print("%-10s %6.1f MB" % (kind, size / MB))
PY
  touch "$CORPUS.complete"
}

generate
files=$(find "$CORPUS" -type f | wc -l)
bytes=$(find "$CORPUS" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
mb=$(echo "$bytes / 1048576" | bc -l)
printf 'corpus: %d files, %.1f MB\n' "$files" "$mb"

# Warm the page cache.
cat $(find "$CORPUS" -type f) >/dev/null 2>&1 || find "$CORPUS" -type f -exec cat {} + >/dev/null

# One run: wall time, CPU time (user + system) and peak RSS in KiB.
run_once() {
  local line
  line=$( { /usr/bin/time -f '%e %U %S %M' "$@" >/dev/null; } 2>&1 | tail -1)
  echo "$line" | awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}'
}

# Runs two commands in turn, N times each (alternating, so a change in the
# machine's load hits both alike); PREP_A and PREP_B run before each run.
# Prints best wall, best CPU and largest peak RSS of A, then of B.
alternate() {
  local runs="$1" prep_a="$2" prep_b="$3" cmd_a="$4" cmd_b="$5"
  local wa="" ca="" ma=0 wb="" cb="" mb=0 w c m
  for _ in $(seq "$runs"); do
    eval "$prep_a"; read -r w c m < <(eval "run_once $cmd_a")
    if [ -z "$wa" ] || [ "$(echo "$w < $wa" | bc -l)" = 1 ]; then wa="$w"; fi
    if [ -z "$ca" ] || [ "$(echo "$c < $ca" | bc -l)" = 1 ]; then ca="$c"; fi
    if [ "$m" -gt "$ma" ]; then ma="$m"; fi
    eval "$prep_b"; read -r w c m < <(eval "run_once $cmd_b")
    if [ -z "$wb" ] || [ "$(echo "$w < $wb" | bc -l)" = 1 ]; then wb="$w"; fi
    if [ -z "$cb" ] || [ "$(echo "$c < $cb" | bc -l)" = 1 ]; then cb="$c"; fi
    if [ "$m" -gt "$mb" ]; then mb="$m"; fi
  done
  echo "$wa $ca $ma $wb $cb $mb"
}

# Sum of the entries' compressed sizes (files only): the archive sizes also
# differ by zip's extra fields and folder entries, which this leaves out.
data_bytes() {
  python3 -c 'import sys, zipfile; print(sum(i.compress_size for i in zipfile.ZipFile(sys.argv[1]).infolist() if not i.is_dir()))' "$1"
}

cd "$BENCH_DIR"
K="$BENCH_DIR/corpus.zip"
KP="$BENCH_DIR/corpus-pw.zip"
Z="$BENCH_DIR/infozip.zip"
ZP="$BENCH_DIR/infozip-pw.zip"
# zip -r adds to an existing archive, so every run starts without one.
read -r t_k c_k m_k t_z c_z m_z < <(alternate "$RUNS" "rm -f '$K'" "rm -f '$Z'" \
  "'$BIN' zip-corpus '$K'" "zip -r -q -6 '$Z' zip-corpus")
read -r t_kp c_kp m_kp t_zp c_zp m_zp < <(alternate "$RUNS" "rm -f '$KP'" "rm -f '$ZP'" \
  "'$BIN' zip-corpus '$KP' '$PASSWORD'" "zip -r -q -6 -P '$PASSWORD' '$ZP' zip-corpus")
load=$(cut -d' ' -f1 /proc/loadavg)

s_k=$(stat -c %s "$K"); s_z=$(stat -c %s "$Z")
s_kp=$(stat -c %s "$KP"); s_zp=$(stat -c %s "$ZP")
r_t=$(echo "$t_k / $t_z" | bc -l); r_tp=$(echo "$t_kp / $t_zp" | bc -l)
r_s=$(echo "$s_k / $s_z" | bc -l); r_sp=$(echo "$s_kp / $s_zp" | bc -l)
r_c=$(echo "$c_k / $c_z" | bc -l); r_cp=$(echo "$c_kp / $c_zp" | bc -l)
d_k=$(data_bytes "$K"); d_z=$(data_bytes "$Z"); d_kp=$(data_bytes "$KP"); d_zp=$(data_bytes "$ZP")
r_d=$(echo "$d_k / $d_z" | bc -l); r_dp=$(echo "$d_kp / $d_zp" | bc -l)

# Both archives must hold the corpus intact.
unzip -tq "$K" >/dev/null && unzip -tq -P "$PASSWORD" "$KP" >/dev/null

printf 'plain:    wall kivo %ss zip %ss (%.3f, goal <= 0.55); cpu kivo %ss zip %ss (%.3f); peak kivo %s KiB zip %s KiB\n' \
  "$t_k" "$t_z" "$r_t" "$c_k" "$c_z" "$r_c" "$m_k" "$m_z"
printf '          size kivo %s zip %s (%.4f, goal within 1%%); entry data %s / %s (%.5f)\n' \
  "$s_k" "$s_z" "$r_s" "$d_k" "$d_z" "$r_d"
printf 'password: wall kivo %ss zip %ss (%.3f, goal <= 0.55); cpu kivo %ss zip %ss (%.3f); peak kivo %s KiB zip %s KiB\n' \
  "$t_kp" "$t_zp" "$r_tp" "$c_kp" "$c_zp" "$r_cp" "$m_kp" "$m_zp"
printf '          size kivo %s zip %s (%.4f, goal within 1%%); entry data %s / %s (%.5f)\n' \
  "$s_kp" "$s_zp" "$r_sp" "$d_kp" "$d_zp" "$r_dp"

record "Zip creation (bench/zip.sh)" <<EOT
Corpus: $files files, $(printf '%.1f' "$mb") MB (source from /usr/include, man pages and docs as text, binaries from /usr/lib and /usr/bin, already-compressed .gz/.xz/.png files); page cache warm, Kivo and zip alternating, best of $RUNS; load average $load at the end. Kivo: bench_zip (expansion and archive writer, deflate on $(nproc) threads); Info-ZIP: zip -r -q -6.

| Run | Wall: Kivo / zip | Ratio (goal <= 0.55) | CPU: Kivo / zip | Ratio | Peak RSS: Kivo / zip |
|---|---|---|---|---|---|
| No password | ${t_k} s / ${t_z} s | $(printf '%.3f' "$r_t") | ${c_k} s / ${c_z} s | $(printf '%.3f' "$r_c") | ${m_k} KiB / ${m_z} KiB |
| Password (-P) | ${t_kp} s / ${t_zp} s | $(printf '%.3f' "$r_tp") | ${c_kp} s / ${c_zp} s | $(printf '%.3f' "$r_cp") | ${m_kp} KiB / ${m_zp} KiB |

| Run | Archive: Kivo / zip | Ratio (goal within 1%) | Entry data: Kivo / zip | Ratio |
|---|---|---|---|---|
| No password | ${s_k} / ${s_z} | $(printf '%.4f' "$r_s") | ${d_k} / ${d_z} | $(printf '%.5f' "$r_d") |
| Password (-P) | ${s_kp} / ${s_zp} | $(printf '%.4f' "$r_sp") | ${d_kp} / ${d_zp} | $(printf '%.5f' "$r_dp") |

The archives differ in size mostly by zip's per-entry extra fields (time and owner, 52 bytes an entry) and its folder entries; the entry data column compares the compressed bytes alone.
EOT
