#!/usr/bin/env bash
# Installs everything the build, the tests and the main job need on a Debian 12 machine.
# Idempotent: when every package is already there it only checks and returns in a second.
set -euo pipefail

packages=(
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 nasm wine wine32:i386 wine64 xvfb xauth
  cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev imagemagick python3-skimage python3-numpy fonts-wine locales
  nsis ffmpeg dpkg-dev lintian groff-base xdotool
  pkg-config libavformat-dev libavcodec-dev libavutil-dev libswscale-dev parallel
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# FFmpeg's and x264's static libraries for the 64-bit Windows program, built once per machine (8 minutes of
# processor time; 42 minutes on a busy 2-core machine); a second run finds them in the cache and returns at
# once. Test commands started side by side on one machine take turns, so that one builds and the others
# find it.
if [ "${UVD_SKIP_FFMPEG_WIN64:-}" != 1 ]; then
  cache="${UVD_FFMPEG_WIN64_CACHE:-/var/cache/uvdenoise/ffmpeg-win64}"
  mkdir -p "$(dirname "$cache")"
  flock "$cache.lock" bash "$(dirname "$0")/build-ffmpeg-win64.sh" >/dev/null
fi
