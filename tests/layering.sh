#!/usr/bin/env bash
# Every include of the program's own headers points down the layers:
# report, platform, model, scan, ops, zip, settings, ui, app; cli uses the
# core only. Prints each include that points up or sideways.
set -euo pipefail
cd "$(dirname "$0")/../src"
order=(report platform model scan ops zip settings ui app)
rank() {
  local i
  for i in "${!order[@]}"; do [[ ${order[$i]} == "$1" ]] && { echo "$i"; return; }; done
  echo -1
}
bad=0
for folder in */; do
  folder=${folder%/}
  mine=$(rank "$folder")
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -n 's/.*#include "\([a-z]*\)\/.*/\1/p' <<<"${line#*:}")
    [[ -z $target || $target == "$folder" ]] && continue
    theirs=$(rank "$target")
    if [[ $folder == cli ]]; then
      allowed=$(( theirs >= 0 && theirs <= $(rank zip) ))
    else
      allowed=$(( theirs >= 0 && mine >= 0 && theirs < mine ))
    fi
    if (( !allowed )); then echo "$file includes $target/"; bad=1; fi
  done < <(grep -rHn '#include "' "$folder" || true)
done
exit $bad
