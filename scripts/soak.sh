#!/usr/bin/env bash
# The soak alone, as long as you like: scripts/soak.sh [seconds]   (default 600; the test command runs 20)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
bash "$root/scripts/setup.sh"
win32="$root/build/win32"
cmake -S "$root" -B "$win32" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >/dev/null
cmake --build "$win32" -j2 --target soak_test
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
trap uvd_wine_down EXIT
uvd_wine_up "$win32/wineprefix"
UVD_SOAK_SECONDS="$seconds" ctest --test-dir "$win32" -R '^soak_test$' --output-on-failure -V \
  | grep -E '^[0-9]+: soak:|tests passed|Failure|Expected'
