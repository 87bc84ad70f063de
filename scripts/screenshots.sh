#!/usr/bin/env bash
# Screenshots of the settings dialog and the about box as a Russian user sees them: Wine's own
# "MS Sans Serif" in a private prefix, a Russian locale and a private X display. Writes
# docs/settings-dialog.png and docs/about-box.png.
#   UVD_WIN32_BUILD   the win32 build tree to use (default build/win32; configured when missing)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${UVD_WIN32_BUILD:-$root/build/win32}"
work="$build/screenshots"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >/dev/null
fi
cmake --build "$build" --target dialog_showcase >/dev/null

# The raster "MS Sans Serif" has Cyrillic letters only in its code page 1251 face, which Wine picks under
# a Russian locale; under a Western one every letter is drawn as a bar.
locales="$work/locale"
if [ ! -d "$locales/ru_RU.UTF-8" ]; then
  mkdir -p "$locales"
  localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8"
fi
export LOCPATH="$locales"
# Bash itself cannot load a locale from LOCPATH and would warn; the programs it starts can.
{ export LC_ALL=ru_RU.UTF-8; } 2>/dev/null

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
export UVD_OWN_XVFB=1
uvd_wine_up "$work/wineprefix"
trap uvd_wine_down EXIT

handshake="$work/handshake"
rm -rf "$handshake"
mkdir -p "$handshake"
wine "$build/tests/ui/dialog_showcase.d/dialog_showcase.exe" "Z:${handshake//\//\\}" </dev/null >/dev/null 2>&1 &
showcase=$!

capture() {  # capture <window name> <png>: waits for the window's rectangle, crops it from the screen
  local rect="$handshake/$1.rect" w h x y i
  for i in $(seq 1 300); do
    [ -s "$rect" ] && break
    sleep 0.1
  done
  [ -s "$rect" ] || { echo "screenshots: no $1 window" >&2; exit 1; }
  sleep 0.2
  read -r w h x y <"$rect"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$2"
  touch "$handshake/$1.done"
  echo "$2: ${w}x${h}"
}

capture settings "$root/docs/settings-dialog.png"
capture about "$root/docs/about-box.png"
wait "$showcase"
