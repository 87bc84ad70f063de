#!/usr/bin/env bash
# Every benchmark table: the chroma median kernels, the RGB conversions, and the real DLL's ProcessFrame
# as the host calls it (32-bit build under Wine). Figures only; nothing here passes or fails.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/bench-filter.sh"
bash "$root/scripts/bench-conversion.sh"

win32="$root/build/bench-win32"
cmake -S "$root" -B "$win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >/dev/null
cmake --build "$win32" -j2 --target plugin_frame_timing >/dev/null
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
trap uvd_wine_down EXIT
uvd_wine_up "$win32/wineprefix"
echo
echo "== the real DLL's ProcessFrame under Wine"
wine "$win32/bench/dll/plugin_frame_timing.exe" </dev/null
