#!/usr/bin/env bash
# The manual pages read without a warning, and the bash completion offers
# kivo-cli's commands, their options and the names of the sets.
#
# Usage: tests/command_line_docs.sh KIVO_CLI
set -uo pipefail
cli=$(realpath "$1")
share="$(cd "$(dirname "$0")/../share" && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=1; }

for page in "$share"/man/kivo.1 "$share"/man/kivo-cli.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page: $warnings"
done
# Every command of the help has its entry in the page.
for command in $(sed -n 's/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p' <(HOME=/nonexistent "$cli" --help) | sort -u); do
  grep -q "^\.B[I]\{0,1\}R\{0,1\} \"\{0,1\}$(sed 's/-/\\\\-/g' <<<"$command")" "$share/man/kivo-cli.1" ||
    fail "kivo-cli.1 lacks the command $command"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/bin" "$scratch/data" "$scratch/files"
ln -s "$cli" "$scratch/bin/kivo-cli"
export PATH="$scratch/bin:$PATH"
for set in "My Docs" music; do
  kivo-cli --data-dir "$scratch/data" set-add "$set" "$scratch/files" >/dev/null || fail "set-add $set"
done

# The words offered for the command line `$@`, the last word being typed.
offered() {
  bash -c 'source "$1"; shift
           COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
           _kivo_cli; printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$share/completion/kivo-cli" "$@"
}
expect() {
  local want=$1; shift
  local got; got=$(offered "$@" | paste -sd'|')
  [[ $got == "$want" ]] || fail "completing '$*': got '$got', want '$want'"
}
expect "copy"                        kivo-cli co
expect "bind"                        kivo-cli -q bi
expect "delete"                      kivo-cli bind de
expect "--overwrite"                 kivo-cli copy "My Docs" /tmp --ov
expect "always|if-older|never"       kivo-cli move x y --overwrite ""
expect "My Docs|music"               kivo-cli --data-dir "$scratch/data" show ""
expect "music"                       kivo-cli --data-dir "$scratch/data" bind zip m
expect "My Docs"                     kivo-cli --data-dir "$scratch/data" copy My
[[ $(bash -c "source '$share/completion/kivo-cli'; complete -p kivo-cli") == *_kivo_cli* ]] ||
  fail "sourcing the completion does not register it"
exit $failures
