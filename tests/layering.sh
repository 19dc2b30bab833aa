#!/usr/bin/env bash
# Every include of the program's own headers points down the layers:
# report, platform, model, scan, zip/format, ops, zip, settings, the window
# folders of ui, app; cli uses the core only. A folder listed with a slash is
# a layer of its own inside its parent folder. The window folders of ui
# (sets, run, bind, zipview) stand side by side above ui/common: one never
# includes another, except that the zip viewer's Extract is a run dialog;
# ui/main, which opens every window, stands above them all. Prints each
# include that points up or sideways.
# KIVO_LAYERING_SRC names another source tree (the script's own test uses it).
set -euo pipefail
cd "${KIVO_LAYERING_SRC:-$(dirname "$0")/../src}"
order=(report platform model scan zip/format ops zip settings
       ui/common ui/sets ui/run ui/bind ui/zipview ui/main app)
# The window folders that stand side by side, and the one include between them.
windows=" ui/sets ui/run ui/bind ui/zipview "
window_uses=" ui/zipview>ui/run "

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
    if [[ $windows == *" $mine_layer "* && $windows == *" $their_layer "* &&
          $window_uses != *" $mine_layer>$their_layer "* ]]; then
      allowed=0
    fi
  fi
  if (( !allowed )); then echo "$file includes $their_layer/"; bad=1; fi
done < <(grep -rHn '#include "' -- */ 2>/dev/null | sed 's#^\./##' || true)
exit $bad
