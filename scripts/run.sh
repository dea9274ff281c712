#!/usr/bin/env bash
# Builds the game, writes the sample game folder and starts the game in it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVELA_TESTS=OFF -DKORVELA_BENCH=OFF -DKORVELA_FUZZ=OFF
cmake --build "$root/build/release" --target korvela korvela-sampledata
game="$root/build/game"
"$root/build/release/tools/sampledata/korvela-sampledata" "$game"
cd "$game"
exec "$root/build/release/korvela" "$@"
