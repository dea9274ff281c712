#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
# headless, then each fuzz target for a short bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build="$root/build/test"
jobs=${KORVELA_JOBS:-$(nproc)}
export CC=clang CXX=clang++
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVELA_SANITIZE=ON
cmake --build "$build" -j "$jobs"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVELA_HEADLESS=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$build" && ctest --output-on-failure -j "$jobs")
# The loader thread's tests once more under ThreadSanitizer (a small build of its own).
tsan="$root/build/tsan"
cmake -S "$root/tests/tsan" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$tsan" -j "$jobs"
mkdir -p "$tsan/run"
(cd "$tsan/run" && TSAN_OPTIONS=halt_on_error=1 ../tests_loader_tsan && TSAN_OPTIONS=halt_on_error=1 ../tests_unit_graphics_tsan)
fuzz_seconds=${KORVELA_FUZZ_SECONDS:-10}
read -r -a targets < "$build/fuzz_targets.txt" || true
for target in "${targets[@]}"; do
  [ -n "$target" ] || continue
  echo "fuzzing $target for ${fuzz_seconds}s"
  (cd "$build/fuzz" && "./$target" -seed=1 -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=0 >"$target.log" 2>&1) \
    || { echo "fuzz target $target failed:"; tail -n 60 "$build/fuzz/$target.log"; exit 1; }
done
echo "all tests and fuzz targets passed"
