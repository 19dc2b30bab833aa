#!/usr/bin/env bash
# Plants one include in an otherwise empty source tree and checks that
# layering.sh accepts it or names it, for the window folders of ui.
set -uo pipefail
script="$(cd "$(dirname "$0")" && pwd)/layering.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

failures=0
# file  included header  expected verdict
while read -r file header verdict; do
  rm -rf "${tree:?}"/*
  mkdir -p "$tree/$(dirname "$file")"
  printf '#include <vector>\n#include "%s"\n' "$header" >"$tree/$file"
  output=$(KIVO_LAYERING_SRC=$tree bash "$script")
  status=$?
  if [[ $verdict == ok ]]; then
    expected_status=0 expected_output=""
  else
    expected_status=1 expected_output="$file includes $(dirname "$header")/"
  fi
  if [[ $status != "$expected_status" || $output != "$expected_output" ]]; then
    echo "FAIL: $file including $header: status $status, output '$output'"
    failures=1
  fi
done <<'CASES'
ui/run/CopyRunDialog.cpp     ui/bind/BindDialogBase.h     bad
ui/bind/BindKindDialogs.cpp  ui/run/RunDialogBase.h       bad
ui/sets/SetEditorDialog.cpp  ui/zipview/ZipViewer.h       bad
ui/run/ZipRunDialog.cpp      ui/zipview/ExtractDialog.h   bad
ui/common/SetChooser.cpp     ui/sets/SetEditorDialog.h    bad
ui/run/RunDialogBase.h       ui/main/WindowLauncher.h     bad
ui/sets/FolderTree.cpp       app/Startup.h                bad
ui/Stray.cpp                 ui/common/Texts.h            bad
ui/zipview/ExtractDialog.h   ui/run/RunDialogBase.h       ok
ui/main/WindowLauncher.cpp   ui/bind/BindKindDialogs.h    ok
ui/bind/BindDialogBase.cpp   ui/common/SetChooser.h       ok
ui/common/SetChooser.cpp     model/FileSet.h              ok
app/Startup.cpp              ui/main/MainWindow.h         ok
CASES
exit $failures
