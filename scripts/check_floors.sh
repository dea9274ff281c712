#!/usr/bin/env bash
# Holds the floors of src/ (docs/architecture.md): the platform includes nothing of the game, the
# core only the platform, and nothing below the game's life includes a game/ header (the
# program's entry, src/main.cpp, stands on top of everything).
set -euo pipefail
src=$(cd "${1:-$(dirname "$0")/../src}" && pwd)
status=0
check() { # folder, allowed include prefixes (regex), what the rule is
  local folder=$1 allowed=$2 rule=$3
  while IFS= read -r hit; do
    [ -n "$hit" ] || continue
    echo "floors: $hit ($rule)"
    status=1
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$src/$folder" \
             | grep -vE "#[[:space:]]*include[[:space:]]+\"($allowed)" | sed "s|^$src/||" || true)
}
check platform 'platform/' 'the platform includes nothing of the game'
check core 'core/|platform/' 'the core includes only the platform'
while IFS= read -r hit; do
  [ -n "$hit" ] || continue
  echo "floors: $hit (only the game's life includes game/ headers)"
  status=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"game/' "$src" \
           | grep -vE "^$src/(game/|main\.cpp:)" | sed "s|^$src/||" || true)
[ $status -eq 0 ] && echo "floors: every include keeps to its floor"
exit $status
