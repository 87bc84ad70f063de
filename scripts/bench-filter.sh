#!/usr/bin/env bash
# Builds the chroma median benchmarks and prints their tables: first the 32-bit build under Wine (the
# DLL's own code, as viewers run it), then the native build. Arguments go to both table programs, e.g.
#   scripts/bench-filter.sh --counts 3,15 --sizes 720x576 --runs 5
# The machine's load and CPU flags are printed too: other work on the machine inflates every figure.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
win32="$root/build/bench-win32"
native="$root/build/bench-native"

cmake -S "$root" -B "$win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >/dev/null
cmake --build "$win32" -j2 --target chroma_median_table >/dev/null
cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" -j2 --target chroma_median_table >/dev/null

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
grep -m1 '^model name' /proc/cpuinfo || true
grep -m1 '^flags' /proc/cpuinfo || true

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
# The helpers' own probes return non-zero on the way (a server already running); Wine itself reports
# real failures below.
trap uvd_wine_down EXIT
set +e
uvd_wine_up "$win32/wineprefix"
set -e
echo
echo "== 32-bit build under Wine"
wine "$win32/bench/filter/chroma_median_table.exe" "$@" </dev/null
echo
echo "== native build"
"$native/bench/filter/chroma_median_table" "$@"
