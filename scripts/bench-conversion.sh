#!/usr/bin/env bash
# Builds the RGB <-> YUY2 conversion benchmarks and prints their tables: natively under Google Benchmark,
# then the plain timing program in the 32-bit build under Wine, which times the code the DLL runs.
# Release builds without sanitizers, in build/bench-conversion-*; UVD_JOBS sets the build's parallelism.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
jobs="${UVD_JOBS:-2}"
native="$build/bench-conversion-native"
win32="$build/bench-conversion-win32"
mkdir -p "$build"

cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$native.configure.log" 2>&1 ||
  { cat "$native.configure.log"; exit 1; }
cmake --build "$native" -j"$jobs" --target conversion_benchmark conversion_timing >/dev/null
cmake -S "$root" -B "$win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >"$win32.configure.log" 2>&1 ||
  { cat "$win32.configure.log"; exit 1; }
cmake --build "$win32" -j"$jobs" --target conversion_timing >/dev/null

echo "=== native $(uname -m), Google Benchmark (xFloor: / in-place pass over the RGB frame; xPortable: / C)"
"$native/bench/conversion/conversion_benchmark" "$@"

echo
echo "=== 32-bit build under Wine"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
trap uvd_wine_down EXIT
# The environment's helpers expect to run without errexit (wineserver answers 2 when one is running).
set +e
uvd_wine_up "$win32/wineprefix"
set -e
"$root/cmake/wine-run.sh" "$win32/bench/conversion/conversion_timing.exe"
