#!/usr/bin/env bash
# Every include of the program's own headers points down the layers:
# report, platform, model, scan, zip/format, ops, zip, settings, ui, app;
# cli uses the core only. A folder listed with a slash is a layer of its own
# inside its parent folder. Prints each include that points up or sideways.
# KIVO_LAYERING_SRC names another source tree (the script's own test uses it).
set -euo pipefail
cd "${KIVO_LAYERING_SRC:-$(dirname "$0")/../src}"
order=(report platform model scan zip/format ops zip settings ui app)

# The layer a path (relative to src) belongs to: the longest listed folder
# it starts with, else its first component.
layer_of() {
  local path=$1 best="" l
  for l in "${order[@]}" cli; do
    if [[ $path == "$l"/* && ${#l} -gt ${#best} ]]; then best=$l; fi
  done
  [[ -n $best ]] && echo "$best" || echo "${path%%/*}"
}
rank() {
  local i
  for i in "${!order[@]}"; do [[ ${order[$i]} == "$1" ]] && { echo "$i"; return; }; done
  echo -1
}
bad=0
while IFS= read -r line; do
  file=${line%%:*}
  target=$(sed -n 's/.*#include "\([a-z][a-z/]*\/[^"/]*\)".*/\1/p' <<<"${line#*:}")
  [[ -z $target ]] && continue
  mine_layer=$(layer_of "$file")
  their_layer=$(layer_of "$target")
  [[ $their_layer == "$mine_layer" ]] && continue
  mine=$(rank "$mine_layer")
  theirs=$(rank "$their_layer")
  if [[ $mine_layer == cli ]]; then
    allowed=$(( theirs >= 0 && theirs <= $(rank zip) ))
  else
    allowed=$(( theirs >= 0 && mine >= 0 && theirs < mine ))
  fi
  if (( !allowed )); then echo "$file includes $their_layer/"; bad=1; fi
done < <(grep -rHn '#include "' -- */ 2>/dev/null | sed 's#^\./##' || true)
exit $bad
