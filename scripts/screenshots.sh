#!/usr/bin/env bash
# Screenshots of the settings dialog and the about box as a Russian user sees them: Wine's own
# "MS Sans Serif" in a private prefix, a Russian locale and a private X display. Writes
# docs/settings-dialog.png and docs/about-box.png. Then every page of the setup program and its
# uninstaller, clicked through in Russian and in English, into out/screenshots/setup-<language>-<page>.png.
#   UVD_WIN32_BUILD   the win32 build tree to use (default build/win32; configured when missing)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${UVD_WIN32_BUILD:-$root/build/win32}"
work="$build/screenshots"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >/dev/null
fi
cmake --build "$build" --target dialog_showcase setup_driver >/dev/null

# The raster "MS Sans Serif" has Cyrillic letters only in its code page 1251 face, which Wine picks under
# a Russian locale; under a Western one every letter is drawn as a bar.
locales="$work/locale"
if [ ! -d "$locales/ru_RU.UTF-8" ]; then
  mkdir -p "$locales"
  localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8"
fi
export LOCPATH="$locales"
for locale in en_US ru_RU; do
  [ -d "$locales/$locale.UTF-8" ] || localedef -i "$locale" -f UTF-8 "$locales/$locale.UTF-8"
done
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

# The setup's pages. The driver stops at each shot: step until capture has taken the picture.
shots="$root/out/screenshots"
mkdir -p "$shots"
bash "$root/scripts/release.sh" --package "$build" "$work/release" >/dev/null
setup=$(ls "$work"/release/RPX_UVDenoise-*-setup.exe)
drive_c="$WINEPREFIX/drive_c"
drive() {  # drive <locale> <program> <arguments> <step>...
  local locale="$1" program="Z:${2//\//\\}" arguments="$3"
  shift 3
  { LC_ALL="$locale" wine "$build/tests/install/setup_driver.exe" "$program" "$arguments" "$@" </dev/null >/dev/null; } 2>/dev/null &
  driver=$!
}
shot() { echo "shot:Z:${handshake//\//\\}\\$1"; }
for language in ru en; do
  locale=ru_RU.UTF-8
  [ "$language" = en ] && locale=en_US.UTF-8
  rm -rf "$drive_c/Kestrova" "$drive_c/Videos" "$handshake"/*
  mkdir -p "$drive_c/Kestrova/Plugins" "$drive_c/Videos"
  cp "$build/host/kestrova_host.exe" "$drive_c/Kestrova/"
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\RPX_UVDenoise' /f >/dev/null 2>&1 || true
  pages=(licence folder browse warning finish)
  drive "$locale" "$setup" "" wait:1000 "$(shot licence)" click:1 wait:1019 "$(shot folder)" \
    'set:1019:C:\Kestrova\Plugins' browse:5 "$(shot browse)" click:2 'set:1019:C:\Videos' click:1 wait:7 \
    "$(shot warning)" click:7 'set:1019:C:\Kestrova' click:1 wait:1202 "$(shot finish)" click:1 exit
  for page in "${pages[@]}"; do capture "$page" "$shots/setup-$language-$page.png"; done
  wait "$driver"
  drive "$locale" "$setup" "" click:1 'set:1019:C:\Videos' click:1 click:6 wait:1202 "$(shot finish-two-copies)" click:1 exit
  capture finish-two-copies "$shots/setup-$language-finish-two-copies.png"
  wait "$driver"
  drive "$locale" "$drive_c/Kestrova/Plugins/RPX_UVDenoise-uninstall.exe" '_?=C:\Kestrova\Plugins' wait:1000 \
    "$(shot uninstall)" click:1 wait:msctls_progress32 wait:1 "$(shot uninstall-done)" click:1 exit
  capture uninstall "$shots/setup-$language-uninstall.png"
  capture uninstall-done "$shots/setup-$language-uninstall-done.png"
  wait "$driver"
done
