#!/usr/bin/env bash
# Holds the floors of src/ (docs/architecture.md): the platform includes nothing of the game, the
# core only the platform, and nothing below the game's life includes a game/ header (the
# program's entry, src/main.cpp, stands on top of everything).
set -euo pipefail
src=$(cd "${1:-$(dirname "$0")/../src}" && pwd)
status=0
# Reports every quoted include under folder that matches bad and does not come from a file that
# matches exempt (both extended regular expressions over "path:line:text", path below src/).
check() {
  local folder=$1 bad=$2 exempt=$3 rule=$4 hit
  [ -d "$src/$folder" ] || return 0
  while IFS= read -r hit; do
    echo "floors: $hit ($rule)"
    status=1
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$src/$folder" | sed "s|^$src/*||" \
             | grep -E "$bad" | grep -vE "$exempt" || true)
}
include='#[[:space:]]*include[[:space:]]+"'
check platform "$include" "${include}platform/" 'the platform includes nothing of the game'
check core "$include" "$include(core|platform)/" 'the core includes only the platform'
check "" "${include}game/" '^(game/|main\.cpp:)' "only the game's life includes game/ headers"
[ $status -eq 0 ] && echo "floors: every include keeps to its floor"
exit $status
